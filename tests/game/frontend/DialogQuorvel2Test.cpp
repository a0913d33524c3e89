#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/core/object/ObjectFactory.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/properties/BasicProperties.h"
#include "framework/core/properties/DataManager.h"
#include "framework/scene/AnimTree.h"
#include "framework/scene/Button.h"
#include "framework/scene/GameTree.h"
#include "framework/scene/Label.h"
#include "framework/scene/Scene.h"
#include "framework/scene/SceneClasses.h"
#include "framework/scene/SceneManager.h"
#include "game/frontend/DialogQuorvel2.h"
#include "game/frontend/DialogYesNo.h"
#include "tests/game/frontend/DialogTestSupport.h"
#include "tests/framework/scene/LabelTestSupport.h"

namespace dialog_quorvel2_test {

using namespace Qmv2;

namespace {

struct Calls {
    std::vector<std::string> log;
};

void Yes(void* object, void* component)
{
    static_cast<Calls*>(object)->log.push_back("yes " + static_cast<GameNode*>(static_cast<BaseObject*>(component))->GetName());
}

void Closed(void* object)
{
    static_cast<Calls*>(object)->log.push_back("closed");
}

class GameDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        frontendtest::SetUpDialogWorld();
        SmartPtr<PropertyNode> empty(new PropertyNode("scene"));
        scene = new Scene(empty.Get());
        other = new Scene(empty.Get());
    }
    void TearDown() override
    {
        scene = nullptr;
        other = nullptr;
        frontendtest::TearDownDialogWorld();
    }

    DialogQuorvel2* Get(const std::string& key)
    {
        Dialog* dialog = scene->GetDialog(key, std::string());
        return dialog != nullptr && dialog->IsOfType(&DialogQuorvel2::s_Type) ? static_cast<DialogQuorvel2*>(dialog)
                                                                               : nullptr;
    }

    static void MakeCurrent(Scene* current)
    {
        SceneManager::GetInstance()->RequestScene(current);
        SceneManager::GetInstance()->Execute(16);
        ASSERT_EQ(SceneManager::GetInstance()->GetCurrentScene(), current);
    }

    static void Fire(GameNode* widget)
    {
        ASSERT_NE(widget, nullptr);
        InterfaceCast<iGuiMethod>(widget)->Invoke(static_cast<BaseObject*>(widget));
    }

    SmartPtr<Scene> scene;
    SmartPtr<Scene> other;
};

}  // namespace

TEST_F(GameDialogTest, DarkensOnlyForATextOtherThanEmptyOrFalse)
{
    for (const char* key : {"DIALOG_PLAIN", "DIALOG_NOT_DARK", "DIALOG_EMPTY_DARK"}) {
        ASSERT_NE(Get(key), nullptr) << key;
        EXPECT_FALSE(Get(key)->GetDarkenBackground()) << key;
    }
    DialogQuorvel2* dark = Get("DIALOG_DARK");
    ASSERT_NE(dark, nullptr);
    EXPECT_TRUE(dark->GetDarkenBackground());
    dark->SetMovable(true);
    dark->Show();
    EXPECT_FALSE(dark->IsMovable());
}

// Input is off from the start of the fade-in to its end and from the start of
// the fade-out on; the dialog closes in the scene that holds it, even while
// another scene is current, and only then runs the close callback.
TEST_F(GameDialogTest, FadesBlockInputAndHidingClosesInTheOwningScene)
{
    DialogQuorvel2* dialog = Get("DIALOG_PLAIN");
    ASSERT_NE(dialog, nullptr);
    scene->AddChild(dialog);
    dialog->Show();
    dialog->FadeIn();
    EXPECT_FALSE(dialog->m_AcceptsInput);
    EXPECT_FALSE(dialog->m_ChildrenAcceptInput);
    EXPECT_FLOAT_EQ(dialog->GetColor().a, 0.0f);
    dialog->Tick(50);
    EXPECT_NEAR(dialog->GetColor().a, 0.5f, 0.01f);
    EXPECT_FALSE(dialog->m_AcceptsInput);
    dialog->Tick(50);
    EXPECT_FLOAT_EQ(dialog->GetColor().a, 1.0f);
    EXPECT_TRUE(dialog->m_AcceptsInput);
    EXPECT_TRUE(dialog->m_ChildrenAcceptInput);

    MakeCurrent(other.Get());
    Calls calls;
    dialog->SetCloseCallback(&calls, &Closed);
    SmartPtr<DialogQuorvel2> held(dialog);
    dialog->Hide();
    EXPECT_FALSE(dialog->m_AcceptsInput);
    dialog->Tick(60);
    EXPECT_EQ(scene->FindDialog("DIALOG_PLAIN"), dialog);
    EXPECT_TRUE(calls.log.empty());
    dialog->Tick(60);
    EXPECT_EQ(scene->FindDialog("DIALOG_PLAIN"), nullptr);
    EXPECT_TRUE(dialog->IsObsolete());
    EXPECT_EQ(calls.log, std::vector<std::string>{"closed"});
}

TEST_F(GameDialogTest, QuestionsAreReplacedByKeyAndBindTheirButtons)
{
    Calls calls;
    DialogYesNo* first = DialogYesNo::Open(scene.Get(), "Q_ONE", "Q_ONE_HEADER", &calls, &Yes, nullptr, nullptr);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->GetName(), "Q_ONE");
    EXPECT_EQ(first->GetParent(), nullptr);    // the caller adds and shows it
    ASSERT_NE(first->GetMessage(), nullptr);
    EXPECT_EQ(first->GetMessage()->GetText().GetString(), "Stop the round?");
    EXPECT_EQ(first->GetHeader()->GetText().GetString(), "Stop");
    // Without a font the message has no height: the box stays as defined.
    EXPECT_FLOAT_EQ(first->GetHeight(), 120.0f);
    EXPECT_FLOAT_EQ(first->GetYesButton()->GetY(), 60.0f);

    SmartPtr<DialogYesNo> old(first);
    DialogYesNo* again = DialogYesNo::Open(scene.Get(), "Q_ONE", "Q_ONE_HEADER", &calls, &Yes, nullptr, nullptr);
    DialogYesNo* second = DialogYesNo::Open(scene.Get(), "Q_TWO", "Q_TWO_HEADER", nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(again, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(again, first);
    EXPECT_TRUE(first->IsObsolete());
    EXPECT_EQ(scene->GetDialogs().GetCount(), 2);

    scene->AddChild(again);
    again->Show();
    Fire(again->GetYesButton());
    EXPECT_EQ(calls.log, std::vector<std::string>{"yes BUTTON_YES"});
    // The default no closes the question in its own scene.
    MakeCurrent(other.Get());
    Fire(again->GetNoButton());
    EXPECT_EQ(scene->FindDialog("Q_ONE"), nullptr);
    EXPECT_EQ(scene->FindDialog("Q_TWO"), second);
}

TEST_F(GameDialogTest, ALongMessagePushesTheButtonsDownAndOneButtonCanRemain)
{
    DialogYesNo* question = DialogYesNo::Open(scene.Get(), "Q_ONE", "Q_ONE_HEADER", nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(question, nullptr);
    SmartPtr<scenetest::FixedFont> font(new scenetest::FixedFont());
    question->GetMessage()->SetFont(font.Get());
    // Ten characters a line in 100 units: three lines of 12.
    question->SetText("aaaa bbbb cccc dddd eeee", "Header", nullptr, nullptr, nullptr, nullptr);
    const float grow = question->GetMessage()->GetHeight();
    EXPECT_GE(grow, 24.0f);
    EXPECT_FLOAT_EQ(question->GetHeight(), 120.0f + grow);
    EXPECT_FLOAT_EQ(question->GetYesButton()->GetY(), 60.0f + grow);
    EXPECT_FLOAT_EQ(question->GetNoButton()->GetY(), 60.0f + grow);

    question->SetSingleButton();
    EXPECT_FALSE(question->GetNoButton()->IsVisible());
    EXPECT_FALSE(question->GetNoButton()->IsEnabled());
    EXPECT_TRUE(question->GetYesButton()->IsVisible());
    EXPECT_FLOAT_EQ(question->GetYesButton()->GetX(), 150.0f);
    scene->AddChild(question);
    Fire(question->GetYesButton());   // still the default close
    EXPECT_EQ(scene->FindDialog("Q_ONE"), nullptr);
}

}  // namespace dialog_quorvel2_test
