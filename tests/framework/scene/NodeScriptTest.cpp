#include <gtest/gtest.h>

#include <string>

#include "framework/core/object/SmartPtr.h"
#include "framework/scene/Sprite.h"
#include "framework/scene/TaskPurge.h"
#include "tests/framework/core/script/ScriptFixture.h"

namespace node_script_test {

using Qmv2::GameNode;
using Qmv2::SmartPtr;
using Qmv2::Sprite;

namespace {

class NodeScriptTest : public QmvTest::ScriptFixture {
protected:
    void SetUp() override
    {
        ScriptFixture::SetUp();
        WriteScript("GameNode.lua", "qmv = qmv or {}\nqmv.GameNode = {}\n");
        WriteScript("Sprite.lua", "qmv.Sprite = { area = function(self) return self:width() * self:height() end }\n");
        StartInterpreter();
        root = new Sprite(10.0f, 20.0f, 200.0f, 100.0f);
        root->SetName("root");
        Publish("root", *root);
    }
    void TearDown() override
    {
        Sprite::ReleaseHeld();
        root = nullptr;
        ScriptFixture::TearDown();
    }
    // The error text of a call, from its argument number on.
    std::string Error(const std::string& code)
    {
        const std::string result = Eval(code);
        const std::size_t at = result.find("bad argument");
        return at == std::string::npos ? result : result.substr(at);
    }

    SmartPtr<Sprite> root;
};

TEST_F(NodeScriptTest, AScriptBuildsAndArrangesSprites)
{
    // A small scene built from a script: two children, one nested.
    EXPECT_EQ(Eval("local a = root:newChildSprite{ x = 5, y = 6, name = 'a' }\n"
                   "local b = root:newChildSprite{ name = 'b', image = 'IMAGE_NOT_USED' }\n"
                   "local c = a:newChildSprite{ x = 1, y = 2, name = 'c' }\n"
                   "a:bringToFront()\n"
                   "return root:child('b', false):x() .. ',' .. tostring(root:child('c', false)) .. ',' .."
                   " root:child('c'):parent():x() .. ',' .. c:parentX() .. ',' .. c:parentY()"),
              "0,nil,5,15,26");
    GameNode* a = root->FindChild("a", false);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->GetNextSibling(), nullptr) << "brought to the front: drawn last";
    EXPECT_EQ(Eval("return tostring(root:child('b'))"), root->FindChild("b", false)->ToShortString());
    EXPECT_EQ(Eval("return tostring(qmv.Sprite)"), "GameNode metatable?") << "a class table has no object";

    EXPECT_EQ(Eval("local b = root:child('b') b:setVisible(nil) return tostring(b:visible())"), "false");
    EXPECT_EQ(Eval("local b = root:child('b') b:setVisible(0) return tostring(b:isVisible())"), "true");
    EXPECT_EQ(Eval("local a = root:child('a') a:removeFromParent() return a:parent() == root"), "true")
        << "removed at the next purge";
    root->PurgeTree();
    EXPECT_EQ(root->FindChild("a", true), nullptr);

    EXPECT_EQ(Eval("root:setScale(2, 3) local s1 = root:width() root:setScale() return s1 .. ' ' .. root:area()"),
              "200 20000");
    EXPECT_FLOAT_EQ(root->GetScaleX(), 1.0f);
    EXPECT_EQ(Eval("root:setScale({0.5, 'x'}) root:setSkew(0.1, 0.2) root:setRotation(1.5) root:setAlpha(0.25)"
                   " root:setColor{ red = 0.5, blue = '0.75' } root:setAnchorPoint('center') return root:alpha()"),
              "0.25");
    EXPECT_FLOAT_EQ(root->GetScaleX(), 0.5f);
    EXPECT_FLOAT_EQ(root->GetScaleY(), 1.0f) << "a non-number entry keeps its axis";
    EXPECT_FLOAT_EQ(root->GetSkewY(), 0.2f);
    EXPECT_FLOAT_EQ(root->GetRotation(), 1.5f);
    EXPECT_FLOAT_EQ(root->GetColor().r, 0.5f);
    EXPECT_FLOAT_EQ(root->GetColor().g, 1.0f);
    EXPECT_FLOAT_EQ(root->GetColor().b, 0.75f);
    EXPECT_FLOAT_EQ(root->GetAnchor().offset.x, 100.0f);
    EXPECT_EQ(Eval("root:lastFrame() return root:frame() .. '/' .. root:frameCount()"), "0/1")
        << "without an image the last frame is frame 0";
}

TEST_F(NodeScriptTest, ArgumentsAreCheckedAsScriptErrors)
{
    SmartPtr<GameNode> plain(new GameNode("plain"));
    Publish("plain", *plain);
    EXPECT_EQ(Eval("return tostring(getmetatable(root).__index == getmetatable(root))"), "true");
    EXPECT_NE(Error("root.x()").find("table expected, got no value"), std::string::npos);
    EXPECT_NE(Error("root.x({})").find("not a C++ object"), std::string::npos);
    EXPECT_NE(Error("root.width(plain)").find("not a Sprite"), std::string::npos);
    EXPECT_NE(Error("root:setVisible()").find("value expected"), std::string::npos);
    EXPECT_NE(Error("root:newChildSprite()").find("must have one table argument"), std::string::npos);
    EXPECT_NE(Error("root:setAlpha()").find("too many arguments"), std::string::npos);
    EXPECT_NE(Error("root:child({})").find("string expected, got table"), std::string::npos);
    EXPECT_NE(Error("root:child('a', true, 3)").find("too many arguments"), std::string::npos);
    EXPECT_NE(Error("root:setAnchorPoint('middle')").find("invalid option"), std::string::npos);
    EXPECT_NE(Error("root:setAnchorPoint(1, 2, 3)").find("wrong number of arguments"), std::string::npos);
    EXPECT_NE(Error("root:setSkew()").find("value expected"), std::string::npos);
    EXPECT_NE(Error("root:parent(1)").find("too many arguments"), std::string::npos);
    EXPECT_EQ(root->GetFirstChild(), nullptr) << "refused calls made nothing";

    // A released node's table no longer reaches it.
    Eval("kept = plain");
    plain = nullptr;
    EXPECT_NE(Error("kept:x()").find("not a C++ object"), std::string::npos);
}

TEST_F(NodeScriptTest, ASpriteMadeOutsideTheTreeLivesUntilThePurgeUnlessLinked)
{
    ASSERT_EQ(Eval("kept = root.new{ name = 'kept', x = 3 } loose = root.new{ name = 'loose', x = 7 } return loose:x()"),
              "7");
    lua_State* state = State();
    lua_getglobal(state, "kept");
    lua_getfield(state, -1, "__c++");
    auto* kept = static_cast<Sprite*>(static_cast<Qmv2::BaseObject*>(lua_touserdata(state, -1)));
    lua_pop(state, 2);
    ASSERT_NE(kept, nullptr);
    root->AddChild(kept);

    // Within the frame both still answer.
    EXPECT_EQ(Eval("return loose:x() .. kept:x()"), "73");
    Qmv2::TaskPurge(nullptr, nullptr).Execute(0);
    // The unlinked one is freed, so its table no longer reaches it; the
    // linked one lives on in the tree.
    EXPECT_EQ(Eval("return loose['__c++']"), "nil");
    EXPECT_NE(Eval("return loose:x()").find("not a C++ object"), std::string::npos);
    EXPECT_EQ(root->FindChild("kept", false), kept);
    EXPECT_EQ(Eval("return kept:x()"), "3");
}

}  // namespace

}  // namespace node_script_test
