// The menu, the trophy room, the name entry and the high-score table built
// from the shipped layout, strings and fonts, measured as the player sees
// them: every text shows whole and clear of its neighbours, and every text
// input shows where typing goes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>
#include <vector>

#include "framework/core/data/PlayerManager.h"
#include "framework/core/object/ObjectFactory.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/properties/BasicProperties.h"
#include "framework/core/properties/DataManager.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyVector.h"
#include "framework/scene/Button.h"
#include "framework/scene/Dialog.h"
#include "framework/scene/Label.h"
#include "framework/scene/LabelInput.h"
#include "framework/scene/SceneManager.h"
#include "game/frontend/DialogHighScore.h"
#include "game/frontend/Quorvel2Player.h"
#include "game/frontend/SelectionScene.h"
#include "game/frontend/TrophyScene.h"
#include "game/words/GameMode.h"
#include "tests/game/frontend/ShippedSceneTestSupport.h"

namespace front_scenes_gl_test {

using namespace Qmv2;

namespace {

class FrontScenesGlTest : public frontendtest::ShippedSceneGlTest {
protected:
    FrontScenesGlTest() : ShippedSceneGlTest("front scenes test") {}

    static Label* FindLabel(GameNode& root, const char* name)
    {
        GameNode* node = root.FindChild(name, true);
        return node != nullptr && node->IsOfType(&Label::s_Type) ? static_cast<Label*>(node) : nullptr;
    }
    // Where `label` draws `text`, after laying it out; every line must fit
    // the label's box, or the text is cut or runs past it.
    static NodeBounds Laid(Label& label, const std::string& text)
    {
        label.SetText(UTF8String(text));
        label.UpdateLayout();
        for (const FontLine& line : label.GetLines()) {
            EXPECT_LE(line.width, label.GetLabelWidth()) << '"' << text << "\" has a line wider than its box";
        }
        return OnScreen(label);
    }
    static bool Overlap(const NodeBounds& a, const NodeBounds& b)
    {
        return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
    }
    static std::string Show(const NodeBounds& b)
    {
        return "(" + std::to_string(b.left) + ", " + std::to_string(b.top) + ")-(" + std::to_string(b.right) +
               ", " + std::to_string(b.bottom) + ")";
    }
    // Every node of the shipped data made by the factory under `type`.
    static void Collect(AbstractProperty* property, const std::string& type, std::vector<PropertyNode*>& found)
    {
        if (property == nullptr) {
            return;
        }
        if (property->IsVector()) {
            for (std::int32_t i = 0; i < static_cast<PropertyVector*>(property)->GetCount(); ++i) {
                Collect(static_cast<PropertyVector*>(property)->GetItem(i), type, found);
            }
        } else if (property->IsNode()) {
            if (property->GetTypeWord() == type) {
                found.push_back(static_cast<PropertyNode*>(property));
            }
            for (const auto& child : static_cast<PropertyNode*>(property)->GetChildren()) {
                Collect(child.Get(), type, found);
            }
        }
    }
};

}  // namespace

TEST_F(FrontScenesGlTest, EveryTrophyDescriptionShowsWholeBelowTheTrophiesAndBesideTheMenuButton)
{
    Scene* made = SceneManager::GetInstance()->CreateScene("SCENE_TROPHY", std::string());
    ASSERT_NE(made, nullptr);
    ASSERT_TRUE(made->IsOfType(&TrophyScene::s_Type));
    auto* room = static_cast<TrophyScene*>(made);
    room->Show();
    Label* label = room->GetDescriptionLabel();
    ASSERT_NE(label, nullptr);
    // The room is headed in the title font that heads every dialog, above
    // its shelves and inside the window.
    Label* title = FindLabel(*room, "TITLE");
    ASSERT_NE(title, nullptr) << "the room's title is a text of the title style";
    EXPECT_EQ(title->GetText().GetString(), "Trophy room");
    SmartPtr<Dialog> menuDialog(static_cast<Dialog*>(DataManager::GetInstance()->CreateObject("DIALOG_MENU")));
    ASSERT_NE(menuDialog, nullptr);
    const Label* dialogTitle = FindLabel(*menuDialog, "TITLE");
    ASSERT_NE(dialogTitle, nullptr);
    EXPECT_EQ(title->GetFont(), dialogTitle->GetFont());
    title->UpdateLayout();
    const NodeBounds heading = OnScreen(*title);
    EXPECT_GE(heading.top, 0.0f);
    EXPECT_NEAR((heading.left + heading.right) / 2.0f, 400.0f, 1.0f);
    GameNode* menu = room->FindChild("BUTTON_Menu", true);
    ASSERT_NE(menu, nullptr);
    const NodeBounds button = OnScreen(*menu);
    float shelves = 0.0f;
    for (std::int32_t id = 0; room->GetTrophy(id) != nullptr; ++id) {
        shelves = std::max(shelves, OnScreen(*room->GetTrophy(id)).bottom);
    }
    ASSERT_GT(shelves, 0.0f);
    EXPECT_LT(heading.bottom, OnScreen(*room->GetTrophy(0)).top) << "the title stands above the trophies";

    BasicProperties* strings = BasicProperties::GetInstance();
    std::vector<std::string> texts{strings->GetString("TEXT_TROPHY_DESCRIPTION_DEFAULT"),
                                   strings->GetString("HIDDEN_ACHIEVEMENT")};
    PropertyVector* descriptions = strings->GetList("TEXT_TROPHY_DESCRIPTIONS");
    ASSERT_NE(descriptions, nullptr);
    for (std::int32_t i = 0; i < descriptions->GetCount(); ++i) {
        texts.push_back(descriptions->GetAt(i) != nullptr ? descriptions->GetAt(i)->GetText() : std::string());
    }
    for (const std::string& text : texts) {
        const NodeBounds drawn = Laid(*label, text);
        EXPECT_GE(drawn.left, 0.0f) << text;
        EXPECT_LE(drawn.bottom, 600.0f) << text;
        EXPECT_GE(drawn.top, shelves) << text << " " << Show(drawn) << " reaches the trophies";
        EXPECT_FALSE(Overlap(drawn, button)) << text << " " << Show(drawn) << " runs into the menu button "
                                             << Show(button);
    }
}

// An unearned trophy's description is read before the trophy is won, so
// each says what earns it ("Find 5 words in one round.") rather than what
// the player did: no "You ..." and no verb in the past.
TEST_F(FrontScenesGlTest, EveryTrophyDescriptionSaysWhatEarnsIt)
{
    PropertyVector* descriptions = BasicProperties::GetInstance()->GetList("TEXT_TROPHY_DESCRIPTIONS");
    ASSERT_NE(descriptions, nullptr);
    ASSERT_EQ(descriptions->GetCount(), Quorvel2Player::kAchievementCount) << "one description a trophy";
    const std::set<std::string> pastForms{"found", "won", "made", "got", "took", "kept", "beat", "did", "had"};
    for (std::int32_t i = 0; i < descriptions->GetCount(); ++i) {
        const std::string text = descriptions->GetAt(i) != nullptr ? descriptions->GetAt(i)->GetText() : std::string();
        ASSERT_FALSE(text.empty()) << "trophy " << i;
        EXPECT_EQ(text.back(), '.') << text;
        std::string first = text.substr(0, text.find(' '));
        std::transform(first.begin(), first.end(), first.begin(), [](unsigned char c) { return std::tolower(c); });
        EXPECT_NE(first, "you") << text;
        const bool past = pastForms.count(first) != 0 || (first.size() > 3 && first.compare(first.size() - 2, 2, "ed") == 0);
        EXPECT_FALSE(past) << text << " tells of something done";
        EXPECT_TRUE(std::isupper(static_cast<unsigned char>(text[0]))) << text;
    }
}

TEST_F(FrontScenesGlTest, TheWidestNameTheEntryTakesIsWelcomedAboveTheChangePlayerButton)
{
    Scene* menu = SceneManager::GetInstance()->CreateScene("SCENE_SELECTION", std::string());
    ASSERT_NE(menu, nullptr);
    ASSERT_TRUE(menu->IsOfType(&SelectionScene::s_Type));
    menu->Show();
    Label* welcome = FindLabel(*menu, "LABEL_PLAYERNAME");
    ASSERT_NE(welcome, nullptr);
    GameNode* change = menu->FindChild("BUTTON_CHANGENAME", true);
    ASSERT_NE(change, nullptr);
    const NodeBounds button = OnScreen(*change);

    // The longest name of each character the name entry takes, as typed in
    // the entry itself, so its length and width limits both apply.
    Dialog* naming = menu->GetDialog("DIALOG_NEWPLAYER", std::string());
    ASSERT_NE(naming, nullptr);
    GameNode* entryNode = naming->FindChild("INPUT_NAME", true);
    ASSERT_TRUE(entryNode != nullptr && entryNode->IsOfType(&LabelInput::s_Type));
    auto* entry = static_cast<LabelInput*>(entryNode);
    std::string widest;
    float widestWidth = 0.0f;
    for (std::uint32_t c = 0x21; c < 0x250; ++c) {
        entry->SetText(UTF8String());
        for (int typed = 0; typed < 40; ++typed) {
            entry->InsertText(UTF8String::FromCodePoint(c));
        }
        const std::string name = entry->GetText().GetString();
        const float width = welcome->GetTextWidth(UTF8String(name), 0, -1);
        if (width > widestWidth) {
            widest = name;
            widestWidth = width;
        }
    }
    ASSERT_FALSE(widest.empty());
    ASSERT_GE(UTF8String(widest).GetLength(), 14) << "the entry takes long names of wide letters: " << widest;

    // Greeted the way a player read back from the player files is.
    PlayerManager* players = PlayerManager::GetInstance();
    players->AddPlayer(new Quorvel2Player(widest));
    players->SetCurrentPlayer(widest);
    ASSERT_TRUE(players->SavePlayers());
    PlayerManager::ReleaseInstance();
    players = PlayerManager::Create("3");
    players->LoadPlayers();
    ASSERT_NE(players->GetCurrentPlayer(), nullptr);
    ASSERT_EQ(players->GetCurrentPlayer()->GetName(), widest);
    static_cast<SelectionScene*>(menu)->UpdateWelcome();
    const std::string greeting = welcome->GetText().GetString();
    ASSERT_EQ(greeting, BasicProperties::GetInstance()->GetString("TEXT_WELCOME_BACK") + " " + widest);
    const NodeBounds drawn = Laid(*welcome, greeting);
    EXPECT_GE(welcome->GetLines().GetCount(), 2) << "the greeting wraps rather than running out of the panel";
    EXPECT_LT(drawn.bottom, button.top) << greeting << " " << Show(drawn) << " touches the button " << Show(button);
    EXPECT_GE(drawn.top, 0.0f);
    EXPECT_GE(drawn.left, 0.0f);
}

// The name entry stops taking letters at its limit: its prompt says where
// that limit lies, on one line of its box, so the stop is no surprise.
TEST_F(FrontScenesGlTest, TheNamePromptSaysHowLongANameMayBe)
{
    std::vector<PropertyNode*> inputs;
    Collect(DataManager::GetInstance()->GetDialogs(), "LabelInput", inputs);
    const auto input = std::find_if(inputs.begin(), inputs.end(),
                                    [](PropertyNode* node) { return node->GetString("name") == "INPUT_NAME"; });
    ASSERT_NE(input, inputs.end());
    const std::string limit = (*input)->GetString("maxlength");
    ASSERT_FALSE(limit.empty());
    SmartPtr<BaseObject> made(DataManager::GetInstance()->CreateObject("DIALOG_NEWPLAYER"));
    ASSERT_TRUE(made && made->IsOfType(&Dialog::s_Type));
    Label* prompt = FindLabel(*static_cast<Dialog*>(made.Get()), "PROMPT");
    ASSERT_NE(prompt, nullptr);
    const std::string text = prompt->GetText().GetString();
    EXPECT_NE(text.find(" " + limit + " "), std::string::npos) << '"' << text << "\" names no limit of " << limit;
    Laid(*prompt, text);
    EXPECT_EQ(prompt->GetLines().GetCount(), 1) << text;

    // At the limit, by count or by width, the prompt says the name is full;
    // a letter taken back makes room again.
    auto* entry = dynamic_cast<LabelInput*>(made->IsOfType(&Dialog::s_Type)
                                                ? static_cast<Dialog*>(made.Get())->FindChild("INPUT_NAME", true)
                                                : nullptr);
    ASSERT_NE(entry, nullptr);
    const std::string full = BasicProperties::GetInstance()->GetString("TEXT_NEWPLAYER_FULL");
    ASSERT_FALSE(full.empty());
    for (const std::string& name : {std::string("abcdefghijklmnopqrstuvwxyz"), std::string(40, 'W')}) {
        entry->SetText(UTF8String());
        entry->SetFocus(true);
        for (char c : name) {
            entry->InsertText(UTF8String(std::string(1, c)));
        }
        EXPECT_LT(entry->GetText().GetLength(), static_cast<std::int32_t>(name.size())) << "typing stopped";
        EXPECT_EQ(prompt->GetText().GetString(), full) << entry->GetText().GetString();
        Laid(*prompt, full);
        entry->DeleteChar(true);
        entry->DeleteChar(true);
        EXPECT_EQ(prompt->GetText().GetString(), text) << entry->GetText().GetString();
    }
}

TEST_F(FrontScenesGlTest, EveryTextInputShowsAnImageCursorAfterTheText)
{
    std::vector<PropertyNode*> inputs;
    Collect(DataManager::GetInstance()->GetDialogs(), "LabelInput", inputs);
    Collect(DataManager::GetInstance()->GetScenes(), "LabelInput", inputs);
    ASSERT_FALSE(inputs.empty());
    for (PropertyNode* node : inputs) {
        const std::string name = node->GetString("name");
        SmartPtr<BaseObject> made(ObjectFactory::GetInstance()->Create("LabelInput", node));
        ASSERT_TRUE(made && made->IsOfType(&LabelInput::s_Type)) << name;
        auto* entry = static_cast<LabelInput*>(made.Get());
        entry->SetPosition(100.0f, 100.0f);
        entry->SetFocus(true);
        Sprite* cursor = entry->GetCursorSprite();
        ASSERT_NE(cursor, nullptr) << name << " shows no cursor";
        EXPECT_NE(cursor->GetImageFrame(), nullptr) << name << "'s cursor has no picture";
        EXPECT_TRUE(cursor->IsVisible()) << name;
        entry->InsertText(UTF8String("Ann"));
        const NodeBounds box = entry->GetBounds(Matrix3x3());
        const NodeBounds drawn = OnScreen(*cursor);
        const NodeBounds text = OnScreen(*entry->GetLabel());
        EXPECT_GE(drawn.left, text.right - 1.0f) << name << " " << Show(drawn) << " sits inside the text "
                                                 << Show(text);
        EXPECT_LE(drawn.right, box.right) << name;
        EXPECT_GE(drawn.top, box.top) << name << " " << Show(drawn) << " outside " << Show(box);
        EXPECT_LE(drawn.bottom, box.bottom) << name << " " << Show(drawn) << " outside " << Show(box);
    }
}

TEST_F(FrontScenesGlTest, TheScoreTablesExtraColumnIsHeadedAsTheGameNamesWhatItHolds)
{
    // Every mode but the word of the day writes the round reached into the
    // column; the playing scenes caption that number the same way.
    const std::string header = BasicProperties::GetInstance()->GetString("TEXT_HIGHSCORE_EXTRA");
    for (const char* key : {"SCENE_GAME", "SCENE_BLITZ"}) {
        PropertyNode* scene = DataManager::GetInstance()->GetScenes()->GetNode(key);
        std::vector<PropertyNode*> labels;
        Collect(scene, "Label", labels);
        std::string caption;
        for (PropertyNode* label : labels) {
            if (label->GetString("name") == "CAPTION_ROUND") {
                caption = label->GetString("text");
            }
        }
        ASSERT_FALSE(caption.empty()) << key;
        EXPECT_EQ(header, caption) << key;
    }
    Dialog* scores = nullptr;
    SmartPtr<PropertyNode> empty(new PropertyNode("scene"));
    SmartPtr<Scene> scene(new Scene(empty.Get()));
    scores = scene->GetDialog("DIALOG_HIGHSCORES", std::string());
    ASSERT_NE(scores, nullptr);
    Label* column = FindLabel(*scores, "LABEL_EXTRA");
    ASSERT_NE(column, nullptr);
    Laid(*column, header);
    EXPECT_EQ(column->GetLines().GetCount(), 1);
}

// Every dialog's title stands at one place: left-aligned at the same margin
// from the panel's left edge, whichever dialog it heads.
TEST_F(FrontScenesGlTest, EveryDialogTitleStandsAtTheSameLeftMargin)
{
    SmartPtr<PropertyNode> empty(new PropertyNode("scene"));
    SmartPtr<Scene> scene(new Scene(empty.Get()));
    scene->SetSize(800.0f, 600.0f);
    scene->SetVisible(true);
    Font* title = nullptr;
    const char* first = nullptr;
    PointF firstMargin;
    for (const char* key : {"DIALOG_YESNO", "DIALOG_MENU", "DIALOG_PAUSE", "DIALOG_TUTORIAL", "DIALOG_NEXTROUND",
                            "DIALOG_CONGRATS", "DIALOG_ENDGAME", "DIALOG_PASSROUND", "DIALOG_HELP", "DIALOG_CREDITS",
                            "DIALOG_SETTINGS", "DIALOG_HIGHSCORES", "DIALOG_NEWPLAYER", "DIALOG_PLAYERSELECT"}) {
        Dialog* dialog = scene->GetDialog(key, std::string());
        ASSERT_NE(dialog, nullptr) << key;
        scene->AddChild(dialog);
        dialog->Show();
        Label* header = FindLabel(*dialog, "TITLE");
        if (header == nullptr) {
            header = FindLabel(*dialog, "HEADER");
        }
        ASSERT_NE(header, nullptr) << key;
        if (title == nullptr) {
            title = header->GetFont();
        }
        EXPECT_EQ(header->GetFont(), title) << key << " is headed in the title font";
        if (header->GetText().IsEmpty()) {
            header->SetText(UTF8String("Title"));
        }
        header->UpdateLayout();
        const NodeBounds b = OnScreen(*header);
        const PointF margin(b.left - dialog->GetGlobalX(), b.top - dialog->GetGlobalY());
        if (first == nullptr) {
            first = key;
            firstMargin = margin;
        }
        EXPECT_NEAR(margin.x, firstMargin.x, 1.0f) << key << " title at " << Show(b) << ", unlike " << first;
        EXPECT_NEAR(margin.y, firstMargin.y, 1.0f) << key << " title at " << Show(b) << ", unlike " << first;
        // Left-aligned: the title's box starts where its text does.
        EXPECT_LT(margin.x, 30.0f) << key;
        scene->CloseDialog(dialog);
        scene->PurgeTree();
    }
}

// The score column reads as numbers do: 10000 and 9000 end at one edge, and
// the column's header ends there too.
TEST_F(FrontScenesGlTest, TheHighScoresLineUpTheirNumbersOnTheRight)
{
    SmartPtr<PropertyNode> empty(new PropertyNode("scene"));
    SmartPtr<Scene> scene(new Scene(empty.Get()));
    Dialog* made = scene->GetDialog("DIALOG_HIGHSCORES", std::string());
    ASSERT_TRUE(made != nullptr && made->IsOfType(&DialogHighScore::s_Type));
    auto* scores = static_cast<DialogHighScore*>(made);
    scores->FillTable(GameMode::kTimed);
    Label* header = FindLabel(*scores, "LABEL_SCORE_HEADER");
    ASSERT_NE(header, nullptr);
    header->UpdateLayout();
    const float edge = OnScreen(*header).right;
    std::set<std::size_t> lengths;
    for (int row = 0; row < DialogHighScore::kRows; ++row) {
        Label* score = scores->GetRowLabel(row, 1);
        ASSERT_NE(score, nullptr);
        score->UpdateLayout();
        lengths.insert(score->GetText().GetString().size());
        EXPECT_NEAR(OnScreen(*score).right, edge, 1.0f) << "row " << row << ": " << score->GetText().GetString();
    }
    EXPECT_GT(lengths.size(), 1u) << "numbers of more than one length";
}

}  // namespace front_scenes_gl_test
