// Entry point of the game. The command line is ignored.
#include <malloc.h>

#include "game/Quorvel2Main.h"
#include "game/frontend/FrontendClasses.h"

int main()
{
    // Blocks of 128 KiB and more (pictures being decoded, sound, the
    // driver's textures) are mapped on their own and given back when freed.
    // Left to itself the allocator raises that bound after the first such
    // block is freed, so that the loader's large blocks then come from the
    // heap, whose freed memory stays with the process: about 13 MB at the
    // menu and 20 MB in a round. The heap is trimmed only past 4 MiB free at
    // its top, so that a frame's passing blocks do not move its end each time.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    mallopt(M_TRIM_THRESHOLD, 4 * 1024 * 1024);
    // Each folder registers what the layers below it create by name, from the
    // bottom up.
    RegisterProgramClasses();
    Qmv2::Application::SetInstance(new Quorvel::Quorvel2Main("properties/application.xml"));
    Qmv2::Application::GetInstance()->Run();
    const int exitCode = Qmv2::Application::GetInstance()->GetExitCode();
    Qmv2::Application::ReleaseInstance();
    return exitCode;
}
