// Test kinds for the scene graph: a node that logs its updates and a
// modifier that runs for a fixed time, both counting their destruction.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/scene/GameNode.h"
#include "framework/scene/Modifier.h"

namespace scenetest {

class LoggingNode : public Qmv2::GameNode {
public:
    LoggingNode(const std::string& name, std::vector<std::string>* log, int* destroyed = nullptr)
        : GameNode(name), m_Log(log), m_Destroyed(destroyed)
    {
    }
    ~LoggingNode() override
    {
        if (m_Destroyed != nullptr) {
            ++*m_Destroyed;
        }
    }
    void Update(std::int32_t dt) override { m_Log->push_back(GetName() + ":" + std::to_string(dt)); }

private:
    std::vector<std::string>* m_Log;
    int* m_Destroyed;
};

// Finishes once `duration` ms have passed; logs "name start" and
// "name update <dt>" into the shared log.
class TimedModifier : public Qmv2::Modifier {
public:
    TimedModifier(const std::string& name, std::uint32_t duration, std::vector<std::string>* log,
                  int* destroyed = nullptr, std::uint32_t options = 0)
        : m_Duration(duration), m_Log(log), m_Destroyed(destroyed)
    {
        SetName(name);
        SetOptions(options);
    }
    ~TimedModifier() override
    {
        if (m_Destroyed != nullptr) {
            ++*m_Destroyed;
        }
    }
    void Start() override { m_Log->push_back(GetName() + " start"); }
    void Update(std::uint32_t dt) override
    {
        m_Log->push_back(GetName() + " update " + std::to_string(dt));
        m_Elapsed += dt;
        if (m_Elapsed >= m_Duration) {
            Finish();
        }
    }
    void Finish() override
    {
        if (!IsFinished()) {
            m_Log->push_back(GetName() + " finish");
        }
        Modifier::Finish();
    }

private:
    std::uint32_t m_Duration;
    std::uint32_t m_Elapsed = 0;
    std::vector<std::string>* m_Log;
    int* m_Destroyed;
};

// The names of a node's children, first to last.
inline std::vector<std::string> ChildNames(const Qmv2::GameNode& parent)
{
    std::vector<std::string> names;
    for (Qmv2::GameNode* c = parent.GetFirstChild(); c != nullptr; c = c->GetNextSibling()) {
        names.push_back(c->GetName());
    }
    return names;
}

}  // namespace scenetest
