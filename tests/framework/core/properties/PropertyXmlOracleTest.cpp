// Every file the property store writes must be well-formed XML for parsers
// that nobody here wrote: xmllint and Python's xml.etree.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "framework/core/properties/PropertyStore.h"
#include "framework/core/util/Random.h"

namespace property_xml_oracle_test {

namespace {

using namespace Qmv2;
namespace fs = std::filesystem;

constexpr int kFileCount = 60;

// Text of random bytes, biased towards markup, control and non-ASCII bytes.
std::string RandomText(Rand& random, int maxLength)
{
    static const char kInteresting[] = "<>&\"';=/ \t\n\r#x:-._!?[]";
    std::string text;
    const int length = random.Range(0, maxLength);
    for (int i = 0; i < length; ++i) {
        switch (random.Range(0, 4)) {
        case 0: text += static_cast<char>(random.Range(0, 256)); break;
        case 1: text += kInteresting[random.Range(0, sizeof kInteresting - 1)]; break;
        case 2: text += "\xc3\xa9\xe2\x82\xac"; break;
        default: text += static_cast<char>('a' + random.Range(0, 26)); break;
        }
    }
    return text;
}

AbstractProperty* RandomProperty(Rand& random, int depth)
{
    static const char* const kTypeWords[] = {"", "Integer", "String", "Float", "Sprite", "Node", "root", "a b",
                                             "1x", "x:y", "xmlns", "Boolean"};
    const std::string name = random.Range(0, 3) == 0 ? std::string("id") : RandomText(random, 8);
    const std::string typeWord = kTypeWords[random.Range(0, 12)];
    const int kind = depth > 4 ? 0 : random.Range(0, 3);
    if (kind == 0) {
        return new PropertyValue(name, typeWord, RandomText(random, 20));
    }
    if (kind == 1) {
        auto* vector = new PropertyVector(name);
        for (int i = random.Range(0, 4); i > 0; --i) {
            vector->AddItem(RandomProperty(random, depth + 1));
        }
        return vector;
    }
    auto* node = new PropertyNode(name, typeWord);
    for (int i = random.Range(0, 6); i > 0; --i) {
        node->AddChild(RandomProperty(random, depth + 1));
    }
    // Setup resolution can leave a second child of one name in the order.
    if (random.Range(0, 4) == 0) {
        node->AddChild(new PropertyValue("setup", "s", true));
        node->RemoveChild("nothing");
    }
    return node;
}

class PropertyXmlOracleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_Folder = fs::path(QMV_BINARY_DIR) / "test-home" / "props-oracle" / info->name();
        fs::remove_all(m_Folder);
        fs::create_directories(m_Folder);
        Rand random(20240611);
        for (int i = 0; i < kFileCount; ++i) {
            SmartPtr<PropertyStore> store(new PropertyStore((m_Folder / ("f" + std::to_string(i) + ".xml")).string()));
            store->SetLoadFlags(0);
            for (int k = random.Range(1, 8); k > 0; --k) {
                store->AddChild(RandomProperty(random, 0));
            }
            ASSERT_TRUE(store->SaveFile());
        }
    }
    void TearDown() override { fs::remove_all(m_Folder); }

    std::string Files() const { return m_Folder.string() + "/*.xml"; }

    fs::path m_Folder;
};

TEST_F(PropertyXmlOracleTest, XmllintAcceptsEveryWrittenFile)
{
    const std::string command = "xmllint --noout " + Files();
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
}

TEST_F(PropertyXmlOracleTest, PythonElementTreeAcceptsEveryWrittenFile)
{
    const std::string command = "/usr/bin/python3 -c \"import glob, sys, xml.etree.ElementTree as E\n"
                                "files = glob.glob(sys.argv[1])\n"
                                "assert len(files) == " + std::to_string(kFileCount) + "\n"
                                "[E.parse(f) for f in files]\" '" + Files() + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
}

TEST_F(PropertyXmlOracleTest, StoreReadsBackWhatItWrote)
{
    for (int i = 0; i < kFileCount; ++i) {
        const std::string path = (m_Folder / ("f" + std::to_string(i) + ".xml")).string();
        SmartPtr<PropertyStore> first(new PropertyStore(path));
        first->SetLoadFlags(0);
        first->SetCondenseWhiteSpace(false);
        ASSERT_TRUE(first->Load()) << path;
        // What was read writes the same text again, and reads back to it.
        const std::string written = first->ToXml();
        SmartPtr<PropertyStore> second(new PropertyStore());
        second->SetCondenseWhiteSpace(false);
        second->LoadFile(0, path);
        EXPECT_EQ(second->ToXml(), written) << path;
    }
}

}  // namespace

}  // namespace property_xml_oracle_test
