// Entry point of the game. The command line is ignored.
#include "framework/core/CoreClasses.h"
#include "framework/graphics/GraphicsCommands.h"
#include "framework/scene/SceneClasses.h"
#include "framework/sound/SoundCommands.h"
#include "game/QuorvelApplication.h"
#include "game/frontend/FrontendClasses.h"

int main()
{
    // Each folder registers what the layers below it create by name, from the
    // bottom up.
    Qmv2::RegisterCoreClasses();
    Qmv2::RegisterSoundCommands();
    Qmv2::RegisterGraphicsCommands();
    Qmv2::RegisterSceneClasses();
    RegisterFrontendClasses();
    Qmv2::Application::SetInstance(new Quorvel::QuorvelApplication("properties/application.xml"));
    Qmv2::Application::GetInstance()->Run();
    const int exitCode = Qmv2::Application::GetInstance()->GetExitCode();
    Qmv2::Application::ReleaseInstance();
    return exitCode;
}
