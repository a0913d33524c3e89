#include <gtest/gtest.h>

#include <string>

#include "FakeResource.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyXmlReader.h"

namespace resource_object_test {

namespace {

using namespace Qmv2;
using QmvTest::FakeResource;

// The resource described by `attributes` on a TestResource element.
SmartPtr<FakeResource> Described(const std::string& attributes)
{
    SmartPtr<PropertyNode> root(new PropertyNode("root"));
    const std::string xml = "<root><TestResource id=\"r\" " + attributes + "/></root>";
    EXPECT_TRUE(PropertyXmlReader::ReadInto(*root, xml.c_str(), true));
    return SmartPtr<FakeResource>(new FakeResource(root->GetNode("r")));
}

TEST(ResourceObjectTest, DescriptionStoresTheFileInResourceNameForm)
{
    EXPECT_EQ(Described("file=\"Images\\Title.PNG\"")->GetFileName(), "images/title.png");
    EXPECT_EQ(Described("file=\"./Fonts//Big.XML\"")->GetFileName(), "fonts/big.xml");
    EXPECT_EQ(Described("")->GetFileName(), "");
    EXPECT_EQ(SmartPtr<FakeResource>(new FakeResource("/Sounds\\Click.WAV"))->GetFileName(), "sounds/click.wav");
    EXPECT_EQ(SmartPtr<FakeResource>(new FakeResource(nullptr))->GetFileName(), "");
}

TEST(ResourceObjectTest, ArchiveWordsSelectLoadFlagsExactly)
{
    EXPECT_EQ(Described("archive=\"file\"")->GetLoadFlags(), 0u);
    EXPECT_EQ(Described("archive=\"zip\"")->GetLoadFlags(), 2u);
    EXPECT_EQ(Described("archive=\"encryptfile\"")->GetLoadFlags(), 4u);
    EXPECT_EQ(Described("archive=\"encryptzip\"")->GetLoadFlags(), 6u);
    // Anything else keeps "use the default flags".
    EXPECT_EQ(Described("archive=\"ZIP\"")->GetLoadFlags(), 1u);
    EXPECT_EQ(Described("archive=\"\"")->GetLoadFlags(), 1u);
    EXPECT_EQ(Described("")->GetLoadFlags(), 1u);
}

TEST(ResourceObjectTest, DefaultsOfANewResource)
{
    SmartPtr<FakeResource> resource = Described("file=\"a.png\"");
    EXPECT_FALSE(resource->IsLoaded());
    EXPECT_EQ(resource->GetErrorCode(), -1);
    EXPECT_FALSE(resource->HasFailed());
    EXPECT_FALSE(resource->IsSettled());
    EXPECT_EQ(resource->GetWeight(), 1u);
    EXPECT_EQ(resource->GetFirstImage(), nullptr);
}

TEST(ResourceObjectTest, ErrorTextsCoverEveryCode)
{
    const char* expected[] = {"None.",           "Unspecified.",     "Prerequisites not fulfilled.",
                              "File not found.", "Filename is empty.", "Invalid format.",
                              "A sub-resource didn't load.", "The file or the dimensions is too big."};
    for (int code = -1; code <= 6; ++code) {
        EXPECT_STREQ(ResourceObject::GetErrorText(code), expected[code + 1]) << code;
    }
    EXPECT_STREQ(ResourceObject::GetErrorText(7), "Unknown.");
    EXPECT_STREQ(ResourceObject::GetErrorText(-2), "Unknown.");
}

TEST(ResourceObjectTest, StatusTextShowsLoadAndError)
{
    SmartPtr<FakeResource> logo(new FakeResource("images/logo.png"));
    EXPECT_EQ(logo->GetStatusText(), "\"images/logo.png\"");
    logo->SetLoaded();
    EXPECT_EQ(logo->GetStatusText(), "\"images/logo.png\" Loaded.");

    SmartPtr<FakeResource> font(new FakeResource("fonts/big.xml"));
    font->SetError(ResourceObject::kErrorFileNotFound);
    EXPECT_EQ(font->GetStatusText(), "\"fonts/big.xml\" Error: File not found. [2]");
    font->SetError(ResourceObject::kErrorTooBig);
    EXPECT_EQ(font->GetStatusText(), "\"fonts/big.xml\" Error: The file or the dimensions is too big. [6]");
    font->SetError(42);
    EXPECT_EQ(font->GetStatusText(), "\"fonts/big.xml\" Error: Unknown. [42]");

    // ToString is the object's own text followed by the status.
    const std::string text = font->ToString();
    EXPECT_EQ(text.rfind("ResourceObject: 0x", 0), 0u) << text;
    EXPECT_NE(text.find("; \"fonts/big.xml\" Error: Unknown. [42]"), std::string::npos) << text;
}

TEST(ResourceObjectTest, UnloadClearsTheLoadAndTheError)
{
    SmartPtr<FakeResource> resource(new FakeResource("a.png"));
    resource->SetLoaded();
    resource->SetError(4);
    EXPECT_TRUE(resource->IsSettled());
    resource->Unload();
    EXPECT_FALSE(resource->IsLoaded());
    EXPECT_EQ(resource->GetErrorCode(), -1);
    EXPECT_FALSE(resource->IsSettled());
    EXPECT_EQ(resource->GetStatusText(), "\"a.png\"");
}

TEST(ResourceObjectTest, SameFileNeedsANameOnThisSide)
{
    SmartPtr<FakeResource> a(new FakeResource("Images/A.png"));
    SmartPtr<FakeResource> b(new FakeResource("images/a.png"));
    SmartPtr<FakeResource> c(new FakeResource("images/c.png"));
    SmartPtr<FakeResource> none(new FakeResource(""));
    EXPECT_TRUE(a->HasSameFile(*b));
    EXPECT_FALSE(a->HasSameFile(*c));
    EXPECT_FALSE(none->HasSameFile(*none));
    EXPECT_FALSE(a->HasSameFile(*none));
}

}  // namespace

}  // namespace resource_object_test
