// A framework message: an id and an optional data object, held by value.
#pragma once

#include <cstdint>

#include "framework/core/app/MessageData.h"
#include "framework/core/object/SmartPtr.h"

namespace Qmv2 {

class Message : public BaseObject {
public:
    QMV_CLASS_TYPE(Message, BaseObject)

    enum Id : std::uint32_t {
        kMouseMove = 1,
        kLeftButtonDown = 2,
        kLeftButtonUp = 3,
        kMiddleButtonDown = 4,
        kMiddleButtonUp = 5,
        kRightButtonDown = 6,
        kRightButtonUp = 7,
        kMouseWheel = 8,
        kKeyDown = 0x102,
        kKeyUp = 0x104,
        kChar = 0x105,
        kFullscreenChanged = 0x202,
        kMinimizedChanged = 0x205,
        kActivationChanged = 0x206,
        kSessionLock = 0x207,
        kSessionUnlock = 0x208,
        kSessionLogon = 0x209,
        kSessionLogoff = 0x20A,
        kQuit = 0x402,
        kFilesDropped = 0x501,
        kCtrlP = 0x601,
        kFrameClick = 0x602,
    };

    explicit Message(std::uint32_t id, MessageData* data = nullptr) : m_Id(id), m_Data(data) {}

    std::uint32_t GetId() const { return m_Id; }
    MessageData* GetData() const { return m_Data.Get(); }

private:
    std::uint32_t m_Id;
    SmartPtr<MessageData> m_Data;
};

}  // namespace Qmv2
