#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "framework/core/app/GameWindow.h"
#include "framework/core/data/SettingsManager.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/scene/Scene.h"
#include "framework/scene/Slider.h"
#include "framework/scene/Switch.h"
#include "game/frontend/DialogSettings.h"
#include "game/frontend/Quorvel2GameSettings.h"
#include "tests/framework/scene/DialogTestSupport.h"
#include "tests/game/frontend/DialogTestSupport.h"

namespace dialog_settings_test {

using namespace Qmv2;

namespace {

class DialogSettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/qmv-settings-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        home = pattern;
        setenv("XDG_CONFIG_HOME", home.c_str(), 1);
        frontendtest::SetUpDialogWorld();
        auto* stored = new Quorvel2GameSettings();
        stored->SetSoundVolume(0.25f);
        stored->SetMusicVolume(0.75f);
        SettingsManager::SetInstance(new SettingsManager(stored));
        SmartPtr<PropertyNode> empty(new PropertyNode("scene"));
        scene = new Scene(empty.Get());
    }
    void TearDown() override
    {
        scene = nullptr;
        GameWindow::ReleaseInstance();
        SettingsManager::ReleaseInstance();
        frontendtest::TearDownDialogWorld();
        std::filesystem::remove_all(home);
    }

    DialogSettings* Open() { return frontendtest::OpenDialog<DialogSettings>(*scene, "DIALOG_SETTINGS"); }
    template <typename T>
    static T* Widget(Dialog* dialog, const char* name)
    {
        return static_cast<T*>(dialog->FindChild(name, true));
    }

    std::string home;
    SmartPtr<Scene> scene;
};

}  // namespace

// The widgets show the stored values; Cancel keeps what was stored, OK
// stores what the widgets show. Without a current player the dialog opens
// on the shortest word length and OK stores no length anywhere.
TEST_F(DialogSettingsTest, TheWidgetsCarryTheSettingsInAndOut)
{
    DialogSettings* dialog = Open();
    ASSERT_NE(dialog, nullptr);
    EXPECT_FLOAT_EQ(Widget<Slider>(dialog, "SLIDER_FXVOL")->GetValue(), 0.25f);
    EXPECT_FLOAT_EQ(Widget<Slider>(dialog, "SLIDER_MUSICVOL")->GetValue(), 0.75f);
    EXPECT_TRUE(Widget<Switch>(dialog, "SWITCH_LENGTH_6")->IsChecked());
    EXPECT_FALSE(Widget<Switch>(dialog, "SWITCH_LENGTH_7")->IsChecked());
    EXPECT_EQ(Widget<Switch>(dialog, "SWITCH_FULLSCREEN")->GetLinkedNode(), dialog->FindChild("LABEL_FULLSCREEN", true));

    Widget<Slider>(dialog, "SLIDER_MUSICVOL")->SetValue(0.1f);
    EXPECT_FLOAT_EQ(dialog->GetSettingsPart().GetMusicVolume(), 0.1f);
    dialog->OnCancel();
    GameSettings* stored = SettingsManager::GetInstance()->GetSettings();
    EXPECT_FLOAT_EQ(stored->GetMusicVolume(), 0.75f);

    SmartPtr<PropertyNode> empty(new PropertyNode("scene"));
    scene = new Scene(empty.Get());
    dialog = Open();
    ASSERT_NE(dialog, nullptr);
    Widget<Slider>(dialog, "SLIDER_FXVOL")->SetValue(0.5f);
    Widget<Slider>(dialog, "SLIDER_MUSICVOL")->SetValue(0.125f);
    dialog->OnOk();
    EXPECT_FLOAT_EQ(stored->GetSoundVolume(), 0.5f);
    EXPECT_FLOAT_EQ(stored->GetMusicVolume(), 0.125f);

    // Stored: a new manager reads the same values back.
    SettingsManager::SetInstance(new SettingsManager(new Quorvel2GameSettings()));
    EXPECT_FLOAT_EQ(SettingsManager::GetInstance()->GetSettings()->GetMusicVolume(), 0.125f);
}

// On a screen no larger than the game the full-screen switch cannot be
// used: its box is greyed and its label dimmed with it; where the window
// may grow, both are left as they are.
TEST_F(DialogSettingsTest, TheFullScreenSwitchAndItsLabelAreGreyedWhereItCannotBeUsed)
{
    class SmallScreenWindow : public scenetest::FixedWindow {
    public:
        explicit SmallScreenWindow(bool maximizeAllowed) : FixedWindow(800, 600)
        {
            m_MaximizeAllowed = maximizeAllowed;
        }
    };
    for (const bool allowed : {true, false}) {
        GameWindow::SetInstance(new SmallScreenWindow(allowed));
        SmartPtr<PropertyNode> empty(new PropertyNode("scene"));
        scene = new Scene(empty.Get());
        DialogSettings* dialog = Open();
        ASSERT_NE(dialog, nullptr);
        auto* label = Widget<Sprite>(dialog, "LABEL_FULLSCREEN");
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(Widget<Switch>(dialog, "SWITCH_FULLSCREEN")->IsEnabled(), allowed);
        EXPECT_EQ(label->GetColor().a < 1.0f, !allowed) << label->GetColor().a;
    }
}

}  // namespace dialog_settings_test
