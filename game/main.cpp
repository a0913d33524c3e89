// Entry point of the game. The command line is ignored.
#include <cstdio>

int main()
{
    std::fputs("Quorvel: the framework core is being built; the game cannot be played yet.\n", stderr);
    return 0;
}
