// Entry point of the game. The command line is ignored.
#include "framework/graphics/GraphicsCommands.h"
#include "game/QuorvelApplication.h"
#include "game/frontend/FrontendClasses.h"

int main()
{
    Qmv2::RegisterGraphicsCommands();
    RegisterFrontendClasses();
    Qmv2::Application::SetInstance(new Quorvel::QuorvelApplication("properties/application.xml"));
    Qmv2::Application::GetInstance()->Run();
    Qmv2::Application::ReleaseInstance();
    return 0;
}
