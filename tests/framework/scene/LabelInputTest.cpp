#include <gtest/gtest.h>

#include <string>

#include "LabelTestSupport.h"
#include "WidgetTestSupport.h"
#include "framework/core/object/MouseCursorCounter.h"
#include "framework/scene/Label.h"
#include "framework/scene/LabelInput.h"

namespace label_input_test {

using Qmv2::LabelInput;
using Qmv2::MouseCursorCounter;
using Qmv2::SmartPtr;
using scenetest::CountCall;
using scenetest::MakeWidget;
using scenetest::WidgetStage;

namespace {

// Every character is 10 units wide; the entry is 200x20 at (100, 100), so
// the boundary before code point i lies at x = 100 + 10 i.
class LabelInputTest : public ::testing::Test {
protected:
    void Make(const std::string& keys, const std::string& text = "")
    {
        entry = MakeWidget<LabelInput>(R"(<LabelInput name="NAME" x="100" y="100" width="200" height="20" )" + keys +
                                       R"(><Label id="label"/></LabelInput>)");
        ASSERT_NE(entry, nullptr);
        ASSERT_NE(entry->GetLabel(), nullptr);
        entry->GetLabel()->SetFont(new scenetest::FixedFont(false));
        entry->SetText(text);
        entry->SetMethod(&changes, &CountCall);
        entry->GetEndMethod(LabelInput::kEndEnter)->SetMethod(&entered, &CountCall);
        entry->GetEndMethod(LabelInput::kEndEscape)->SetMethod(&escaped, &CountCall);
        stage.root->AddChild(entry.Get());
    }
    // Types a text as the platform delivers it: key down, character, key up.
    void Type(const std::string& text)
    {
        for (char c : text) {
            const int key = (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c;
            const bool hasKey = (key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9');
            if (hasKey) {
                stage.KeyDown(key);
            }
            stage.Char(static_cast<char16_t>(static_cast<unsigned char>(c)));
            if (hasKey) {
                stage.KeyUp(key);
            }
        }
    }
    std::string Text() const { return entry->GetText().GetString(); }
    std::pair<int, int> Selection() const { return {entry->GetSelectionStart(), entry->GetSelectionEnd()}; }

    WidgetStage stage;
    SmartPtr<LabelInput> entry;
    int changes = 0;
    int entered = 0;
    int escaped = 0;
};

TEST_F(LabelInputTest, TypingNeedsFocusAndKeepsToTheLimits)
{
    Make(R"(maxlength="3")", "ab");
    Type("c");
    EXPECT_EQ(Text(), "ab") << "nothing is typed before a click gives focus";
    stage.Click(150, 110);
    EXPECT_TRUE(entry->IsFocused());
    EXPECT_EQ(entry->GetCursor(), 2) << "a click past the end puts the cursor at the end";
    EXPECT_EQ(MouseCursorCounter::GetCount(3), 1) << "the text beam shows while editing";
    Type("c");
    EXPECT_EQ(Text(), "abc");
    Type("d");
    EXPECT_EQ(Text(), "abc") << "a fourth character is refused whole";
    EXPECT_EQ(entry->GetLabel()->GetText().GetString(), "abc") << "the label shows the text";

    // Select the c (Shift with Left) and type d over it.
    stage.KeyDown(VK_SHIFT);
    stage.Stroke(VK_LEFT);
    stage.KeyUp(VK_SHIFT);
    EXPECT_EQ(Selection(), std::make_pair(2, 3));
    Type("d");
    EXPECT_EQ(Text(), "abd");
    EXPECT_EQ(changes, 2) << "c, then d over c; the refused d fired nothing";

    // Control characters and characters the font cannot draw are dropped.
    stage.Stroke(VK_BACK);
    Type("\x01");
    stage.Char(u'\u2026');
    EXPECT_EQ(Text(), "ab");

    stage.Stroke(VK_RETURN);
    EXPECT_EQ(entered, 1);
    EXPECT_FALSE(entry->IsFocused());
    Type("x");
    EXPECT_EQ(Text(), "ab") << "Enter ended editing";
}

TEST_F(LabelInputTest, EditingKeysActOnTheirOwnEdge)
{
    Make("", "hello");
    stage.Click(130, 110);
    EXPECT_EQ(entry->GetCursor(), 3);

    // Backspace acts when the key is released.
    stage.KeyDown(VK_BACK);
    EXPECT_EQ(Text(), "hello");
    stage.KeyUp(VK_BACK);
    EXPECT_EQ(Text(), "helo");
    EXPECT_EQ(entry->GetCursor(), 2);

    // Forward delete acts when the key goes down, and again on every repeat.
    stage.KeyDown(VK_DELETE);
    EXPECT_EQ(Text(), "heo");
    stage.KeyDown(VK_DELETE, true);
    EXPECT_EQ(Text(), "he");
    stage.KeyUp(VK_DELETE);
    stage.Stroke(VK_DELETE);
    EXPECT_EQ(Text(), "he") << "forward delete at the end changes nothing";

    stage.Stroke(VK_HOME);
    stage.Stroke(VK_BACK);
    EXPECT_EQ(Text(), "he") << "Backspace at the start changes nothing";

    // Shift+Right from 0 to 2 selects, Shift+Left shrinks it back.
    entry->SetText("hello world");
    stage.Stroke(VK_RIGHT);
    stage.Stroke(VK_RIGHT);
    EXPECT_EQ(entry->GetCursor(), 2);
    stage.KeyDown(VK_SHIFT);
    stage.Stroke(VK_RIGHT);
    stage.Stroke(VK_RIGHT);
    EXPECT_EQ(Selection(), std::make_pair(2, 4));
    stage.Stroke(VK_LEFT);
    EXPECT_EQ(Selection(), std::make_pair(2, 3));
    stage.Stroke(VK_END);
    EXPECT_EQ(Selection(), std::make_pair(2, 11)) << "Shift+End extends to the end";
    stage.KeyUp(VK_SHIFT);
    stage.Stroke(VK_HOME);
    EXPECT_EQ(Selection(), std::make_pair(0, 0)) << "Home without Shift collapses";

    stage.Stroke(VK_ESCAPE);
    EXPECT_EQ(escaped, 1);
    EXPECT_EQ(MouseCursorCounter::GetCount(3), 0) << "Escape gives the arrow back";
}

TEST_F(LabelInputTest, MouseSelectsByDragAndWordsByDoubleClick)
{
    Make("", "hello world.");
    // Drag from boundary 1 to boundary 4.
    stage.Press(111, 110);
    stage.Move(139, 110, true);
    stage.Release(139, 110);
    EXPECT_EQ(Selection(), std::make_pair(1, 4));
    EXPECT_EQ(entry->GetSelectedText().GetString(), "ell");

    // On "world" the word without the full stop; on "hello" the word and its blank.
    stage.DoubleClick(175, 110);
    stage.Release(175, 110);
    EXPECT_EQ(entry->GetSelectedText().GetString(), "world");
    stage.DoubleClick(122, 110);
    stage.Release(122, 110);
    EXPECT_EQ(entry->GetSelectedText().GetString(), "hello ");

    // A press outside ends focus and collapses the selection.
    stage.Press(500, 500);
    stage.Release(500, 500);
    EXPECT_FALSE(entry->IsFocused());
    EXPECT_EQ(Selection().first, Selection().second);
    EXPECT_EQ(MouseCursorCounter::GetCount(3), 0);
}

TEST_F(LabelInputTest, AllowedCharactersAndWidthFilterTheText)
{
    Make(R"(maxwidth="45")");
    entry->SetAllowedCharacters("ab");
    stage.Click(150, 110);
    Type("a.b");
    EXPECT_EQ(Text(), "ab");
    entry->SetAllowedCharacters("");
    Type("cdef");
    EXPECT_EQ(Text(), "abcd") << "a fifth character would be 50 wide";
    entry->SetText("abcdefgh");
    EXPECT_EQ(Text(), "abcd") << "a set text is shortened to the width";
}

}  // namespace

}  // namespace label_input_test
