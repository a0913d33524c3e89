#include <gtest/gtest.h>

#include "framework/core/object/BaseObject.h"
#include "framework/core/object/iGuiMethod.h"

namespace class_type_test {

namespace {

using Qmv2::BaseObject;
using Qmv2::ClassType;

// A small record family: records need not follow the class hierarchy.
class iPaint : public Qmv2::Interface {
public:
    QMV_CLASS_TYPE(iPaint, Interface)
};
class iClick : public Qmv2::Interface {
public:
    QMV_CLASS_TYPE(iClick, Interface)
};
class Node : public BaseObject {
public:
    QMV_CLASS_TYPE(Node, BaseObject)
};
class Shape : public Node, public iPaint {
public:
    QMV_CLASS_TYPE(Shape, Node, iPaint)
};
class Widget : public Shape, public iClick {
public:
    QMV_CLASS_TYPE(Widget, Shape, iClick)
};
class PushButton : public Widget {
public:
    QMV_CLASS_TYPE(PushButton, Widget)
};
// The class derives Widget, but its record names only BaseObject.
class Detached : public Widget {
public:
    QMV_CLASS_TYPE(Detached, BaseObject)
};
// No record of its own: answers its base's record.
class PlainNode : public Node {};

// Each instantiation carries a record of its own under the same name.
template <typename Payload>
class Carrier : public Node {
public:
    QMV_CLASS_TYPE(Carrier, Node)
    Payload payload{};
};

// Records are constant data: they exist before any code of the program runs.
static_assert(Widget::s_Type.GetBases()[0] == &Shape::s_Type);
static_assert(Widget::s_Type.GetName()[0] == 'W');

// Another record that happens to carry the name "Node".
constexpr ClassType kOtherNode{"Node", Qmv2::ClassTypeBases<>};

TEST(ClassTypeTest, RecordDerivesFromItselfAndEveryBaseDepthFirst)
{
    const ClassType* button = &PushButton::s_Type;
    EXPECT_TRUE(button->IsDerivedFrom(&PushButton::s_Type));
    EXPECT_TRUE(button->IsDerivedFrom(&Widget::s_Type));
    EXPECT_TRUE(button->IsDerivedFrom(&Shape::s_Type));
    EXPECT_TRUE(button->IsDerivedFrom(&Node::s_Type));
    EXPECT_TRUE(button->IsDerivedFrom(&BaseObject::s_Type));
    // Interfaces reached through second bases at two levels.
    EXPECT_TRUE(button->IsDerivedFrom(&iPaint::s_Type));
    EXPECT_TRUE(button->IsDerivedFrom(&iClick::s_Type));
    EXPECT_TRUE(button->IsDerivedFrom(&Qmv2::Interface::s_Type));
}

TEST(ClassTypeTest, UnrelatedRecordsAreNotDerived)
{
    EXPECT_FALSE(Node::s_Type.IsDerivedFrom(&Shape::s_Type));
    EXPECT_FALSE(Shape::s_Type.IsDerivedFrom(&iClick::s_Type));
    EXPECT_FALSE(iPaint::s_Type.IsDerivedFrom(&BaseObject::s_Type));
    EXPECT_FALSE(BaseObject::s_Type.IsDerivedFrom(&Qmv2::Interface::s_Type));
    EXPECT_FALSE(Qmv2::iGuiMethod::s_Type.IsDerivedFrom(&BaseObject::s_Type));
    EXPECT_TRUE(Qmv2::iGuiMethod::s_Type.IsDerivedFrom(&Qmv2::Interface::s_Type));
}

TEST(ClassTypeTest, RecordsDecideTypeTestsNotTheClassHierarchy)
{
    Detached detached;
    EXPECT_EQ(detached.GetType(), &Detached::s_Type);
    EXPECT_TRUE(detached.IsOfType(&BaseObject::s_Type));
    EXPECT_FALSE(detached.IsOfType(&Widget::s_Type));
    EXPECT_FALSE(detached.IsOfType(&Node::s_Type));
}

TEST(ClassTypeTest, RecordsAreIdentifiedByAddressNotByName)
{
    EXPECT_STREQ(kOtherNode.GetName(), Node::s_Type.GetName());
    EXPECT_FALSE(Shape::s_Type.IsDerivedFrom(&kOtherNode));
    EXPECT_FALSE(kOtherNode.IsDerivedFrom(&Node::s_Type));
    EXPECT_TRUE(kOtherNode.IsDerivedFrom(&kOtherNode));
}

TEST(ClassTypeTest, TemplateInstancesHaveDistinctRecordsOfOneName)
{
    Carrier<bool> flags;
    Carrier<int> numbers;
    EXPECT_NE(flags.GetType(), numbers.GetType());
    EXPECT_STREQ(flags.GetType()->GetName(), "Carrier");
    EXPECT_STREQ(numbers.GetType()->GetName(), "Carrier");
    EXPECT_TRUE(flags.IsOfType(&Carrier<bool>::s_Type));
    EXPECT_FALSE(flags.IsOfType(&Carrier<int>::s_Type));
    EXPECT_TRUE(numbers.IsOfType(&Node::s_Type));
}

TEST(ClassTypeTest, RecordHoldsNameAndNullTerminatedBases)
{
    EXPECT_STREQ(Widget::s_Type.GetName(), "Widget");
    const ClassType* const* bases = Widget::s_Type.GetBases();
    ASSERT_NE(bases, nullptr);
    EXPECT_EQ(bases[0], &Shape::s_Type);
    EXPECT_EQ(bases[1], &iClick::s_Type);
    EXPECT_EQ(bases[2], nullptr);
    ASSERT_NE(BaseObject::s_Type.GetBases(), nullptr);
    EXPECT_EQ(BaseObject::s_Type.GetBases()[0], nullptr);
}

TEST(ClassTypeTest, ClassWithoutRecordAnswersItsBaseRecord)
{
    PlainNode plain;
    EXPECT_EQ(plain.GetType(), &Node::s_Type);
    BaseObject base;
    EXPECT_EQ(base.GetType(), &BaseObject::s_Type);
    Qmv2::iGuiMethod method;
    EXPECT_EQ(method.GetType(), &Qmv2::iGuiMethod::s_Type);
}

}  // namespace

}  // namespace class_type_test
