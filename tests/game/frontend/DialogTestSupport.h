// The singletons the game-dialog tests stand on: the program's classes, the
// texts and definitions of data/dialogs.xml, the trees and a scene manager.
#pragma once

#include <string>

#include <gtest/gtest.h>

#include "framework/core/object/iGuiMethod.h"
#include "framework/core/properties/BasicProperties.h"
#include "framework/core/properties/DataManager.h"
#include "framework/scene/AnimTree.h"
#include "framework/scene/GameTree.h"
#include "framework/scene/Scene.h"
#include "framework/scene/SceneManager.h"
#include "game/frontend/FrontendClasses.h"

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
