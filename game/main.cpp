// Entry point of the game. The command line is ignored.
#include "framework/graphics/GraphicsCommands.h"
#include "framework/scene/SceneClasses.h"
#include "framework/sound/SoundCommands.h"
#include "game/QuorvelApplication.h"
#include "game/frontend/FrontendClasses.h"

int main()
{
    Qmv2::RegisterGraphicsCommands();
    Qmv2::RegisterSceneClasses();
    Qmv2::RegisterSoundCommands();
    RegisterFrontendClasses();
    Qmv2::Application::SetInstance(new Quorvel::QuorvelApplication("properties/application.xml"));
    Qmv2::Application::GetInstance()->Run();
    Qmv2::Application::ReleaseInstance();
    return 0;
}
