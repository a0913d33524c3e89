#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SceneManagerTestSupport.h"
#include "framework/core/app/Application.h"
#include "framework/core/object/ObjectFactory.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/properties/BasicProperties.h"
#include "framework/core/properties/DataManager.h"
#include "framework/core/properties/PropertyValue.h"
#include "framework/scene/AnimTree.h"
#include "framework/scene/GameTree.h"
#include "framework/scene/SceneClasses.h"
#include "framework/scene/SceneManager.h"
#include "framework/scene/SceneTransition.h"
#include "framework/scene/Label.h"

namespace scene_manager_test {

using Qmv2::AnimTree;
using Qmv2::Dialog;
using Qmv2::GameNode;
using Qmv2::GameTree;
using Qmv2::Scene;
using Qmv2::SceneManager;
using Qmv2::SmartPtr;
using scenetest::CountingScene;
using scenetest::CountingTransition;

namespace {

class SceneManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Qmv2::RegisterSceneClasses();
        Qmv2::ObjectFactory::GetInstance()->Register<CountingScene>("CountingScene");
        Qmv2::ObjectFactory::GetInstance()->Register<CountingTransition>("CountingTransition");
        Qmv2::BasicProperties::SetInstance(new Qmv2::BasicProperties());
        GameTree::SetInstance(new GameTree());
        AnimTree::SetInstance(new AnimTree());
        auto* data = new Qmv2::DataManager();
        Qmv2::DataManager::SetInstance(data);
        data->AddFileName(std::string(QMV_TEST_DATA_DIR) + "/scenes.xml");
        data->Load();
        SceneManager::SetInstance(new SceneManager());
    }
    void TearDown() override
    {
        SceneManager::ReleaseInstance();
        Qmv2::DataManager::ReleaseInstance();
        AnimTree::ReleaseInstance();
        GameTree::ReleaseInstance();
        Qmv2::BasicProperties::ReleaseInstance();
    }

    static SceneManager& Manager() { return *SceneManager::GetInstance(); }
    static CountingScene* Make(const std::string& key, const std::string& name = std::string())
    {
        return static_cast<CountingScene*>(Manager().CreateScene(key, name));
    }
    static void Frame() { Manager().Execute(16); }

    static bool IsRunning(const Scene& scene)
    {
        return scene.IsVisible() && !scene.IsSuspended() && !scene.GetAnimations()->IsSuspended() &&
               scene.m_AcceptsInput && scene.m_ChildrenAcceptInput;
    }
    static bool IsPutAway(const Scene& scene)
    {
        return !scene.IsVisible() && scene.IsSuspended() && scene.GetAnimations()->IsSuspended() &&
               !scene.m_AcceptsInput && !scene.m_ChildrenAcceptInput;
    }
};

TEST_F(SceneManagerTest, ManagerHangsItsNodeAndAnimationsBelowTheRoots)
{
    GameNode* node = Manager().GetScenesNode();
    EXPECT_EQ(node->GetName(), "ScenesNode");
    EXPECT_EQ(node->GetParent(), GameTree::GetInstance());
    EXPECT_EQ(Manager().GetAnimations()->GetName(), "Scene Manager");
    EXPECT_EQ(Manager().GetAnimations()->GetParent(), AnimTree::GetInstance());
}

TEST_F(SceneManagerTest, CreatedSceneIsNamedPlacedAndPutAway)
{
    CountingScene* menu = Make("SCENE_MENU");
    ASSERT_NE(menu, nullptr);
    CountingScene* game = Make("SCENE_GAME", "OTHER");
    ASSERT_NE(game, nullptr);
    EXPECT_EQ(menu->GetName(), "SCENE_MENU");
    EXPECT_EQ(game->GetName(), "OTHER");
    EXPECT_EQ(Manager().FindScene("OTHER"), game);
    EXPECT_EQ(Manager().FindScene("SCENE_GAME"), nullptr);
    EXPECT_EQ(menu->GetParent(), Manager().GetScenesNode());
    EXPECT_EQ(menu->GetNextSibling(), game);
    EXPECT_EQ(menu->GetAnimations()->GetParent(), Manager().GetAnimations());
    EXPECT_EQ(menu->GetAnimations()->GetName(), "Scene");
    EXPECT_EQ(menu->GetLoadState(), Scene::kNew);
    EXPECT_FALSE(menu->m_Exclusive);
    EXPECT_TRUE(IsPutAway(*menu));
    EXPECT_EQ(Manager().GetScenes().GetCount(), 2);
}

TEST_F(SceneManagerTest, DefinitionsThatMakeNoSceneAreRefused)
{
    EXPECT_EQ(Manager().CreateScene("SCENE_NOT_A_SCENE", ""), nullptr);
    EXPECT_EQ(Manager().CreateScene("SCENE_MISSING", ""), nullptr);
    EXPECT_EQ(Manager().GetScenes().GetCount(), 0);
    EXPECT_EQ(Manager().GetScenesNode()->GetFirstChild(), nullptr);
}

TEST_F(SceneManagerTest, ComponentsAreMadeOnTheFirstShowingOnly)
{
    CountingScene* menu = Make("SCENE_MENU");
    EXPECT_NE(menu->FindChild("BUILT_WITH_DIALOG", true), nullptr);
    EXPECT_EQ(menu->FindChild("TITLE", true), nullptr);
    menu->Show();
    EXPECT_EQ(menu->GetLoadState(), Scene::kLoaded);
    EXPECT_NE(menu->FindChild("MENU", true), nullptr);
    EXPECT_FALSE(menu->m_AcceptsInput) << "input comes with activation";
    menu->Show();
    EXPECT_EQ(menu->loads, 1);
    int titles = 0;
    for (GameNode* c = menu->GetComponents()->GetFirstChild(); c != nullptr; c = c->GetNextSibling()) {
        titles += c->GetName() == "TITLE" ? 1 : 0;
    }
    EXPECT_EQ(titles, 1);
}

TEST_F(SceneManagerTest, SwitchWithoutTransitionActivatesTheNewSceneAndPutsTheOldAway)
{
    CountingScene* menu = Make("SCENE_MENU");
    CountingScene* game = Make("SCENE_GAME");
    Frame();
    EXPECT_EQ(Manager().GetCurrentScene(), nullptr) << "nothing requested, nothing shown";

    Manager().SetPendingScene("SCENE_MENU");
    EXPECT_EQ(Manager().GetCurrentScene(), nullptr) << "switching waits for the next frame";
    Frame();
    EXPECT_EQ(Manager().GetCurrentScene(), menu);
    EXPECT_EQ(Manager().GetPendingScene(), nullptr);
    EXPECT_EQ(menu->shows, 1);
    EXPECT_EQ(menu->GetLoadState(), Scene::kActive);
    EXPECT_TRUE(IsRunning(*menu));

    Manager().RequestScene(game);
    Frame();
    EXPECT_EQ(Manager().GetCurrentScene(), game);
    EXPECT_TRUE(IsRunning(*game));
    EXPECT_EQ(menu->deactivations, 1);
    EXPECT_EQ(menu->GetLoadState(), Scene::kLoaded);
    EXPECT_TRUE(IsPutAway(*menu));
    EXPECT_EQ(Manager().GetPreviousScene(), nullptr);

    Manager().RequestScene(menu);
    Frame();
    EXPECT_EQ(menu->loads, 1) << "a scene re-entered is not loaded again";
    EXPECT_EQ(menu->activations, 2);
    EXPECT_TRUE(IsPutAway(*game));
}

TEST_F(SceneManagerTest, LaterRequestInOneFrameWinsAndUnknownNamesClearThePending)
{
    CountingScene* menu = Make("SCENE_MENU");
    CountingScene* game = Make("SCENE_GAME");
    Manager().RequestScene(menu);
    Manager().RequestScene(game);
    Frame();
    EXPECT_EQ(Manager().GetCurrentScene(), game);
    EXPECT_EQ(menu->shows, 0);

    Manager().RequestScene(menu);
    Manager().SetPendingScene("NO_SUCH_SCENE");
    EXPECT_EQ(Manager().GetPendingScene(), nullptr);
    Frame();
    EXPECT_EQ(Manager().GetCurrentScene(), game);
}

TEST_F(SceneManagerTest, ObsoleteScenesLeaveTheListOnlyWhenInactive)
{
    CountingScene* menu = Make("SCENE_MENU");
    SmartPtr<Scene> trophy(Make("SCENE_TROPHY"));
    Manager().RequestScene(menu);
    Frame();
    menu->SetObsolete(true);
    trophy->SetObsolete(true);
    Frame();
    EXPECT_EQ(Manager().FindScene("SCENE_MENU"), menu) << "the current scene stays";
    EXPECT_EQ(Manager().FindScene("SCENE_TROPHY"), nullptr);

    CountingScene* game = Make("SCENE_GAME");
    Manager().RemoveScene(game);
    EXPECT_TRUE(game->IsObsolete()) << "the scenes node still holds it until the purge";
    EXPECT_EQ(Manager().FindScene("SCENE_GAME"), nullptr);
}

TEST_F(SceneManagerTest, TransitionRunsBetweenTheScenesAndIsRetiredAfterwards)
{
    CountingScene* menu = Make("SCENE_MENU");
    CountingScene* game = Make("SCENE_GAME");
    Manager().RequestScene(menu);
    Frame();

    Manager().StartTransition("TRANSITION_DEFAULT");
    auto* transition = static_cast<CountingTransition*>(Manager().GetTransition());
    ASSERT_NE(transition, nullptr);
    SmartPtr<Scene> keep(transition);
    EXPECT_EQ(transition->GetParent(), Manager().GetScenesNode());
    EXPECT_EQ(transition->GetNextSibling(), nullptr) << "drawn above every scene";
    EXPECT_EQ(transition->GetAnimations()->GetParent(), Manager().GetAnimations());
    Frame();
    Frame();
    EXPECT_EQ(Manager().GetCurrentScene(), menu) << "an unused transition waits for a request";

    Manager().RequestScene(game);
    Frame();
    EXPECT_EQ(Manager().GetCurrentScene(), transition);
    EXPECT_EQ(transition->from, menu);
    EXPECT_EQ(transition->to, game);
    EXPECT_EQ(transition->shows, 1);
    EXPECT_TRUE(IsRunning(*transition));
    EXPECT_EQ(menu->deactivations, 0) << "the transition still draws the scene it leaves";
    EXPECT_TRUE(menu->IsVisible());
    EXPECT_EQ(game->shows, 0);

    // The transition's own work ends with a request for the scene it leads to.
    game->Show();
    Manager().RequestScene(game);
    Frame();
    EXPECT_EQ(Manager().GetCurrentScene(), game);
    EXPECT_EQ(game->shows, 1) << "a scene the transition revealed is not shown again";
    EXPECT_TRUE(IsRunning(*game));
    EXPECT_EQ(Manager().GetTransition(), nullptr);
    EXPECT_TRUE(transition->IsObsolete());
    EXPECT_TRUE(transition->GetAnimations()->IsCancelled());
    EXPECT_EQ(transition->deactivations, 1);
    EXPECT_EQ(Manager().FindScene("TRANSITION_DEFAULT"), nullptr) << "a transition is not a listed scene";
}

TEST_F(SceneManagerTest, DialogsAreMadeOncePerNameAndClosedThroughTheScene)
{
    CountingScene* menu = Make("SCENE_MENU");
    Dialog* first = menu->GetDialog("DIALOG_NEXTROUND", "");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->GetName(), "DIALOG_NEXTROUND");
    EXPECT_EQ(menu->GetDialog("DIALOG_NEXTROUND", ""), first);
    Dialog* second = menu->GetDialog("DIALOG_NEXTROUND", "DIALOG_AGAIN");
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first);
    EXPECT_EQ(menu->FindDialog("DIALOG_AGAIN"), second);
    EXPECT_EQ(first->GetParent(), nullptr) << "getting a dialog does not show it";
    EXPECT_EQ(menu->GetDialog("NOT_A_DIALOG", ""), nullptr);
    EXPECT_EQ(menu->GetDialog("MISSING", ""), nullptr);
    EXPECT_EQ(menu->GetDialogs().GetCount(), 2);

    menu->ShowDialog(first);
    EXPECT_EQ(first->GetParent(), menu);
    EXPECT_EQ(first->GetNextSibling(), nullptr) << "a shown dialog is drawn on top";
    EXPECT_TRUE(first->m_ChildrenAcceptInput);

    SmartPtr<Dialog> keep(first);
    menu->CloseDialog(first);
    EXPECT_TRUE(first->IsObsolete());
    EXPECT_FALSE(first->m_ChildrenAcceptInput);
    EXPECT_EQ(menu->FindDialog("DIALOG_NEXTROUND"), nullptr);
    Dialog* fresh = menu->GetDialog("DIALOG_NEXTROUND", "");
    EXPECT_NE(fresh, first);
    menu->CloseDialog(nullptr);
    EXPECT_EQ(menu->GetDialogs().GetCount(), 2);
}

TEST_F(SceneManagerTest, DialogClosesItselfInTheCurrentScene)
{
    CountingScene* menu = Make("SCENE_MENU");
    Dialog* dialog = menu->GetDialog("DIALOG_NEXTROUND", "");
    SmartPtr<Dialog> keep(dialog);
    dialog->CloseInCurrentScene();
    EXPECT_FALSE(dialog->IsObsolete()) << "no current scene, nothing closed";

    Manager().RequestScene(menu);
    Frame();
    menu->ShowDialog(dialog);
    dialog->CloseInCurrentScene();
    EXPECT_TRUE(dialog->IsObsolete());
    EXPECT_EQ(menu->FindDialog("DIALOG_NEXTROUND"), nullptr);
}

TEST_F(SceneManagerTest, StartUpCommandsMakeTheManagerAndPickTheFirstScene)
{
    SceneManager::ReleaseInstance();
    Qmv2::Application application("properties/application.xml");
    SmartPtr<Qmv2::PropertyNode> command(new Qmv2::PropertyNode());
    command->AddChild(new Qmv2::PropertyValue("name", "String", "scenemanager"));
    application.ExecuteCommand(command.Get());
    ASSERT_NE(SceneManager::GetInstance(), nullptr);
    CountingScene* menu = Make("SCENE_MENU");

    SmartPtr<Qmv2::PropertyNode> activate(new Qmv2::PropertyNode());
    activate->AddChild(new Qmv2::PropertyValue("name", "String", "activatescene"));
    activate->AddChild(new Qmv2::PropertyValue("scene", "String", "SCENE_MENU"));
    application.ExecuteCommand(activate.Get());
    EXPECT_EQ(Manager().GetPendingScene(), menu);
    EXPECT_TRUE(Qmv2::Application::s_Running);
    application.Shutdown();
    EXPECT_EQ(SceneManager::GetInstance(), nullptr) << "shutdown releases the manager";
}

}  // namespace

namespace {

class SceneSwitchTest : public SceneManagerTest {
protected:
    // One frame of the game: switches, then the tree and its animations.
    static void Play(int ms)
    {
        for (int t = 0; t < ms; t += 100) {
            Frame();
            GameTree::GetInstance()->TickTree(100);
            AnimTree::GetInstance()->Update(100);
        }
    }
};

TEST_F(SceneSwitchTest, AskingForTheSceneOnScreenChangesNothingAndLaterRequestsStillWork)
{
    CountingScene* menu = Make("SCENE_MENU");
    CountingScene* game = Make("SCENE_GAME");
    Manager().RequestScene(menu);
    Frame();
    Manager().RequestScene(menu);
    Frame();
    EXPECT_TRUE(IsRunning(*menu)) << "the scene on screen stays on screen";
    EXPECT_EQ(menu->deactivations, 0);
    EXPECT_EQ(Manager().GetPendingScene(), nullptr);
    Manager().RequestScene(game);
    Frame();
    EXPECT_EQ(Manager().GetCurrentScene(), game);
    EXPECT_TRUE(IsRunning(*game));
    EXPECT_TRUE(IsPutAway(*menu));
}

TEST_F(SceneSwitchTest, TheFirstSceneComesStraightInEvenWithATransitionStarted)
{
    CountingScene* menu = Make("SCENE_MENU");
    Manager().StartTransition("TRANSITION_DEFAULT");
    auto* transition = static_cast<CountingTransition*>(Manager().GetTransition());
    ASSERT_NE(transition, nullptr);
    Manager().RequestScene(menu);
    Frame();
    EXPECT_EQ(Manager().GetCurrentScene(), menu) << "there is no scene to pass from";
    EXPECT_TRUE(IsRunning(*menu));
    EXPECT_EQ(transition->activations, 0) << "the transition never ran with nothing to leave";
    EXPECT_EQ(Manager().GetTransition(), nullptr);
}

TEST_F(SceneSwitchTest, AnAlphaTransitionFadesTheOldSceneAwayAndRequestsTheNewOne)
{
    CountingScene* menu = Make("SCENE_MENU");
    CountingScene* game = Make("SCENE_GAME");
    Manager().RequestScene(menu);
    Frame();
    Manager().StartTransition("TRANSITION_ALPHA");
    auto* alpha = static_cast<Qmv2::SceneTransitionAlpha*>(Manager().GetTransition());
    ASSERT_NE(alpha, nullptr);
    Manager().RequestScene(game);
    Frame();
    EXPECT_EQ(Manager().GetCurrentScene(), alpha);
    EXPECT_EQ(alpha->GetFromScene(), menu);
    EXPECT_EQ(alpha->GetToScene(), game);
    EXPECT_FALSE(menu->m_AcceptsInput) << "the old scene hears nothing during the switch";
    Play(100);
    ASSERT_NE(alpha->GetSnapshot(), nullptr) << "without waiting the snapshot comes in the first update";
    EXPECT_TRUE(game->IsVisible()) << "the new scene shows behind the fading picture";
    EXPECT_EQ(menu->deactivations, 1);
    Play(500);
    EXPECT_NEAR(alpha->GetSnapshot()->GetColor().a, 0.5f, 0.11f);
    EXPECT_EQ(Manager().GetCurrentScene(), alpha);
    Play(600);
    EXPECT_EQ(Manager().GetCurrentScene(), game) << "the fade's end requested the new scene";
    EXPECT_TRUE(IsRunning(*game));
    EXPECT_EQ(Manager().GetTransition(), nullptr);
    EXPECT_TRUE(alpha->IsObsolete());
}

TEST_F(SceneSwitchTest, AFadeShowsItsLoadingLabelOnlyWhileLoadingOutlastsTheDelay)
{
    CountingScene* menu = Make("SCENE_MENU");
    CountingScene* game = Make("SCENE_GAME");
    Manager().RequestScene(menu);
    Frame();
    Manager().StartTransition("TRANSITION_FADE");
    auto* fade = static_cast<Qmv2::SceneTransitionFadeBlack*>(Manager().GetTransition());
    ASSERT_NE(fade, nullptr);
    EXPECT_FLOAT_EQ(fade->GetWidth(), 800.0f) << "the overlay covers the window";
    EXPECT_FLOAT_EQ(fade->GetColor().g, 0x20 / 255.0f);
    Manager().RequestScene(game);
    Frame();
    ASSERT_EQ(Manager().GetCurrentScene(), fade);
    Qmv2::Label* label = fade->GetLoadingLabel();
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->GetParent(), fade) << "the label is lifted out of its holder";
    Play(300);
    EXPECT_NEAR(fade->GetColor().a, 0.6f, 0.21f);
    EXPECT_TRUE(menu->IsVisible()) << "the old scene stays under the rising colour";
    // Covered after 500 ms; without a resource manager loading is over at
    // once while the label's delay still runs: no label, straight out.
    Play(300);
    EXPECT_EQ(fade->GetState(), Qmv2::SceneTransitionFadeBlack::kFadingOut);
    EXPECT_FLOAT_EQ(label->GetColor().a, 0.0f);
    EXPECT_FALSE(menu->IsVisible());
    EXPECT_TRUE(game->IsVisible());
    Play(700);
    EXPECT_EQ(Manager().GetCurrentScene(), game);
}

}  // namespace

}  // namespace scene_manager_test
