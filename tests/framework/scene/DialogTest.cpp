#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "DialogTestSupport.h"
#include "SceneTestSupport.h"
#include "WidgetTestSupport.h"
#include "framework/core/app/InputHandler.h"
#include "framework/core/object/ObjectFactory.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/properties/PropertyValue.h"
#include "framework/core/properties/PropertyXmlReader.h"
#include "framework/scene/SceneClasses.h"

namespace dialog_test {

using Qmv2::Dialog;
using Qmv2::GameNode;
using Qmv2::InputHandler;
using Qmv2::Message;
using Qmv2::MouseMessageData;
using Qmv2::PropertyNode;
using Qmv2::SmartPtr;
using scenetest::ChildNames;
using scenetest::CountCall;
using scenetest::FixedWindow;
using scenetest::RecordingDialog;
using scenetest::TestButton;

namespace {

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Qmv2::RegisterSceneClasses();
        Qmv2::ObjectFactory* factory = Qmv2::ObjectFactory::GetInstance();
        factory->Register<TestButton>("TestButton");
        factory->Register<RecordingDialog>("RecordingDialog");
        factory->Register<scenetest::TestPainter>("TestPainter");

        std::ifstream file(std::string(QMV_TEST_DATA_DIR) + "/dialogs.xml");
        std::stringstream text;
        text << file.rdbuf();
        definitions = new PropertyNode("dialogs");
        ASSERT_TRUE(Qmv2::PropertyXmlReader::ReadInto(*definitions, text.str().c_str(), true));
    }

    void TearDown() override
    {
        InputHandler::ReleaseInstance();
        Qmv2::GameWindow::ReleaseInstance();
    }

    RecordingDialog* Make(const std::string& name)
    {
        PropertyNode* description = definitions->GetNode(name);
        Qmv2::BaseObject* object =
            Qmv2::ObjectFactory::GetInstance()->Create(description->GetTypeWord(), description);
        return static_cast<RecordingDialog*>(object);
    }

    // A tree with a background button below the dialog, and an input handler over it.
    void Stage(RecordingDialog* dialog)
    {
        root = new GameNode("root");
        PropertyNode behind("behind");
        behind.AddChild(new Qmv2::PropertyValue("name", "", "BEHIND"));
        behind.AddChild(new Qmv2::PropertyValue("width", "", "800"));
        behind.AddChild(new Qmv2::PropertyValue("height", "", "600"));
        background = new TestButton(&behind);
        background->SetMethod(&behindClicks, &CountCall);
        root->AddChild(background);
        root->AddChild(dialog);
        handler = new InputHandler(root.Get());
        InputHandler::SetInstance(handler.Get());
        handler->SetRunning(true);
    }

    void Send(std::uint32_t id, float x, float y)
    {
        handler->OnMessage(Message(id, new MouseMessageData(x, y, MouseMessageData::kLeftButton)));
        handler->Execute(16);
    }
    void Click(float x, float y)
    {
        Send(Message::kLeftButtonDown, x, y);
        Send(Message::kLeftButtonUp, x, y);
    }

    SmartPtr<PropertyNode> definitions;
    SmartPtr<GameNode> root;
    SmartPtr<InputHandler> handler;
    TestButton* background = nullptr;
    int behindClicks = 0;
};

}  // namespace

TEST_F(DialogTest, BuildsItsComponentsFromAPropertyFile)
{
    SmartPtr<RecordingDialog> dialog(Make("DIALOG_QUESTION"));
    ASSERT_NE(dialog, nullptr);
    EXPECT_FLOAT_EQ(dialog->GetWidth(), 300.0f);
    EXPECT_FLOAT_EQ(dialog->GetHeight(), 200.0f);
    EXPECT_TRUE(dialog->IsMovable());
    EXPECT_TRUE(dialog->IsAutoCenter());
    EXPECT_TRUE(dialog->IsAutoEnlarge());
    EXPECT_EQ(dialog->GetPainter(), nullptr);
    EXPECT_FLOAT_EQ(dialog->GetRequestedWidth(), 300.0f) << "without a painter the size asked for is the size";
    EXPECT_FLOAT_EQ(dialog->GetRequestedHeight(), 200.0f);

    EXPECT_TRUE(dialog->m_Exclusive) << "a dialog is modal";
    EXPECT_FALSE(dialog->m_ChildrenAcceptInput) << "components are deaf until Show";
    ASSERT_EQ(dialog->GetFirstChild(), dialog->GetComponents());
    EXPECT_EQ(ChildNames(*dialog->GetComponents()), (std::vector<std::string>{"BUTTON_OK", "BUTTON_CANCEL", "GROUP"}))
        << "an unknown type and a plain value in the list create nothing";

    // Every button of the subtree, nested ones included, reports to the dialog.
    for (const char* name : {"BUTTON_OK", "BUTTON_CANCEL", "BUTTON_HELP"}) {
        auto* method = Qmv2::InterfaceCast<Qmv2::iGuiMethod>(dialog->FindChild(name, true));
        ASSERT_NE(method, nullptr) << name;
        EXPECT_EQ(method->GetTarget(), static_cast<Qmv2::BaseObject*>(dialog.Get())) << name;
        EXPECT_EQ(method->GetCallback(), &Dialog::DefaultComponentHandler) << name;
    }
}

TEST_F(DialogTest, AWrongKindOfDescriptionOrPainterIsIgnored)
{
    Qmv2::PropertyValue value("DIALOG_VALUE", "", "not a node");
    SmartPtr<Qmv2::BaseObject> made(Qmv2::ObjectFactory::GetInstance()->Create("Dialog", &value));
    ASSERT_NE(made, nullptr);
    auto* fromValue = static_cast<Dialog*>(made.Get());
    EXPECT_EQ(fromValue->GetComponents()->GetFirstChild(), nullptr);
    EXPECT_EQ(fromValue->GetPainter(), nullptr);

    SmartPtr<RecordingDialog> dialog(Make("DIALOG_WRONG_PAINTER"));
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->GetPainter(), nullptr) << "a node that is no painter is discarded";
    EXPECT_FLOAT_EQ(dialog->GetWidth(), 50.0f) << "no painter: no min size applies";
    EXPECT_FLOAT_EQ(dialog->GetRequestedWidth(), 50.0f);
}

TEST_F(DialogTest, ClicksReachTheCommandHandlerOnlyAfterShowAndNeverWhatLiesBehind)
{
    SmartPtr<RecordingDialog> dialog(Make("DIALOG_QUESTION"));
    Stage(dialog.Get());
    // At (40, 30): BUTTON_OK spans (60..140, 180..210), BUTTON_HELP (300..330, 40..70).
    Click(70.0f, 190.0f);
    EXPECT_TRUE(dialog->commands.empty()) << "components are deaf before Show";
    EXPECT_EQ(behindClicks, 0) << "the dialog shuts out what is drawn below it";

    dialog->SetAutoCenter(false);
    dialog->Show();
    Click(70.0f, 190.0f);
    Click(310.0f, 50.0f);
    Click(250.0f, 190.0f);
    ASSERT_EQ(dialog->commands.size(), 3u);
    EXPECT_EQ(dialog->commands[0].first, "BUTTON_OK") << "no command text: the component's name";
    EXPECT_EQ(dialog->commands[0].second, dialog->FindChild("BUTTON_OK", true));
    EXPECT_EQ(dialog->commands[1].first, "BUTTON_HELP");
    EXPECT_EQ(dialog->commands[2].first, "BUTTON_NO") << "a command text goes before the name";
    EXPECT_EQ(dialog->commands[2].second, dialog->FindChild("BUTTON_CANCEL", true));

    Click(700.0f, 500.0f);
    EXPECT_EQ(behindClicks, 0) << "outside the dialog, still nothing behind it hears";

    dialog->Close();
    Click(70.0f, 190.0f);
    EXPECT_EQ(dialog->commands.size(), 3u) << "a closed dialog's components stop reacting";

    dialog->SetObsolete(true);
    Click(700.0f, 500.0f);
    EXPECT_EQ(behindClicks, 1) << "once the dialog is gone the node behind hears again";
}

TEST_F(DialogTest, BindingKeepsExistingHandlersAndCanBeChangedByName)
{
    SmartPtr<RecordingDialog> dialog(Make("DIALOG_QUESTION"));
    PropertyNode description("own");
    description.AddChild(new Qmv2::PropertyValue("name", "", "BUTTON_OWN"));
    auto* own = new TestButton(&description);
    int ownCalls = 0;
    own->SetMethod(&ownCalls, &CountCall);
    dialog->AddComponent(own, true);
    own->Invoke(static_cast<Qmv2::BaseObject*>(own));
    EXPECT_EQ(ownCalls, 1) << "AddComponent does not overwrite a handler";
    EXPECT_TRUE(dialog->commands.empty());

    int okCalls = 0;
    EXPECT_EQ(dialog->SetComponentMethod("NO_SUCH", &okCalls, &CountCall), nullptr);
    EXPECT_EQ(dialog->SetComponentHandler("GROUP", &CountCall), nullptr) << "a node without a method";
    GameNode* ok = dialog->SetComponentMethod("BUTTON_OK", &okCalls, &CountCall);
    ASSERT_EQ(ok, dialog->FindChild("BUTTON_OK", true));
    static_cast<TestButton*>(ok)->Invoke(static_cast<Qmv2::BaseObject*>(ok));
    EXPECT_EQ(okCalls, 1);

    // SetComponentHandler keeps the bound object (the dialog) and swaps the function.
    GameNode* help = dialog->SetComponentHandler("BUTTON_HELP", &CountCall);
    auto* helpMethod = Qmv2::InterfaceCast<Qmv2::iGuiMethod>(help);
    ASSERT_NE(helpMethod, nullptr);
    EXPECT_EQ(helpMethod->GetTarget(), static_cast<Qmv2::BaseObject*>(dialog.Get()));
    EXPECT_EQ(helpMethod->GetCallback(), &CountCall);

    // The default handler ignores a target that is no dialog and a missing sender.
    GameNode plain("plain");
    Dialog::DefaultComponentHandler(static_cast<Qmv2::BaseObject*>(&plain), static_cast<Qmv2::BaseObject*>(ok));
    Dialog::DefaultComponentHandler(static_cast<Qmv2::BaseObject*>(dialog.Get()), nullptr);
    Dialog::DefaultComponentHandler(nullptr, static_cast<Qmv2::BaseObject*>(ok));
    EXPECT_TRUE(dialog->commands.empty());
}

TEST_F(DialogTest, ShowCentresInTheGameWindow)
{
    SmartPtr<RecordingDialog> dialog(Make("DIALOG_QUESTION"));
    dialog->Show();
    EXPECT_FLOAT_EQ(dialog->GetX(), 40.0f) << "without a window nothing to centre in";

    Qmv2::GameWindow::SetInstance(new FixedWindow(800, 600));
    dialog->Show();
    EXPECT_FLOAT_EQ(dialog->GetX(), 250.0f);
    EXPECT_FLOAT_EQ(dialog->GetY(), 200.0f);

    dialog->SetSize(301.0f, 201.0f);
    dialog->Show();
    EXPECT_FLOAT_EQ(dialog->GetX(), 249.0f) << "whole pixels, rounded down";
    EXPECT_FLOAT_EQ(dialog->GetY(), 199.0f);

    dialog->SetAutoCenter(false);
    dialog->SetPosition(5.0f, 6.0f);
    dialog->Show();
    EXPECT_FLOAT_EQ(dialog->GetX(), 5.0f);
    EXPECT_FLOAT_EQ(dialog->GetY(), 6.0f);
}

TEST_F(DialogTest, DragsOnlyPastTheThresholdAndSilencesComponentsMeanwhile)
{
    SmartPtr<RecordingDialog> dialog(Make("DIALOG_QUESTION"));
    Stage(dialog.Get());
    dialog->SetAutoCenter(false);
    dialog->Show();

    // Press and release without moving: no drag, components keep hearing.
    Send(Message::kLeftButtonDown, 100.0f, 50.0f);
    EXPECT_EQ(dialog->GetDragState(), Dialog::kPressed);
    Send(Message::kLeftButtonUp, 100.0f, 50.0f);
    EXPECT_EQ(dialog->GetDragState(), Dialog::kIdle);
    EXPECT_FLOAT_EQ(dialog->GetX(), 40.0f);
    EXPECT_TRUE(dialog->m_ChildrenAcceptInput);

    // 3 and 3 (18) stays a press; 4 and 2 (20) drags.
    Send(Message::kLeftButtonDown, 100.0f, 50.0f);
    Send(Message::kMouseMove, 103.0f, 53.0f);
    EXPECT_EQ(dialog->GetDragState(), Dialog::kPressed);
    EXPECT_FLOAT_EQ(dialog->GetX(), 40.0f);
    Send(Message::kMouseMove, 104.0f, 52.0f);
    EXPECT_EQ(dialog->GetDragState(), Dialog::kDragging);
    EXPECT_FALSE(dialog->m_ChildrenAcceptInput) << "components are deaf while dragging";
    EXPECT_FLOAT_EQ(dialog->GetX(), 44.0f);
    EXPECT_FLOAT_EQ(dialog->GetY(), 32.0f);
    Send(Message::kMouseMove, 114.0f, 40.0f);
    EXPECT_FLOAT_EQ(dialog->GetX(), 54.0f);
    EXPECT_FLOAT_EQ(dialog->GetY(), 20.0f);
    Send(Message::kLeftButtonUp, 114.0f, 40.0f);
    EXPECT_EQ(dialog->GetDragState(), Dialog::kIdle);
    EXPECT_TRUE(dialog->m_ChildrenAcceptInput);
    EXPECT_EQ(behindClicks, 0);

    // The components moved with the dialog: BUTTON_OK is now at (74..154, 170..200).
    Click(80.0f, 175.0f);
    ASSERT_EQ(dialog->commands.size(), 1u);
    EXPECT_EQ(dialog->commands[0].first, "BUTTON_OK");
}

TEST_F(DialogTest, PressesOutsideOrOnAFixedDialog)
{
    SmartPtr<RecordingDialog> dialog(Make("DIALOG_QUESTION"));
    dialog->SetAutoCenter(false);
    dialog->Show();
    MouseMessageData outside(10.0f, 10.0f, MouseMessageData::kLeftButton);
    EXPECT_FALSE(dialog->OnLeftButtonDown(&outside));
    EXPECT_EQ(dialog->GetDragState(), Dialog::kIdle);

    dialog->SetMovable(false);
    MouseMessageData inside(100.0f, 50.0f, MouseMessageData::kLeftButton);
    EXPECT_TRUE(dialog->OnLeftButtonDown(&inside)) << "the press is taken even when the dialog cannot move";
    EXPECT_EQ(dialog->GetDragState(), Dialog::kIdle);
    MouseMessageData far(300.0f, 300.0f, 0);
    dialog->OnMouseMove(&far);
    EXPECT_FLOAT_EQ(dialog->GetX(), 40.0f);
    EXPECT_FALSE(dialog->OnLeftButtonUp(&inside));

    // A drag cut short by the input handler gives the components their input back.
    dialog->SetMovable(true);
    dialog->OnLeftButtonDown(&inside);
    dialog->OnMouseMove(&far);
    ASSERT_EQ(dialog->GetDragState(), Dialog::kDragging);
    ASSERT_FALSE(dialog->m_ChildrenAcceptInput);
    dialog->ResetInputState();
    EXPECT_EQ(dialog->GetDragState(), Dialog::kIdle);
    EXPECT_TRUE(dialog->m_ChildrenAcceptInput);
}

TEST_F(DialogTest, ABackgroundTheRendererCannotMakeLeavesTheDialogWhole)
{
    SmartPtr<RecordingDialog> dialog(Make("DIALOG_PAINTED"));
    Stage(dialog.Get());
    dialog->Show();
    // No renderer: the background image cannot be made, frame after frame.
    dialog->UpdateBackground();
    dialog->UpdateBackground();
    EXPECT_FLOAT_EQ(dialog->GetWidth(), 100.0f);
    EXPECT_FLOAT_EQ(dialog->GetHeight(), 40.0f);
    EXPECT_TRUE(dialog->HitTest(50.0f, 20.0f)) << "the dialog can still be hit";
    EXPECT_TRUE(dialog->GetPainter()->IsDirty()) << "the painting waits for a target";
}

TEST_F(DialogTest, SizesGoThroughThePainterWhileAutoEnlargeIsOn)
{
    SmartPtr<RecordingDialog> dialog(Make("DIALOG_PAINTED"));
    ASSERT_NE(dialog->GetPainter(), nullptr);
    EXPECT_TRUE(dialog->GetPainter()->IsDirty());
    EXPECT_FLOAT_EQ(dialog->GetWidth(), 100.0f) << "minwidth 95 rounded up by the painter";
    EXPECT_FLOAT_EQ(dialog->GetHeight(), 40.0f);
    EXPECT_FLOAT_EQ(dialog->GetRequestedWidth(), 95.0f);

    dialog->SetWidth(101.0f);
    EXPECT_FLOAT_EQ(dialog->GetWidth(), 110.0f);
    dialog->SetAutoEnlarge(false);
    EXPECT_FLOAT_EQ(dialog->GetWidth(), 101.0f) << "the size asked for comes back";
    EXPECT_FLOAT_EQ(dialog->GetHeight(), 33.0f);
    dialog->SetWidth(57.0f);
    EXPECT_FLOAT_EQ(dialog->GetWidth(), 57.0f);
    dialog->SetAutoEnlarge(true);
    EXPECT_FLOAT_EQ(dialog->GetWidth(), 60.0f);

    // Replacing the painter marks the new one dirty; the same one changes nothing.
    dialog->GetPainter()->SetDirty(false);
    dialog->SetPainter(dialog->GetPainter());
    EXPECT_FALSE(dialog->GetPainter()->IsDirty());
    SmartPtr<Qmv2::AbstractPainter> other(new Qmv2::AbstractPainter());
    other->SetDirty(false);
    dialog->SetPainter(other.Get());
    EXPECT_TRUE(other->IsDirty());
    dialog->SetPainter(nullptr);
    dialog->SetWidth(57.0f);
    EXPECT_FLOAT_EQ(dialog->GetWidth(), 57.0f);
    dialog->UpdateBackground();   // without a painter: nothing to render, no crash
}

}  // namespace dialog_test
