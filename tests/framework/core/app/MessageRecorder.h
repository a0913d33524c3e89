// A message listener that records what it receives, for the app tests.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "framework/core/app/iMessageListener.h"
#include "framework/core/object/SmartPtr.h"

namespace QmvTest {

class MessageRecorder : public Qmv2::iMessageListener {
public:
    struct Received {
        std::uint32_t id;
        Qmv2::SmartPtr<Qmv2::MessageData> data;
    };

    void OnMessage(const Qmv2::Message& message) override
    {
        received.push_back({message.GetId(), message.GetData()});
        if (onMessage) {
            onMessage(message);
        }
    }

    std::vector<std::uint32_t> Ids() const
    {
        std::vector<std::uint32_t> ids;
        for (const Received& r : received) {
            ids.push_back(r.id);
        }
        return ids;
    }

    template <typename T>
    T* DataAt(std::size_t index) const
    {
        return index < received.size() ? Qmv2::MessageDataAs<T>(received[index].data.Get()) : nullptr;
    }

    std::vector<Received> received;
    std::function<void(const Qmv2::Message&)> onMessage;
};

}  // namespace QmvTest
