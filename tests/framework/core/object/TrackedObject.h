// Reference-counted test objects that report their destruction.
#pragma once

#include "framework/core/object/BaseObject.h"

namespace QmvTest {

// Counts its own destructions into a counter owned by the test.
class TrackedObject : public Qmv2::BaseObject {
public:
    QMV_CLASS_TYPE(TrackedObject, BaseObject)

    explicit TrackedObject(int* destroyed = nullptr, int id = 0) : m_Destroyed(destroyed), m_Id(id) {}
    ~TrackedObject() override
    {
        if (m_Destroyed != nullptr) {
            ++*m_Destroyed;
        }
    }

    int GetId() const { return m_Id; }

private:
    int* m_Destroyed;
    int m_Id;
};

}  // namespace QmvTest
