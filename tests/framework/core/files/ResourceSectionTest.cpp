#include <gtest/gtest.h>

#include <string>

#include "FakeResource.h"
#include "framework/core/files/ResourceSection.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyValue.h"
#include "framework/core/properties/PropertyXmlReader.h"

namespace resource_section_test {

namespace {

using namespace Qmv2;
using QmvTest::FakeResource;

class ResourceSectionTest : public ::testing::Test {
protected:
    void SetUp() override { FakeResource::Register(); }

    // The section described by one Node element with `attributes` and `body`.
    static SmartPtr<ResourceSection> Section(const std::string& attributes, const std::string& body = "")
    {
        SmartPtr<PropertyNode> root(new PropertyNode("root"));
        const std::string xml = "<root><Node id=\"s\" " + attributes + ">" + body + "</Node></root>";
        EXPECT_TRUE(PropertyXmlReader::ReadInto(*root, xml.c_str(), true)) << xml;
        return SmartPtr<ResourceSection>(new ResourceSection(root->GetNode("s")));
    }
};

TEST_F(ResourceSectionTest, NameAndAutoLoadFollowTheBooleanRule)
{
    SmartPtr<ResourceSection> plain = Section("name=\"menu\"");
    EXPECT_EQ(plain->GetName(), "menu");
    EXPECT_FALSE(plain->IsAutoLoad());
    EXPECT_FALSE(plain->HasStarted());
    EXPECT_TRUE(Section("name=\"a\" auto=\"true\"")->IsAutoLoad());
    EXPECT_TRUE(Section("name=\"a\" auto=\"no\"")->IsAutoLoad());
    EXPECT_FALSE(Section("name=\"a\" auto=\"false\"")->IsAutoLoad());
    EXPECT_FALSE(Section("name=\"a\" auto=\"\"")->IsAutoLoad());
    // A child "auto" that is not a value reads as empty.
    EXPECT_FALSE(Section("name=\"a\"", "<Node id=\"auto\"/>")->IsAutoLoad());
}

TEST_F(ResourceSectionTest, AnythingButANodeDescribesAnEmptySection)
{
    SmartPtr<PropertyValue> value(new PropertyValue("name", "String", "menu"));
    SmartPtr<ResourceSection> section(new ResourceSection(value.Get()));
    EXPECT_EQ(section->GetName(), "");
    EXPECT_TRUE(section->GetResources().empty());
    SmartPtr<ResourceSection> none(new ResourceSection(nullptr));
    EXPECT_TRUE(none->IsLoaded());
}

TEST_F(ResourceSectionTest, ChildNodesBecomeResourcesInFileOrder)
{
    SmartPtr<ResourceSection> section =
        Section("name=\"game\"", "<TestResource id=\"b\" file=\"B.png\"/><String id=\"note\">x</String>"
                                 "<TestResource id=\"a\" file=\"a.png\"/>");
    ASSERT_EQ(section->GetResources().size(), 2u);
    EXPECT_EQ(section->GetResources()[0].first, "b");
    EXPECT_EQ(section->GetResources()[1].first, "a");
    ASSERT_NE(section->FindResource("b"), nullptr);
    EXPECT_EQ(section->FindResource("b")->GetFileName(), "b.png");
    EXPECT_EQ(section->FindResource("note"), nullptr);
    EXPECT_EQ(section->FindResource("missing"), nullptr);
    EXPECT_EQ(section->GetWeight(), 2u);
}

TEST_F(ResourceSectionTest, ALaterChildReplacesAnEarlierOneOfTheSameName)
{
    SmartPtr<ResourceSection> section = Section(
        "name=\"s\"", "<TestResource id=\"x\" file=\"first.png\"/><TestResource id=\"y\" file=\"y.png\"/>"
                      "<TestResource id=\"x\" file=\"second.png\"/>");
    ASSERT_EQ(section->GetResources().size(), 2u);
    EXPECT_EQ(section->FindResource("x")->GetFileName(), "second.png");
    EXPECT_EQ(section->FindResource("y")->GetFileName(), "y.png");

    // Replacing keeps the place in the order and releases the earlier resource.
    section->AddResource("y", new FakeResource("other.png"));
    ASSERT_EQ(section->GetResources().size(), 2u);
    EXPECT_EQ(section->FindResource("y")->GetFileName(), "other.png");
    EXPECT_EQ(section->GetResources()[0].second->GetFileName(), "other.png");
    EXPECT_TRUE(QmvTest::FakeLoads::Get().WasDestroyed("y.png"));
    EXPECT_FALSE(QmvTest::FakeLoads::Get().WasDestroyed("other.png"));
}

TEST_F(ResourceSectionTest, UnknownKindsAndNonResourcesAreLeftOut)
{
    // "NoSuchKind" is reported by the factory; "Node" makes a property node,
    // which is no resource.
    SmartPtr<ResourceSection> section = Section(
        "name=\"s\"", "<NoSuchKind id=\"a\" file=\"a.png\"/><Node id=\"b\"/><TestResource id=\"c\" file=\"c.png\"/>");
    ASSERT_EQ(section->GetResources().size(), 1u);
    EXPECT_EQ(section->GetResources()[0].first, "c");
}

TEST_F(ResourceSectionTest, EmptySectionIsLoadedAtOnce)
{
    SmartPtr<ResourceSection> section = Section("name=\"empty\"");
    EXPECT_TRUE(section->IsLoaded());
    EXPECT_TRUE(section->IsSettled());
    EXPECT_EQ(section->GetWeight(), 0u);
    EXPECT_EQ(section->GetLoadedWeight(), 0u);
    section->SetHasStarted(true);
    EXPECT_EQ(section->NextToLoad(), nullptr);
}

TEST_F(ResourceSectionTest, NextToLoadWaitsForTheQueueAndSkipsSettledResources)
{
    SmartPtr<ResourceSection> section =
        Section("name=\"s\"", "<TestResource id=\"a\" file=\"a\"/><TestResource id=\"b\" file=\"b\"/>"
                              "<TestResource id=\"c\" file=\"c\"/>");
    EXPECT_EQ(section->NextToLoad(), nullptr);  // never queued
    section->SetHasStarted(true);
    EXPECT_EQ(section->NextToLoad(), section->FindResource("a"));

    section->FindResource("a")->SetLoaded();
    EXPECT_EQ(section->NextToLoad(), section->FindResource("b"));
    EXPECT_EQ(section->GetLoadedWeight(), 1u);

    // A failed resource is not offered again and does not hold the section up.
    section->FindResource("b")->SetError(ResourceObject::kErrorFileNotFound);
    EXPECT_EQ(section->NextToLoad(), section->FindResource("c"));
    section->FindResource("c")->SetLoaded();
    EXPECT_EQ(section->NextToLoad(), nullptr);
    EXPECT_TRUE(section->IsSettled());
    EXPECT_FALSE(section->IsLoaded());
    EXPECT_EQ(section->GetLoadedWeight(), 2u);
    EXPECT_EQ(section->GetWeight(), 3u);

    // Unloading the failed one makes it loadable again.
    section->FindResource("b")->Unload();
    EXPECT_FALSE(section->IsSettled());
    EXPECT_EQ(section->NextToLoad(), section->FindResource("b"));
}

TEST_F(ResourceSectionTest, ToStringListsEveryResource)
{
    SmartPtr<ResourceSection> section =
        Section("name=\"menu\" auto=\"true\"", "<TestResource id=\"a\" file=\"a.png\"/><TestResource id=\"b\" file=\"b.png\"/>");
    section->FindResource("b")->SetLoaded();
    const std::string text = section->ToString();
    const std::string head = "Name: menu; Auto Load: Y; Has Started: N;\n  Objects:\n";
    ASSERT_EQ(text.substr(0, head.size()), head);
    const std::string body = text.substr(head.size());
    const std::string first = "\t" + section->FindResource("a")->ToString() + "\n";
    const std::string second = "\t" + section->FindResource("b")->ToString() + "\n";
    EXPECT_EQ(body, first + second);
    EXPECT_NE(second.find("\"b.png\" Loaded."), std::string::npos);
}

}  // namespace

}  // namespace resource_section_test
