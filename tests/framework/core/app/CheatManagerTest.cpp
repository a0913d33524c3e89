#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/core/app/CheatManager.h"
#include "framework/core/app/InputHandler.h"
#include "framework/core/app/KeyCodes.h"
#include "framework/scene/GameTree.h"
#include "platform/win32/WinKeys.h"
#include "platform/win32/WinMessages.h"

namespace cheat_manager_test {

using Qmv2::CheatInfo;
using Qmv2::CheatManager;
using Qmv2::KeyboardMessageData;

namespace {

struct Call {
    Qmv2::BaseObject* context;
    std::int32_t user;
    std::string extra;
};
std::vector<Call> g_Calls;
bool g_Answer = true;

bool Record(Qmv2::BaseObject* context, std::int32_t user, const std::string& extra)
{
    g_Calls.push_back({context, user, extra});
    return g_Answer;
}

class CountingSound : public Qmv2::iCheatSound {
public:
    void Play(float volume, float pan, float pitch, bool looped) override
    {
        ++plays;
        EXPECT_EQ(volume, 1.0f);
        EXPECT_EQ(pan, 0.0f);
        EXPECT_EQ(pitch, 1.0f);
        EXPECT_FALSE(looped);
    }
    int plays = 0;
};

class Scope : public Qmv2::iCheatScope {
public:
    Qmv2::BaseObject* GetCurrentScene() override { return scene; }
    bool IsScene(Qmv2::BaseObject* object) override { return object == scene || object == otherScene; }
    bool IsOpenDialog(Qmv2::BaseObject* in, Qmv2::BaseObject* dialog) override
    {
        return in == scene && dialog == openDialog;
    }
    Qmv2::BaseObject* scene = nullptr;
    Qmv2::BaseObject* otherScene = nullptr;
    Qmv2::BaseObject* openDialog = nullptr;
};

void SetControl(bool down)
{
    MSG msg{};
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    PostMessageA(nullptr, down ? WM_KEYDOWN : WM_KEYUP, VK_CONTROL, down ? 0x001D0001 : 0xC01D0001);
    PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
}

class CheatManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_Calls.clear();
        g_Answer = true;
        SetControl(false);
        manager = new CheatManager;
        held = manager;
    }
    void TearDown() override
    {
        CheatManager::SetScope(nullptr);
        SetControl(false);
    }
    bool Up(std::int32_t code, char32_t character = 0)
    {
        Qmv2::SmartPtr<KeyboardMessageData> data(new KeyboardMessageData(character, code));
        return manager->OnKeyUp(data.Get());
    }
    bool Type(char character) { return Up(0, static_cast<char32_t>(character)); }
    void Toggle()
    {
        SetControl(true);
        EXPECT_FALSE(Up(CheatManager::kToggleKey)) << "the toggle key is never taken";
        SetControl(false);
    }
    void Add(const std::string& name, std::int32_t extra = 0, Qmv2::BaseObject* context = nullptr, std::int32_t user = 7)
    {
        CheatInfo cheat;
        cheat.m_Name = name;
        cheat.m_Handler = &Record;
        cheat.m_UserValue = user;
        cheat.m_ExtraCount = extra;
        cheat.m_Context = context;
        manager->AddCheat(cheat);
    }

    CheatManager* manager = nullptr;
    Qmv2::SmartPtr<CheatManager> held;
};

}  // namespace

TEST_F(CheatManagerTest, ToggleIsF12WithControlAndOnlyThen)
{
    EXPECT_EQ(Qmv2::Platform::VirtualKeyOfCode(CheatManager::kToggleKey), VK_F12);
    EXPECT_EQ(Qmv2::Platform::VirtualKeyOfCode(CheatManager::kToggleModifier), VK_CONTROL);
    EXPECT_FALSE(Up(CheatManager::kToggleKey)) << "F12 alone";
    EXPECT_EQ(manager->GetMode(), CheatManager::kOff);
    EXPECT_FALSE(Type('a')) << "keys pass through while cheat mode is off";
    Toggle();
    EXPECT_EQ(manager->GetMode(), CheatManager::kTyping);
    Toggle();
    EXPECT_EQ(manager->GetMode(), CheatManager::kOff);
}

TEST_F(CheatManagerTest, EmptyTableTakesEveryKeyAndKeepsNothing)
{
    EXPECT_EQ(manager->GetCheatCount(), 0u);
    Toggle();
    for (char c : std::string("anything")) {
        EXPECT_TRUE(Type(c));
        EXPECT_EQ(manager->GetTypedText(), "");
    }
    EXPECT_EQ(manager->GetMode(), CheatManager::kTyping);
    EXPECT_TRUE(g_Calls.empty());
}

TEST_F(CheatManagerTest, UnmatchedLeadingCharactersAreDroppedAndTheNameActivates)
{
    Add("abc");
    Toggle();
    Type('x');
    EXPECT_EQ(manager->GetTypedText(), "");
    Type('a');
    Type('B');  // upper-case typing matches a lower-case name
    EXPECT_EQ(manager->GetTypedText(), "ab");
    EXPECT_TRUE(g_Calls.empty());
    Type('c');
    ASSERT_EQ(g_Calls.size(), 1u);
    EXPECT_EQ(g_Calls[0].user, 7);
    EXPECT_EQ(g_Calls[0].extra, "");
    EXPECT_TRUE(manager->WasCheatUsed());
    EXPECT_EQ(manager->GetMode(), CheatManager::kOff) << "cheat mode ends after every activation";
    EXPECT_FALSE(Type('a'));
}

TEST_F(CheatManagerTest, TypedTextShiftsUntilAPrefixMatches)
{
    Add("abc");
    Toggle();
    for (char c : std::string("aabab")) {
        Type(c);
    }
    EXPECT_EQ(manager->GetTypedText(), "ab") << "'aab' is no prefix, its first character goes";
    Type('c');
    EXPECT_EQ(g_Calls.size(), 1u);
}

TEST_F(CheatManagerTest, FixedExtraCountActivatesOnTheLastCharacter)
{
    Add("lvl", 3);
    Toggle();
    for (char c : std::string("lvl")) {
        Type(c);
    }
    EXPECT_EQ(manager->GetMode(), CheatManager::kExtra);
    Type('1');
    Type('2');
    EXPECT_TRUE(g_Calls.empty());
    Type('3');
    ASSERT_EQ(g_Calls.size(), 1u);
    EXPECT_EQ(g_Calls[0].extra, "123");
    EXPECT_EQ(manager->GetMode(), CheatManager::kOff);
}

TEST_F(CheatManagerTest, EnterBeforeTheFixedCountCancels)
{
    Add("lvl", 3);
    Toggle();
    for (char c : std::string("lvl1")) {
        Type(c);
    }
    EXPECT_TRUE(Up(CheatManager::kEnterKey));
    EXPECT_TRUE(g_Calls.empty());
    EXPECT_EQ(manager->GetMode(), CheatManager::kOff);
}

TEST_F(CheatManagerTest, OpenCountEndsWithEnterEvenWhenNothingWasTyped)
{
    Add("say", -1);
    Toggle();
    for (char c : std::string("sayhi")) {
        Type(c);
    }
    EXPECT_TRUE(Up(CheatManager::kEnterKey));
    ASSERT_EQ(g_Calls.size(), 1u);
    EXPECT_EQ(g_Calls[0].extra, "hi");

    Toggle();
    for (char c : std::string("say")) {
        Type(c);
    }
    Up(CheatManager::kEnterKey);
    ASSERT_EQ(g_Calls.size(), 2u);
    EXPECT_EQ(g_Calls[1].extra, "");
}

TEST_F(CheatManagerTest, EscapeAndStrayEnterCancel)
{
    Add("abc");
    Toggle();
    Type('a');
    EXPECT_TRUE(Up(CheatManager::kEscapeKey));
    EXPECT_EQ(manager->GetMode(), CheatManager::kOff);
    Toggle();
    EXPECT_EQ(manager->GetTypedText(), "") << "the toggle clears the typed text";
    EXPECT_TRUE(Up(CheatManager::kEnterKey));
    EXPECT_EQ(manager->GetMode(), CheatManager::kOff);
    EXPECT_TRUE(g_Calls.empty());
}

TEST_F(CheatManagerTest, ContextDecidesWhereACheatIsValid)
{
    Qmv2::SmartPtr<Qmv2::BaseObject> scene(new Qmv2::BaseObject);
    Qmv2::SmartPtr<Qmv2::BaseObject> other(new Qmv2::BaseObject);
    Qmv2::SmartPtr<Qmv2::BaseObject> dialog(new Qmv2::BaseObject);
    Scope scope;
    scope.scene = scene.Get();
    scope.otherScene = other.Get();
    CheatManager::SetScope(&scope);
    auto success = std::make_shared<CountingSound>();
    auto failure = std::make_shared<CountingSound>();
    manager->SetSounds(success, failure);
    manager->SetPlaySounds(true);

    Add("here", 0, scene.Get(), 1);
    Add("there", 0, other.Get(), 2);
    Add("box", 0, dialog.Get(), 3);
    Add("any", 0, nullptr, 4);

    auto typeName = [this](const std::string& name) {
        Toggle();
        for (char c : name) {
            Type(c);
        }
    };
    typeName("here");
    ASSERT_EQ(g_Calls.size(), 1u);
    EXPECT_EQ(g_Calls[0].context, scene.Get());
    typeName("any");
    ASSERT_EQ(g_Calls.size(), 2u);
    EXPECT_EQ(g_Calls[1].context, scene.Get()) << "a cheat valid everywhere runs in the current scene";
    EXPECT_EQ(success->plays, 2);

    typeName("there");
    EXPECT_EQ(g_Calls.size(), 2u) << "a cheat of another scene does not run";
    EXPECT_EQ(failure->plays, 1);
    typeName("box");
    EXPECT_EQ(g_Calls.size(), 2u) << "its dialog is not open";
    EXPECT_EQ(failure->plays, 2);
    EXPECT_EQ(manager->GetMode(), CheatManager::kOff);

    scope.openDialog = dialog.Get();
    typeName("box");
    ASSERT_EQ(g_Calls.size(), 3u);
    EXPECT_EQ(g_Calls[2].context, dialog.Get());

    g_Answer = false;
    typeName("here");
    EXPECT_EQ(success->plays, 3) << "a handler that did nothing earns no success sound";
    EXPECT_EQ(failure->plays, 2);

    manager->SetPlaySounds(false);
    g_Answer = true;
    typeName("there");
    EXPECT_EQ(failure->plays, 2) << "sounds are off";
}

TEST_F(CheatManagerTest, RegistersFirstWithTheInputHandlerAndAnswersItsListener)
{
    EXPECT_EQ(Qmv2::InterfaceCast<Qmv2::iInputListener>(manager), static_cast<Qmv2::iInputListener*>(manager));
    Qmv2::GameTree::SetInstance(new Qmv2::GameTree);
    Qmv2::InputHandler::SetInstance(new Qmv2::InputHandler(Qmv2::GameTree::GetInstance()));
    {
        Qmv2::SmartPtr<CheatManager> registered(new CheatManager);
        EXPECT_EQ(Qmv2::InputHandler::GetInstance()->GetRegisteredCount(), 1);
        Qmv2::InputHandler::ReleaseInstance();  // its registered list held the manager
    }
    Qmv2::GameTree::ReleaseInstance();
}

}  // namespace cheat_manager_test
