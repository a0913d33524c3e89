// The board sprite answers as an input listener (so input reaches it and
// its owner) and is otherwise a sprite built like any other.
#include <gtest/gtest.h>

#include "framework/core/object/SmartPtr.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyValue.h"
#include "framework/scene/ClickableSprite.h"

namespace clickable_sprite_test {

using namespace Qmv2;

TEST(ClickableSprite, IsASpriteThatListensForInput)
{
    SmartPtr<PropertyNode> description(new PropertyNode("board", "ClickableSprite"));
    description->AddChild(new PropertyValue("x", "Float", "12"));
    description->AddChild(new PropertyValue("y", "Float", "34"));
    SmartPtr<ClickableSprite> board(new ClickableSprite(description.Get()));
    EXPECT_FLOAT_EQ(board->GetPosition().x, 12.0f);
    EXPECT_FLOAT_EQ(board->GetPosition().y, 34.0f);
    EXPECT_TRUE(board->IsOfType(&Sprite::s_Type));
    EXPECT_EQ(board->GetType(), &ClickableSprite::s_Type);
    BaseObject* object = board.Get();
    EXPECT_EQ(object->GetInterface(&iInputListener::s_Type), static_cast<iInputListener*>(board.Get()));

    SmartPtr<ClickableSprite> placed(new ClickableSprite(5.0f, 6.0f));
    EXPECT_FLOAT_EQ(placed->GetPosition().x, 5.0f);
    EXPECT_NE(placed->GetInterface(&iInputListener::s_Type), nullptr);
    // A plain sprite is no listener.
    SmartPtr<Sprite> plain(new Sprite(0.0f, 0.0f, nullptr));
    EXPECT_EQ(plain->GetInterface(&iInputListener::s_Type), nullptr);
}

}  // namespace clickable_sprite_test
