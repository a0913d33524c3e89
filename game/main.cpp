// Entry point of the game. The command line is ignored.
#include "game/Quorvel2Main.h"
#include "game/frontend/FrontendClasses.h"

int main()
{
    // Each folder registers what the layers below it create by name, from the
    // bottom up.
    RegisterProgramClasses();
    Qmv2::Application::SetInstance(new Quorvel::Quorvel2Main("properties/application.xml"));
    Qmv2::Application::GetInstance()->Run();
    const int exitCode = Qmv2::Application::GetInstance()->GetExitCode();
    Qmv2::Application::ReleaseInstance();
    return exitCode;
}
