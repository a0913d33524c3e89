#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "framework/core/object/BaseObject.h"
#include "framework/core/object/iGuiMethod.h"
#include "TrackedObject.h"

namespace base_object_test {

namespace {

using Qmv2::BaseObject;
using Qmv2::ClassType;
using Qmv2::Interface;
using QmvTest::TrackedObject;

class iPaint : public Interface {
public:
    QMV_CLASS_TYPE(iPaint, Interface)
};
class iClip : public Interface {
public:
    QMV_CLASS_TYPE(iClip, Interface)
};
class iClick : public Interface {
public:
    QMV_CLASS_TYPE(iClick, Interface)
};

// Answers iPaint and iClip, like a drawable node.
class Picture : public BaseObject, public iPaint, public iClip {
public:
    QMV_CLASS_TYPE(Picture, BaseObject, iPaint, iClip)

    Interface* GetInterface(const ClassType* type) override
    {
        if (type == &iPaint::s_Type) {
            return static_cast<iPaint*>(this);
        }
        if (type == &iClip::s_Type) {
            return static_cast<iClip*>(this);
        }
        return BaseObject::GetInterface(type);
    }
};

// Adds iClick and its bound callback, but answers only iClick itself.
class ClickablePicture : public Picture, public iClick, public Qmv2::iGuiMethod {
public:
    QMV_CLASS_TYPE(ClickablePicture, Picture, iClick)

    Interface* GetInterface(const ClassType* type) override
    {
        if (type == &iClick::s_Type) {
            return static_cast<iClick*>(this);
        }
        return Picture::GetInterface(type);
    }
};

TEST(BaseObjectTest, NewObjectHasCountZeroAndDiesAtTheReleaseThatReachesZero)
{
    int destroyed = 0;
    auto* object = new TrackedObject(&destroyed);
    EXPECT_EQ(object->GetRefCount(), 0);
    object->AddRef();
    object->AddRef();
    EXPECT_EQ(object->GetRefCount(), 2);
    object->Release();
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(object->GetRefCount(), 1);
    object->Release();
    EXPECT_EQ(destroyed, 1);
}

TEST(BaseObjectTest, ReleaseThatDoesNotReachExactlyZeroDestroysNothing)
{
    int destroyed = 0;
    TrackedObject object(&destroyed);  // not on the heap: a wrong destruction would crash
    object.Release();
    EXPECT_EQ(object.GetRefCount(), -1);
    EXPECT_EQ(destroyed, 0);
    object.AddRef();
    object.AddRef();
    object.AddRef();
    object.Release();
    EXPECT_EQ(object.GetRefCount(), 1);
    EXPECT_EQ(destroyed, 0);
}

TEST(BaseObjectTest, CopyIsANewObjectWithoutHolders)
{
    int destroyed = 0;
    auto* original = new TrackedObject(&destroyed, 7);
    original->AddRef();
    original->AddRef();
    auto* copy = new TrackedObject(*original);
    EXPECT_EQ(copy->GetRefCount(), 0);
    EXPECT_EQ(copy->GetId(), 7);
    copy->AddRef();
    copy->Release();
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(original->GetRefCount(), 2);
    original->Release();
    original->Release();
    EXPECT_EQ(destroyed, 2);
}

TEST(BaseObjectTest, InterfaceQueryAnswersTheMatchingSubObject)
{
    Picture picture;
    Interface* paint = picture.GetInterface(&iPaint::s_Type);
    Interface* clip = picture.GetInterface(&iClip::s_Type);
    EXPECT_EQ(paint, static_cast<Interface*>(static_cast<iPaint*>(&picture)));
    EXPECT_EQ(clip, static_cast<Interface*>(static_cast<iClip*>(&picture)));
    EXPECT_NE(paint, clip);
    EXPECT_EQ(picture.GetInterface(&iClick::s_Type), nullptr);
    EXPECT_EQ(picture.GetInterface(&Interface::s_Type), nullptr);
    EXPECT_EQ(picture.GetInterface(&Picture::s_Type), nullptr);
    EXPECT_EQ(picture.GetInterface(nullptr), nullptr);
}

TEST(BaseObjectTest, InterfaceQueryFallsBackToTheBaseClass)
{
    ClickablePicture button;
    // An interface added by the base class gets the base class's answer.
    EXPECT_EQ(Qmv2::InterfaceCast<iClip>(&button), static_cast<iClip*>(&button));
    EXPECT_EQ(Qmv2::InterfaceCast<iClick>(&button), static_cast<iClick*>(&button));
    // The bound-callback part is not answered by this class.
    EXPECT_EQ(Qmv2::InterfaceCast<Qmv2::iGuiMethod>(&button), nullptr);
    EXPECT_EQ(Qmv2::InterfaceCast<iClick>(nullptr), nullptr);

    BaseObject plain;
    EXPECT_EQ(plain.GetInterface(&iPaint::s_Type), nullptr);
}

TEST(BaseObjectTest, DescribingTextsNameTheRecordAndTheAddressInUpperCaseHex)
{
    TrackedObject object;
    const std::string full = object.ToString();
    const std::string brief = object.ToShortString();
    const std::string prefix = "TrackedObject: 0x";
    ASSERT_EQ(full.rfind(prefix, 0), 0u) << full;
    ASSERT_EQ(full.substr(full.size() - 2), "; ");
    EXPECT_EQ(brief, full.substr(0, full.size() - 2));

    const std::string digits = brief.substr(prefix.size());
    ASSERT_FALSE(digits.empty());
    EXPECT_NE(digits.front(), '0');
    EXPECT_EQ(digits.find_first_not_of("0123456789ABCDEF"), std::string::npos) << digits;
    EXPECT_EQ(std::stoull(digits, nullptr, 16),
              reinterpret_cast<std::uintptr_t>(static_cast<const BaseObject*>(&object)));

    // A class without a record of its own describes itself by its base's name.
    class Unrecorded : public TrackedObject {};
    EXPECT_EQ(Unrecorded().ToShortString().rfind(prefix, 0), 0u);
}

TEST(GuiMethodTest, InvokeCallsTheBoundFunctionWithTargetAndArgument)
{
    struct Call {
        void* target = nullptr;
        void* argument = nullptr;
        int times = 0;
    };
    static Call call;
    call = Call{};
    int target = 0;
    int argument = 0;

    Qmv2::iGuiMethod method;
    EXPECT_FALSE(method.IsBound());
    method.InvokeIfBound(&argument);
    method.Invoke(&argument);  // unbound: nothing happens
    EXPECT_EQ(call.times, 0);

    method.SetMethod(&target, [](void* t, void* a) {
        call.target = t;
        call.argument = a;
        ++call.times;
    });
    EXPECT_TRUE(method.IsBound());
    EXPECT_EQ(method.GetTarget(), &target);
    method.Invoke(&argument);
    method.InvokeIfBound(nullptr);
    EXPECT_EQ(call.times, 2);
    EXPECT_EQ(call.target, &target);
    EXPECT_EQ(call.argument, nullptr);
    EXPECT_EQ(method.GetOwner(), nullptr);
}

}  // namespace

}  // namespace base_object_test
