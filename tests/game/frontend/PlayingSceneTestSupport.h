// What the playing scenes' tests stand on: the dialog world, a data folder of
// the test's own, one player "Ann" who has seen every tutorial and whose words
// are dealt from the test's deal seed, and the run folder as the working
// folder, since the scenes open their word files from there as the game does.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "framework/core/data/PlayerManager.h"
#include "game/frontend/Quorvel2Player.h"
#include "game/words/GameMode.h"
#include "tests/framework/core/data/DataTestSupport.h"
#include "tests/game/frontend/DealSeedSupport.h"
#include "tests/game/frontend/DialogTestSupport.h"

namespace frontendtest {

// The player manager with one current player "Ann" who has seen every
// tutorial, her source words shuffled by `seed` (a new player's come from the
// clock).
inline void StartPlayerAnn(std::int32_t seed)
{
    Qmv2::PlayerManager* players = Qmv2::PlayerManager::Create("3");
    players->LoadPlayers();
    auto* ann = new Quorvel2Player("Ann");
    ann->SetSeed(seed);
    for (std::int32_t mode = 0; mode < Quorvel2Player::kTutorialCount; ++mode) {
        ann->SetTutorialSeen(mode, true);
    }
    players->AddPlayer(ann);
    players->SetCurrentPlayer("Ann");
}

class PlayingSceneTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetUpDialogWorld();
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        scope = std::make_unique<QmvTest::DataFolderScope>(std::string(test->test_suite_name()) + "_" + test->name());
        StartPlayerAnn(deal.Value());
        previous = std::filesystem::current_path();
        std::filesystem::current_path(QMV_RUN_DIR);
    }
    // A test's scene must be gone before this runs.
    void TearDown() override
    {
        std::filesystem::current_path(previous);
        Qmv2::PlayerManager::ReleaseInstance();
        scope.reset();
        GameMode::Set(GameMode::kTimed);
        TearDownDialogWorld();
    }

    DealSeed deal;
    std::unique_ptr<QmvTest::DataFolderScope> scope;
    std::filesystem::path previous;
};

}  // namespace frontendtest
