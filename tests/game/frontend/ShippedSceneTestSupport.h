// What the tests of a playing scene built from the shipped layout, pictures
// and fonts stand on: a real window with its renderer, the shipped dialogs,
// scenes and resources, a scene manager, a data folder of the test's own and
// the player "Ann" (her words dealt from the test's deal seed), with the run
// folder as the working folder.
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
#include "tests/game/frontend/DealSeedSupport.h"
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
        // A folder per test: ctest runs the tests of one suite side by side.
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        scope = std::make_unique<QmvTest::DataFolderScope>(std::string(test->test_suite_name()) + "_" + test->name());
        StartPlayerAnn(deal.Value());
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

    // The bottom bar of a playing scene, drawn once: each value stands
    // centred under its caption, and the Time caption over the clock.
    static void ExpectBottomBarCentred(const Qmv2::GameNode& scene)
    {
        const auto centre = [&scene](const char* name) {
            const Qmv2::GameNode* node = scene.FindChild(name, true);
            EXPECT_NE(node, nullptr) << name;
            if (node == nullptr) {
                return 0.0f;
            }
            const Qmv2::NodeBounds b = OnScreen(*node);
            EXPECT_GT(b.right - b.left, 1.0f) << name << " is drawn";
            return (b.left + b.right) / 2.0f;
        };
        EXPECT_NEAR(centre("LABEL_ROUND"), centre("CAPTION_ROUND"), 1.0f) << "the round under its caption";
        EXPECT_NEAR(centre("LABEL_Score"), centre("CAPTION_SCORE"), 1.0f) << "the score under its caption";
        const Qmv2::GameNode* minutes = scene.FindChild("LABEL_TimerMinutes", true);
        const Qmv2::GameNode* seconds = scene.FindChild("LABEL_TimerSeconds", true);
        ASSERT_NE(minutes, nullptr);
        ASSERT_NE(seconds, nullptr);
        const float clock = (OnScreen(*minutes).left + OnScreen(*seconds).right) / 2.0f;
        // The clock's digits change its width; the caption stays within a
        // digit's width of its middle.
        EXPECT_NEAR(centre("TIME_LABEL"), clock, 24.0f) << "the Time caption over the clock";
    }

    DealSeed deal;
    std::filesystem::path previous;
    std::unique_ptr<QmvTest::DataFolderScope> scope;
};

}  // namespace frontendtest
