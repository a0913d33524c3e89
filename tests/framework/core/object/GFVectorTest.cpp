#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "framework/core/object/GFVector.h"
#include "framework/core/object/SmartPtr.h"
#include "TrackedObject.h"

namespace gf_vector_test {

namespace {

using Qmv2::GFVector;
using Qmv2::SmartPtr;
using QmvTest::TrackedObject;
using Strings = std::vector<std::string>;

// Short texts live inside the string object itself, long ones on the heap;
// both must survive every relocation.
std::string Text(int i)
{
    return i % 2 == 0 ? "s" + std::to_string(i) : "a long text that does not fit in place, number " + std::to_string(i);
}

GFVector<std::string> MakeTexts(int count)
{
    GFVector<std::string> texts;
    for (int i = 0; i < count; ++i) {
        texts.PushBack(Text(i));
    }
    return texts;
}

Strings Expected(int count)
{
    Strings texts;
    for (int i = 0; i < count; ++i) {
        texts.push_back(Text(i));
    }
    return texts;
}

Strings Contents(const GFVector<std::string>& v)
{
    return Strings(v.begin(), v.end());
}

// Counts live instances; its copy throws when the shared budget runs out.
struct Fragile {
    inline static int s_Live = 0;
    inline static int s_CopiesLeft = 1 << 30;

    explicit Fragile(int v = 0) : value(v) { ++s_Live; }
    Fragile(const Fragile& other) : value(other.value)
    {
        if (s_CopiesLeft-- <= 0) {
            throw std::runtime_error("copy refused");
        }
        ++s_Live;
    }
    Fragile(Fragile&& other) noexcept : value(other.value) { ++s_Live; }
    ~Fragile() { --s_Live; }
    Fragile& operator=(const Fragile&) = default;

    int value;
};

std::vector<int> Values(const GFVector<Fragile>& v)
{
    std::vector<int> values;
    for (const Fragile& f : v) {
        values.push_back(f.value);
    }
    return values;
}

class GFVectorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Fragile::s_Live = 0;
        Fragile::s_CopiesLeft = 1 << 30;
    }
    void TearDown() override { EXPECT_EQ(Fragile::s_Live, 0); }
};

TEST_F(GFVectorTest, AppendingOneAtATimeGrowsTo16ThenDoubles)
{
    GFVector<int> v;
    std::vector<int32_t> capacities;
    for (int i = 0; i < 70; ++i) {
        int* added = v.PushBack(i);
        EXPECT_EQ(added, &v[i]);
        EXPECT_EQ(*added, i);
        if (capacities.empty() || capacities.back() != v.GetCapacity()) {
            capacities.push_back(v.GetCapacity());
        }
        if (i == 0) {
            EXPECT_EQ(v.GetCapacity(), 16);
        }
        if (i == 16) {
            EXPECT_EQ(v.GetCapacity(), 32);
        }
    }
    EXPECT_EQ(capacities, (std::vector<int32_t>{16, 32, 64, 128}));
    for (int i = 0; i < 70; ++i) {
        ASSERT_EQ(v[i], i);
    }
}

TEST_F(GFVectorTest, ExactCapacitiesGrowFromThemselves)
{
    GFVector<int> three;
    for (int i = 0; i < 3; ++i) {
        three.PushBack(i);
    }
    GFVector<int> copy(three);
    EXPECT_EQ(copy.GetCapacity(), 3);
    copy.PushBack(3);
    EXPECT_EQ(copy.GetCapacity(), 16);

    GFVector<int> five;
    five.Reallocate(5);
    EXPECT_EQ(five.GetCapacity(), 5);
    five.Reserve(6);
    EXPECT_EQ(five.GetCapacity(), 16);
    five.Reserve(17);
    EXPECT_EQ(five.GetCapacity(), 32);

    GFVector<int> twenty;
    twenty.Reallocate(20);
    twenty.Resize(20);
    twenty.PushBack(1);
    EXPECT_EQ(twenty.GetCapacity(), 40);
    twenty.Reserve(41);
    EXPECT_EQ(twenty.GetCapacity(), 80);
    twenty.Reserve(10);  // already large enough
    EXPECT_EQ(twenty.GetCapacity(), 80);
    twenty.Reserve(300);  // doubled until it fits
    EXPECT_EQ(twenty.GetCapacity(), 320);
}

TEST_F(GFVectorTest, ReallocateSetsCapacityExactlyButKeepsEveryElement)
{
    GFVector<std::string> v = MakeTexts(10);
    v.Reallocate(12);
    EXPECT_EQ(v.GetCapacity(), 12);
    EXPECT_EQ(Contents(v), Expected(10));
    v.Reallocate(4);  // below the count: the elements stay
    EXPECT_EQ(v.GetCapacity(), 10);
    EXPECT_EQ(Contents(v), Expected(10));
    GFVector<std::string> empty;
    empty.Reallocate(0);
    EXPECT_EQ(empty.GetData(), nullptr);
}

TEST_F(GFVectorTest, StringsSurviveGrowth)
{
    GFVector<std::string> v = MakeTexts(100);
    EXPECT_EQ(v.GetCapacity(), 128);
    EXPECT_EQ(Contents(v), Expected(100));
}

TEST_F(GFVectorTest, PushBackOfItsOwnElementWhileGrowing)
{
    GFVector<std::string> v = MakeTexts(16);
    ASSERT_EQ(v.GetCount(), v.GetCapacity());
    v.PushBack(v[1]);
    v.PushBack(std::string(v[0]));
    Strings expected = Expected(16);
    expected.push_back(Text(1));
    expected.push_back(Text(0));
    EXPECT_EQ(Contents(v), expected);
}

TEST_F(GFVectorTest, FailedCopyLeavesTheVectorAsItWas)
{
    GFVector<Fragile> v;
    for (int i = 0; i < 16; ++i) {
        v.PushBack(Fragile(i));
    }
    const std::vector<int> before = Values(v);
    const Fragile extra(99);
    Fragile::s_CopiesLeft = 0;
    EXPECT_THROW(v.PushBack(extra), std::runtime_error);  // would grow
    EXPECT_EQ(Values(v), before);
    EXPECT_EQ(v.GetCapacity(), 16);

    const Fragile three[3] = {Fragile(-1), Fragile(-2), Fragile(-3)};
    Fragile::s_CopiesLeft = 2;  // the third copy fails
    EXPECT_THROW(v.Insert(v.begin() + 3, three, 3), std::runtime_error);  // grows
    EXPECT_EQ(Values(v), before);
    v.Resize(10);
    v.Reallocate(16);
    Fragile::s_CopiesLeft = 2;
    EXPECT_THROW(v.Insert(v.begin() + 8, three, 3), std::runtime_error);  // in place
    EXPECT_EQ(Values(v), std::vector<int>(before.begin(), before.begin() + 10));
    EXPECT_EQ(Fragile::s_Live, 10 + 1 + 3);
}

TEST_F(GFVectorTest, InsertAtTheEnd)
{
    GFVector<std::string> v = MakeTexts(4);
    const std::string tail[2] = {"x", "a long appended text that lives on the heap"};
    std::string* first = v.Insert(v.end(), tail, 2);
    EXPECT_EQ(first, &v[4]);
    EXPECT_EQ(v.GetCapacity(), 16);
    // Past the end still appends.
    first = v.Insert(v.end() + 5, tail, 1);
    EXPECT_EQ(first, &v[6]);
    Strings expected = Expected(4);
    expected.insert(expected.end(), {tail[0], tail[1], tail[0]});
    EXPECT_EQ(Contents(v), expected);

    // Appending beyond the capacity grows by the rule.
    GFVector<std::string> full = MakeTexts(16);
    const std::string many[20] = {};
    full.Insert(full.end(), many, 20);
    EXPECT_EQ(full.GetCapacity(), 64);
    EXPECT_EQ(full.GetCount(), 36);
    EXPECT_EQ(full[15], Text(15));
    EXPECT_EQ(full[35], "");
}

TEST_F(GFVectorTest, InsertInPlaceWhenMoreAreInsertedThanFollow)
{
    GFVector<std::string> v = MakeTexts(5);
    const std::string* block = v.GetData();
    const std::string added[3] = {"p", "q", "a long inserted text, too long to be kept in place"};
    std::string* first = v.Insert(v.begin() + 4, added, 3);
    EXPECT_EQ(v.GetData(), block);
    EXPECT_EQ(first, v.begin() + 4);
    EXPECT_EQ(Contents(v), (Strings{Text(0), Text(1), Text(2), Text(3), "p", "q", added[2], Text(4)}));
}

TEST_F(GFVectorTest, InsertInPlaceWhenThePositionIsPastTheMiddle)
{
    GFVector<std::string> v = MakeTexts(10);
    const std::string* block = v.GetData();
    const std::string added = "new";
    v.Insert(v.begin() + 8, &added, 1);
    EXPECT_EQ(v.GetData(), block);
    EXPECT_EQ(v.GetCapacity(), 16);
    Strings expected = Expected(10);
    expected.insert(expected.begin() + 8, "new");
    EXPECT_EQ(Contents(v), expected);
}

TEST_F(GFVectorTest, InsertNearTheFrontMovesToANewBlock)
{
    GFVector<std::string> v = MakeTexts(10);
    const std::string added[2] = {"first new", "second new, a long text for the heap"};
    std::string* first = v.Insert(v.begin() + 2, added, 2);
    EXPECT_EQ(v.GetCapacity(), 16);
    EXPECT_EQ(first, &v[2]);
    Strings expected = Expected(10);
    expected.insert(expected.begin() + 2, {added[0], added[1]});
    EXPECT_EQ(Contents(v), expected);

    // A block smaller than 16 is raised to 16 even when the elements would fit.
    GFVector<std::string> small = MakeTexts(4);
    small.Reallocate(10);
    small.Insert(small.begin(), added, 1);
    EXPECT_EQ(small.GetCapacity(), 16);
    EXPECT_EQ(Contents(small), (Strings{added[0], Text(0), Text(1), Text(2), Text(3)}));
}

TEST_F(GFVectorTest, InsertBeyondTheCapacityGrows)
{
    GFVector<std::string> v = MakeTexts(16);
    const std::string added[3] = {"x", "y", "z"};
    std::string* first = v.Insert(v.begin() + 5, added, 3);
    EXPECT_EQ(v.GetCapacity(), 32);
    EXPECT_EQ(first, &v[5]);
    Strings expected = Expected(16);
    expected.insert(expected.begin() + 5, {"x", "y", "z"});
    EXPECT_EQ(Contents(v), expected);
}

TEST_F(GFVectorTest, InsertOfNothingChangesNothing)
{
    const GFVector<std::string> made = MakeTexts(3);
    GFVector<std::string> v(made);  // capacity exactly 3: any growth would show
    std::string* position = v.Insert(v.begin() + 1, nullptr, 0);
    EXPECT_EQ(position, &v[1]);
    EXPECT_EQ(v.GetCapacity(), 3);
    EXPECT_EQ(Contents(v), Expected(3));
}

TEST_F(GFVectorTest, InsertCopiesOfOneValue)
{
    GFVector<std::string> v = MakeTexts(3);
    v.Insert(v.begin() + 1, 2, std::string("twice, and long enough for the heap"));
    EXPECT_EQ(Contents(v), (Strings{Text(0), "twice, and long enough for the heap",
                                    "twice, and long enough for the heap", Text(1), Text(2)}));
    // The value may be an element that the insertion moves.
    v.Insert(v.begin(), 3, v[4]);
    EXPECT_EQ(v.GetCount(), 8);
    EXPECT_EQ(v[0], Text(2));
    EXPECT_EQ(v[2], Text(2));
    EXPECT_EQ(v[7], Text(2));
}

TEST_F(GFVectorTest, InsertOfItsOwnElements)
{
    // In place: the source range is among the elements that move up.
    GFVector<std::string> v = MakeTexts(10);
    v.Insert(v.begin() + 8, v.begin() + 7, 3);
    Strings expected = Expected(10);
    expected.insert(expected.begin() + 8, {Text(7), Text(8), Text(9)});
    EXPECT_EQ(Contents(v), expected);

    // Growing: the source lives in the block being replaced.
    GFVector<std::string> full = MakeTexts(16);
    full.Insert(full.begin() + 1, full.begin() + 10, 4);
    Strings grown = Expected(16);
    grown.insert(grown.begin() + 1, {Text(10), Text(11), Text(12), Text(13)});
    EXPECT_EQ(Contents(full), grown);
}

TEST_F(GFVectorTest, EraseOfAnEmptyOrReversedRangeChangesNothing)
{
    GFVector<std::string> v = MakeTexts(5);
    std::string* first = v.begin() + 2;
    EXPECT_EQ(v.Erase(first, first), first);
    EXPECT_EQ(v.Erase(first, first - 1), first);
    EXPECT_EQ(Contents(v), Expected(5));
    EXPECT_EQ(v.GetCapacity(), 16);
}

TEST_F(GFVectorTest, EraseOfTheWholeContent)
{
    GFVector<std::string> v = MakeTexts(20);
    const int32_t capacity = v.GetCapacity();
    std::string* position = v.Erase(v.begin(), v.end());
    EXPECT_EQ(v.GetCount(), 0);
    EXPECT_GE(v.GetCapacity(), capacity);
    EXPECT_EQ(position, v.end());
}

TEST_F(GFVectorTest, EraseAtTheEndMovesNothing)
{
    GFVector<std::string> v = MakeTexts(10);
    std::string* position = v.Erase(v.begin() + 7, v.end());
    EXPECT_EQ(position, v.end());
    EXPECT_EQ(Contents(v), Expected(7));
}

TEST_F(GFVectorTest, EraseOfMoreThanFollow)
{
    GFVector<std::string> v = MakeTexts(10);
    std::string* position = v.Erase(v.begin() + 3, v.begin() + 8);
    EXPECT_EQ(position, &v[3]);
    EXPECT_EQ(*position, Text(8));
    EXPECT_EQ(Contents(v), (Strings{Text(0), Text(1), Text(2), Text(8), Text(9)}));
    EXPECT_EQ(v.GetCapacity(), 16);
}

TEST_F(GFVectorTest, EraseOfFewerThanFollowInTheMiddle)
{
    GFVector<std::string> v = MakeTexts(10);
    std::string* position = v.Erase(v.begin() + 2, v.begin() + 4);
    EXPECT_EQ(position, &v[2]);
    Strings expected = Expected(10);
    expected.erase(expected.begin() + 2, expected.begin() + 4);
    EXPECT_EQ(Contents(v), expected);
    EXPECT_EQ(v.GetCapacity(), 16);
}

TEST_F(GFVectorTest, EraseAtTheFrontAnswersAPositionInTheNewBlock)
{
    GFVector<std::string> source = MakeTexts(10);
    GFVector<std::string> v(source);
    ASSERT_EQ(v.GetCapacity(), 10);
    std::string* position = v.Erase(v.begin(), v.begin() + 2);
    EXPECT_EQ(v.GetCapacity(), 16);
    EXPECT_EQ(position, v.GetData());
    EXPECT_EQ(*position, Text(2));
    Strings expected = Expected(10);
    expected.erase(expected.begin(), expected.begin() + 2);
    EXPECT_EQ(Contents(v), expected);
}

TEST_F(GFVectorTest, EraseOfHoldersReleasesExactlyTheErased)
{
    int destroyed = 0;
    GFVector<SmartPtr<TrackedObject>> holders;
    for (int i = 0; i < 10; ++i) {
        holders.PushBack(SmartPtr<TrackedObject>(new TrackedObject(&destroyed, i)));
    }
    holders.Erase(holders.begin(), holders.begin() + 2);
    EXPECT_EQ(destroyed, 2);
    ASSERT_EQ(holders.GetCount(), 8);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(holders[i]->GetId(), i + 2);
        EXPECT_EQ(holders[i]->GetRefCount(), 1);
    }
    holders.Erase(holders.begin() + 3, holders.begin() + 4);
    EXPECT_EQ(destroyed, 3);
    EXPECT_EQ(holders[3]->GetId(), 6);
}

TEST_F(GFVectorTest, HoldersKeepOneReferenceThroughGrowthCopyAndClear)
{
    int destroyed = 0;
    GFVector<SmartPtr<TrackedObject>> holders;
    for (int i = 0; i < 40; ++i) {
        holders.PushBack(SmartPtr<TrackedObject>(new TrackedObject(&destroyed, i)));
    }
    for (const auto& holder : holders) {
        ASSERT_EQ(holder->GetRefCount(), 1);
    }
    {
        GFVector<SmartPtr<TrackedObject>> copy(holders);
        EXPECT_EQ(holders[39]->GetRefCount(), 2);
    }
    EXPECT_EQ(holders[39]->GetRefCount(), 1);
    EXPECT_EQ(destroyed, 0);

    const int32_t capacity = holders.GetCapacity();
    holders.Clear();
    EXPECT_EQ(destroyed, 40);
    EXPECT_EQ(holders.GetCount(), 0);
    EXPECT_EQ(holders.GetCapacity(), capacity);
}

TEST_F(GFVectorTest, ResizeConstructsAndDestroys)
{
    GFVector<int> numbers;
    numbers.Resize(20);
    EXPECT_EQ(numbers.GetCapacity(), 32);
    for (int value : numbers) {
        ASSERT_EQ(value, 0);
    }

    int destroyed = 0;
    GFVector<SmartPtr<TrackedObject>> holders;
    for (int i = 0; i < 5; ++i) {
        holders.PushBack(SmartPtr<TrackedObject>(new TrackedObject(&destroyed, i)));
    }
    holders.Resize(5);
    EXPECT_EQ(destroyed, 0);
    holders.Resize(2);
    EXPECT_EQ(destroyed, 3);
    holders.Resize(4);
    EXPECT_FALSE(holders[3]);
    EXPECT_EQ(holders[1]->GetId(), 1);
    holders.Resize(-1);
    EXPECT_EQ(holders.GetCount(), 0);
    EXPECT_EQ(destroyed, 5);

    GFVector<std::string> texts = MakeTexts(3);
    texts.Resize(5);
    EXPECT_EQ(Contents(texts), (Strings{Text(0), Text(1), Text(2), "", ""}));
}

TEST_F(GFVectorTest, FindComparesWholeStrings)
{
    GFVector<std::string> v;
    v.PushBack("abc");
    v.PushBack("ab");
    v.PushBack("ab");
    EXPECT_EQ(v.Find(std::string("ab")), &v[1]);
    EXPECT_EQ(v.Find("abc"), &v[0]);
    EXPECT_EQ(v.Find("a"), v.end());
    EXPECT_EQ(v.Find("abcd"), v.end());

    GFVector<std::string> only;
    only.PushBack("abc");
    EXPECT_EQ(only.Find("ab"), only.end());
    const GFVector<std::string>& constant = only;
    EXPECT_EQ(constant.Find("abc"), constant.begin());
}

TEST_F(GFVectorTest, ContainsSearchesPointers)
{
    int a = 0, b = 0, c = 0;
    GFVector<int*> pointers;
    pointers.PushBack(&a);
    pointers.PushBack(&b);
    EXPECT_TRUE(pointers.Contains(&a));
    EXPECT_TRUE(pointers.Contains(&b));
    EXPECT_FALSE(pointers.Contains(&c));
    EXPECT_FALSE(GFVector<int*>().Contains(&a));
}

TEST_F(GFVectorTest, CopiesAreIndependent)
{
    GFVector<std::string> original = MakeTexts(6);
    GFVector<std::string> copy(original);
    copy[0] = "changed";
    copy.PushBack("more");
    EXPECT_EQ(Contents(original), Expected(6));

    GFVector<std::string> assigned = MakeTexts(30);
    assigned = original;
    EXPECT_EQ(Contents(assigned), Expected(6));
    EXPECT_EQ(assigned.GetCapacity(), 6);
    assigned = assigned;
    EXPECT_EQ(Contents(assigned), Expected(6));

    GFVector<std::string> empty;
    GFVector<std::string> emptyCopy(empty);
    EXPECT_EQ(emptyCopy.GetData(), nullptr);
}

TEST_F(GFVectorTest, MoveTakesTheBlock)
{
    GFVector<std::string> source = MakeTexts(5);
    const std::string* block = source.GetData();
    GFVector<std::string> target(std::move(source));
    EXPECT_EQ(target.GetData(), block);
    EXPECT_EQ(source.GetCount(), 0);
    EXPECT_EQ(source.GetData(), nullptr);

    GFVector<std::string> other = MakeTexts(2);
    other = std::move(target);
    EXPECT_EQ(Contents(other), Expected(5));
    EXPECT_EQ(target.GetCount(), 0);
}

TEST_F(GFVectorTest, ElementsAreNeitherLostNorDoubled)
{
    {
        GFVector<Fragile> v;
        for (int i = 0; i < 40; ++i) {
            v.PushBack(Fragile(i));
        }
        const Fragile pair[2] = {Fragile(100), Fragile(101)};
        v.Insert(v.begin() + 3, pair, 2);
        v.Insert(v.begin() + 35, pair, 2);
        v.Erase(v.begin(), v.begin() + 1);
        v.Erase(v.begin() + 10, v.begin() + 30);
        v.Resize(30);
        EXPECT_EQ(Fragile::s_Live, v.GetCount() + 2);
    }
}

}  // namespace

}  // namespace gf_vector_test
