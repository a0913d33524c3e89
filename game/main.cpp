// Entry point of the game. The command line is ignored.
#include "framework/core/app/Application.h"

int main()
{
    Qmv2::Application::SetInstance(new Qmv2::Application("properties/application.xml"));
    Qmv2::Application::GetInstance()->Run();
    Qmv2::Application::ReleaseInstance();
    return 0;
}
