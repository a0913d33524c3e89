#include "StartupCommand.h"

#include <gtest/gtest.h>

#include "framework/core/object/SmartPtr.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyXmlReader.h"

namespace graphicstest {

void RunStartupCommand(Qmv2::Application& application, const std::string& attributes)
{
    Qmv2::SmartPtr<Qmv2::PropertyNode> holder(new Qmv2::PropertyNode("holder"));
    const std::string text = "<Node id=\"root\"><Node id=\"command\" " + attributes + "/></Node>";
    const bool parsed = Qmv2::PropertyXmlReader::ReadInto(*holder, text.c_str(), true);
    EXPECT_TRUE(parsed) << text;
    if (parsed) {
        application.ExecuteCommand(holder->GetNode("command"));
    }
}

}  // namespace graphicstest
