#include "game/frontend/DialogHighScore.h"

#include <algorithm>
#include <vector>

#include "framework/core/data/HighScoreManager.h"
#include "framework/core/data/HighScoreTable.h"
#include "framework/core/object/ObjectFactory.h"
#include "framework/core/properties/BasicProperties.h"
#include "framework/core/properties/PropertyValue.h"
#include "framework/core/properties/PropertyVector.h"
#include "framework/core/util/Random.h"
#include "framework/scene/Button.h"
#include "framework/scene/Label.h"
#include "framework/scene/ModifierBlink.h"
#include "framework/scene/Switch.h"
#include "game/frontend/Quorvel2ScoreEntry.h"
#include "game/words/GameMode.h"
#include "game/words/iDialogOwnerScene.h"

using namespace Qmv2;

struct DialogHighScore::Tab {
    std::int32_t mode;
    const char* table;
    const char* switchName;
    std::int32_t frame;
    const char* extraHeader;
};

namespace {

constexpr std::int32_t kDefaultEntries = 10;
constexpr int kNameRedraws = 10;

DialogHighScore* AsHighScore(void* target)
{
    return static_cast<DialogHighScore*>(static_cast<DialogQuorvel2*>(target));
}

// A name from the names list, avoiding those this fill has used.
std::string DefaultName(std::vector<std::int32_t>& used)
{
    BasicProperties* texts = BasicProperties::GetInstance();
    PropertyVector* names = texts != nullptr ? texts->GetList("CTEXT_HIGHSCORE_NAMES") : nullptr;
    const std::int32_t count = names != nullptr ? names->GetCount() : 0;
    if (count <= 0) {
        return std::string();
    }
    // Without the program's generator one of our own keeps drawing on.
    static Rand fallback;
    Rand& random = Random::GetInstance() != nullptr ? static_cast<Rand&>(*Random::GetInstance()) : fallback;
    std::int32_t index = random.Range(0, count);
    for (int redraw = 0; redraw < kNameRedraws && std::find(used.begin(), used.end(), index) != used.end();
         ++redraw) {
        index = random.Range(0, count);
    }
    used.push_back(index);
    AbstractProperty* item = names->GetItem(index);
    return item != nullptr && item->IsValue() ? item->GetString() : std::string();
}

}  // namespace

const DialogHighScore::Tab& DialogHighScore::TabOf(std::int32_t mode)
{
    static const Tab kTabs[] = {
        {GameMode::kTimed, "timed", "SWITCH_TIMED", 1, "TEXT_HIGHSCORE_EXTRA"},
        {GameMode::kUntimed, "untimed", "SWITCH_UNTIMED", 0, "TEXT_HIGHSCORE_EXTRA"},
        {GameMode::kBlitz, "blitz", "SWITCH_BLITZ", 3, "TEXT_HIGHSCORE_EXTRA"},
        {GameMode::kCrisscross, "crossword", "SWITCH_CROSSWORD", 4, "TEXT_HIGHSCORE_EXTRA"},
        {GameMode::kWordOfTheDay, "wotd", "SWITCH_WOD", 2, "TEXT_HIGHSCORE_DATE"},
    };
    return mode >= 0 && mode <= 4 ? kTabs[mode] : kTabs[GameMode::kUntimed];
}

const char* DialogHighScore::TableName(std::int32_t mode)
{
    return TabOf(mode).table;
}

HighScoreTable* DialogHighScore::GetTable(const std::string& name)
{
    HighScoreManager* manager = HighScoreManager::GetInstance();
    SmartPtr<HighScoreTable> made;
    HighScoreTable* table = manager != nullptr ? manager->FindTable(name) : nullptr;
    if (table == nullptr) {
        made = new HighScoreTable();
        made->SetDescending(true);
        made->SetLastScore(-1);
        made->SetMaxEntries(kDefaultEntries);
        table = made.Get();
        // Without a manager the tables live here, as long as the program.
        static HighScoreManager::Tables unmanaged;
        (manager != nullptr ? manager->GetTables() : unmanaged)[name] = made;
    }
    // A stored table without a limit would otherwise grow by ten defaults at
    // every fill: top up only while it holds fewer than ten.
    if (table->GetCount() < kDefaultEntries) {
        std::vector<std::int32_t> used;
        for (std::int32_t score = 1000; score <= 10000; score += 1000) {
            table->AddEntry(new Quorvel2ScoreEntry(DefaultName(used), score, -1, 0, std::string()));
        }
        // A default is nobody's new score: the dialog must not highlight it
        // (the last one added would otherwise blink on top as if just won).
        table->SetLastScore(-1);
    }
    return table;
}

DialogHighScore::DialogHighScore(PropertyNode* description) : DialogQuorvel2(description)
{
    PropertyNode* node = PropertyNode::AsNode(description);
    PropertyNode* panel = node != nullptr ? PropertyNode::AsNode(node->GetChild("panel")) : nullptr;
    float y = node != nullptr && node->HasChild("y") ? node->GetValue("y")->GetFloat() : 0.0f;
    GameNode* components = GetComponents();
    for (auto& row : m_Rows) {
        BaseObject* made = panel != nullptr ? ObjectFactory::GetInstance()->Create(panel->GetTypeWord(), panel) : nullptr;
        SmartPtr<BaseObject> hold(made);
        if (made == nullptr || !made->IsOfType(&GameNode::s_Type) || components == nullptr) {
            continue;
        }
        auto* line = static_cast<GameNode*>(made);
        line->SetY(y);
        row = {FindTyped<Label>(*line, "LABEL_NAME"), FindTyped<Label>(*line, "LABEL_SCORE"), FindTyped<Label>(*line, "LABEL_EXTRA")};
        if (line->IsOfType(&Sprite::s_Type)) {
            y += static_cast<Sprite*>(line)->GetHeight();
        }
        components->AddChild(line);
    }
    Bind("BUTTON_OK", &DialogHighScore::Close);
    Bind("BUTTON_MAINMENU", &DialogHighScore::Close);
    Bind("SWITCH_UNTIMED", &DialogHighScore::SwitchTo<GameMode::kUntimed>);
    Bind("SWITCH_TIMED", &DialogHighScore::SwitchTo<GameMode::kTimed>);
    Bind("SWITCH_WOD", &DialogHighScore::SwitchTo<GameMode::kWordOfTheDay>);
    Bind("SWITCH_BLITZ", &DialogHighScore::SwitchTo<GameMode::kBlitz>);
    Bind("SWITCH_CROSSWORD", &DialogHighScore::SwitchTo<GameMode::kCrisscross>);
    m_TabImage = FindComponent<Sprite>("TAB_PAGE01");
    // The dialog's own header comes before the rows in a depth-first search.
    m_ExtraHeader = FindComponent<Label>("LABEL_EXTRA");
}

void DialogHighScore::SelectTab(std::int32_t mode)
{
    if (m_TabImage != nullptr) {
        m_TabImage->SetFrame(TabOf(mode).frame);
    }
}

void DialogHighScore::FillTable(std::int32_t mode)
{
    if (m_Highlight != nullptr) {
        m_Highlight->Finish();
        m_Highlight->SetSuspended(true);
        m_Highlight = nullptr;
    }
    SetLabelText(m_ExtraHeader, TabOf(mode).extraHeader);
    HighScoreTable* table = GetTable(TabOf(mode).table);
    // Ten rows: a longer table shows its best ten.
    const std::int32_t shown = std::min(table->GetCount(), static_cast<std::int32_t>(kRows));
    for (std::int32_t i = 0; i < kRows; ++i) {
        auto& row = m_Rows[static_cast<std::size_t>(i)];
        const HighScoreEntry* entry = i < shown ? table->GetEntries()[i].Get() : nullptr;
        const std::string texts[3] = {
            entry != nullptr ? entry->GetName() : "-",
            entry != nullptr ? std::to_string(entry->GetScore()) : "-",
            entry == nullptr                                 ? "-"
            : entry->IsOfType(&Quorvel2ScoreEntry::s_Type) ? static_cast<const Quorvel2ScoreEntry*>(entry)->GetExtra()
                                                             : std::string(),
        };
        for (int column = 0; column < 3; ++column) {
            if (Label* label = row[static_cast<std::size_t>(column)]) {
                label->SetText(UTF8String(texts[column]));
                if (entry != nullptr) {
                    label->SetAlpha(1.0f);
                }
            }
        }
        if (entry != nullptr && m_HighlightPending && i == table->GetLastScore()) {
            // The new entry blinks between full strength and a shade that
            // still reads as body text on the panel.
            auto* blink = new ModifierBlink(300, kHighlightFaintest, 1.0f, 300, 200, 0);
            for (Label* label : row) {
                if (label != nullptr) {
                    blink->AddGraphicsSettings(label);
                }
            }
            AddModifier(blink);
            m_Highlight = blink;
            m_HighlightPending = false;
        }
    }
}

void DialogHighScore::Show()
{
    DialogQuorvel2::Show();
    const std::int32_t mode = GameMode::Get();
    if (Switch* tab = FindComponent<Switch>(TabOf(mode).switchName)) {
        tab->SetChecked(true);
    }
    SelectTab(mode);
    FillTable(mode);
    if (Button* unused = FindComponent<Button>(m_FromMenu ? "BUTTON_MAINMENU" : "BUTTON_OK")) {
        unused->SetVisible(false);
        unused->SetEnabled(false);
    }
    FadeIn();
}

void DialogHighScore::Close(void* target, void* component)
{
    DialogHighScore* dialog = AsHighScore(target);
    if (iDialogOwnerScene* game = dialog->GetOwnerGameScene()) {
        game->SaveAndQuit(dialog, static_cast<BaseObject*>(component));
    } else {
        HideSelf(target, component);
    }
}

template <std::int32_t Mode>
void DialogHighScore::SwitchTo(void* target, void*)
{
    DialogHighScore* dialog = AsHighScore(target);
    dialog->FillTable(Mode);
    dialog->SelectTab(Mode);
}
