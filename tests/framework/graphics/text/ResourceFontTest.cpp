// Font resources: the description and its layers read from a property file,
// failing sheets and missing files, with the sheet loader replaced by one
// that records what it was asked for.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "framework/graphics/text/ResourceFont.h"

namespace resource_font_test {

using namespace Qmv2;

namespace {

struct SheetRequest {
    std::string image;
    std::string mask;
    std::uint32_t flags;
};

std::vector<SheetRequest> g_Requests;

SmartPtr<Image> RecordingLoader(const std::string& image, const std::string& mask, std::uint32_t flags,
                                std::int32_t& error)
{
    g_Requests.push_back({image, mask, flags});
    if ((image + mask).find("broken") != std::string::npos) {
        error = ResourceObject::kErrorInvalidFormat;
        return SmartPtr<Image>();
    }
    error = ResourceObject::kErrorNone;
    return SmartPtr<Image>(new Image(nullptr, 1, 1));
}

class ResourceFontTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_Requests.clear();
        ResourceFont::SetLayerImageLoader(&RecordingLoader);
        // Tests run in parallel processes from one folder: each gets its own.
        root_ = "resource-font-test-" + std::to_string(::getpid());
        folder_ = root_ + "/fonts";
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override
    {
        ResourceFont::SetLayerImageLoader(nullptr);
        std::filesystem::remove_all(root_);
    }
    void Write(const std::string& name, const std::string& layers)
    {
        std::ofstream(folder_ + "/" + name) << "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<root>\n"
                                            << "<Node id=\"font\" spacewidth=\"6\" lineheight=\"14\">"
                                            << "<Vector id=\"chars\"><Node c=\"a\" sw=\"5\" sh=\"7\" width=\"6\"/>"
                                            << "</Vector></Node>\n<Vector id=\"layers\">" << layers
                                            << "</Vector>\n</root>\n";
    }

    std::string root_;
    std::string folder_;
};

TEST_F(ResourceFontTest, ReadsTheDescriptionAndItsLayers)
{
    Write("two.xml", "<Node mask=\"two_outline.png\" padding=\"2.5\" color=\"#ff102030\"/>"
                     "<Node image=\"two_face.png\" mask=\"two_alpha.png\" padding=\"x\"/>");
    SmartPtr<ResourceFont> resource(new ResourceFont(folder_ + "/two.xml"));
    resource->Load();
    EXPECT_TRUE(resource->IsLoaded());
    EXPECT_EQ(resource->GetErrorCode(), ResourceObject::kErrorNone);
    FontBitmap* font = resource->GetFont();
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(resource->GetContent(), font);
    EXPECT_FLOAT_EQ(font->GetLineHeight(), 14.0f);
    EXPECT_FLOAT_EQ(font->GetGlyph('a').sw, 5.0f);
    ASSERT_EQ(font->GetLayerCount(), 2);
    EXPECT_FLOAT_EQ(font->GetLayer(0)->GetPadding(), 2.5f);
    EXPECT_EQ(Color(font->GetLayer(0)->GetColor()), Color(0xFF102030u));
    // An unreadable padding is 0; a missing colour is transparent black.
    EXPECT_FLOAT_EQ(font->GetLayer(1)->GetPadding(), 0.0f);
    EXPECT_EQ(Color(font->GetLayer(1)->GetColor()), Color(0u));
    EXPECT_FLOAT_EQ(font->GetGlyphMargin(), 2.5f);
    // Sheet names are relative to the description's folder.
    ASSERT_EQ(g_Requests.size(), 2u);
    EXPECT_EQ(g_Requests[0].image, "");
    EXPECT_EQ(g_Requests[0].mask, folder_ + "/two_outline.png");
    EXPECT_EQ(g_Requests[1].image, folder_ + "/two_face.png");
    EXPECT_EQ(g_Requests[1].mask, folder_ + "/two_alpha.png");
    EXPECT_EQ(g_Requests[1].flags, resource->GetLoadFlags());
    EXPECT_NE(resource->ToString().find("Object: not 0; "), std::string::npos);

    resource->Unload();
    EXPECT_EQ(resource->GetFont(), nullptr);
    EXPECT_FALSE(resource->IsLoaded());
}

TEST_F(ResourceFontTest, AFailingSheetLeavesItsLayerOutAndReportsItsError)
{
    Write("broken.xml", "<Node mask=\"broken.png\" padding=\"3\"/><Node mask=\"face.png\" padding=\"1\"/>");
    SmartPtr<ResourceFont> resource(new ResourceFont(folder_ + "/broken.xml"));
    resource->Load();
    EXPECT_TRUE(resource->IsLoaded());
    EXPECT_EQ(resource->GetErrorCode(), ResourceObject::kErrorInvalidFormat);
    ASSERT_NE(resource->GetFont(), nullptr);
    EXPECT_EQ(resource->GetFont()->GetLayerCount(), 1);
    EXPECT_FLOAT_EQ(resource->GetFont()->GetGlyphMargin(), 1.0f);
}

TEST_F(ResourceFontTest, AMissingFileIsASubResourceErrorAndStillSettles)
{
    SmartPtr<ResourceFont> resource(new ResourceFont(folder_ + "/missing.xml"));
    resource->Load();
    EXPECT_TRUE(resource->IsLoaded());
    EXPECT_EQ(resource->GetErrorCode(), ResourceObject::kErrorSubResource);
    EXPECT_EQ(resource->GetFont(), nullptr);
    EXPECT_NE(resource->ToString().find("Object: NULL; "), std::string::npos);
    EXPECT_TRUE(g_Requests.empty());
}

TEST_F(ResourceFontTest, SameFileOnlyForFontsOfOneNonEmptyName)
{
    SmartPtr<ResourceFont> a(new ResourceFont(folder_ + "/a.xml"));
    SmartPtr<ResourceFont> b(new ResourceFont(folder_ + "/a.xml"));
    SmartPtr<ResourceFont> c(new ResourceFont(folder_ + "/c.xml"));
    SmartPtr<ResourceFont> unnamed(new ResourceFont(std::string()));
    SmartPtr<ResourceFont> unnamed2(new ResourceFont(std::string()));
    EXPECT_TRUE(a->HasSameFile(*b));
    EXPECT_FALSE(a->HasSameFile(*c));
    EXPECT_FALSE(unnamed->HasSameFile(*unnamed2));
}

}  // namespace

}  // namespace resource_font_test
