// The singletons the game-dialog tests stand on: the program's classes, the
// texts and definitions of data/dialogs.xml, the trees and a scene manager.
#pragma once

#include <string>

#include "framework/core/properties/BasicProperties.h"
#include "framework/core/properties/DataManager.h"
#include "framework/scene/AnimTree.h"
#include "framework/scene/GameTree.h"
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

}  // namespace frontendtest
