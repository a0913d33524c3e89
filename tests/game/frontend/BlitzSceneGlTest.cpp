// The Blitz scene built from the shipped layout, pictures and fonts, as the
// player sees it in round 1 with its first word found: the column of words,
// its frame, its marks and its buttons stand inside the window, and the
// clock's minutes and seconds read as one time.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/core/app/InputHandler.h"
#include "framework/core/app/Message.h"
#include "framework/core/app/MessageData.h"
#include "framework/core/data/PlayerManager.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/properties/BasicProperties.h"
#include "framework/core/properties/PropertyVector.h"
#include "framework/core/util/Random.h"
#include "framework/graphics/ScreenFixture.h"
#include "framework/scene/AnimTree.h"
#include "framework/scene/Button.h"
#include "framework/scene/Label.h"
#include "framework/scene/SceneManager.h"
#include "framework/scene/Sprite.h"
#include "game/frontend/Quorvel2Player.h"
#include "game/words/BlitzScene.h"
#include "game/words/ClassicRack.h"
#include "game/words/GameMode.h"
#include "game/words/LetterBall.h"
#include "game/words/LetterBox.h"
#include "tests/framework/core/data/DataTestSupport.h"
#include "tests/game/frontend/DialogTestSupport.h"
#include "tests/game/frontend/PlayingSceneTestSupport.h"
#include "tests/game/frontend/ShippedSceneTestSupport.h"

namespace blitz_scene_gl_test {

using namespace Qmv2;

namespace {

class BlitzSceneGlTest : public frontendtest::ShippedSceneGlTest {
protected:
    BlitzSceneGlTest() : ShippedSceneGlTest("blitz test") {}

    void SetUp() override
    {
        ShippedSceneGlTest::SetUp();
        GameMode::Set(GameMode::kBlitz);
    }

    // SCENE_BLITZ made from the shipped layout and entered: round 1 dealt.
    static BlitzScene* EnterBlitz()
    {
        Scene* made = SceneManager::GetInstance()->CreateScene("SCENE_BLITZ", std::string());
        if (made == nullptr || !made->IsOfType(&BlitzScene::s_Type)) {
            return nullptr;
        }
        auto* scene = static_cast<BlitzScene*>(made);
        scene->Show();
        scene->Activate();
        return scene;
    }

    // Round 1 dealt, its first word found: the column inside the window and
    // the clock read as one time.
    void CheckColumnAndClock();

    static bool Overlap(const NodeBounds& a, const NodeBounds& b)
    {
        return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
    }
};

}  // namespace

// The player's words are shuffled from the seed kept with the player, which a
// new player takes from the clock: each deal here starts from a seed of its
// own, named on a failure, so that the deal can be played again.
TEST_F(BlitzSceneGlTest, TheColumnStaysInsideTheWindowAndTheClockReadsAsOneTime)
{
    for (const std::int32_t seed : {1, 7, 42, 1000, 20261208, 123456789, 987654321, -5, 31337, 65536, 2718281, 314159}) {
        SCOPED_TRACE("the player's word seed " + std::to_string(seed));
        auto* player = static_cast<Quorvel2Player*>(PlayerManager::GetInstance()->GetCurrentPlayer());
        ASSERT_NE(player, nullptr);
        player->SetSeed(seed);
        player->SetIndex(0);
        Random::GetInstance()->Seed(1);
        CheckColumnAndClock();
        if (HasFatalFailure()) {
            return;
        }
    }
}

void BlitzSceneGlTest::CheckColumnAndClock()
{
    BlitzScene* scene = EnterBlitz();
    ASSERT_NE(scene, nullptr);
    ASSERT_EQ(scene->GetRacks().size(), 5u);
    AnimTree::UpdateTree(scene->GetAnimations(), 5000u);
    const std::string first = scene->GetRacks()[0]->GetSourceWord().GetString();
    for (char c : first) {
        KeyboardMessageData key(static_cast<unsigned char>(c), 0);
        scene->OnKeyDown(&key);
    }
    KeyboardMessageData enter(0, 5);
    scene->OnKeyDown(&enter);
    ASSERT_TRUE(scene->GetRacks()[0]->solved);
    AnimTree::UpdateTree(scene->GetAnimations(), 5000u);
    scene->Update(0);
    AnimTree::UpdateTree(scene->GetAnimations(), 5000u);
    ASSERT_EQ(scene->GetCurrentIndex(), 1) << "the refill moved on to the next word";
    // One frame lays the labels out.
    frontendtest::DrawScene(*screen_, scene, 0xFF000000u);

    // Everything of the column keeps a margin from the window's edges.
    constexpr float kMargin = 2.0f;
    std::vector<const GameNode*> column;
    for (const char* name : {"PANEL_BG", "PANEL_LEFT", "PANEL_RIGHT", "PANEL_LEFTCORNER", "PANEL_RIGHTCORNER",
                             "PANEL_BOTTOM", "PANEL_SIDE", "BUTTON_PREVWORD", "BUTTON_NEXTWORD"}) {
        if (const GameNode* node = scene->FindChild(name, true)) {
            column.push_back(node);
        } else {
            ADD_FAILURE() << "no " << name;
        }
    }
    for (const auto& rack : scene->GetRacks()) {
        column.push_back(rack->GetRackBox());
    }
    NodeBounds frame{1e9f, 1e9f, -1e9f, -1e9f};
    for (const GameNode* node : column) {
        const NodeBounds b = OnScreen(*node);
        EXPECT_GE(b.left, kMargin) << node->GetName();
        EXPECT_GE(b.top, kMargin) << node->GetName();
        EXPECT_LE(b.right, 800.0f - kMargin) << node->GetName();
        EXPECT_LE(b.bottom, 600.0f - kMargin) << node->GetName();
        if (node->GetName().rfind("PANEL_", 0) == 0) {
            frame = {std::min(frame.left, b.left), std::min(frame.top, b.top), std::max(frame.right, b.right),
                     std::max(frame.bottom, b.bottom)};
        }
    }
    // The small boxes stand between the frame's two sides; the word in the
    // middle is out of the column.
    const GameNode* leftSide = scene->FindChild("PANEL_SIDE", true);
    const GameNode* rightSide = scene->FindChild("PANEL_RIGHT", true);
    ASSERT_NE(rightSide, nullptr);
    const float inner = OnScreen(*rightSide).left;
    const float outer = leftSide != nullptr ? OnScreen(*leftSide).right : frame.left;
    for (std::size_t i = 0; i < scene->GetRacks().size(); ++i) {
        const LetterBox& box = *scene->GetRacks()[i]->GetRackBox();
        const NodeBounds b = OnScreen(box);
        if (i == 1) {
            EXPECT_GT(b.left, inner) << "the word in play is in the middle";
            continue;
        }
        EXPECT_GT(b.left, outer) << "word " << i;
        EXPECT_LE(b.right, inner) << "word " << i << " of " << box.GetSlotCount() << " letters";
        EXPECT_GE(b.top, frame.top) << "word " << i;
        EXPECT_LE(b.bottom, frame.bottom) << "word " << i;
    }
    // The found word is spelled in its small boxes.
    EXPECT_EQ(scene->GetRacks()[0]->GetRackBox()->GetAllText().GetString(), first);

    // "1:19", not "1   :19": drawn with and without the clock, the clock's
    // ink has no gap wider than the space between two of its glyphs.
    auto* minutes = dynamic_cast<Label*>(scene->FindChild("LABEL_TimerMinutes", true));
    auto* seconds = dynamic_cast<Label*>(scene->FindChild("LABEL_TimerSeconds", true));
    ASSERT_NE(minutes, nullptr);
    ASSERT_NE(seconds, nullptr);
    EXPECT_EQ(minutes->GetText().GetString(), "1");
    EXPECT_EQ(seconds->GetText().GetString().substr(0, 1), ":");
    const graphicstest::Picture shown = Capture();
    minutes->SetVisible(false);
    seconds->SetVisible(false);
    frontendtest::DrawScene(*screen_, scene, 0xFF000000u);
    const graphicstest::Picture hidden = Capture();
    const NodeBounds m = OnScreen(*minutes);
    const NodeBounds s = OnScreen(*seconds);
    std::vector<int> ink;
    for (int x = 0; x < 800; ++x) {
        for (int y = static_cast<int>(std::min(m.top, s.top)); y < static_cast<int>(std::max(m.bottom, s.bottom)); ++y) {
            if (shown.At(x, y) != hidden.At(x, y)) {
                ink.push_back(x);
                break;
            }
        }
    }
    ASSERT_FALSE(ink.empty()) << "the clock is drawn";
    int widestGap = 0;
    for (std::size_t i = 1; i < ink.size(); ++i) {
        widestGap = std::max(widestGap, ink[i] - ink[i - 1] - 1);
    }
    EXPECT_LE(widestGap, 12) << "the clock's ink runs from x " << ink.front() << " to " << ink.back();
    EXPECT_LE(ink.back(), 800 - 2);

    // The column's frame keeps at least its own width off the window's
    // edge, and its four corners are rounded alike: drawn without the
    // frame, each of its outer corner pixels shows the same.
    EXPECT_GE(frame.left, 10.0f) << "the frame's left edge";
    const auto hideFrame = [](GameNode& parent, const auto& self) -> void {
        for (GameNode* node = parent.GetFirstChild(); node != nullptr; node = node->GetNextSibling()) {
            node->SetVisible(node->IsVisible() && (node->GetName().rfind("PANEL_", 0) != 0 || node->GetName() == "PANEL_BG"));
            self(*node, self);
        }
    };
    hideFrame(*scene, hideFrame);
    frontendtest::DrawScene(*screen_, scene, 0xFF000000u);
    const graphicstest::Picture bare = Capture();
    const int left = static_cast<int>(std::lround(frame.left));
    const int top = static_cast<int>(std::lround(frame.top));
    const int right = static_cast<int>(std::lround(frame.right)) - 1;
    const int bottom = static_cast<int>(std::lround(frame.bottom)) - 1;
    for (const auto& [x, y] : {std::pair{left, top}, std::pair{right, top}, std::pair{left, bottom}, std::pair{right, bottom}}) {
        EXPECT_EQ(shown.At(x, y), bare.At(x, y)) << "the frame's corner at " << x << ", " << y << " is rounded";
    }
}

// The bottom bar reads as the classic one does: round and score centred under
// their captions, the Time caption over the clock.
TEST_F(BlitzSceneGlTest, TheBottomBarCentresEachValueUnderItsCaption)
{
    BlitzScene* scene = EnterBlitz();
    ASSERT_NE(scene, nullptr);
    frontendtest::DrawScene(*screen_, scene, 0xFF000000u);
    ExpectBottomBarCentred(*scene);
}

// However long the round's words, each word brought to the middle sits clear
// of the column, its frame and marks, and of the play buttons, and nothing
// leaves the window. The player's longest-word setting and a late round
// make every word of the deal as long as the setting allows.
TEST_F(BlitzSceneGlTest, EveryWordLengthFitsBesideTheColumn)
{
    BlitzScene* scene = EnterBlitz();
    ASSERT_NE(scene, nullptr);
    auto* ann = dynamic_cast<Quorvel2Player*>(PlayerManager::GetInstance()->GetCurrentPlayer());
    ASSERT_NE(ann, nullptr);
    std::vector<const GameNode*> buttons;
    for (const char* name : {"BUTTON_Mivel", "BUTTON_LastWord", "BUTTON_Clear", "BUTTON_Enter", "BUTTON_Hint",
                             "BUTTON_GiveUp", "BUTTON_Menu"}) {
        const GameNode* node = scene->FindChild(name, true);
        ASSERT_NE(node, nullptr) << name;
        buttons.push_back(node);
    }
    const auto inside = [](const NodeBounds& b) {
        return b.left >= 0.0f && b.top >= 0.0f && b.right <= 800.0f && b.bottom <= 600.0f;
    };
    for (std::int32_t length = 5; length <= 8; ++length) {
        ann->SetMaxLength(length);
        scene->StartRound(30, nullptr);
        AnimTree::UpdateTree(scene->GetAnimations(), 5000u);
        const auto& racks = scene->GetRacks();
        ASSERT_EQ(racks.size(), 10u);
        std::int32_t longest = 0;
        for (const auto& rack : racks) {
            longest = std::max(longest, rack->GetSourceWord().GetLength());
        }
        ASSERT_EQ(longest, length) << "the deal reaches the player's longest words";
        float smallestScale = 1.0f;
        frontendtest::DrawScene(*screen_, scene, 0xFF000000u);

        // The column: its frame, the marks beside it and its two buttons.
        std::vector<const GameNode*> column;
        for (const char* name : {"PANEL_BG", "PANEL_LEFT", "PANEL_RIGHT", "PANEL_LEFTCORNER", "PANEL_RIGHTCORNER",
                                 "PANEL_BOTTOM", "PANEL_SIDE", "BUTTON_PREVWORD", "BUTTON_NEXTWORD"}) {
            const GameNode* node = scene->FindChild(name, true);
            ASSERT_NE(node, nullptr) << name;
            column.push_back(node);
        }
        ASSERT_EQ(scene->GetMarks().GetCount(), 10);
        for (const Sprite* mark : scene->GetMarks()) {
            column.push_back(mark);
        }
        for (const GameNode* a : column) {
            EXPECT_TRUE(inside(OnScreen(*a))) << a->GetName() << " in a round of " << length << "-letter words";
            for (const GameNode* b : buttons) {
                EXPECT_FALSE(Overlap(OnScreen(*a), OnScreen(*b)))
                    << a->GetName() << " and " << b->GetName() << " in a round of " << length << "-letter words";
            }
        }
        // As the round ends each mark stretches for a moment; at its widest
        // it keeps clear of the buttons and of the word in the middle too.
        std::vector<NodeBounds> stretched;
        for (Sprite* mark : scene->GetMarks()) {
            const float rest = mark->GetScaleX();
            const NodeBounds narrow = OnScreen(*mark);
            mark->SetScaleX(BlitzScene::kMarkStretch);
            stretched.push_back(OnScreen(*mark));
            mark->SetScaleX(rest);
            EXPECT_GT(stretched.back().right - stretched.back().left, narrow.right - narrow.left + 1.0f);
            EXPECT_TRUE(inside(stretched.back()));
            for (const GameNode* b : buttons) {
                EXPECT_FALSE(Overlap(stretched.back(), OnScreen(*b)))
                    << "a stretched mark and " << b->GetName() << " in a round of " << length << "-letter words";
            }
        }

        for (std::size_t i = 0; i < racks.size(); ++i) {
            scene->SelectWord(static_cast<std::int32_t>(i));
            AnimTree::UpdateTree(scene->GetAnimations(), 5000u);
            ASSERT_EQ(scene->GetCurrentIndex(), static_cast<std::int32_t>(i));
            const ClassicRack& rack = *racks[i];
            const std::string word = rack.GetSourceWord().GetString();
            // The middle: both rows of slots and every ball.
            std::vector<const GameNode*> middle = {rack.GetRackBox(), rack.GetAnswerBox()};
            for (const auto& ball : rack.GetBalls()) {
                middle.push_back(ball.Get());
            }
            smallestScale = std::min(smallestScale, rack.GetRackBox()->GetScaleX());
            const NodeBounds letters = OnScreen(*rack.GetRackBox());
            const NodeBounds typed = OnScreen(*rack.GetAnswerBox());
            EXPECT_NEAR(letters.right - letters.left, typed.right - typed.left, 0.5f) << word;
            EXPECT_LT(typed.top, letters.top) << word << ": the typed word stands above its letters";
            for (const GameNode* m : middle) {
                const NodeBounds b = OnScreen(*m);
                EXPECT_TRUE(inside(b)) << word << ": " << b.left << ".." << b.right;
                for (const GameNode* c : column) {
                    EXPECT_FALSE(Overlap(b, OnScreen(*c)))
                        << word << " at x " << b.left << " and " << c->GetName() << " ending at x "
                        << OnScreen(*c).right;
                }
                for (const GameNode* button : buttons) {
                    EXPECT_FALSE(Overlap(b, OnScreen(*button))) << word << " and " << button->GetName();
                }
                for (const NodeBounds& mark : stretched) {
                    EXPECT_FALSE(Overlap(b, mark)) << word << " and a stretched mark ending at x " << mark.right;
                }
            }
            // The words left in the column stay between its frame's sides.
            const float inner = OnScreen(*scene->FindChild("PANEL_RIGHT", true)).left;
            for (std::size_t k = 0; k < racks.size(); ++k) {
                if (k != i) {
                    EXPECT_LE(OnScreen(*racks[k]->GetRackBox()).right, inner) << "word " << k << " of " << length;
                }
            }
        }
        if (length <= 6) {
            EXPECT_FLOAT_EQ(smallestScale, 1.0f) << "words of " << length << " letters keep their full size";
        }
        if (const char* folder = std::getenv("QMV_SHOT_DIR")) {
            frontendtest::DrawScene(*screen_, scene, 0xFF000000u);
            graphicstest::WritePng(std::string(folder) + "/blitz-" + std::to_string(length) + ".png", Capture());
        }
    }
}

// The mouse as the input handler delivers it, to whatever the walk of the
// scene's tree finds under the pointer: a ball of the word in play goes to
// its typed-word box, and the last ball typed comes back when clicked, on
// every word of the round, though each word keeps a faded typed-word box in
// the same row.
TEST_F(BlitzSceneGlTest, ClicksReachTheWordInPlayWhicheverWordItIs)
{
    BlitzScene* scene = EnterBlitz();
    ASSERT_NE(scene, nullptr);
    SmartPtr<GameNode> root(new GameNode("root"));
    root->AddChild(scene);
    SmartPtr<InputHandler> input(new InputHandler(root.Get()));
    input->SetRunning(true);
    const auto click = [&](const GameNode& node) {
        const NodeBounds b = OnScreen(node);
        input->OnMessage(Message(Message::kLeftButtonDown,
                                 new MouseMessageData((b.left + b.right) * 0.5f, (b.top + b.bottom) * 0.5f, 1)));
        input->Execute(16);
        AnimTree::UpdateTree(scene->GetAnimations(), 5000u);
    };
    AnimTree::UpdateTree(scene->GetAnimations(), 5000u);
    const std::size_t count = scene->GetRacks().size();
    ASSERT_GE(count, 2u);
    for (std::size_t i = 0; i < count; ++i) {
        scene->SelectWord(static_cast<std::int32_t>(i));
        AnimTree::UpdateTree(scene->GetAnimations(), 5000u);
        ASSERT_EQ(scene->GetCurrentIndex(), static_cast<std::int32_t>(i));
        LetterBox* letters = scene->GetRacks()[i]->GetRackBox();
        LetterBox* typed = scene->GetRacks()[i]->GetAnswerBox();
        for (std::int32_t n = 1; n <= 2; ++n) {
            LetterBall* ball = nullptr;
            for (std::int32_t slot = 0; slot < letters->GetSlotCount() && ball == nullptr; ++slot) {
                ball = letters->GetBall(slot);
            }
            ASSERT_NE(ball, nullptr);
            click(*ball);
            EXPECT_EQ(typed->GetText().GetLength(), n) << "word " << i << ": a letter clicked is typed";
        }
        const std::string before = typed->GetText().GetString();
        click(*typed->GetBall(1));
        EXPECT_EQ(typed->GetText().GetString(), before.substr(0, 1))
            << "word " << i << " of " << count << ": the last letter typed, clicked, goes back";
        scene->ClearLetters();
        AnimTree::UpdateTree(scene->GetAnimations(), 5000u);
    }
    root->DetachAndReleaseChildren();
}

// A quick player types the next word as it slides and grows into the middle:
// from the slide's first frame, from half-way and from its last frame, a
// letter a frame; and clicks its letters from half-way. Once it has landed,
// each letter stands in its slot of the typed-word box, drawn there at full
// size and strength, and Enter takes the word.
TEST_F(BlitzSceneGlTest, LettersTypedAsTheNextWordSlidesInLandInTheirSlots)
{
    BlitzScene* scene = EnterBlitz();
    ASSERT_NE(scene, nullptr);
    const auto frames = [&](std::int32_t ms) {
        for (; ms > 0; ms -= 16) {
            AnimTree::UpdateTree(scene->GetAnimations(), static_cast<std::uint32_t>(std::min(ms, 16)));
        }
    };
    const auto press = [&](std::uint32_t character, std::int32_t code) {
        KeyboardMessageData key(character, code);
        scene->OnKeyDown(&key);
    };
    frames(3000);
    const auto& racks = scene->GetRacks();
    constexpr std::int32_t kHalfWay = BlitzScene::kSwitchTime / 2;
    for (const auto& [into, clicked] : {std::pair{0, false}, std::pair{kHalfWay, false},
                                        std::pair{BlitzScene::kSwitchTime - 16, false}, std::pair{kHalfWay, true}}) {
        std::int32_t next = 0;
        while (racks[next]->solved || next == scene->GetCurrentIndex()) {
            ++next;
        }
        const ClassicRack& rack = *racks[next];
        const std::string word = rack.GetSourceWord().GetString();
        SCOPED_TRACE(word + (clicked ? " clicked" : " typed") + " from " + std::to_string(into) + " ms into its slide");
        scene->SelectWord(next);
        frames(into);
        for (std::size_t i = 0; i < word.size(); ++i) {
            if (clicked) {
                const NodeBounds b = OnScreen(*rack.GetBalls()[i]);
                MouseMessageData click((b.left + b.right) * 0.5f, (b.top + b.bottom) * 0.5f, 1);
                scene->OnLeftButtonDown(&click);
            } else {
                press(static_cast<unsigned char>(word[i]), 0);
            }
            frames(16);
        }
        frames(1000);
        LetterBox* typed = rack.GetAnswerBox();
        ASSERT_EQ(typed->GetText().GetString(), word);
        for (std::int32_t slot = 0; slot < typed->GetSlotCount(); ++slot) {
            LetterBall* ball = typed->GetBall(slot);
            EXPECT_EQ(ball->GetParent(), typed) << "slot " << slot;
            const NodeBounds drawn = OnScreen(*ball);
            const PointF centre = typed->LocalToGlobal(LetterBox::SlotCentre(slot), LetterBox::kSlotCentre);
            EXPECT_NEAR((drawn.left + drawn.right) * 0.5f, centre.x, 0.5f) << "slot " << slot;
            EXPECT_NEAR((drawn.top + drawn.bottom) * 0.5f, centre.y, 0.5f) << "slot " << slot;
            EXPECT_FLOAT_EQ(ball->GetScaleX(), 1.0f) << "slot " << slot;
            float alpha = 1.0f;
            for (GameNode* node = ball; node != nullptr; node = node->GetParent()) {
                if (auto* sprite = dynamic_cast<Sprite*>(node)) {
                    alpha *= sprite->GetColor().a;
                }
            }
            EXPECT_FLOAT_EQ(alpha, 1.0f) << "slot " << slot;
            EXPECT_TRUE(ball->IsVisible() && ball->GetLetterOverlay()->IsVisible()) << "slot " << slot;
        }
        press(0, 5);
        EXPECT_TRUE(rack.solved) << "Enter takes the word";
        frames(3000);
    }
}

// A game stopped from the in-game menu is kept; coming back to it shows the
// words, not the veil the menu drew over them.
TEST_F(BlitzSceneGlTest, AGameStoppedFromTheMenuComesBackUnveiled)
{
    BlitzScene* scene = EnterBlitz();
    ASSERT_NE(scene, nullptr);
    const GameNode* veil = scene->FindChild("PAUSE_VEIL", true);
    ASSERT_NE(veil, nullptr);
    EXPECT_FALSE(veil->IsVisible());
    scene->OnButton(UTF8String("BUTTON_Menu"), nullptr);
    scene->Update(0);
    ASSERT_TRUE(veil->IsVisible()) << "the menu veils the words";
    scene->SaveAndQuit(nullptr, nullptr);
    scene->Deactivate();
    scene->Show();
    scene->Activate();
    EXPECT_FALSE(veil->IsVisible()) << "the game comes back in view";
    EXPECT_FALSE(scene->GetRacks().empty());
}

}  // namespace blitz_scene_gl_test
