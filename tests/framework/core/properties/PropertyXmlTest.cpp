#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "framework/core/properties/PropertyStore.h"
#include "framework/core/properties/PropertyXmlReader.h"
#include "framework/core/properties/PropertyXmlWriter.h"

namespace property_xml_test {

namespace {

using namespace Qmv2;

const std::string kDataDir = std::string(QMV_SOURCE_DIR) + "/tests/framework/core/properties/data/";

SmartPtr<PropertyStore> Parse(const std::string& text, bool condense = true)
{
    SmartPtr<PropertyStore> store(new PropertyStore());
    EXPECT_TRUE(PropertyXmlReader::ReadInto(*store, text.c_str(), condense)) << text;
    return store;
}

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

// A readable dump of a tree: kind, type word, name, text, children.
std::string Dump(const AbstractProperty& property)
{
    std::string out = std::to_string(property.GetKind()) + ":" + property.GetTypeWord() + ":" + property.GetName();
    if (property.IsValue()) {
        return out + "=" + property.GetString();
    }
    const auto& children = property.IsNode() ? static_cast<const PropertyNode&>(property).GetChildren()
                                             : static_cast<const PropertyVector&>(property).GetItems();
    out += "{";
    for (const auto& child : children) {
        out += Dump(*child) + ";";
    }
    return out + "}";
}

TEST(PropertyXmlReadTest, ElementRules)
{
    auto store = Parse(R"(<root>
        <Integer id="a" value="10" />
        <Integer id="b">10</Integer>
        <Integer id="c" value="1">2</Integer>
        <Sprite id="BUTTON_OK" x="5" image="ok.png">body<Label id="l" /></Sprite>
        <Vector id="v" ignored="1"><String>s</String><Integer value="3" /></Vector>
        <!-- a comment -->
        <Float>no id</Float>
    </root>)");
    EXPECT_EQ(store->GetValue("a")->GetText(), "10");
    EXPECT_EQ(store->GetValue("a")->GetTypeWord(), "Integer");
    EXPECT_EQ(store->GetValue("b")->GetText(), "10");
    EXPECT_EQ(store->GetValue("c")->GetText(), "2");  // the text child wins
    PropertyNode* sprite = store->GetNode("BUTTON_OK");
    EXPECT_EQ(sprite->GetTypeWord(), "Sprite");
    EXPECT_EQ(sprite->GetValue("x")->GetTypeWord(), "");
    EXPECT_EQ(sprite->GetString("image"), "ok.png");
    EXPECT_EQ(sprite->GetValue("value")->GetTypeWord(), "String");
    EXPECT_EQ(sprite->GetString("value"), "body");
    EXPECT_EQ(sprite->GetNode("l")->GetTypeWord(), "Label");
    EXPECT_FALSE(sprite->HasChild("id"));
    PropertyVector* vector = store->GetVector("v");
    ASSERT_EQ(vector->GetCount(), 2);
    EXPECT_EQ(vector->GetAt(0)->GetText(), "s");
    EXPECT_EQ(vector->GetAt(1)->GetInt(), 3);
    EXPECT_EQ(store->GetValue("")->GetText(), "no id");
    EXPECT_EQ(store->GetChildCount(), 6);  // the comment adds nothing
}

TEST(PropertyXmlReadTest, LaterDuplicateRemainsAtTheEnd)
{
    auto store = Parse(R"(<root><Integer id="x">1</Integer><Integer id="y">2</Integer><Integer id="x">3</Integer></root>)");
    ASSERT_EQ(store->GetChildCount(), 2);
    EXPECT_EQ(store->GetChildren()[1]->GetName(), "x");
    EXPECT_EQ(store->GetValue("x")->GetInt(), 3);
}

TEST(PropertyXmlReadTest, BrokenOrOverDeepTextAddsNothing)
{
    SmartPtr<PropertyStore> store(new PropertyStore());
    EXPECT_FALSE(PropertyXmlReader::ReadInto(*store, "<root><Integer id=\"a\">1</Integer>", true));
    EXPECT_FALSE(PropertyXmlReader::ReadInto(*store, "", true));
    std::string deep = "<root>";
    for (int i = 0; i < 100000; ++i) {
        deep += "<a>";
    }
    EXPECT_FALSE(PropertyXmlReader::ReadInto(*store, deep.c_str(), true));
    // Quoted "/>" inside attributes does not hide the nesting.
    std::string hidden = "<root>";
    for (int i = 0; i < 1000; ++i) {
        hidden += "<a b=\"/>\">";
    }
    EXPECT_GT(PropertyXmlReader::NestingDepth(hidden.c_str(), 5000), 1000);
    EXPECT_EQ(store->GetChildCount(), 0);
}

TEST(PropertyXmlReadTest, BrokenUtf8IsRepairedBeforeParsing)
{
    auto store = Parse("<root><String id=\"a\xff\">x\xc3</String></root>");
    EXPECT_EQ(store->GetString("a\xEF\xBF\xBD"), "x\xEF\xBF\xBD");
    // A name running into broken lead bytes at the end of the text.
    const std::string found = ReadText(kDataDir + "broken-utf8-name.bin");
    ASSERT_FALSE(found.empty());
    SmartPtr<PropertyStore> other(new PropertyStore());
    PropertyXmlReader::ReadInto(*other, found.c_str() + 1, true);
    std::string tail = "<root><a";
    tail += std::string(3, '\xff');
    EXPECT_FALSE(PropertyXmlReader::ReadInto(*other, tail.c_str(), true));
}

TEST(PropertyXmlReadTest, WhiteSpaceSettingBelongsToEachParse)
{
    const char* text = "<root><String id=\"s\">  a   b  </String></root>";
    std::string condensed;
    std::string kept;
    auto parseMany = [text](bool condense, std::string& result) {
        for (int i = 0; i < 300; ++i) {
            SmartPtr<PropertyStore> store(new PropertyStore());
            PropertyXmlReader::ReadInto(*store, text, condense);
            const std::string got = store->GetString("s");
            if (i == 0 || got != result) {
                result = i == 0 ? got : "mixed: " + got;
                if (i != 0) {
                    return;
                }
            }
        }
    };
    std::thread first(parseMany, true, std::ref(condensed));
    std::thread second(parseMany, false, std::ref(kept));
    first.join();
    second.join();
    EXPECT_EQ(condensed, "a b");
    EXPECT_EQ(kept, "  a   b  ");
}

TEST(PropertyXmlWriteTest, LayoutAttributesAndIdsFirst)
{
    SmartPtr<PropertyStore> store(new PropertyStore());
    auto* sprite = new PropertyNode("BUTTON_OK", "Sprite");
    sprite->AddChild(new PropertyValue("x", 10));
    sprite->AddChild(new PropertyValue("caption", "String", "OK"));
    sprite->AddChild(new PropertyNode("inner"));
    store->AddChild(sprite);
    auto* list = new PropertyVector("list");
    list->AddItem(new PropertyValue("", "7", true));
    store->AddChild(list);
    store->AddChild(new PropertyValue("empty", "Integer", ""));
    EXPECT_EQ(store->ToXml(),
              "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n"
              "<root>\n"
              "\t<Sprite id=\"BUTTON_OK\" x=\"10\">\n"
              "\t\t<String id=\"caption\">OK</String>\n"
              "\t\t<Node id=\"inner\" />\n"
              "\t</Sprite>\n"
              "\t<Vector id=\"list\">\n"
              "\t\t<String>7</String>\n"
              "\t</Vector>\n"
              "\t<Integer id=\"empty\" />\n"
              "</root>\n");
}

TEST(PropertyXmlWriteTest, NamesThatCannotBeAttributesBecomeElements)
{
    SmartPtr<PropertyStore> store(new PropertyStore());
    auto* node = new PropertyNode("n", "bad tag!");
    node->AddChild(new PropertyValue("id", "self", true));
    node->AddChild(new PropertyValue("1st", "digit", true));
    node->AddChild(new PropertyValue("a b", "blank", true));
    node->AddChild(new PropertyValue("xmlns", "reserved", true));
    node->AddChild(new PropertyValue("", "nameless", true));
    store->AddChild(node);
    const std::string xml = store->ToXml();
    EXPECT_NE(xml.find("<Node id=\"n\">"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<String id=\"id\">self</String>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<String id=\"1st\">digit</String>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<String id=\"a b\">blank</String>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<String>nameless</String>"), std::string::npos) << xml;
    auto back = Parse(xml);
    EXPECT_EQ(back->GetNode("n")->GetString("a b"), "blank");
    EXPECT_EQ(back->GetNode("n")->GetString("xmlns"), "reserved");
}

TEST(PropertyXmlWriteTest, TextIsEscapedAndCleaned)
{
    EXPECT_EQ(PropertyXmlWriter::EscapeText("a&#x41;<b>\"'"), "a&amp;#x41;&lt;b&gt;&quot;&apos;");
    EXPECT_EQ(PropertyXmlWriter::EscapeText("l1\nl2\t\r"), "l1&#x0A;l2&#x09;&#x0D;");
    EXPECT_EQ(PropertyXmlWriter::EscapeText(std::string("a\x01\x1f" "b", 4)), "ab");
    EXPECT_EQ(PropertyXmlWriter::EscapeText("\xff\xc3"), "\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(PropertyXmlWriter::EscapeText("na\xc3\xafve \xe2\x82\xac"), "na\xc3\xafve \xe2\x82\xac");
    EXPECT_EQ(PropertyXmlWriter::EscapeText("\xed\xa0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(PropertyXmlWriteTest, SpecialTextSurvivesARoundTrip)
{
    SmartPtr<PropertyStore> store(new PropertyStore());
    store->AddChild(new PropertyValue("s", "String", "&#x41; <tag> \"q\" 'a' x\ny"));
    auto* node = new PropertyNode("n", "Sprite");
    node->AddChild(new PropertyValue("attr", "&amp; \"both\" 'quotes' <>", true));
    store->AddChild(node);
    auto back = Parse(store->ToXml(), false);
    EXPECT_EQ(back->GetString("s"), "&#x41; <tag> \"q\" 'a' x\ny");
    EXPECT_EQ(back->GetNode("n")->GetString("attr"), "&amp; \"both\" 'quotes' <>");
}

TEST(PropertyXmlWriteTest, UntypedTopLevelValueIsNotReadBack)
{
    SmartPtr<PropertyStore> store(new PropertyStore());
    store->AddChild(new PropertyValue("loose", "1", true));
    store->AddChild(new PropertyValue("typed", "Integer", "2"));
    const std::string xml = store->ToXml();
    EXPECT_NE(xml.find("<root loose=\"1\">"), std::string::npos);
    auto back = Parse(xml);
    EXPECT_FALSE(back->HasChild("loose"));
    EXPECT_EQ(back->GetValue("typed")->GetInt(), 2);
}

TEST(PropertyXmlGoldenTest, ReadWriteReadGivesTheSameTreeAndText)
{
    const std::string original = ReadText(kDataDir + "roundtrip.xml");
    ASSERT_FALSE(original.empty());
    auto first = Parse(original, false);
    const std::string written = first->ToXml();
    EXPECT_EQ(written, original);
    auto second = Parse(written, false);
    EXPECT_EQ(Dump(*second), Dump(*first));
    EXPECT_EQ(first->GetString("title"), "Words & <letters> \"quoted\" 'single' na\xc3\xafve \xe2\x82\xac");
    EXPECT_EQ(first->GetNode("BUTTON_OK")->GetVector("frames")->GetCount(), 3);
}

}  // namespace

}  // namespace property_xml_test
