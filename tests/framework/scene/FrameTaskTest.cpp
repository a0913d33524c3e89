#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/scene/TaskPurge.h"
#include "framework/scene/TaskTickUpdate.h"

namespace frame_task_test {

using Qmv2::GameNode;
using Qmv2::SmartPtr;

namespace {

class LoggingNode : public GameNode {
public:
    LoggingNode(std::string name, std::vector<std::string>* log, int* destroyed = nullptr)
        : m_Name(std::move(name)), m_Log(log), m_Destroyed(destroyed)
    {
    }
    ~LoggingNode() override
    {
        if (m_Destroyed != nullptr) {
            ++*m_Destroyed;
        }
    }
    void Update(std::int32_t dt) override { m_Log->push_back(m_Name + ":" + std::to_string(dt)); }

private:
    std::string m_Name;
    std::vector<std::string>* m_Log;
    int* m_Destroyed;
};

class CountingAnimTree : public Qmv2::AnimTree {
public:
    void Update(std::uint32_t dt) override { updates.push_back(dt); }
    void Purge() override { ++purges; }
    std::vector<std::uint32_t> updates;
    int purges = 0;
};

}  // namespace

TEST(FrameTaskTest, UpdateTicksTheTreeInChildOrderSkippingSuspendedAndObsolete)
{
    std::vector<std::string> log;
    SmartPtr<GameNode> root(new LoggingNode("root", &log));
    auto* a = new LoggingNode("a", &log);
    auto* a1 = new LoggingNode("a1", &log);
    auto* b = new LoggingNode("b", &log);
    auto* b1 = new LoggingNode("b1", &log);
    auto* c = new LoggingNode("c", &log);
    root->AddChild(a);
    a->AddChild(a1);
    root->AddChild(b);
    b->AddChild(b1);
    root->AddChild(c);
    b->SetSuspended(true);
    c->SetObsolete(true);
    root->SetSuspended(true);  // the root itself is always ticked
    SmartPtr<CountingAnimTree> anim(new CountingAnimTree);
    SmartPtr<Qmv2::TaskTickUpdate> task(new Qmv2::TaskTickUpdate(root.Get(), anim.Get()));
    task->Execute(16);
    EXPECT_EQ(log, (std::vector<std::string>{"root:16", "a:16", "a1:16"}));
    EXPECT_EQ(anim->updates, (std::vector<std::uint32_t>{16}));
}

TEST(FrameTaskTest, PurgeUnlinksAndReleasesObsoleteNodesWithTheirChildren)
{
    std::vector<std::string> log;
    int destroyed = 0;
    SmartPtr<GameNode> root(new LoggingNode("root", &log));
    auto* a = new LoggingNode("a", &log, &destroyed);
    auto* b = new LoggingNode("b", &log, &destroyed);
    auto* b1 = new LoggingNode("b1", &log, &destroyed);
    auto* b2 = new LoggingNode("b2", &log, &destroyed);
    auto* c = new LoggingNode("c", &log, &destroyed);
    root->AddChild(a);
    root->AddChild(b);
    b->AddChild(b1);
    b->AddChild(b2);
    root->AddChild(c);
    b->SetObsolete(true);
    b1->SetObsolete(true);  // inside an obsolete parent: unlinked first
    SmartPtr<GameNode> keepC(c);
    c->SetObsolete(true);
    SmartPtr<CountingAnimTree> anim(new CountingAnimTree);
    SmartPtr<Qmv2::TaskPurge> purge(new Qmv2::TaskPurge(root.Get(), anim.Get()));
    purge->Execute(16);
    EXPECT_EQ(destroyed, 3);  // b, b1 and b2; c is still held here
    EXPECT_EQ(root->GetFirstChild(), a);
    EXPECT_EQ(a->GetNextSibling(), nullptr);
    EXPECT_EQ(c->GetParent(), nullptr);
    EXPECT_FALSE(c->IsObsolete());
    EXPECT_EQ(anim->purges, 1);
}

}  // namespace frame_task_test
