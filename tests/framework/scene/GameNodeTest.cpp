#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "SceneTestSupport.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyValue.h"
#include "framework/core/properties/PropertyVector.h"
#include "framework/scene/AnimTree.h"
#include "framework/scene/GameTree.h"
#include "framework/scene/SceneClasses.h"

namespace game_node_test {

using Qmv2::GameNode;
using Qmv2::Modifier;
using Qmv2::PropertyNode;
using Qmv2::PropertyValue;
using Qmv2::PropertyVector;
using Qmv2::SmartPtr;
using scenetest::ChildNames;
using scenetest::LoggingNode;
using scenetest::TimedModifier;

namespace {

PropertyNode* Describe(const std::string& type, std::vector<std::pair<std::string, std::string>> keys)
{
    auto* node = new PropertyNode("", type);
    for (const auto& [key, text] : keys) {
        node->AddChild(new PropertyValue(key, "", text));
    }
    return node;
}

class GameNodeTest : public ::testing::Test {
protected:
    void SetUp() override { Qmv2::RegisterSceneClasses(); }
    std::vector<std::string> log;
};

TEST_F(GameNodeTest, BuildsItsSubtreeFromPropertyNodes)
{
    SmartPtr<PropertyNode> description(Describe("GameNode", {{"name", "root"}, {"tag", "0x1F"}, {"x", "12.5"},
                                                             {"y", "-3"}, {"suspended", "true"}}));
    auto* children = new PropertyVector("children");
    PropertyNode* first = Describe("GameNode", {{"name", "first"}, {"visible", ""}});
    auto* grandChildren = new PropertyVector("children");
    grandChildren->AddItem(Describe("GameNode", {{"name", "inner"}, {"tag", "#10"}}));
    first->AddChild(grandChildren);
    children->AddItem(first);
    children->AddItem(Describe("NoSuchClass", {{"name", "skipped"}}));   // no creator: skipped
    children->AddItem(Describe("String", {{"name", "value"}}));          // not a node: discarded
    children->AddItem(Describe("GameNode", {{"name", "second"}, {"visible", "false"}}));
    children->AddItem(Describe("GameNode", {{"name", "third"}, {"tag", "42"}}));
    description->AddChild(children);

    SmartPtr<GameNode> root(new GameNode(description.Get()));
    EXPECT_EQ(root->GetName(), "root");
    EXPECT_EQ(root->GetTag(), 0x1F);
    EXPECT_FLOAT_EQ(root->GetX(), 12.5f);
    EXPECT_FLOAT_EQ(root->GetY(), -3.0f);
    EXPECT_TRUE(root->IsSuspended());
    EXPECT_TRUE(root->IsVisible()) << "a missing key leaves the node visible";
    ASSERT_EQ(ChildNames(*root), (std::vector<std::string>{"first", "second", "third"}));
    GameNode* firstNode = root->GetFirstChild();
    EXPECT_FALSE(firstNode->IsVisible()) << "a present but empty key hides the node";
    EXPECT_FALSE(firstNode->GetNextSibling()->IsVisible());
    EXPECT_EQ(firstNode->GetNextSibling()->GetNextSibling()->GetTag(), 42);
    ASSERT_NE(firstNode->GetFirstChild(), nullptr);
    EXPECT_EQ(firstNode->GetFirstChild()->GetTag(), 16);
    EXPECT_EQ(firstNode->GetRefCount(), 1) << "the parent holds the one reference";

    // "children" that is not a list and a node from nothing create nothing.
    SmartPtr<PropertyNode> odd(Describe("GameNode", {{"children", "text"}}));
    SmartPtr<GameNode> plain(new GameNode(odd.Get()));
    EXPECT_EQ(plain->GetFirstChild(), nullptr);
    SmartPtr<GameNode> empty(new GameNode(static_cast<PropertyNode*>(nullptr)));
    EXPECT_EQ(empty->GetName(), "");
    EXPECT_TRUE(empty->IsVisible());
}

TEST_F(GameNodeTest, FindChildSkipsObsoleteSubtreesAndSearchesDepthFirst)
{
    SmartPtr<GameNode> root(new GameNode("root"));
    auto* a = new GameNode("a");
    auto* a1 = new GameNode("x");
    auto* b = new GameNode("b");
    auto* x = new GameNode("x");
    root->AddChild(a);
    a->AddChild(a1);
    root->AddChild(b);
    root->AddChild(x);
    EXPECT_EQ(root->FindChild("x", false), x) << "only direct children without recursion";
    EXPECT_EQ(root->FindChild("x", true), a1) << "a child's subtree comes before the next sibling";
    EXPECT_EQ(root->FindChild("X", true), nullptr);
    EXPECT_EQ(root->FindChild("x ", true), nullptr);
    a->SetObsolete(true);
    EXPECT_EQ(root->FindChild("x", true), x) << "an obsolete subtree is not searched";
    EXPECT_EQ(root->FindChild("a", true), nullptr);
}

TEST_F(GameNodeTest, LinksMoveNodesAndKeepOneReference)
{
    SmartPtr<GameNode> root(new GameNode("root"));
    SmartPtr<GameNode> other(new GameNode("other"));
    auto* a = new GameNode("a");
    auto* b = new GameNode("b");
    auto* c = new GameNode("c");
    root->AddChild(a);
    root->AddChild(b);
    root->AddChild(c);
    root->AddChild(c);
    EXPECT_EQ(ChildNames(*root), (std::vector<std::string>{"a", "b", "c"})) << "the last child stays put";
    root->AddChild(a);
    EXPECT_EQ(ChildNames(*root), (std::vector<std::string>{"b", "c", "a"})) << "an earlier child moves to the end";
    EXPECT_EQ(a->GetRefCount(), 1);

    c->InsertBefore(a);
    EXPECT_EQ(ChildNames(*root), (std::vector<std::string>{"b", "c", "a"})) << "already right before it";
    a->InsertBefore(b);
    EXPECT_EQ(ChildNames(*root), (std::vector<std::string>{"a", "b", "c"})) << "takes the head's place";
    EXPECT_EQ(a->GetRefCount(), 1);

    other->AddChild(b);
    EXPECT_EQ(ChildNames(*root), (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(b->GetParent(), other.Get());
    EXPECT_EQ(b->GetRefCount(), 1) << "the reference moves with the node";

    // Cycles are refused.
    a->AddChild(a);
    a->AddChild(root.Get());
    root->InsertBefore(a);
    EXPECT_EQ(a->GetFirstChild(), nullptr);
    EXPECT_EQ(root->GetParent(), nullptr);

    // Taking a node out hands the parent's reference to the caller.
    c->SetObsolete(true);
    c->RemoveFromParent();
    EXPECT_FALSE(c->IsObsolete());
    EXPECT_EQ(c->GetParent(), nullptr);
    EXPECT_EQ(ChildNames(*root), (std::vector<std::string>{"a"}));
    EXPECT_EQ(c->GetRefCount(), 1);
    c->Release();
}

TEST_F(GameNodeTest, TickWalkSkipsSuspendedAndObsoleteSubtreesButAlwaysTicksTheRoot)
{
    SmartPtr<GameNode> root(new LoggingNode("root", &log));
    auto* a = new LoggingNode("a", &log);
    auto* b = new LoggingNode("b", &log);
    auto* c = new LoggingNode("c", &log);
    root->AddChild(a);
    a->AddChild(new LoggingNode("a1", &log));
    root->AddChild(b);
    b->AddChild(new LoggingNode("b1", &log));
    root->AddChild(c);
    root->SetSuspended(true);
    b->SetSuspended(true);
    c->SetObsolete(true);
    // A suspended node's own modifiers freeze with it.
    auto* held = new TimedModifier("held", 10, &log);
    b->AddModifier(held);
    root->TickTree(16);
    EXPECT_EQ(log, (std::vector<std::string>{"root:16", "a:16", "a1:16"}));
    EXPECT_EQ(held->GetState(), 0u);
}

TEST_F(GameNodeTest, PurgeReleasesObsoleteNodesUnlessTheFlagWasCleared)
{
    int destroyed = 0;
    SmartPtr<GameNode> root(new GameNode("root"));
    auto* a = new LoggingNode("a", &log, &destroyed);
    auto* b = new LoggingNode("b", &log, &destroyed);
    auto* c = new LoggingNode("c", &log, &destroyed);
    root->AddChild(a);
    a->AddChild(new LoggingNode("a1", &log, &destroyed));
    root->AddChild(b);
    root->AddChild(c);
    a->SetObsolete(true);
    b->SetObsolete(true);
    b->SetObsolete(false);
    c->SetObsolete(true);
    root->PurgeTree();
    EXPECT_EQ(destroyed, 3) << "a with its child, and c";
    EXPECT_EQ(ChildNames(*root), (std::vector<std::string>{"b"}));
}

TEST_F(GameNodeTest, OwnModifierListRunsInOrderAndBlockingHoldsBackLaterOnes)
{
    int destroyed = 0;
    SmartPtr<GameNode> node(new GameNode("n"));
    node->AddModifier(new TimedModifier("a", 20, &log, &destroyed));
    node->AddModifier(new TimedModifier("wait", 40, &log, &destroyed, Modifier::kOptionBlocking));
    auto* later = node->AddModifier(new TimedModifier("later", 10, &log, &destroyed));
    EXPECT_EQ(later->GetTarget(), node.Get());
    EXPECT_EQ(later->GetRefCount(), 1);
    node->AddModifier(later);
    EXPECT_EQ(node->GetModifiers().size(), 3u) << "a modifier is listed once";

    node->Tick(16);
    EXPECT_EQ(log, (std::vector<std::string>{"a start", "a update 16", "wait start", "wait update 16"}));
    log.clear();
    node->Tick(16);
    EXPECT_EQ(log, (std::vector<std::string>{"a update 16", "a finish", "wait update 16"}));
    EXPECT_EQ(destroyed, 1) << "a finished modifier leaves the list at once";
    log.clear();
    node->Tick(16);
    EXPECT_EQ(log, (std::vector<std::string>{"wait update 16", "wait finish", "later start", "later update 16",
                                             "later finish"}));
    EXPECT_TRUE(node->GetModifiers().empty());
    EXPECT_EQ(destroyed, 3);
}

TEST_F(GameNodeTest, ACancelledModifierInTheOwnListStopsWhereItIs)
{
    int destroyed = 0;
    SmartPtr<GameNode> node(new GameNode("n"));
    auto* blocking = node->AddModifier(new TimedModifier("blocking", 100, &log, &destroyed, Modifier::kOptionBlocking));
    node->AddModifier(new TimedModifier("next", 10, &log, &destroyed));
    node->Tick(16);
    blocking->SetCancelled(true);
    log.clear();
    node->Tick(16);
    EXPECT_EQ(log, (std::vector<std::string>{"next start", "next update 16", "next finish"}))
        << "no further step and no finish for the cancelled one; the list goes on past it";
    EXPECT_TRUE(node->GetModifiers().empty());
    EXPECT_EQ(destroyed, 2);
}

// Appends a follower to its node's own list when it starts.
class SpawningModifier : public TimedModifier {
public:
    using TimedModifier::TimedModifier;
    void Start() override
    {
        TimedModifier::Start();
        GetTarget()->AddModifier(new TimedModifier("spawned", 0, &spawnLog));
    }
    std::vector<std::string> spawnLog;
};

TEST_F(GameNodeTest, ModifierDoneOptionsInTheOwnList)
{
    // Option 4 ends and drops everything ahead of it, running or not.
    int destroyed = 0;
    SmartPtr<GameNode> node(new GameNode("n"));
    node->AddModifier(new TimedModifier("slow", 1000, &log, &destroyed));
    node->AddModifier(new TimedModifier("cut", 10, &log, &destroyed, Modifier::kOptionCancelEarlier));
    node->AddModifier(new TimedModifier("after", 1000, &log, &destroyed));
    node->Tick(16);
    EXPECT_EQ(destroyed, 2);
    ASSERT_EQ(node->GetModifiers().size(), 1u);
    EXPECT_EQ(node->GetModifiers()[0]->GetName(), "after");
    EXPECT_NE(std::find(log.begin(), log.end(), "slow finish"), log.end()) << "the dropped ones are finished";

    // Option 2 marks the node obsolete.
    node->AddModifier(new TimedModifier("remove", 0, &log, nullptr, Modifier::kOptionRemoveTarget));
    node->Tick(1);
    EXPECT_TRUE(node->IsObsolete());

    // A modifier appended during the tick runs in the same walk.
    SmartPtr<GameNode> host(new GameNode("host"));
    auto* spawner = new SpawningModifier("spawner", 100, &log);
    host->AddModifier(spawner);
    SmartPtr<Modifier> keep(spawner);
    host->Tick(5);
    EXPECT_EQ(spawner->spawnLog, (std::vector<std::string>{"spawned start", "spawned update 5", "spawned finish"}));
}

TEST_F(GameNodeTest, ReleasedNodeTakesItsAnimationsOutOfTheTree)
{
    int destroyed = 0;
    SmartPtr<Qmv2::AnimTree> tree(new Qmv2::AnimTree);
    auto* node = new GameNode("n");
    node->AddRef();
    auto* fade = new TimedModifier("fade", 100, &log, &destroyed);
    fade->SetTarget(node);
    Modifier::AttachTo(fade, tree.Get());
    auto* then = new TimedModifier("then", 10, &log, &destroyed);
    Modifier::AttachTo(then, fade);
    ASSERT_EQ(node->GetAnimations().size(), 1u);
    node->AddModifier(new TimedModifier("own", 100, &log, &destroyed));

    node->Release();
    EXPECT_EQ(destroyed, 2) << "the own modifier and the animation are released";
    EXPECT_EQ(tree->GetFirstChild(), then) << "the waiting step moves up and still runs";
    EXPECT_EQ(then->GetParent(), tree.Get());
    tree->Update(16);
    tree->Purge();
    EXPECT_EQ(tree->GetFirstChild(), nullptr);
    EXPECT_EQ(destroyed, 3);
}

TEST_F(GameNodeTest, CoordinatesFollowTheChainOfTranslations)
{
    SmartPtr<GameNode> root(new GameNode("root"));
    auto* parent = new GameNode("parent");
    auto* child = new GameNode("child");
    root->AddChild(parent);
    parent->AddChild(child);
    root->SetPosition(100.0f, 50.0f);
    parent->SetPosition(10.0f, 20.0f);
    child->SetPosition(1.0f, 2.0f);
    EXPECT_FLOAT_EQ(child->GetGlobalX(), 111.0f);
    EXPECT_FLOAT_EQ(child->GetGlobalY(), 72.0f);
    Qmv2::PointF global = child->LocalToGlobal(5.0f, 5.0f);
    EXPECT_FLOAT_EQ(global.x, 116.0f);
    EXPECT_FLOAT_EQ(global.y, 77.0f);
    Qmv2::PointF local = child->GlobalToLocal(116.0f, 77.0f);
    EXPECT_FLOAT_EQ(local.x, 5.0f);
    EXPECT_FLOAT_EQ(local.y, 5.0f);
    EXPECT_FLOAT_EQ(child->GetGlobalMatrix(root.Get(), false).m02, 10.0f) << "the ancestor itself is left out";
    EXPECT_FLOAT_EQ(child->GetInverseGlobalMatrix(root.Get(), true).m12, -22.0f);
    Qmv2::NodeBounds bounds = child->GetBounds(Qmv2::Matrix3x3());
    EXPECT_GT(bounds.left, bounds.right);
    EXPECT_GT(bounds.top, bounds.bottom);
    EXPECT_FALSE(child->HitTest(111.0f, 72.0f));
    EXPECT_EQ(child->ToShortString().substr(child->ToShortString().size() - 8), " \"child\"");
}

TEST_F(GameNodeTest, TheGameTreeIsAnUnnamedRoot)
{
    SmartPtr<Qmv2::GameTree> tree(new Qmv2::GameTree);
    EXPECT_TRUE(tree->IsOfType(&GameNode::s_Type));
    EXPECT_EQ(tree->GetName(), "");
    EXPECT_TRUE(Qmv2::AnimTree::s_Type.IsDerivedFrom(&Qmv2::ModifierContainer::s_Type));
}

}  // namespace

}  // namespace game_node_test
