#include <gtest/gtest.h>

#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyStore.h"

namespace property_tree_test {

namespace {

using namespace Qmv2;

TEST(PropertyValueTest, TypedReadsOfText)
{
    auto read = [](const char* text) { return SmartPtr<PropertyValue>(new PropertyValue("v", "String", text)); };
    EXPECT_EQ(read("#ff")->GetInt(), 255);
    EXPECT_EQ(read("0x10")->GetInt(), 16);
    EXPECT_EQ(read("12abc")->GetInt(), 12);
    EXPECT_EQ(read("")->GetInt(), 0);
    EXPECT_EQ(read("-7")->GetInt(), -7);
    EXPECT_FLOAT_EQ(read("2.5")->GetFloat(), 2.5f);
    EXPECT_FLOAT_EQ(read("abc")->GetFloat(), 0.0f);
    EXPECT_TRUE(read("False")->GetBool());
    EXPECT_TRUE(read("0")->GetBool());
    EXPECT_FALSE(read("false")->GetBool());
    EXPECT_FALSE(read("")->GetBool());
}

TEST(PropertyValueTest, SetFloatDropsTrailingZeros)
{
    PropertyValue value("f", 0.0f);
    const std::pair<float, const char*> cases[] = {
        {1.5f, "1.5"}, {2.0f, "2"}, {0.0f, "0"}, {0.25f, "0.25"}, {100.0f, "100"}, {0.5f, "0.5"}, {-3.0f, "-3"}};
    for (const auto& [number, text] : cases) {
        value.SetFloat(number);
        EXPECT_EQ(value.GetText(), text) << number;
    }
    EXPECT_EQ(value.GetTypeWord(), "Float");
    value.SetInt(-42);
    EXPECT_EQ(value.GetText(), "-42");
}

TEST(PropertyValueTest, ConstructorsChooseTypeWords)
{
    EXPECT_EQ(PropertyValue("a", "Integer", "5").GetTypeWord(), "Integer");
    EXPECT_EQ(PropertyValue("a", "Integer", "5").GetText(), "5");
    EXPECT_EQ(PropertyValue("a", "text", false).GetTypeWord(), "String");
    EXPECT_EQ(PropertyValue("a", "text", true).GetTypeWord(), "");
    EXPECT_EQ(PropertyValue("a", 7).GetTypeWord(), "");
    EXPECT_EQ(PropertyValue("a", "Integer", 7).GetText(), "7");
}

TEST(SharedEmptyTest, EmptyObjectsRefuseChangesAndSurviveReleases)
{
    PropertyValue* value = PropertyValue::GetEmpty();
    PropertyNode* node = PropertyNode::GetEmpty();
    PropertyVector* vector = PropertyVector::GetEmpty();
    EXPECT_EQ(value->GetName(), "DUMMY_VALUE");
    EXPECT_EQ(node->GetName(), "DUMMY_NODE");
    EXPECT_EQ(vector->GetName(), "DUMMY_VECTOR");

    value->SetInt(5);
    value->SetFloat(1.5f);
    value->SetText("x");
    value->SetName("changed");
    // A refused child stays with its caller.
    SmartPtr<PropertyValue> child(new PropertyValue("refused", "x", true));
    EXPECT_EQ(node->AddChild(child.Get()), child.Get());
    EXPECT_EQ(child->GetRefCount(), 1);
    node->AddBoolean("b", true);
    SmartPtr<PropertyValue> item(new PropertyValue("i", "x", true));
    vector->AddItem(item.Get());
    EXPECT_EQ(item->GetRefCount(), 1);
    vector->AddBoolean(true);
    SmartPtr<PropertyValue> other(new PropertyValue("o", "String", "text"));
    value->CopyFrom(*other);
    EXPECT_EQ(value->GetText(), "");
    EXPECT_EQ(value->GetName(), "DUMMY_VALUE");
    EXPECT_EQ(node->GetChildCount(), 0);
    EXPECT_EQ(vector->GetCount(), 0);

    // Holders come and go; the shared objects stay.
    for (int i = 0; i < 3; ++i) {
        SmartPtr<PropertyNode> holder(node);
    }
    node->Release();
    node->Release();
    EXPECT_EQ(PropertyNode::GetEmpty()->GetName(), "DUMMY_NODE");
}

TEST(PropertyNodeTest, LookupsAnswerSharedEmptiesForMissingOrMistypedChildren)
{
    SmartPtr<PropertyNode> node(new PropertyNode("n", "Sprite"));
    node->AddChild(new PropertyValue("x", "12", true));
    node->AddChild(new PropertyVector("list"));
    EXPECT_EQ(node->GetValue("list"), PropertyValue::GetEmpty());
    EXPECT_EQ(node->GetVector("x"), PropertyVector::GetEmpty());
    EXPECT_EQ(node->GetVector("missing"), PropertyVector::GetEmpty());
    EXPECT_EQ(node->GetNode("x"), PropertyNode::GetEmpty());
    EXPECT_EQ(node->GetChild("missing"), nullptr);
    EXPECT_EQ(node->GetValue("x")->GetInt(), 12);
    EXPECT_EQ(node->GetString("missing"), "");
    EXPECT_EQ(node->GetChild("list")->GetString(), "");
}

TEST(PropertyNodeTest, LaterChildOfSameNameReplacesAndMovesToTheEnd)
{
    SmartPtr<PropertyNode> node(new PropertyNode());
    node->AddChild(new PropertyValue("a", "1", true));
    node->AddChild(new PropertyValue("b", "2", true));
    node->AddChild(new PropertyValue("a", "3", true));
    ASSERT_EQ(node->GetChildCount(), 2);
    EXPECT_EQ(node->GetChildren()[0]->GetName(), "b");
    EXPECT_EQ(node->GetChildren()[1]->GetString(), "3");
    node->RemoveChild("b");
    EXPECT_FALSE(node->HasChild("b"));
    EXPECT_EQ(node->GetChildCount(), 1);
    node->RemoveChild("nothing");
    EXPECT_EQ(node->GetChildCount(), 1);
}

TEST(PropertyNodeTest, GetEnumMatchesExactlyOrDefaults)
{
    static const char* const kModes[] = {"file", "zip", "encryptfile", "encryptzip"};
    SmartPtr<PropertyNode> node(new PropertyNode());
    node->AddChild(new PropertyValue("type", "encryptfile", true));
    node->AddChild(new PropertyValue("other", "ZIP", true));
    EXPECT_EQ(node->GetEnum("type", kModes, 4, -1), 2);
    EXPECT_EQ(node->GetEnum("other", kModes, 4, -1), -1);
    EXPECT_EQ(node->GetEnum("missing", kModes, 4, 3), 3);
}

TEST(PropertyNodeTest, AddBooleanTypedOrUntyped)
{
    SmartPtr<PropertyNode> node(new PropertyNode());
    EXPECT_EQ(node->AddBoolean("on", true)->GetTypeWord(), "Boolean");
    EXPECT_EQ(node->AddBoolean("off", false, true)->GetTypeWord(), "");
    EXPECT_TRUE(node->GetValue("on")->GetBool());
    EXPECT_EQ(node->GetString("off"), "false");
    SmartPtr<PropertyVector> vector(new PropertyVector());
    PropertyValue* item = vector->AddBoolean(true);
    EXPECT_EQ(item->GetTypeWord(), "Boolean");
    EXPECT_EQ(item->GetName(), "");
    EXPECT_EQ(vector->GetAt(0), item);
    EXPECT_EQ(vector->GetAt(1), PropertyValue::GetEmpty());
    EXPECT_EQ(vector->GetAt(-1), PropertyValue::GetEmpty());
}

TEST(PropertyNodeTest, CloneIsDeepCopyFromShares)
{
    SmartPtr<PropertyNode> node(new PropertyNode("n", "Sprite"));
    auto* child = new PropertyNode("c", "Label");
    child->AddChild(new PropertyValue("text", "hi", true));
    node->AddChild(child);
    auto* list = new PropertyVector("l");
    list->AddItem(new PropertyValue("", "Integer", "4"));
    node->AddChild(list);

    SmartPtr<AbstractProperty> clone(node->Clone());
    auto* cloned = static_cast<PropertyNode*>(clone.Get());
    EXPECT_EQ(cloned->GetTypeWord(), "Sprite");
    ASSERT_NE(cloned->GetChild("c"), child);
    EXPECT_EQ(cloned->GetNode("c")->GetString("text"), "hi");
    EXPECT_EQ(cloned->GetVector("l")->GetAt(0)->GetInt(), 4);
    child->GetValue("text")->SetText("changed");
    EXPECT_EQ(cloned->GetNode("c")->GetString("text"), "hi");

    SmartPtr<PropertyNode> copy(new PropertyNode());
    copy->CopyFrom(*node);
    EXPECT_EQ(copy->GetChild("c"), child);
    EXPECT_EQ(copy->GetName(), "n");
}

TEST(PropertyNodeTest, ClearReleasesChildren)
{
    SmartPtr<PropertyNode> node(new PropertyNode());
    SmartPtr<PropertyValue> kept(new PropertyValue("a", "1", true));
    node->AddChild(kept.Get());
    EXPECT_EQ(kept->GetRefCount(), 3);  // the test, the name map and the order
    node->Clear();
    EXPECT_EQ(kept->GetRefCount(), 1);
    EXPECT_EQ(node->GetChildCount(), 0);
    EXPECT_FALSE(node->HasChild("a"));
}

TEST(PropertyStoreTest, CloneTakesFilesFlagsAndNamedChildren)
{
    SmartPtr<PropertyStore> store(new PropertyStore("a.xml"));
    store->SetLoadFlags(4);
    store->SetCondenseWhiteSpace(false);
    store->AddChild(new PropertyValue("x", "Integer", "1"));
    SmartPtr<AbstractProperty> clone(store->Clone());
    ASSERT_TRUE(clone->IsOfType(&PropertyStore::s_Type));
    auto* copy = static_cast<PropertyStore*>(clone.Get());
    EXPECT_EQ(copy->GetCurrentFile(), "a.xml");
    EXPECT_EQ(copy->GetFileNames().GetCount(), 1);
    EXPECT_EQ(copy->GetLoadFlags(), 4u);
    EXPECT_FALSE(copy->GetCondenseWhiteSpace());
    EXPECT_EQ(copy->GetTypeWord(), "root");
    EXPECT_EQ(copy->GetValue("x")->GetInt(), 1);
}

}  // namespace

}  // namespace property_tree_test
