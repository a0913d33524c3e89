#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "framework/core/object/ObjectFactory.h"
#include "framework/core/properties/BasicProperties.h"
#include "framework/core/properties/DataManager.h"
#include "framework/core/properties/PropertyStore.h"
#include "framework/core/properties/PropertyXmlReader.h"

namespace data_manager_test {

namespace {

using namespace Qmv2;
namespace fs = std::filesystem;

class DialogStub : public BaseObject {
public:
    explicit DialogStub(PropertyNode* node) : m_Title(node->GetString("title")) {}
    std::string m_Title;
};

class BasicPropertiesFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        BasicProperties::SetInstance(new BasicProperties());
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_Folder = fs::path(QMV_BINARY_DIR) / "test-home" / "data" / info->name();
        fs::remove_all(m_Folder);
        fs::create_directories(m_Folder);
    }
    void TearDown() override
    {
        BasicProperties::ReleaseInstance();
        fs::remove_all(m_Folder);
    }

    std::string Write(const std::string& name, const std::string& text) const
    {
        const std::string path = (m_Folder / name).string();
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    static BasicProperties& Table() { return *BasicProperties::GetInstance(); }

    fs::path m_Folder;
};

using BasicPropertiesTest = BasicPropertiesFixture;
using SetupTest = BasicPropertiesFixture;
using DataManagerTest = BasicPropertiesFixture;

TEST_F(BasicPropertiesTest, CreatorsFillTheTables)
{
    SmartPtr<PropertyStore> store(new PropertyStore());
    ASSERT_TRUE(PropertyXmlReader::ReadInto(*store, R"(<root>
        <Integer id="i">#ff</Integer><Double id="d">2.25</Double><Float id="f">x</Float>
        <Boolean id="b">FALSE</Boolean><Boolean id="n">false</Boolean><String id="s">text</String>
        <Node id="setup1"><Integer id="w">3</Integer></Node><Vector id="l"><String>a</String></Vector>
        <Sprite id="notvalue" /></root>)", true));
    for (AbstractProperty* child : store->GetNamedChildren()) {
        EXPECT_EQ(ObjectFactory::GetInstance()->Create(child->GetTypeWord(), child), nullptr);
    }
    EXPECT_EQ(Table().GetInteger("i"), 255);
    EXPECT_DOUBLE_EQ(Table().GetDouble("d"), 2.25);
    EXPECT_FLOAT_EQ(Table().GetFloat("f"), 0.0f);
    EXPECT_TRUE(Table().GetBoolean("b"));
    EXPECT_FALSE(Table().GetBoolean("n"));
    EXPECT_EQ(Table().GetString("s"), "text");
    EXPECT_EQ(Table().GetSetup("setup1"), store->GetChild("setup1"));
    ASSERT_NE(Table().GetList("l"), nullptr);
    EXPECT_EQ(Table().GetList("l")->GetAt(0)->GetText(), "a");
    EXPECT_EQ(Table().GetInteger("unknown"), 0);
    EXPECT_EQ(Table().GetList("unknown"), nullptr);

    SmartPtr<PropertyValue> value(new PropertyValue("wrongkind", "Node", "x"));
    BasicProperties::CreateNode(value.Get());
    EXPECT_EQ(Table().GetSetup("wrongkind"), PropertyNode::GetEmpty());
    SmartPtr<PropertyNode> node(new PropertyNode("i", "Integer"));
    BasicProperties::CreateInteger(node.Get());
    EXPECT_EQ(Table().GetInteger("i"), 0);
}

TEST_F(BasicPropertiesTest, StringFallsBackToThePlatformSuffix)
{
    Table().SetString("GAME_TITLE_WIN", "Words");
    EXPECT_FALSE(Table().HasString("GAME_TITLE"));
    EXPECT_EQ(Table().GetString("GAME_TITLE"), "Words");
    Table().SetString("GAME_TITLE", "Plain");
    EXPECT_EQ(Table().GetString("GAME_TITLE"), "Plain");
    EXPECT_EQ(Table().GetString("NOTHING"), "");
    EXPECT_TRUE(Table().HasString("NOTHING_WIN"));
}

TEST_F(SetupTest, NodeInheritsMissingChildrenAndKeepsItsOwn)
{
    SmartPtr<PropertyNode> setup(new PropertyNode("base", "Node"));
    setup->AddChild(new PropertyValue("x", "1", true));
    setup->AddChild(new PropertyValue("y", "2", true));
    Table().SetSetup("base", setup.Get());
    SmartPtr<PropertyNode> node(new PropertyNode("n", "Sprite"));
    node->AddChild(new PropertyValue("setup", "base", true));
    node->AddChild(new PropertyValue("x", "own", true));
    node->ApplySetup();
    EXPECT_EQ(node->GetString("x"), "own");
    EXPECT_EQ(node->GetChild("y"), setup->GetChild("y"));  // shared, not copied
    EXPECT_FALSE(node->HasChild("setup"));
    EXPECT_EQ(node->GetChildren()[0]->GetName(), "setup");  // stays in the order
    SmartPtr<AbstractProperty> clone(node->Clone());
    EXPECT_EQ(static_cast<PropertyNode*>(clone.Get())->GetString("setup"), "base");
}

TEST_F(SetupTest, UnknownSetupStopsResolutionBelow)
{
    SmartPtr<PropertyNode> setup(new PropertyNode("base", "Node"));
    setup->AddChild(new PropertyValue("x", "1", true));
    Table().SetSetup("base", setup.Get());
    SmartPtr<PropertyNode> node(new PropertyNode("n", "Sprite"));
    node->AddChild(new PropertyValue("setup", "missing", true));
    auto* child = new PropertyNode("c", "Label");
    child->AddChild(new PropertyValue("setup", "base", true));
    node->AddChild(child);
    node->ApplySetup();
    EXPECT_TRUE(child->HasChild("setup"));
    EXPECT_FALSE(child->HasChild("x"));
    EXPECT_EQ(Table().GetSetup("missing"), nullptr);
}

TEST_F(SetupTest, SetupContainingItsUserMakesNoCycle)
{
    // The setup holds a node that names the setup itself.
    SmartPtr<PropertyNode> setup(new PropertyNode("loop", "Node"));
    auto* inner = new PropertyNode("inner", "Sprite");
    inner->AddChild(new PropertyValue("setup", "loop", true));
    setup->AddChild(inner);
    setup->AddChild(new PropertyValue("z", "9", true));
    Table().SetSetup("loop", setup.Get());
    setup->ApplySetup();
    EXPECT_EQ(inner->GetString("z"), "9");
    EXPECT_FALSE(PropertyReaches(inner, setup.Get()));
    EXPECT_FALSE(inner->HasChild("inner"));
    // Writing and cloning terminate.
    SmartPtr<PropertyStore> store(new PropertyStore());
    store->AddChild(setup.Get());
    EXPECT_LT(store->ToXml().size(), 1000u);
    SmartPtr<AbstractProperty> clone(store->Clone());
    EXPECT_TRUE(clone);
}

TEST_F(DataManagerTest, LoadsGlobalsSetupsPropertiesAndMergedDefinitions)
{
    ObjectFactory::GetInstance()->Register<DialogStub>("TestDialog");
    DataManager manager;
    manager.AddFileName(Write("one.xml", R"(<root>
        <Integer id="DIALOG_FADE_TIME">300</Integer>
        <Integer id="OVERRIDDEN">1</Integer>
        <String id="GAME_TITLE_WIN">Words</String>
        <Node id="toplevel"><Integer id="a">1</Integer></Node>
        <Node id="setups"><Node id="dlg"><String id="title">Base</String><Integer id="w">200</Integer></Node></Node>
        <Node id="properties"><Integer id="OVERRIDDEN">2</Integer></Node>
        <Node id="dialogs">
            <TestDialog id="pause" setup="dlg" />
            <TestDialog id="menu" title="Menu" />
        </Node>
        <Node id="blueprints"><Node id="painter" /></Node>
        <Node id="scenes"><Node id="SCENE_SPLASH" /></Node>
    </root>)"));
    manager.AddFileName(Write("two.xml", R"(<root><Node id="dialogs"><TestDialog id="menu" title="Later" /></Node></root>)"));
    manager.AddFileName((m_Folder / "missing.xml").string());
    ::testing::internal::CaptureStderr();
    manager.Load();
    const std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(log.find("Type not found"), std::string::npos) << log;

    EXPECT_EQ(Table().GetInteger("DIALOG_FADE_TIME"), 300);
    EXPECT_EQ(Table().GetInteger("OVERRIDDEN"), 2);
    EXPECT_EQ(Table().GetString("GAME_TITLE"), "Words");
    EXPECT_NE(Table().GetSetup("toplevel"), nullptr);
    PropertyNode* pause = manager.GetDialogs()->GetNode("pause");
    EXPECT_EQ(pause->GetString("title"), "Base");
    EXPECT_EQ(pause->GetValue("w")->GetInt(), 200);
    EXPECT_EQ(manager.GetDialogs()->GetNode("menu")->GetString("title"), "Later");
    EXPECT_TRUE(manager.GetBlueprints()->HasChild("painter"));
    EXPECT_TRUE(manager.GetScenes()->HasChild("SCENE_SPLASH"));

    SmartPtr<BaseObject> made(manager.CreateObject("menu"));
    ASSERT_TRUE(made);
    EXPECT_EQ(static_cast<DialogStub*>(made.Get())->m_Title, "Later");
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(manager.CreateObject("nothing"), nullptr);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("Type not found:  in DUMMY_NODE"), std::string::npos);

    // Loading again rebuilds the trees instead of piling up.
    manager.Load();
    EXPECT_EQ(manager.GetDialogs()->GetChildCount(), 2);
}

TEST_F(DataManagerTest, UnknownTypeWordIsReportedAndSkipped)
{
    DataManager manager;
    manager.AddFileName(Write("one.xml", R"(<root><Gadget id="g" /><Integer id="after">5</Integer></root>)"));
    ::testing::internal::CaptureStderr();
    manager.Load();
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("Type not found: Gadget in g (Check: Gadget)"),
              std::string::npos);
    EXPECT_EQ(Table().GetInteger("after"), 5);
}

}  // namespace

}  // namespace data_manager_test
