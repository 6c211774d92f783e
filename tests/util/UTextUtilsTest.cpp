#include <gtest/gtest.h>

#include "util/UTextUtils.h"

TEST(SplitText, TrimsThenCutsKeepingEmptyEntries) {
  struct Case {
    std::string text, delimiter;
    std::vector<std::string> parts;
  } cases[] = {
      {"  a,,b ", ",", {"a", "", "b"}}, {"", ",", {""}},  {"a", ",", {"a"}},
      {"a::b::", "::", {"a", "b", ""}}, {"x", "", {"x"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> parts{"stale"};
    SplitText(c.text, c.delimiter, parts);
    EXPECT_EQ(parts, c.parts) << "text '" << c.text << "'";
  }
}

TEST(TextUtils, CutAtDelimiters) {
  EXPECT_EQ(TextAfter("key=a=b", "="), "a=b");
  EXPECT_EQ(TextBefore("key=a=b", "="), "key");
  EXPECT_EQ(TextAfter("abc", "="), "");
  EXPECT_EQ(TextBefore("abc", "="), "");
  EXPECT_FALSE(ContainsText("abc", ""));
  EXPECT_TRUE(ContainsText("notes_DS_Store.txt", "DS_Store"));
  EXPECT_EQ(RightText("abcdef", 2), "ef");
  EXPECT_EQ(RightText("ab", 5), "ab");
  EXPECT_EQ(DropRight("abcdef", 2), "abcd");
  EXPECT_EQ(DropRight("ab", 2), "");
}

TEST(TextUtils, ParsesWholeIntegersOnly) {
  int64_t v = 7;
  EXPECT_TRUE(TryParseInt64("-3", v));
  EXPECT_EQ(v, -3);
  EXPECT_TRUE(TryParseInt64("9223372036854775807", v));
  EXPECT_FALSE(TryParseInt64("9223372036854775808", v));
  EXPECT_FALSE(TryParseInt64("12x", v));
  EXPECT_FALSE(TryParseInt64("", v));
  EXPECT_FALSE(TryParseInt64("+", v));
  int32_t w = 0;
  EXPECT_TRUE(TryParseInt32("-2147483648", w));
  EXPECT_FALSE(TryParseInt32("2147483648", w));
}

TEST(TextUtils, AsciiCaseLeavesOtherLettersAlone) {
  EXPECT_EQ(AsciiUpper("end \xC3\xA9"), "END \xC3\xA9");
  EXPECT_TRUE(SameTextAscii("Global", "gLOBAL"));
  EXPECT_FALSE(SameTextAscii("Global", "Globa"));
}
