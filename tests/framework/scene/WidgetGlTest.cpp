// Widgets drawn on the Direct3D stand-in and compared with golden images,
// and the clipboard keys of the text input on a real window.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

#include "WidgetTestSupport.h"
#include "framework/graphics/ScreenFixture.h"
#include "framework/graphics/text/ResourceFont.h"
#include "framework/scene/AnimTree.h"
#include "framework/scene/Button.h"
#include "framework/scene/Label.h"
#include "framework/scene/LabelInput.h"
#include "framework/scene/SceneTransition.h"
#include "framework/scene/Slider.h"
#include "framework/scene/Switch.h"
#include "framework/scene/TaskRender.h"
#include "framework/scene/ToolTipLabel.h"
#include "framework/scene/Tooltip.h"
#include "framework/core/util/Platform.h"

namespace widget_gl_test {

using graphicstest::CompareWithGolden;
using graphicstest::Picture;
using Qmv2::SmartPtr;
using scenetest::MakeWidget;

namespace {

constexpr int kWidgetWidth = 320;
constexpr int kWidgetHeight = 240;
constexpr std::uint32_t kBackground = 0xFF2A3A4Au;

class WidgetGlTest : public graphicstest::ScreenFixture {
protected:
    WidgetGlTest() : ScreenFixture("widget test", kWidgetWidth, kWidgetHeight) {}

    void SetUp() override
    {
        ScreenFixture::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        Qmv2::RegisterSceneClasses();
        font_ = new Qmv2::ResourceFont("run/fonts/button.xml");
        font_->Load();
        ASSERT_NE(font_->GetContent(), nullptr) << font_->ToString();
        root_ = new Qmv2::GameNode("root");
        input_ = new Qmv2::InputHandler(root_.Get());
        Qmv2::InputHandler::SetInstance(input_.Get());
        input_->SetRunning(true);
    }
    void TearDown() override
    {
        if (root_ != nullptr) {
            root_->DetachAndReleaseChildren();
        }
        root_ = nullptr;
        Qmv2::InputHandler::ReleaseInstance();
        input_ = nullptr;
        font_ = nullptr;
        ScreenFixture::TearDown();
    }

    Qmv2::Font* Font() const { return static_cast<Qmv2::Font*>(font_->GetContent()); }

    // `frames` frames side by side, each w x h, coloured by `argb(frame, x, y)`.
    SmartPtr<Qmv2::Image> Texture(int frames, int w, int h, const std::function<std::uint32_t(int, int, int)>& argb)
    {
        SmartPtr<Qmv2::ImageData> data(renderer_->CreateTexture(w * frames, h));
        EXPECT_TRUE(data->Lock(false));
        auto* bytes = static_cast<std::uint8_t*>(data->GetBits());
        for (int y = 0; y < h; ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(bytes + y * data->GetPitch());
            for (int x = 0; x < w * frames; ++x) {
                row[x] = argb(x / w, x % w, y);
            }
        }
        EXPECT_TRUE(data->Unlock());
        return SmartPtr<Qmv2::Image>(new Qmv2::Image(data.Get(), frames, frames));
    }
    // Frames in steps from dark to light (the second four blue), with a darker rim.
    SmartPtr<Qmv2::Image> StateFrames(int frames, int w, int h)
    {
        return Texture(frames, w, h, [w, h](int frame, int x, int y) {
            const std::uint32_t level = 0x50u + static_cast<std::uint32_t>(frame % 4) * 0x30u;
            const bool rim = x == 0 || y == 0 || x == w - 1 || y == h - 1;
            const std::uint32_t c = rim ? level / 2 : level;
            return 0xFF000000u | (c << 16) | (c << 8) | (frame >= 4 ? 0xE0u : c);
        });
    }

    // Hands the queued window messages to the window procedure and delivers
    // them, one frame's input.
    void Pump()
    {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE) != FALSE) {
            // The test's input is posted to the thread; the display's own
            // pointer (other windows appearing under it) is left out.
            if (msg.hwnd != nullptr && msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST) {
                continue;
            }
            TranslateMessage(&msg);
            auto* window = static_cast<Qmv2::GameWindowWin32*>(Qmv2::GameWindow::GetInstance());
            Qmv2::GameWindowWin32::WindowProc(window->GetHandle(), msg.message, msg.wParam, msg.lParam);
        }
        input_->Execute(16);
    }
    // One frame: its input, then the tree drawn.
    Picture Draw()
    {
        Pump();
        EXPECT_TRUE(screen_->Begin());
        screen_->Reset();
        screen_->SetPackedColor(kBackground);
        screen_->ClearTarget();
        screen_->Reset();
        Qmv2::TaskRender::RenderNode(root_.Get(), *screen_);
        EXPECT_TRUE(screen_->End());
        return Capture();
    }
    void Post(UINT message, WPARAM wParam, int x, int y)
    {
        PostMessageA(nullptr, message, wParam, MAKELPARAM(x, y));
        Pump();
    }
    // Key messages each in a frame of their own: the key state a frame's
    // input reads is the one its last message left.
    void PostKey(UINT message, int key)
    {
        PostMessageA(nullptr, message, static_cast<WPARAM>(key), message == WM_KEYUP ? LPARAM(0xC0000001) : LPARAM(1));
        Pump();
    }

    SmartPtr<Qmv2::ResourceFont> font_;
    SmartPtr<Qmv2::GameNode> root_;
    SmartPtr<Qmv2::InputHandler> input_;
};

TEST_F(WidgetGlTest, ButtonsInTheirFourStatesAndAMaskedButton)
{
    SmartPtr<Qmv2::Image> frames = StateFrames(4, 60, 30);
    for (int i = 0; i < 4; ++i) {
        SmartPtr<Qmv2::Button> button = MakeWidget<Qmv2::Button>(
            "<Button name=\"B" + std::to_string(i) + "\" x=\"" + std::to_string(10 + 75 * i) + "\" y=\"20\"/>");
        button->SetImage(frames.Get());
        root_->AddChild(button.Get());
    }
    // States by the mouse: over the second, pressed on the third, the fourth disabled.
    auto* over = static_cast<Qmv2::Button*>(root_->FindChild("B1", false));
    auto* pressed = static_cast<Qmv2::Button*>(root_->FindChild("B2", false));
    static_cast<Qmv2::Button*>(root_->FindChild("B3", false))->SetEnabled(false);
    Post(WM_LBUTTONDOWN, MK_LBUTTON, 170, 30);
    Draw();
    Post(WM_MOUSEMOVE, MK_LBUTTON, 170, 31);
    Draw();
    pressed->SetStateFlag(Qmv2::Button::kPressed, true);
    over->SetStateFlag(Qmv2::Button::kOver, true);
    EXPECT_EQ(over->GetFrame(), 1);
    EXPECT_EQ(pressed->GetFrame(), 2);

    // A round button whose corners are clear: only the disc is hit.
    SmartPtr<Qmv2::Button> round = MakeWidget<Qmv2::Button>(R"(<Button name="R" x="130" y="100" hitmaskthreshold="0.5"/>)");
    round->SetImage(Texture(1, 60, 60, [](int, int x, int y) {
        const int dx = x - 30;
        const int dy = y - 30;
        return dx * dx + dy * dy <= 28 * 28 ? 0xFFD08030u : 0x00000000u;
    }).Get());
    root_->AddChild(round.Get());
    EXPECT_FALSE(round->HitTest(132.0f, 102.0f)) << "a clear corner";
    EXPECT_TRUE(round->HitTest(160.0f, 130.0f)) << "the middle of the disc";
    const Picture picture = Draw();
    EXPECT_EQ(CompareWithGolden("button_states", picture), "");
}

TEST_F(WidgetGlTest, ARadioGroupAndASliderAtItsMinimumMiddleAndMaximum)
{
    SmartPtr<Qmv2::Image> frames = StateFrames(8, 20, 20);
    for (int i = 0; i < 3; ++i) {
        SmartPtr<Qmv2::Switch> radio = MakeWidget<Qmv2::Switch>(
            "<Switch name=\"S" + std::to_string(i) + "\" x=\"20\" y=\"" + std::to_string(20 + 30 * i) + "\" groupid=\"7\"/>");
        radio->SetImage(frames.Get());
        root_->AddChild(radio.Get());
    }
    Post(WM_LBUTTONDOWN, MK_LBUTTON, 30, 60);
    Post(WM_LBUTTONUP, 0, 30, 60);
    Draw();
    EXPECT_TRUE(static_cast<Qmv2::Switch*>(root_->FindChild("S1", false))->IsChecked());

    SmartPtr<Qmv2::Image> track = Texture(1, 200, 10, [](int, int, int) { return 0xFF607080u; });
    SmartPtr<Qmv2::Image> knob = StateFrames(4, 16, 24);
    const float values[] = {0.0f, 0.5f, 1.0f};
    for (int i = 0; i < 3; ++i) {
        SmartPtr<Qmv2::Slider> slider = MakeWidget<Qmv2::Slider>(
            "<Slider name=\"V" + std::to_string(i) + "\" x=\"80\" y=\"" + std::to_string(30 + 60 * i) +
            "\" minx=\"0\" miny=\"-7\" maxx=\"184\" maxy=\"-7\"><Button id=\"button\"/></Slider>");
        slider->SetImage(track.Get());
        slider->GetKnob()->SetImage(knob.Get());
        slider->SetValue(values[i]);
        root_->AddChild(slider.Get());
    }
    const Picture picture = Draw();
    EXPECT_EQ(CompareWithGolden("radio_and_sliders", picture), "");
}

TEST_F(WidgetGlTest, ATextInputWithASelectionAndItsCursor)
{
    SmartPtr<Qmv2::LabelInput> entry = MakeWidget<Qmv2::LabelInput>(
        R"(<LabelInput name="NAME" x="20" y="40" width="280" height="40" selcolor="#3060C0" selalpha="0.6")"
        R"( selbordercolor="#FFFFFF"><Label id="label"/></LabelInput>)");
    entry->SetImage(Texture(1, 280, 40, [](int, int, int) { return 0xFF101820u; }).Get());
    entry->GetLabel()->SetFont(Font());
    entry->SetCursorImage(Texture(1, 2, 36, [](int, int, int) { return 0xFFFFFFFFu; }).Get());
    entry->SetText("Quorvel words");
    root_->AddChild(entry.Get());
    // Click into the text, then Shift+Home selects back to the start.
    Post(WM_LBUTTONDOWN, MK_LBUTTON, 120, 60);
    Post(WM_LBUTTONUP, 0, 120, 60);
    PostKey(WM_KEYDOWN, VK_SHIFT);
    PostKey(WM_KEYDOWN, VK_HOME);
    PostKey(WM_KEYUP, VK_HOME);
    PostKey(WM_KEYUP, VK_SHIFT);
    Draw();
    EXPECT_TRUE(entry->IsFocused());
    EXPECT_EQ(entry->GetSelectionStart(), 0);
    EXPECT_GT(entry->GetSelectionEnd(), 2);
    const Picture picture = Draw();
    EXPECT_EQ(CompareWithGolden("text_input_selection", picture), "");
}

// A label's alpha counts once, as a sprite's does: a text at half alpha is
// drawn half as bright over the background, drawn directly or through its own
// image, and whether the alpha was set before or after the text.
TEST_F(WidgetGlTest, ALabelAtHalfAlphaIsDrawnHalfBright)
{
    // The brightest change a text makes over the background, in one channel.
    const auto brightest = [this]() {
        const Picture picture = Draw();
        int most = 0;
        for (int y = 30; y < 110; ++y) {
            for (int x = 10; x < 330; ++x) {
                const std::uint32_t p = picture.At(x, y);
                for (int shift : {16, 8, 0}) {
                    most = std::max(most, std::abs(static_cast<int>((p >> shift) & 0xFFu) -
                                                   static_cast<int>((kBackground >> shift) & 0xFFu)));
                }
            }
        }
        return most;
    };
    int direct = 0;
    for (const bool image : {false, true}) {
        SCOPED_TRACE(image ? "drawn through its image" : "drawn directly");
        SmartPtr<Qmv2::Label> label =
            MakeWidget<Qmv2::Label>(R"(<Label name="TEXT" x="20" y="40" width="300" height="60"/>)");
        label->SetFont(Font());
        label->SetRenderToImage(image);
        label->SetAlpha(0.5f);
        label->SetText(Qmv2::UTF8String("Quorvel words"));
        root_->AddChild(label.Get());
        const int halfFirst = brightest();
        label->SetAlpha(1.0f);
        const int whole = brightest();
        label->SetAlpha(0.5f);
        const int half = brightest();
        label->RemoveFromParent();
        if (!image) {
            direct = whole;
            ASSERT_GT(whole, 100);
        }
        EXPECT_NEAR(whole, direct, 3);
        EXPECT_NEAR(half, whole / 2, 3);
        EXPECT_NEAR(halfFirst, whole / 2, 3);
    }
}

TEST_F(WidgetGlTest, TheClipboardKeysCopyCutAndPaste)
{
    SmartPtr<Qmv2::LabelInput> entry = MakeWidget<Qmv2::LabelInput>(
        R"(<LabelInput name="NAME" x="20" y="40" width="280" height="40" maxlength="12"><Label id="label"/></LabelInput>)");
    entry->GetLabel()->SetFont(Font());
    entry->SetText("hello");
    root_->AddChild(entry.Get());
    auto ctrl = [this](int key) {
        PostKey(WM_KEYDOWN, VK_CONTROL);
        PostKey(WM_KEYDOWN, key);
        PostKey(WM_KEYUP, key);
        PostKey(WM_KEYUP, VK_CONTROL);
    };
    Post(WM_LBUTTONDOWN, MK_LBUTTON, 25, 60);
    Post(WM_LBUTTONUP, 0, 25, 60);
    ctrl('C');
    Draw();
    EXPECT_EQ(Qmv2::GetClipboardText(), "hello") << "nothing selected copies the whole text";
    EXPECT_EQ(entry->GetText().GetString(), "hello");
    ctrl('X');
    Draw();
    EXPECT_EQ(entry->GetText().GetString(), "") << "nothing selected cuts everything";
    EXPECT_EQ(Qmv2::GetClipboardText(), "hello");
    Qmv2::SetClipboardText("a\tb\x01" "c and a very long paste");
    ctrl('V');
    Draw();
    EXPECT_EQ(entry->GetText().GetString(), "") << "over the length limit: refused whole";
    Qmv2::SetClipboardText("a\tb\x01" "c");
    ctrl('V');
    ctrl('V');
    Draw();
    EXPECT_EQ(entry->GetText().GetString(), "abcabc") << "control characters are dropped";
    ctrl('A');
    PostMessageA(nullptr, WM_CHAR, 'z', 1);
    Draw();
    EXPECT_EQ(entry->GetText().GetString(), "z") << "Ctrl+A selects all; typing replaces it";
}

// Tooltips placed near the bottom, the right and the bottom-right edges.
TEST_F(WidgetGlTest, TooltipsStayInsideTheWindow)
{
    SmartPtr<Qmv2::Sprite> area(new Qmv2::Sprite(0.0f, 0.0f, static_cast<float>(kWidgetWidth), static_cast<float>(kWidgetHeight)));
    area->SetTooltip("Tooltip text");
    root_->AddChild(area.Get());
    SmartPtr<Qmv2::Tooltip> tooltip = MakeWidget<Qmv2::Tooltip>(
        R"(<Tooltip showdelay="100"><ToolTipLabel id="renderer" padding="4" bordercolor="#202020"/></Tooltip>)");
    static_cast<Qmv2::Label*>(tooltip->GetRenderer())->SetFont(Font());
    tooltip->SetRoot(root_.Get());
    tooltip->Start();
    const struct {
        int x;
        int y;
        float boxX;  // 16 right of the pointer; against the edge; left of the pointer
        const char* golden;
    } places[] = {{100, 230, 116.0f, "tooltip_bottom"},
                  {310, 60, 169.0f, "tooltip_right"},
                  {310, 230, 157.0f, "tooltip_bottom_right"}};
    for (const auto& place : places) {
        area->SetVisible(false);
        tooltip->Execute(16);
        area->SetVisible(true);
        Post(WM_MOUSEMOVE, 0, place.x, place.y);
        Draw();
        tooltip->Execute(16);
        tooltip->Execute(100);
        ASSERT_TRUE(tooltip->GetRenderer()->IsVisible());
        const float left = tooltip->GetRenderer()->GetLeft();
        EXPECT_FLOAT_EQ(tooltip->GetRenderer()->GetX(), place.boxX) << place.golden;
        const float top = tooltip->GetRenderer()->GetTop();
        EXPECT_GE(left, 0.0f);
        EXPECT_LE(left + tooltip->GetRenderer()->GetWidth(), static_cast<float>(kWidgetWidth)) << place.golden;
        EXPECT_LE(top + tooltip->GetRenderer()->GetHeight(), static_cast<float>(kWidgetHeight)) << place.golden;
        const Picture picture = Draw();
        EXPECT_EQ(CompareWithGolden(place.golden, picture), "");
    }
    tooltip->SetRenderer(nullptr);
}

// Both transitions half-way: the old scene is a red field, the new a blue one.
TEST_F(WidgetGlTest, TransitionsHalfWay)
{
    auto scene = [this](std::uint32_t argb) {
        SmartPtr<Qmv2::Scene> made(new Qmv2::Scene(nullptr));
        SmartPtr<Qmv2::Sprite> field(new Qmv2::Sprite(20.0f, 20.0f, Texture(1, 280, 200, [argb](int, int x, int y) {
            return ((x / 40 + y / 40) % 2 == 0) ? argb : (argb & 0xFF7F7F7Fu);
        }).Get()));
        made->AddChild(field.Get());
        root_->AddChild(made.Get());
        return made;
    };
    const struct {
        const char* description;
        const char* golden;
    } kinds[] = {{R"(<AlphaTransition time="1000" wait="false"/>)", "transition_alpha_half"},
                 {R"(<FadeBlackTransition time="1000" wait="false"/>)", "transition_fade_half"}};
    for (const auto& kind : kinds) {
        SmartPtr<Qmv2::Scene> from = scene(0xFFC03030u);
        SmartPtr<Qmv2::Scene> to = scene(0xFF3050C0u);
        from->Show();
        from->Activate();
        SmartPtr<Qmv2::SceneTransition> transition = MakeWidget<Qmv2::SceneTransition>(kind.description);
        ASSERT_NE(transition, nullptr);
        root_->AddChild(transition.Get());
        SmartPtr<Qmv2::AnimTree> animations(new Qmv2::AnimTree());
        Qmv2::Modifier::AttachTo(transition->GetAnimations(), animations.Get());
        transition->SetScenes(from.Get(), to.Get());
        transition->Show();
        transition->Activate();
        for (int t = 0; t < 5; ++t) {
            root_->TickTree(100);
            animations->Update(100);
        }
        root_->TickTree(0);
        const Picture picture = Draw();
        EXPECT_EQ(CompareWithGolden(kind.golden, picture), "");
        for (Qmv2::GameNode* node : {static_cast<Qmv2::GameNode*>(from.Get()), static_cast<Qmv2::GameNode*>(to.Get()),
                                     static_cast<Qmv2::GameNode*>(transition.Get())}) {
            node->SetObsolete(true);
        }
        root_->PurgeTree();
    }
}

}  // namespace

}  // namespace widget_gl_test
