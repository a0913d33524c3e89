// Runs one start-up command through the application, written as the
// attributes of a manifest entry: RunStartupCommand(app, R"(name="renderer")").
#pragma once

#include <string>

#include "framework/core/app/Application.h"

namespace graphicstest {

void RunStartupCommand(Qmv2::Application& application, const std::string& attributes);

}  // namespace graphicstest
