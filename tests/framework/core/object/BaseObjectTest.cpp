#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <new>
#include <string>

#include "framework/core/object/BaseObject.h"
#include "framework/core/object/iGuiMethod.h"
#include "TrackedObject.h"

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

std::string HexAddress(const void* address)
{
    char text[32];
    std::snprintf(text, sizeof text, "0x%" PRIXPTR, reinterpret_cast<std::uintptr_t>(address));
    return text;
}

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

TEST(BaseObjectTest, AddRefThenReleaseOfAnUnheldObjectDestroysIt)
{
    int destroyed = 0;
    auto* object = new TrackedObject(&destroyed);
    object->AddRef();
    object->Release();
    EXPECT_EQ(destroyed, 1);
}

TEST(BaseObjectTest, GetObjectAnswersTheObjectItself)
{
    TrackedObject object;
    EXPECT_EQ(object.GetObject(), static_cast<BaseObject*>(&object));
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

TEST(BaseObjectTest, DescribingTextsNameTheRecordAndTheAddress)
{
    TrackedObject object;
    const std::string address = HexAddress(static_cast<const BaseObject*>(&object));
    EXPECT_EQ(object.ToString(), "TrackedObject: " + address + "; ");
    EXPECT_EQ(object.ToShortString(), "TrackedObject: " + address);
}

TEST(BaseObjectTest, AddressTextIsUpperCaseHexWithoutLeadingZeros)
{
    // The digits must read back as the object's own address.
    alignas(BaseObject) unsigned char storage[sizeof(BaseObject)];
    auto* object = new (storage) BaseObject();
    const std::string text = object->ToShortString();
    const std::string digits = text.substr(std::string("BaseObject: 0x").size());
    EXPECT_EQ(text.rfind("BaseObject: 0x", 0), 0u);
    ASSERT_FALSE(digits.empty());
    EXPECT_NE(digits.front(), '0');
    EXPECT_EQ(digits.find_first_not_of("0123456789ABCDEF"), std::string::npos);
    EXPECT_EQ(std::stoull(digits, nullptr, 16), reinterpret_cast<std::uintptr_t>(object));
    object->~BaseObject();
}

TEST(BaseObjectTest, InterfaceHasNoOwnerByDefault)
{
    Picture picture;
    EXPECT_EQ(static_cast<iPaint&>(picture).GetOwner(), nullptr);
    Interface* asInterface = static_cast<iClip*>(&picture);
    EXPECT_EQ(asInterface->GetType(), &Picture::s_Type);
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
