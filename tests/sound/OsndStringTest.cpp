#include "sound/src/system/system_string.h"

#include <gtest/gtest.h>

#include <cstring>

namespace osnd_string_test {

TEST(OsndString, CaseFoldingComparesOnlyAsciiLetters) {
  EXPECT_EQ(SystemString_CompareNNoCase("HTTP://host", "http://", 7), 0);
  EXPECT_NE(SystemString_CompareNoCase("HTTP://host", "http://"), 0);
  EXPECT_EQ(SystemString_ToLower('Z'), 'z');
  EXPECT_EQ(SystemString_ToLower('['), '[');
  EXPECT_EQ(SystemString_ToLower(char(0xC4)), char(0xC4));
  EXPECT_LT(SystemString_Compare("abc", "abd"), 0);
  EXPECT_GT(SystemString_Compare("abd", "abc"), 0);
  EXPECT_EQ(SystemString_Compare("abc", "abc"), 0);
  // Bytes compare as signed 8-bit values.
  EXPECT_LT(SystemString_Compare("\x80", "a"), 0);
  EXPECT_EQ(SystemString_CompareN("abX", "abY", 2), 0);
  EXPECT_NE(SystemString_CompareN("X", "Y", 0), 0);  // the first character always counts
}

TEST(OsndString, CopyAndCatLimits) {
  char dest[16];
  std::memset(dest, '#', sizeof dest);
  SystemString_CopyN(dest, "abcd", 4);
  EXPECT_EQ(dest[4], '#');  // n bytes copied: no terminator
  SystemString_CopyN(dest, "ab", 10);
  EXPECT_STREQ(dest, "ab");
  EXPECT_EQ(dest[3], 'd');  // stops after the terminator

  char cat[16] = "xy";
  SystemString_CatN(cat, "abc", 2);
  EXPECT_STREQ(cat, "xyab");
  SystemString_CatN(cat, "zzz", 0);
  EXPECT_STREQ(cat, "xyab");
  SystemString_Cat(cat, "!");
  EXPECT_STREQ(cat, "xyab!");
  EXPECT_EQ(SystemString_Length(cat), 5);
  char copy[16];
  EXPECT_STREQ(SystemString_Copy(copy, cat), "xyab!");
}

TEST(OsndString, MemoryRoutines) {
  EXPECT_EQ(SystemString_MemCompare("abc", "xyz", 0), 0);
  EXPECT_LT(SystemString_MemCompare("abc", "abd", 3), 0);
  EXPECT_EQ(SystemString_MemCompare("abc", "abd", 2), 0);
  char buffer[] = "0123456789";
  SystemString_MemMove(buffer + 2, buffer, 5);  // overlapping, destination above
  EXPECT_STREQ(buffer, "0101234789");
  SystemString_MemMove(buffer, buffer + 2, 5);  // overlapping, destination below
  EXPECT_STREQ(buffer, "0123434789");
}

TEST(OsndString, FindPositions) {
  const char *h = "abcabd";
  EXPECT_EQ(SystemString_Find(h, ""), h);
  EXPECT_EQ(SystemString_Find(h, "d"), h + 5);
  EXPECT_EQ(SystemString_Find(h, "ab"), h);
  EXPECT_EQ(SystemString_Find(h, "abd"), h + 3);
  EXPECT_EQ(SystemString_Find(h, "abcabdx"), nullptr);
  EXPECT_EQ(SystemString_Find(h, "zz"), nullptr);
}

}  // namespace osnd_string_test
