// The program's start-up registrations, called in the order main() calls
// them, make every name that property files and manifests use known to the
// layers below, with nothing registered behind the program's back.
#include <gtest/gtest.h>

#include "framework/core/app/Application.h"
#include "framework/core/object/ObjectFactory.h"
#include "framework/core/properties/PropertyStore.h"
#include "framework/core/properties/PropertyValue.h"
#include "framework/scene/GameTree.h"
#include "game/frontend/FrontendClasses.h"

namespace registration_test {

namespace {

using Qmv2::ObjectFactory;

TEST(RegistrationTest, EveryFolderRegistersItsNamesExplicitly)
{
    ObjectFactory* factory = ObjectFactory::GetInstance();
    // Before the registrations the factory knows only the core's value types.
    for (const char* name : {"HighScoreEntry", "Font", "LabelStyle"}) {
        EXPECT_FALSE(factory->IsRegistered(name)) << name << " registered before the program's start";
    }
    RegisterProgramClasses();
    for (const char* name : {"HighScoreEntry", "Sound", "Stream", "Image", "Mask", "Font", "GameNode", "Sprite",
                             "ModifierFrame", "Dialog", "DialogPainter", "Label", "LabelStyle", "Scene",
                             "Quorvel2Player", "Quorvel2Score"}) {
        EXPECT_TRUE(factory->IsRegistered(name)) << name;
    }

    // The scene's trees come through the core's built-in command.
    Qmv2::SmartPtr<Qmv2::PropertyStore> command(new Qmv2::PropertyStore());
    command->AddChild(new Qmv2::PropertyValue("name", "gametree", true));
    Qmv2::Application application("properties/application.xml");
    application.ExecuteCommand(command.Get());
    ASSERT_NE(Qmv2::GameTree::GetInstance(), nullptr);
    application.Shutdown();
    EXPECT_EQ(Qmv2::GameTree::GetInstance(), nullptr);
}

}  // namespace

}  // namespace registration_test
