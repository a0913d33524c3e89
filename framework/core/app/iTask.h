// A unit of per-frame work run by the task manager: started once, then executed
// with the time step every frame while it is active and running.
#pragma once

#include <cstdint>

#include "framework/core/object/BaseObject.h"

namespace Qmv2 {

class iTask : public BaseObject {
public:
    QMV_CLASS_TYPE(iTask, BaseObject)

    virtual void Start() {}
    virtual void Execute(std::int32_t dt) = 0;
    virtual void Stop() {}
    virtual void SetActive(bool active) { m_Active = active; }

    bool IsActive() const { return m_Active; }
    bool IsFinished() const { return m_Finished; }
    bool IsRunning() const { return m_Running; }
    bool IsStarted() const { return m_Started; }
    void SetFinished(bool finished) { m_Finished = finished; }
    void SetRunning(bool running) { m_Running = running; }
    void SetStarted(bool started) { m_Started = started; }

private:
    bool m_Active = true;
    bool m_Finished = false;
    bool m_Running = false;
    bool m_Started = false;
};

}  // namespace Qmv2
