#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SceneTestSupport.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/scene/AnimTree.h"
#include "framework/scene/ModifierContainer.h"
#include "framework/scene/ModifierFraction.h"

namespace anim_tree_test {

using Qmv2::AnimTree;
using Qmv2::GameNode;
using Qmv2::Modifier;
using Qmv2::ModifierContainer;
using Qmv2::ModifierFraction;
using Qmv2::SmartPtr;
using scenetest::TimedModifier;

namespace {

class AnimTreeTest : public ::testing::Test {
protected:
    void Frame(std::uint32_t dt)
    {
        tree->Update(dt);
        tree->Purge();
    }
    TimedModifier* Timed(const std::string& name, std::uint32_t duration, std::uint32_t options = 0)
    {
        return new TimedModifier(name, duration, &log, &destroyed, options);
    }

    SmartPtr<AnimTree> tree{new AnimTree};
    std::vector<std::string> log;
    int destroyed = 0;
};

TEST_F(AnimTreeTest, ChainedStepStartsInTheTickItsParentFinishesAndMovesUp)
{
    TimedModifier* a = Timed("a", 20);
    Modifier::AttachTo(a, tree.Get());
    TimedModifier* b = Timed("b", 100);
    EXPECT_EQ(Modifier::AttachTo(b, Modifier::GetLastAttached()), b);
    EXPECT_EQ(b->GetParent(), a);

    Frame(16);
    EXPECT_EQ(log, (std::vector<std::string>{"a start", "a update 16"}));
    log.clear();
    tree->Update(16);
    EXPECT_EQ(log, (std::vector<std::string>{"a update 16", "a finish", "b start", "b update 16"}));
    EXPECT_EQ(destroyed, 0);
    tree->Purge();
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(tree->GetFirstChild(), b);
    EXPECT_EQ(b->GetParent(), tree.Get());
    EXPECT_EQ(b->GetRefCount(), 1) << "only the tree holds it";
}

TEST_F(AnimTreeTest, ContainerChildrenRunSideBySideInAttachOrder)
{
    auto* group = new ModifierContainer("group", true);
    Modifier::AttachTo(group, tree.Get());
    Modifier::AttachTo(Timed("x", 16), group);
    Modifier::AttachTo(Timed("y", 32), group);
    auto* keep = new ModifierContainer("keep", false);
    Modifier::AttachTo(keep, tree.Get());
    EXPECT_NE(group->ToString().find("Remove when empty"), std::string::npos);

    Frame(16);
    EXPECT_EQ(log, (std::vector<std::string>{"x start", "x update 16", "x finish", "y start", "y update 16"}));
    EXPECT_EQ(group->GetParent(), tree.Get()) << "still holds y";
    Frame(16);
    EXPECT_EQ(tree->GetFirstChild(), keep) << "the emptied container goes in the same purge";
    EXPECT_EQ(destroyed, 2);
    Frame(16);
    EXPECT_EQ(tree->GetFirstChild(), keep) << "a container that is not removed when empty stays";
}

TEST_F(AnimTreeTest, CancellingAContainerStopsEverythingBelowAndDropsIt)
{
    auto* group = new ModifierContainer("group", false);
    Modifier::AttachTo(group, tree.Get());
    TimedModifier* a = Timed("a", 100);
    Modifier::AttachTo(a, group);
    Modifier::AttachTo(Timed("a then", 100), a);
    Modifier::AttachTo(Timed("b", 100), group);
    Frame(16);
    log.clear();
    group->SetCancelled(true);
    EXPECT_TRUE(a->IsCancelled());
    tree->Update(16);
    EXPECT_TRUE(log.empty());
    tree->Purge();
    EXPECT_EQ(destroyed, 3);
    EXPECT_EQ(tree->GetFirstChild(), nullptr);
}

TEST_F(AnimTreeTest, CancelledModifierHeldElsewhereLosesTheTreeReferenceOnce)
{
    TimedModifier* a = Timed("a", 100);
    Modifier::AttachTo(a, tree.Get());
    Modifier::AttachTo(Timed("waiting", 10), a);
    SmartPtr<Modifier> held(a);
    ASSERT_EQ(a->GetRefCount(), 2);
    a->SetCancelled(true);
    Frame(16);
    EXPECT_EQ(a->GetRefCount(), 1);
    EXPECT_EQ(a->GetParent(), nullptr) << "dropped from the tree, not left linked";
    EXPECT_EQ(tree->GetFirstChild(), nullptr);
    Frame(16);
    Frame(16);
    EXPECT_EQ(a->GetRefCount(), 1) << "later purges leave the holder's reference alone";
    EXPECT_EQ(destroyed, 0);
    held.Reset();
    EXPECT_EQ(destroyed, 2) << "the waiting child goes with it";
}

TEST_F(AnimTreeTest, ChainsUnderAModifierNoTreeHoldsGoWithIt)
{
    // A scene's own container and a node's own-list modifier are held by
    // their owner alone; what is chained under them must not outlive them.
    SmartPtr<Modifier> own(new ModifierContainer("own", false));
    TimedModifier* step = Timed("step", 100);
    Modifier::AttachTo(step, own.Get());
    Modifier::AttachTo(Timed("after", 10), step);
    Modifier::AttachTo(Timed("beside", 10), own.Get());
    own.Reset();
    EXPECT_EQ(destroyed, 3);
}

TEST_F(AnimTreeTest, DoneOptionsActOnTheTarget)
{
    SmartPtr<GameNode> node(new GameNode("n"));
    // 0x8 cancels the nearest enclosing container, never the root.
    auto* group = new ModifierContainer("group", false);
    Modifier::AttachTo(group, tree.Get());
    TimedModifier* stopper = Timed("stopper", 10, Modifier::kOptionCancelContainer);
    stopper->SetTarget(node.Get());
    Modifier::AttachTo(stopper, group);
    Modifier::AttachTo(Timed("sibling", 100), group);
    TimedModifier* top = Timed("top", 10, Modifier::kOptionCancelContainer);
    top->SetTarget(node.Get());
    Modifier::AttachTo(top, tree.Get());
    SmartPtr<Modifier> watchGroup(group);
    Frame(16);
    EXPECT_TRUE(group->IsCancelled());
    EXPECT_EQ(group->GetParent(), nullptr) << "the container is purged after its children, in the same pass";
    EXPECT_FALSE(tree->IsCancelled());
    EXPECT_EQ(tree->GetFirstChild(), nullptr);
    EXPECT_EQ(destroyed, 3) << "stopper, sibling and top";

    // 0x4 cancels the animations registered on the target before it.
    TimedModifier* early = Timed("early", 1000);
    early->SetTarget(node.Get());
    Modifier::AttachTo(early, tree.Get());
    TimedModifier* cutter = Timed("cutter", 10, Modifier::kOptionCancelEarlier);
    cutter->SetTarget(node.Get());
    Modifier::AttachTo(cutter, tree.Get());
    TimedModifier* late = Timed("late", 1000);
    late->SetTarget(node.Get());
    Modifier::AttachTo(late, tree.Get());
    ASSERT_EQ(node->GetAnimations().size(), 3u);
    Frame(16);
    EXPECT_TRUE(early->IsCancelled());
    EXPECT_FALSE(late->IsCancelled());
    ASSERT_EQ(node->GetAnimations().size(), 1u);
    Frame(16);
    EXPECT_EQ(tree->GetFirstChild(), late);

    // 0x2 marks the target obsolete.
    TimedModifier* remover = Timed("remover", 0, Modifier::kOptionRemoveTarget);
    remover->SetTarget(node.Get());
    Modifier::AttachTo(remover, tree.Get());
    Frame(16);
    EXPECT_TRUE(node->IsObsolete());
    EXPECT_EQ(node->GetAnimations().size(), 1u) << "only late is left";
}

TEST_F(AnimTreeTest, SuspendedModifierWaitsWithItsChildren)
{
    TimedModifier* a = Timed("a", 0);
    Modifier::AttachTo(a, tree.Get());
    Modifier::AttachTo(Timed("b", 100), a);
    a->SetSuspended(true);
    Frame(16);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(a->GetState(), 0u);
    a->SetSuspended(false);
    Frame(16);
    EXPECT_EQ(log, (std::vector<std::string>{"a start", "a update 16", "a finish", "b start", "b update 16"}));
}

TEST_F(AnimTreeTest, AttachingMovesAndRefusesCycles)
{
    SmartPtr<GameNode> node(new GameNode("n"));
    TimedModifier* a = Timed("a", 100);
    TimedModifier* b = Timed("b", 100);
    a->SetTarget(node.Get());
    Modifier::AttachTo(a, tree.Get());
    Modifier::AttachTo(b, a);
    Modifier::AttachTo(a, b);
    EXPECT_EQ(a->GetParent(), tree.Get()) << "a modifier cannot go below itself";
    Modifier::AttachTo(b, tree.Get());
    EXPECT_EQ(a->GetNextSibling(), b);
    EXPECT_EQ(b->GetRefCount(), 1) << "moving keeps the one tree reference";
    Modifier::AttachTo(a, b);
    EXPECT_EQ(a->GetTarget(), nullptr) << "a moved modifier loses its target";
    EXPECT_TRUE(node->GetAnimations().empty());

    // AttachAfter runs a modifier beside the anchor.
    Modifier::SetSimultaneousAnchor(a);
    TimedModifier* beside = Timed("beside", 100);
    Modifier::AttachAfter(beside, node.Get());
    EXPECT_EQ(a->GetNextSibling(), beside);
    EXPECT_EQ(beside->GetParent(), b);
    EXPECT_EQ(node->GetAnimations().size(), 1u);
    tree.Reset();
    EXPECT_EQ(destroyed, 3);
    EXPECT_EQ(Modifier::GetSimultaneousAnchor(), nullptr);
    EXPECT_TRUE(node->GetAnimations().empty());
}

// Counts its passes.
class CountingFraction : public ModifierFraction {
public:
    using ModifierFraction::ModifierFraction;
    void OnLoop(bool last) override { passes.push_back(last); }
    std::vector<bool> passes;
};

TEST(ModifierFractionTest, PassesLoopsAndEasing)
{
    SmartPtr<CountingFraction> instant(new CountingFraction(0));
    instant->Update(5);
    EXPECT_TRUE(instant->IsFinished());
    EXPECT_FLOAT_EQ(instant->GetValue(), 1.0f);
    EXPECT_EQ(instant->passes, (std::vector<bool>{true}));

    SmartPtr<CountingFraction> twice(new CountingFraction(100));
    twice->SetLoops(2);
    twice->Update(25);
    EXPECT_FLOAT_EQ(twice->GetValue(), 0.25f);
    EXPECT_TRUE(twice->IsPassRunning());
    twice->Update(100);
    EXPECT_EQ(twice->GetLoops(), 1);
    EXPECT_EQ(twice->GetElapsed(), 25);
    EXPECT_FALSE(twice->IsFinished());
    twice->Update(80);
    EXPECT_TRUE(twice->IsFinished());
    EXPECT_FALSE(twice->IsPassRunning());
    EXPECT_EQ(twice->GetElapsed(), 100);
    EXPECT_EQ(twice->passes, (std::vector<bool>{false, true}));

    SmartPtr<CountingFraction> endless(new CountingFraction(10, Qmv2::SmoothStepEase));
    endless->SetLoops(0);
    endless->Update(35);
    EXPECT_EQ(endless->passes.size(), 3u) << "a large step spans several passes";
    EXPECT_EQ(endless->GetElapsed(), 5);
    EXPECT_FLOAT_EQ(endless->GetValue(), 0.5f);
    EXPECT_TRUE(endless->IsPassRunning());
    EXPECT_FLOAT_EQ(Qmv2::SmoothStepEase(0.25f), 0.15625f);
}

}  // namespace

}  // namespace anim_tree_test
