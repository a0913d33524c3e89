// What the tests of a playing scene built from the shipped layout, pictures
// and fonts stand on: a real window with its renderer, the shipped dialogs,
// scenes and resources, a scene manager, a data folder of the test's own and
// the player "Ann", with the run folder as the working folder.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "framework/core/data/PlayerManager.h"
#include "framework/core/properties/DataManager.h"
#include "framework/graphics/ScreenFixture.h"
#include "framework/scene/GameNode.h"
#include "framework/scene/SceneManager.h"
#include "tests/framework/core/data/DataTestSupport.h"
#include "tests/game/frontend/DialogTestSupport.h"
#include "tests/game/frontend/PlayingSceneTestSupport.h"

namespace frontendtest {

class ShippedSceneGlTest : public graphicstest::ScreenFixture {
protected:
    explicit ShippedSceneGlTest(const char* title) : ScreenFixture(title, 800, 600) {}

    void SetUp() override
    {
        ScreenFixture::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        previous = std::filesystem::current_path();
        std::filesystem::current_path(QMV_RUN_DIR);
        SetUpShippedDialogWorld();
        Qmv2::DataManager::GetInstance()->AddFileName("properties/scenes.xml");
        Qmv2::DataManager::GetInstance()->Load();
        StartShippedResources();
        Qmv2::SceneManager::SetInstance(new Qmv2::SceneManager());
        scope = std::make_unique<QmvTest::DataFolderScope>(
            ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name());
        StartPlayerAnn();
    }
    void TearDown() override
    {
        Qmv2::SceneManager::ReleaseInstance();
        Qmv2::PlayerManager::ReleaseInstance();
        scope.reset();
        StopShippedResources();
        TearDownShippedDialogWorld();
        if (!previous.empty()) {
            std::filesystem::current_path(previous);
        }
        ScreenFixture::TearDown();
    }

    // The node's rectangle on the screen (the scene stands at the origin).
    static Qmv2::NodeBounds OnScreen(const Qmv2::GameNode& node)
    {
        return node.GetBounds(node.GetParent()->GetGlobalMatrix(nullptr, true));
    }

    std::filesystem::path previous;
    std::unique_ptr<QmvTest::DataFolderScope> scope;
};

}  // namespace frontendtest
