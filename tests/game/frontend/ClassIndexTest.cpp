#include <gtest/gtest.h>

#include <set>
#include <string>

#include "framework/core/object/ClassIndex.h"
#include "framework/core/properties/PropertyStore.h"
#include "framework/core/properties/PropertyValue.h"
#include "framework/sound/SoundRecords.h"
#include "game/frontend/FrontendClasses.h"
#include "game/frontend/FrontendRecords.h"

namespace class_index_test {

namespace {

using namespace Qmv2;

TEST(ClassIndexTest, HoldsEveryRecordOnceWithOnlyTheMessageDataNameShared)
{
    RegisterProgramClasses();
    // Every record but the word tree's, which its own class defines.
    ASSERT_EQ(ClassIndex::RecordCount(), 170);
    std::set<const ClassType*> addresses;
    std::multiset<std::string> names;
    for (int i = 0; i < ClassIndex::RecordCount(); ++i) {
        const ClassType* record = ClassIndex::AllRecords()[i];
        ASSERT_NE(record, nullptr);
        addresses.insert(record);
        names.insert(record->GetName());
    }
    EXPECT_EQ(addresses.size(), 170u);
    for (const std::string& name : names) {
        EXPECT_EQ(names.count(name), name == "TemplateMessageData" ? 2u : 1u) << name;
    }
}

TEST(ClassIndexTest, EveryBaseIsItselfInTheIndex)
{
    RegisterProgramClasses();
    std::set<const ClassType*> all(ClassIndex::AllRecords(), ClassIndex::AllRecords() + ClassIndex::RecordCount());
    for (const ClassType* record : all) {
        for (const ClassType* const* base = record->GetBases(); *base != nullptr; ++base) {
            EXPECT_TRUE(all.count(*base)) << record->GetName() << " has a base outside the index";
        }
    }
}

TEST(ClassIndexTest, RootsHaveNoBases)
{
    RegisterProgramClasses();
    // The message listener's record belongs to its own class.
    for (const char* root : {"Interface", "AbstractProperty", "BaseObject", "AnchorPoint", "iHitMask", "iMessageListener"}) {
        const ClassType* record = ClassIndex::FindRecord(root);
        ASSERT_NE(record, nullptr) << root;
        EXPECT_EQ(record->GetBases()[0], nullptr) << root;
    }
}

TEST(ClassIndexTest, RecordsDecideTypeTestsWhereTheyDifferFromTheHierarchy)
{
    namespace R = ClassIndex;
    EXPECT_FALSE(R::Quorvel2Main.IsDerivedFrom(&R::Application));
    EXPECT_TRUE(R::Quorvel2Main.IsDerivedFrom(&R::BaseObject));
    EXPECT_FALSE(R::ModifierAlpha.IsDerivedFrom(&R::ModifierFraction));
    EXPECT_TRUE(R::ModifierAlpha.IsDerivedFrom(&R::Modifier));
    EXPECT_TRUE(R::ModifierScale.IsDerivedFrom(&R::ModifierFraction));
    EXPECT_TRUE(R::Sound.IsDerivedFrom(&R::GameNode));
    EXPECT_FALSE(R::SoundManager.IsDerivedFrom(&R::iTask));
    EXPECT_TRUE(R::SoundManager.IsDerivedFrom(&R::iMessageListener));
    EXPECT_FALSE(R::InputHandler.IsDerivedFrom(&R::iMessageListener));
    EXPECT_TRUE(R::Quorvel2GameSettings.IsDerivedFrom(&R::BaseObject));
    EXPECT_FALSE(R::PropertyStore.IsDerivedFrom(&R::BaseObject));
    EXPECT_TRUE(R::PropertyStore.IsDerivedFrom(&R::AbstractProperty));
    EXPECT_FALSE(R::iHitMask.IsDerivedFrom(&R::Interface));
    EXPECT_FALSE(R::DialogPause.IsDerivedFrom(&R::iGuiMethod));
    EXPECT_TRUE(R::DialogPause.IsDerivedFrom(&R::iInputListener));
    EXPECT_FALSE(R::GameWindowWin32.IsDerivedFrom(&R::iMessageListener));
    EXPECT_FALSE(R::LetterBox.IsDerivedFrom(&R::iInputListener));
    EXPECT_FALSE(R::Switch.IsDerivedFrom(&R::iHitMask));
    EXPECT_TRUE(R::Switch.IsDerivedFrom(&R::iGuiMethod));
    EXPECT_FALSE(R::ModifierFunction.IsDerivedFrom(&R::iGuiMethod));
    EXPECT_FALSE(R::DialogSettings.IsDerivedFrom(&R::GameSettings));
    EXPECT_TRUE(R::CrisscrossScene.IsDerivedFrom(&R::Dialog));
    EXPECT_TRUE(R::ImageDataBufferD3D.IsDerivedFrom(&R::iRenderTarget));
    EXPECT_TRUE(R::ImageDataBufferD3D.IsDerivedFrom(&R::ImageData));
    EXPECT_TRUE(R::Tooltip.IsDerivedFrom(&R::iInputListener));
    EXPECT_TRUE(R::ModifierLetterballContainer.IsDerivedFrom(&R::ModifierContainer));
}

TEST(ClassIndexTest, SpriteBasesKeepTheirDeclaredOrder)
{
    const ClassType* const* bases = ClassIndex::Sprite.GetBases();
    EXPECT_EQ(bases[0], &ClassIndex::GameNode);
    EXPECT_EQ(bases[1], &ClassIndex::iRenderable);
    EXPECT_EQ(bases[2], &ClassIndex::GraphicsSettings);
    EXPECT_EQ(bases[3], &ClassIndex::iClippable);
    EXPECT_EQ(bases[4], nullptr);
}

TEST(ClassIndexTest, TheTwoMessageDataRecordsAreDifferentTypes)
{
    EXPECT_FALSE(ClassIndex::TemplateMessageDataBool.IsDerivedFrom(&ClassIndex::TemplateMessageDataStrings));
    EXPECT_EQ(ClassIndex::FindRecord("TemplateMessageData"), &ClassIndex::TemplateMessageDataBool);
    EXPECT_EQ(ClassIndex::FindRecord("templatemessagedata"), nullptr);
}

TEST(ClassIndexTest, IndexedClassesAnswerTheirIndexRecord)
{
    SmartPtr<PropertyValue> value(new PropertyValue("a", "x", true));
    SmartPtr<PropertyStore> store(new PropertyStore());
    EXPECT_EQ(value->GetType(), &ClassIndex::PropertyValue);
    EXPECT_EQ(store->GetType(), &ClassIndex::PropertyStore);
    EXPECT_FALSE(value->IsOfType(&BaseObject::s_Type));
    EXPECT_TRUE(store->IsOfType(&PropertyNode::s_Type));
    EXPECT_EQ(store->ToShortString().rfind("PropertyStore: 0x", 0), 0u);
}

}  // namespace

}  // namespace class_index_test
