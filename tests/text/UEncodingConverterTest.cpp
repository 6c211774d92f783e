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

TEST(ConvertEncoding, AnsiTakesTheCharacterSetFromTheEnvironment) {
  TScopedEnv messages("LC_MESSAGES", nullptr);
  TScopedEnv lang("LANG", nullptr);
  {
    TScopedEnv all("LC_ALL", "C.UTF-8");
    EXPECT_EQ(AnsiKeyFromEnvironment(), "utf8");
    EXPECT_EQ(ConvertEncoding("Ж\xFF", "utf8", "ANSI"), "Ж\xFF");
  }
  {
    TScopedEnv all("LC_ALL", "ru_RU.CP1251");
    EXPECT_EQ(ConvertEncoding("Ж", "utf8", "ansi"), "\xC6");
    EXPECT_EQ(ConvertEncoding("\xC6", "ansi", "utf8"), "Ж");
  }
  {
    TScopedEnv all("LC_ALL", "");  // empty counts as unset
    TScopedEnv later("LANG", "de_DE.ISO-8859-15@euro");
    EXPECT_EQ(AnsiKeyFromEnvironment(), "iso885915");
    EXPECT_EQ(ConvertEncoding("€", "utf8", "ansi"), "\xA4");
  }
  {
    TScopedEnv all("LC_ALL", "C");  // no "." : "ansi" has no converter
    EXPECT_EQ(AnsiKeyFromEnvironment(), "ansi");
    EXPECT_EQ(ConvertEncoding("Ж", "utf8", "ansi"), "Ж");
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
