#include <gtest/gtest.h>

#include <string>

#include "framework/core/object/ObjectFactory.h"
#include "framework/core/properties/BasicProperties.h"
#include "framework/core/properties/PropertyValue.h"

namespace object_factory_test {

namespace {

using namespace Qmv2;

class Widget : public BaseObject {
public:
    explicit Widget(PropertyNode* node) : m_Node(node), m_Caption(node->GetString("caption")) {}
    PropertyNode* m_Node;
    std::string m_Caption;
};

class ObjectFactoryTest : public ::testing::Test {
protected:
    void SetUp() override { BasicProperties::SetInstance(new BasicProperties()); }
    void TearDown() override { BasicProperties::ReleaseInstance(); }

    static std::string CreateAndCaptureMessage(const std::string& name, AbstractProperty* property,
                                               BaseObject** made)
    {
        ::testing::internal::CaptureStderr();
        *made = ObjectFactory::GetInstance()->Create(name, property);
        return ::testing::internal::GetCapturedStderr();
    }
};

TEST_F(ObjectFactoryTest, IsMadeOnceAndHeldByItsGlobal)
{
    ObjectFactory* factory = ObjectFactory::GetInstance();
    ASSERT_NE(factory, nullptr);
    EXPECT_EQ(ObjectFactory::GetInstance(), factory);
    EXPECT_EQ(factory->GetRefCount(), 1);
    EXPECT_EQ(factory->GetType(), &ClassIndex::ObjectFactory);
}

TEST_F(ObjectFactoryTest, CoreRegistersTheSevenBasicTypes)
{
    for (const char* name : {"Integer", "Double", "Float", "Boolean", "String", "Node", "Vector"}) {
        EXPECT_TRUE(ObjectFactory::GetInstance()->IsRegistered(name)) << name;
    }
}

TEST_F(ObjectFactoryTest, RegisteredClassIsBuiltFromItsNodeWithCountZero)
{
    ObjectFactory::GetInstance()->Register<Widget>("TestWidget");
    SmartPtr<PropertyNode> node(new PropertyNode("OK", "TestWidget"));
    node->AddChild(new PropertyValue("caption", "Hello", true));
    BaseObject* made = ObjectFactory::GetInstance()->Create("TestWidget", node.Get());
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->GetRefCount(), 0);
    auto* widget = static_cast<Widget*>(made);
    EXPECT_EQ(widget->m_Node, node.Get());
    EXPECT_EQ(widget->m_Caption, "Hello");
    SmartPtr<BaseObject> holder(made);
}

TEST_F(ObjectFactoryTest, ValueHandedToANodeClassBecomesTheEmptyNode)
{
    ObjectFactory::GetInstance()->Register<Widget>("TestWidget");
    SmartPtr<PropertyValue> value(new PropertyValue("v", "TestWidget", "x"));
    SmartPtr<BaseObject> made(ObjectFactory::GetInstance()->Create("TestWidget", value.Get()));
    ASSERT_TRUE(made);
    EXPECT_EQ(static_cast<Widget*>(made.Get())->m_Node, PropertyNode::GetEmpty());
}

TEST_F(ObjectFactoryTest, IntegerMakesNoObjectButFillsTheTable)
{
    SmartPtr<PropertyValue> value(new PropertyValue("maxentries", "Integer", "0x10"));
    EXPECT_EQ(ObjectFactory::GetInstance()->Create("Integer", value.Get()), nullptr);
    EXPECT_EQ(BasicProperties::GetInstance()->GetInteger("maxentries"), 16);
}

TEST_F(ObjectFactoryTest, UnknownNameIsReportedWithNodeNameAndTypeWord)
{
    SmartPtr<PropertyNode> node(new PropertyNode("N", "Xylo"));
    BaseObject* made = reinterpret_cast<BaseObject*>(1);
    const std::string shown = CreateAndCaptureMessage("Xylo", node.Get(), &made);
    EXPECT_EQ(made, nullptr);
    EXPECT_NE(shown.find("Type not found: Xylo in N (Check: Xylo)\n"), std::string::npos) << shown;
}

TEST_F(ObjectFactoryTest, NamesAreCaseSensitive)
{
    SmartPtr<PropertyValue> value(new PropertyValue("n", "integer", "5"));
    BaseObject* made = reinterpret_cast<BaseObject*>(1);
    const std::string shown = CreateAndCaptureMessage("integer", value.Get(), &made);
    EXPECT_EQ(made, nullptr);
    EXPECT_NE(shown.find("Type not found: integer in n (Check: integer)"), std::string::npos);
    EXPECT_EQ(BasicProperties::GetInstance()->GetInteger("n"), 0);
}

TEST_F(ObjectFactoryTest, MissingPropertyIsReportedAsTheEmptyNode)
{
    BaseObject* made = reinterpret_cast<BaseObject*>(1);
    const std::string shown = CreateAndCaptureMessage("", nullptr, &made);
    EXPECT_EQ(made, nullptr);
    EXPECT_NE(shown.find("Type not found:  in DUMMY_NODE (Check: )"), std::string::npos) << shown;
}

BaseObject* MakeNothing(AbstractProperty*) { return nullptr; }
BaseObject* MakeWidget(AbstractProperty* property) { return new Widget(PropertyNode::AsNode(property)); }

TEST_F(ObjectFactoryTest, LaterRegistrationReplacesTheCreator)
{
    ObjectFactory* factory = ObjectFactory::GetInstance();
    factory->Register("TestReplaced", &MakeWidget);
    factory->Register("TestReplaced", &MakeNothing);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(factory->Create("TestReplaced", nullptr), nullptr);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");  // known name: no message
}

}  // namespace

}  // namespace object_factory_test
