#include <gtest/gtest.h>

#include <string>

#include "framework/core/object/SmartPtr.h"
#include "framework/scene/Dialog.h"
#include "tests/framework/core/script/ScriptFixture.h"

namespace dialog_script_test {

using Qmv2::Dialog;
using Qmv2::GameNode;
using Qmv2::SmartPtr;

namespace {

using DialogScriptTest = QmvTest::ScriptFixture;

TEST_F(DialogScriptTest, AddComponentFromAScriptChecksItsArguments)
{
    WriteClassScripts();
    WriteScript("Dialog.lua", "qmv.Dialog = { title = function(self) return 'dialog title' end }\n");
    StartInterpreter();
    SmartPtr<Dialog> dialog(new Dialog(nullptr));
    SmartPtr<GameNode> node(new GameNode("LABEL_SCRIPTED"));
    Publish("dialog", *dialog);
    Publish("node", *node);

    EXPECT_EQ(Eval("return dialog:title() .. ' ' .. dialog:kind()"), "dialog title script sprite")
        << "the dialog class builds on the sprite class";
    EXPECT_EQ(Eval("dialog:addComponent(node) return 'added'"), "added");
    EXPECT_EQ(node->GetParent(), dialog->GetComponents());

    EXPECT_NE(Eval("dialog.addComponent(node, node)").find("not a Dialog"), std::string::npos);
    EXPECT_NE(Eval("dialog:addComponent(42)").find("table expected"), std::string::npos);
    EXPECT_NE(Eval("dialog:addComponent({})").find("not a C++ object"), std::string::npos);
    EXPECT_NE(Eval("dialog.addComponent()").find("table expected"), std::string::npos);
    EXPECT_EQ(dialog->GetComponents()->GetFirstChild(), node.Get());
    EXPECT_EQ(node->GetNextSibling(), nullptr) << "refused calls add nothing";
}

}  // namespace

}  // namespace dialog_script_test
