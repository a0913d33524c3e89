#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DialogTestSupport.h"
#include "WidgetTestSupport.h"
#include "framework/core/object/MouseCursorCounter.h"
#include "framework/scene/Button.h"
#include "framework/scene/ButtonURL.h"
#include "platform/win32/WinShell.h"
#include "tests/framework/core/script/ScriptFixture.h"

namespace button_test {

using Qmv2::Button;
using Qmv2::ButtonURL;
using Qmv2::MouseCursorCounter;
using Qmv2::SmartPtr;
using scenetest::CountCall;
using scenetest::MakeWidget;
using scenetest::WidgetStage;

namespace {

class ButtonTest : public ::testing::Test {
protected:
    // A 40x20 button at (100, 100) with `frames` frames, bound to the counter.
    Button* Place(const std::string& xml, int frames = 4)
    {
        button = MakeWidget<Button>(xml);
        if (button == nullptr) {
            return nullptr;
        }
        if (frames > 0) {
            button->SetImage(scenetest::MakePixelImage(frames, 40, 20, [](int, int) { return 255; }).Get());
        }
        button->SetMethod(&fired, &CountCall);
        stage.root->AddChild(button.Get());
        return button.Get();
    }

    WidgetStage stage;
    SmartPtr<Button> button;
    int fired = 0;
};

TEST_F(ButtonTest, MouseStatesShowTheirFramesAndOnlyAReleaseOnTheButtonFires)
{
    ASSERT_NE(Place(R"(<Button name="BUTTON_OK" x="100" y="100"/>)"), nullptr);
    EXPECT_EQ(button->GetFrame(), 0);
    stage.Move(120, 110);
    EXPECT_EQ(button->GetFrame(), 1) << "over";
    EXPECT_EQ(MouseCursorCounter::GetCount(2), 1) << "the hand shows while pointed at";
    stage.Press(120, 110);
    EXPECT_EQ(button->GetFrame(), 2) << "pressed and over";
    stage.Move(300, 300, true);
    EXPECT_EQ(button->GetFrame(), 1) << "pressed with the pointer off the button";
    EXPECT_EQ(MouseCursorCounter::GetCount(2), 1) << "held counts as active";
    stage.Release(300, 300);
    EXPECT_EQ(fired, 0) << "a press released off the button never fires";
    EXPECT_EQ(button->GetFrame(), 0);
    EXPECT_EQ(MouseCursorCounter::GetCount(2), 0) << "the arrow returns";

    // Press, drag off, drag back on, release: fires once.
    stage.Press(120, 110);
    stage.Move(300, 300, true);
    stage.Move(125, 112, true);
    EXPECT_EQ(button->GetFrame(), 2);
    stage.Release(125, 112);
    EXPECT_EQ(fired, 1);

    // Moving with the button held from elsewhere does not light it.
    stage.Press(10, 10);
    stage.Move(120, 110, true);
    EXPECT_EQ(button->GetFrame(), 0);
    stage.Release(10, 10);

    button->SetEnabled(false);
    EXPECT_EQ(button->GetFrame(), 3);
    stage.Click(120, 110);
    EXPECT_EQ(fired, 1) << "a disabled button never fires";
    EXPECT_EQ(button->GetFrame(), 3);
    EXPECT_EQ(MouseCursorCounter::GetCount(2), 0) << "a disabled button is never active";

    // A one-frame image shows its only frame in every state; three frames
    // show the last for disabled.
    button->SetImage(scenetest::MakePixelImage(1, 40, 20, [](int, int) { return 255; }).Get());
    EXPECT_EQ(button->GetFrame(), 0);
    button->SetImage(scenetest::MakePixelImage(3, 40, 20, [](int, int) { return 255; }).Get());
    EXPECT_EQ(button->GetFrame(), 2);
    button->SetEnabled(true);
    stage.Move(120, 110);
    stage.Press(120, 110);
    EXPECT_EQ(button->GetFrame(), 2);
}

TEST_F(ButtonTest, FireKeysFireOncePerKeystrokeAndNeverWhenDisabled)
{
    ASSERT_NE(Place(R"(<Button name="B" x="100" y="100" firekey=" A , #0D,,"/>)"), nullptr);
    ASSERT_EQ(button->GetFireKeys().size(), 2u);
    EXPECT_EQ(button->GetFireKeys()[0].m_Character, 0x41u);
    EXPECT_EQ(button->GetFireKeys()[0].m_Text, "a");
    EXPECT_EQ(button->GetFireKeys()[1].m_Character, 0x0Du);

    // A letter: key down, its character, key up.
    stage.KeyDown('A');
    EXPECT_TRUE(button->HasState(Button::kPressed));
    EXPECT_EQ(button->GetFrame(), 1);
    stage.Char(u'a');
    stage.KeyUp('A');
    EXPECT_EQ(fired, 1) << "one keystroke, one firing";
    EXPECT_FALSE(button->HasState(Button::kPressed));

    // The capital travels the same way; held down, the repeats fire nothing more.
    stage.KeyDown('A');
    stage.Char(u'A');
    stage.KeyDown('A', true);
    stage.Char(u'A');
    stage.KeyUp('A');
    EXPECT_EQ(fired, 2);

    // A key up without its key down fires too.
    stage.KeyUp('A');
    EXPECT_EQ(fired, 3);

    // Enter carries a key code of its own; its character matches #0D.
    stage.Stroke(VK_RETURN);
    EXPECT_EQ(fired, 4);
    // Other keys with key codes never match.
    stage.Stroke(VK_SPACE);
    stage.Stroke('B');
    EXPECT_EQ(fired, 4);

    button->SetEnabled(false);
    stage.KeyDown('A');
    stage.Char(u'a');
    stage.KeyUp('A');
    stage.Stroke(VK_RETURN);
    EXPECT_EQ(fired, 4);
}

TEST_F(ButtonTest, AHitMaskFromTheImageLetOnlyOpaquePixelsHit)
{
    // The left half of the picture is clear, the right half opaque.
    ASSERT_NE(Place(R"(<Button name="B" x="100" y="100" hitmaskthreshold="0.5"/>)", 0), nullptr);
    button->SetImage(scenetest::MakePixelImage(4, 40, 20, [](int x, int) { return x < 20 ? 0 : 255; }).Get());

    stage.Click(110, 110);
    EXPECT_EQ(fired, 0) << "a clear pixel misses";
    EXPECT_EQ(MouseCursorCounter::GetCount(2), 0);
    stage.Click(130, 110);
    EXPECT_EQ(fired, 1);
    EXPECT_FALSE(button->HitTest(99.0f, 110.0f)) << "outside the outline";

    // With the default threshold the mask is not consulted.
    SmartPtr<Button> plain = MakeWidget<Button>(R"(<Button name="P" x="0" y="0" width="40" height="20"/>)");
    plain->SetImage(scenetest::MakePixelImage(1, 40, 20, [](int, int) { return 0; }).Get());
    EXPECT_TRUE(plain->HitTest(5.0f, 5.0f));
}

TEST_F(ButtonTest, ButtonsInADialogReportTheirCommand)
{
    Qmv2::ObjectFactory::GetInstance()->Register<scenetest::RecordingDialog>("RecordingDialog");
    SmartPtr<scenetest::RecordingDialog> dialog = MakeWidget<scenetest::RecordingDialog>(
        R"(<RecordingDialog name="D" x="50" y="50" width="300" height="200"><Vector id="components">)"
        R"(<Button name="BUTTON_OK" x="10" y="10" width="60" height="20"/>)"
        R"(<Button name="BUTTON_CANCEL" command="BUTTON_NO" x="100" y="10" width="60" height="20" enabled="false"/>)"
        R"(</Vector></RecordingDialog>)");
    ASSERT_NE(dialog, nullptr);
    stage.root->AddChild(dialog.Get());
    dialog->Show();
    stage.Click(70, 70);
    stage.Click(160, 70);
    auto* cancel = static_cast<Button*>(dialog->FindChild("BUTTON_CANCEL", true));
    cancel->SetEnabled(true);
    stage.Click(160, 70);
    ASSERT_EQ(dialog->commands.size(), 2u);
    EXPECT_EQ(dialog->commands[0].first, "BUTTON_OK");
    EXPECT_EQ(dialog->commands[1].first, "BUTTON_NO");
    EXPECT_EQ(dialog->commands[1].second, static_cast<Qmv2::BaseObject*>(cancel));
}

TEST_F(ButtonTest, UrlButtonsOpenOnlyWebAddressesAndStillCallTheirHandler)
{
    std::vector<std::string> opened;
    platform::SetUrlOpener([&opened](const std::string& address) {
        opened.push_back(address);
        return true;
    });
    SmartPtr<ButtonURL> web = MakeWidget<ButtonURL>(
        R"(<ButtonURL name="W" x="0" y="0" width="50" height="20" url="https://example.org/a?b=c"/>)");
    SmartPtr<ButtonURL> hostile = MakeWidget<ButtonURL>(
        R"(<ButtonURL name="H" x="0" y="40" width="50" height="20" url="file:///etc/passwd; rm -rf ~"/>)");
    ASSERT_NE(web, nullptr);
    ASSERT_NE(hostile, nullptr);
    web->SetMethod(&fired, &CountCall);
    stage.root->AddChild(web.Get());
    stage.root->AddChild(hostile.Get());
    stage.Click(10, 10);
    stage.Click(10, 50);
    platform::SetUrlOpener({});
    EXPECT_EQ(opened, (std::vector<std::string>{"https://example.org/a?b=c"}));
    EXPECT_EQ(fired, 1);
}

using ButtonScriptTest = QmvTest::ScriptFixture;

TEST_F(ButtonScriptTest, ScriptsReadAndSetTheEnabledState)
{
    WriteClassScripts();
    WriteScript("Button.lua", "qmv.Button = { label = function(self) return 'button ' .. self:kind() end }\n");
    StartInterpreter();
    Qmv2::RegisterSceneClasses();
    SmartPtr<Button> button = MakeWidget<Button>(R"(<Button name="B" width="10" height="10"/>)");
    SmartPtr<Qmv2::GameNode> node(new Qmv2::GameNode("N"));
    Publish("button", *button);
    Publish("node", *node);

    EXPECT_EQ(Eval("return tostring(button:enabled()) .. tostring(button:isEnabled())"), "truetrue");
    EXPECT_EQ(Eval("button:setEnabled() return tostring(button:enabled())"), "false") << "no value disables";
    EXPECT_EQ(Eval("button:setEnabled(0) return tostring(button:enabled())"), "true") << "0 is a value";
    EXPECT_EQ(Eval("button:setEnabled(false) return tostring(button:isEnabled())"), "false");
    EXPECT_EQ(Eval("button:setEnabled('yes') return tostring(button:isEnabled())"), "true");
    EXPECT_EQ(Eval("return button:label()"), "button script sprite") << "a button is a scripted sprite";
    EXPECT_NE(Eval("button.enabled()").find("table expected, got no value"), std::string::npos);
    EXPECT_NE(Eval("button.enabled(42)").find("table expected, got number"), std::string::npos);
    EXPECT_NE(Eval("button.enabled({})").find("not a C++ object"), std::string::npos);
    EXPECT_NE(Eval("button.setEnabled(node, true)").find("not a Button"), std::string::npos);
}

}  // namespace

}  // namespace button_test
