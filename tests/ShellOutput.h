// Runs a shell command and answers what it printed on its standard output.
#pragma once

#include <cstdio>
#include <string>

inline std::string ShellOutput(const std::string& command)
{
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
            output += buffer;
        }
        pclose(pipe);
    }
    return output;
}
