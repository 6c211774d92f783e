#include <gtest/gtest.h>

#include "support/TestSupport.h"
#include "text/UEncodingConverter.h"

TEST(ConvertEncoding, MatchesKnownByteSequences) {
  struct Case {
    const char* label;
    std::string text, from, to, result;
  } cases[] = {
      {"cp1251 out", "Привет", "utf8", "cp1251", "\xCF\xF0\xE8\xE2\xE5\xF2"},
      {"cp1251 in", "\xCF\xF0\xE8\xE2\xE5\xF2", "CP1251 (Cyrillic)", "UTF-8", "Привет"},
      {"cp1252 drops Cyrillic", "aЖb€", "utf8", "cp1252", "ab\x80"},
      {"cp1252 drops invalid UTF-8", "a\xFF\xC3z\xE2\x82", "utf8", "cp1252", "az"},
      {"cp932 out", "日本ｱ😀", "utf8", "cp932", "\x93\xFA\x96\x7B\xB1"},
      {"koi8 out unchanged", "Ж", "utf8", "koi8", "Ж"},
      {"koi8 in unchanged", "\xF6", "koi8", "utf8", "\xF6"},
      {"koi8r converts", "Ж", "utf8", "KOI8-R", "\xF6"},
      {"koi8ru converts", "Ў", "utf8", "koi8ru", "\xBE"},
      {"macintosh round trip", "∆", "utf8", "macintosh", "\xC6"},
      {"between code pages", "\xC6", "cp1251", "koi8r", "\xF6"},
      {"utf8bom out", "x", "utf8", "UTF-8BOM", "\xEF\xBB\xBFx"},
      {"utf8bom in", "\xEF\xBB\xBFx", "utf8bom", "utf8", "x"},
      {"empty into utf8bom", "", "utf8", "utf8bom", "\xEF\xBB\xBF"},
      {"empty elsewhere", "", "utf8", "cp1251", ""},
      {"ucs2le pair", "a😀", "utf8", "ucs2le", std::string("a\0=\xD8\x00\xDE", 6)},
      {"ucs2be pair", "a😀", "utf8", "UCS-2BE (Unicode Big Endian)", std::string("\0a\xD8=\xDE\0", 6)},
      {"ucs2be in", std::string("\xD8=\xDE\0", 4), "ucs2be", "utf8", "😀"},
      {"ucs2le drops invalid UTF-8", "a\xFF", "utf8", "ucs2le", std::string("a\0", 2)},
      {"equal names keep invalid UTF-8", "a\xFF\xC3", "UTF-8", "utf8", "a\xFF\xC3"},
      {"empty name is utf8", "a\xFF", "", "utf-8", "a\xFF"},
      {"unknown name", "Ж", "utf8", "Auto Detect", "Ж"},
  };
  for (const Case& c : cases) EXPECT_EQ(ConvertEncoding(c.text, c.from, c.to), c.result) << c.label;
}

// "ansi" is the locale's character set as the C library reports it, for
// reading and writing alike: where the locale variables disagree, or name a
// locale this machine lacks, text passes both ways unchanged.
TEST(ConvertEncoding, AnsiIsOneCharacterSetBothWays) {
  struct Case {
    const char* label;
    const char *all, *ctype, *lang;
  } cases[] = {
      {"UTF-8 locale", "C.UTF-8", nullptr, nullptr},
      {"LC_CTYPE and LANG disagree", nullptr, "C.UTF-8", "ru_RU.KOI8-R"},
      {"locale not installed", nullptr, nullptr, "xx_XX.CP1251"},
      {"C locale", "C", nullptr, nullptr},
  };
  const std::string text = "abc Привет \xFF";
  TScopedEnv messages("LC_MESSAGES", nullptr);
  for (const Case& c : cases) {
    TScopedEnv all("LC_ALL", c.all), ctype("LC_CTYPE", c.ctype), lang("LANG", c.lang);
    EXPECT_EQ(ConvertEncoding(text, "utf8", "ANSI"), text) << c.label;
    EXPECT_EQ(ConvertEncoding(text, "ansi", "utf8"), text) << c.label;
    EXPECT_TRUE(TTextEncoder("ansi").IsIdentity()) << c.label;
  }
}

TEST(TextEncoder, IsIdentityOnlyWithoutARealConversion) {
  for (const char* key : {"utf8", "utf8bom", "koi8", "auto detect", "bogus"})
    EXPECT_TRUE(TTextEncoder(key).IsIdentity()) << key;
  for (const char* key : {"cp1251", "ucs2le", "ucs2be", "koi8r", "cp932"})
    EXPECT_FALSE(TTextEncoder(key).IsIdentity()) << key;
}

TEST(TextEncoder, AppendsAndIsReusable) {
  TTextEncoder encoder("cp1251");
  std::string out = "x";
  encoder.Encode("Ж\xE2\x82", out);  // a sequence cut off at the end is left out
  encoder.Encode("Ж\r\n", out);
  EXPECT_EQ(out, "x\xC6\xC6\r\n");
  TTextEncoder utf16("ucs2be");
  std::string units;
  utf16.Encode("\xD0", units);
  utf16.Encode("\x96", units);  // halves of one character in two calls are both invalid
  utf16.Encode("Ж", units);
  EXPECT_EQ(units, "\x04\x16");
}
