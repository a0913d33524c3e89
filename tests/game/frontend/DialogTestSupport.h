// The singletons the game-dialog tests stand on: the program's classes, the
// texts and definitions of data/dialogs.xml, the trees and a scene manager.
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "framework/core/files/ResourceManagerWin32.h"
#include "framework/core/object/iGuiMethod.h"
#include "framework/core/properties/BasicProperties.h"
#include "framework/core/properties/DataManager.h"
#include "framework/core/util/Random.h"
#include "framework/scene/AnimTree.h"
#include "framework/scene/GameTree.h"
#include "framework/scene/Scene.h"
#include "framework/scene/SceneManager.h"
#include "framework/scene/TaskRender.h"
#include "framework/graphics/draw/Graphics.h"
#include "game/frontend/FrontendClasses.h"
#include "game/words/GameMode.h"
#include "game/words/iDialogOwnerScene.h"

namespace frontendtest {

inline void SetUpDialogWorld()
{
    RegisterProgramClasses();
    Qmv2::BasicProperties::SetInstance(new Qmv2::BasicProperties());
    Qmv2::GameTree::SetInstance(new Qmv2::GameTree());
    Qmv2::AnimTree::SetInstance(new Qmv2::AnimTree());
    auto* data = new Qmv2::DataManager();
    Qmv2::DataManager::SetInstance(data);
    data->AddFileName(std::string(QMV_TEST_DATA_DIR) + "/dialogs.xml");
    data->Load();
    Qmv2::SceneManager::SetInstance(new Qmv2::SceneManager());
}

// The same over the shipped texts and dialog definitions of the run folder
// (the current folder), with a generator of a fixed seed, so that default
// names and sparks are drawn alike every run.
// Hangs `dialog` (null passes through) under `owner`, shows it and runs it
// past its fade-in and past the last ball of a burst.
inline Qmv2::Dialog* ShowSettled(Qmv2::GameNode* owner, Qmv2::Dialog* dialog)
{
    if (dialog == nullptr) {
        return nullptr;
    }
    owner->AddChild(dialog);
    dialog->Show();
    for (int i = 0; i < 30; ++i) {
        dialog->TickTree(100);
    }
    return dialog;
}

inline void SetUpShippedDialogWorld()
{
    RegisterProgramClasses();
    Qmv2::BasicProperties::SetInstance(new Qmv2::BasicProperties());
    Qmv2::Random::SetInstance(new Qmv2::Random(1));
    Qmv2::GameTree::SetInstance(new Qmv2::GameTree());
    Qmv2::AnimTree::SetInstance(new Qmv2::AnimTree());
    auto* data = new Qmv2::DataManager();
    Qmv2::DataManager::SetInstance(data);
    data->AddFileName("properties/strings.xml");
    data->AddFileName("properties/dialogs.xml");
    data->Load();
}

inline void TearDownShippedDialogWorld()
{
    Qmv2::DataManager::ReleaseInstance();
    Qmv2::AnimTree::ReleaseInstance();
    Qmv2::GameTree::ReleaseInstance();
    Qmv2::BasicProperties::ReleaseInstance();
    Qmv2::Random::ReleaseInstance();
    GameMode::Set(GameMode::kTimed);
}

// The shipped pictures, fonts and sounds (needs the renderer).
inline void StartShippedResources()
{
    Qmv2::ResourceManagerWin32::Create();
    Qmv2::ResourceManager::GetInstance()->AddSectionFile("properties/resources.xml");
    Qmv2::ResourceManager::GetInstance()->LoadSectionList();
}

inline void StopShippedResources()
{
    if (Qmv2::ResourceManager* resources = Qmv2::ResourceManager::GetInstance()) {
        resources->StopThread();
    }
    Qmv2::ResourceManager::ReleaseInstance();
}

// The scene over a cleared screen of the background colour, as one frame.
inline void DrawScene(Qmv2::Graphics& screen, Qmv2::GameNode* scene, std::uint32_t background)
{
    EXPECT_TRUE(screen.Begin());
    screen.Reset();
    screen.SetPackedColor(background);
    screen.ClearTarget();
    screen.Reset();
    Qmv2::TaskRender::RenderNode(scene, screen);
    EXPECT_TRUE(screen.End());
}

// A playing scene that logs what its dialogs ask of it.
class LoggingGameScene : public Qmv2::Scene, public iDialogOwnerScene {
public:
    explicit LoggingGameScene(Qmv2::PropertyNode* description) : Scene(description) {}
    void OnNextRoundConfirmed() override
    {
        log.push_back("next round");
        CloseDialog(FindDialog("DIALOG_NEXTROUND"));
    }
    void SaveAndQuit(Qmv2::Dialog* dialog, Qmv2::BaseObject*) override
    {
        log.push_back("save and quit " + dialog->GetName());
    }
    void Refresh(Qmv2::Dialog* dialog, Qmv2::BaseObject*) override { log.push_back("refresh " + dialog->GetName()); }
    void NewRound() override { log.push_back("new round"); }
    void ShowHighScores() override { log.push_back("high scores"); }

    std::vector<std::string> log;
};

inline void TearDownDialogWorld()
{
    Qmv2::SceneManager::ReleaseInstance();
    Qmv2::DataManager::ReleaseInstance();
    Qmv2::AnimTree::ReleaseInstance();
    Qmv2::GameTree::ReleaseInstance();
    Qmv2::BasicProperties::ReleaseInstance();
}

// The scene's dialog `key` (made on first use) of kind T, put on top of the
// scene; null when it is of another kind.
template <typename T>
T* OpenDialog(Qmv2::Scene& scene, const std::string& key)
{
    Qmv2::Dialog* dialog = scene.GetDialog(key, std::string());
    if (dialog == nullptr || !dialog->IsOfType(&T::s_Type)) {
        return nullptr;
    }
    scene.AddChild(dialog);
    return static_cast<T*>(dialog);
}

// Fires the named widget of the dialog as a click would.
inline void Fire(Qmv2::GameNode* dialog, const std::string& name)
{
    Qmv2::GameNode* widget = dialog != nullptr ? dialog->FindChild(name, true) : nullptr;
    ASSERT_NE(widget, nullptr) << name;
    Qmv2::InterfaceCast<Qmv2::iGuiMethod>(widget)->Invoke(static_cast<Qmv2::BaseObject*>(widget));
}

}  // namespace frontendtest
