#include <gtest/gtest.h>

#include "support/TestSupport.h"
#include "text/UTextDecoder.h"

namespace {

std::string Decode(TTextDecoder& decoder, const std::string& bytes) {
  std::string out = "<";  // Decode appends
  decoder.Decode(bytes.data(), bytes.size(), out);
  return out.substr(1);
}

std::string Decode(const std::string& name, const std::string& bytes) {
  TTextDecoder decoder(name);
  return Decode(decoder, bytes);
}

}  // namespace

TEST(TextDecoder, DecodesKnownByteSequences) {
  struct Case {
    const char* label;
    std::string name, bytes, utf8;
  } cases[] = {
      {"utf8 keeps invalid bytes", "UTF-8", "a\xFF\xC3\n\xE2\x82", "a\xFF\xC3\n\xE2\x82"},
      {"utf8bom keeps its mark", "utf8bom", "\xEF\xBB\xBFx", "\xEF\xBB\xBFx"},
      {"koi8 has no converter", "KOI-8 (Cyrillic)", "\xF6\xE1", "\xF6\xE1"},
      {"unknown name passes", "latin9", "\xA4", "\xA4"},
      {"koi8r", "KOI8-R", "\xF6", "\xD0\x96"},
      {"koi8ru", "koi8ru", "\xBE", "\xD0\x8E"},
      {"cp1251", "CP1251 (Cyrillic)", "\xCF\xF0\xE8\xE2\xE5\xF2", "Привет"},
      {"cp1252 undefined byte", "cp1252", "a\x81z", "a\xEF\xBF\xBDz"},
      {"cp1258 keeps accents apart", "cp1258", "a\xCC", "a\xCC\x80"},
      {"macintosh follows Apple's table", "macintosh", "\xC6\xF0\xD8", "\xE2\x88\x86\xEF\xA3\xBF\xC3\xBF"},
      {"cp932", "cp932", "\x93\xFA\x96\x7B\xB1", "日本ｱ"},
      {"cp932 bad trail byte", "cp932", "\x81\n\x93\xFA", "\xEF\xBF\xBD\n日"},
      {"cp932 cut lead byte", "cp932", "a\x93", "a\xEF\xBF\xBD"},
      {"cp936", "cp936", "\xD6\xD0\xCE\xC4", "中文"},
      {"cp949", "cp949", "\xC7\xD1\xB1\xB9", "한국"},
      {"cp950", "cp950", "\xA4\xA4\xA4\xE5", "中文"},
      {"ucs2le pair", "UCS-2LE (Unicode Little Endian)", std::string("a\0=\xD8\x00\xDE", 6), "a😀"},
      {"ucs2be pair", "ucs2be", std::string("\0a\xD8=\xDE\0", 6), "a😀"},
      {"ucs2le odd byte ignored", "ucs2le", std::string("a\0b", 3), "a"},
      {"ucs2le lone high surrogate", "ucs2le", std::string("=\xD8x\0", 4), "\xEF\xBF\xBDx"},
      {"ucs2le lone low surrogate", "ucs2le", std::string("\x00\xDE\n\0", 4), "\xEF\xBF\xBD\n"},
      {"ucs2be high surrogate at end", "ucs2be", std::string("\0a\xD8=", 4), "a\xEF\xBF\xBD"},
      {"ucs2be mark", "ucs2be", std::string("\xFE\xFF\0x", 4), "\xEF\xBB\xBFx"},
  };
  for (const Case& c : cases) EXPECT_EQ(Decode(c.name, c.bytes), c.utf8) << c.label;
}

TEST(TextDecoder, IsReusableAcrossCalls) {
  TTextDecoder decoder("cp932");
  EXPECT_EQ(Decode(decoder, "a\x93"), "a\xEF\xBF\xBD");
  EXPECT_EQ(Decode(decoder, "\xFA\n"), "\xEF\xBF\xBD\n");  // no state left over
  EXPECT_EQ(Decode(decoder, "\x93\xFA"), "日");
}

TEST(TextDecoder, AnsiFollowsTheLocaleCharacterSet) {
  {
    TScopedEnv all("LC_ALL", "C.UTF-8");
    EXPECT_EQ(LocaleCharset(), "UTF-8");
    EXPECT_TRUE(TTextDecoder("ANSI").IsPassThrough());
    EXPECT_EQ(Decode("ansi", "\xD0\x96\xFF"), "\xD0\x96\xFF");
  }
  {
    // The C locale's ASCII passes the bytes through rather than losing them.
    TScopedEnv all("LC_ALL", "C");
    EXPECT_EQ(Decode("ansi", "\xD0\x96"), "\xD0\x96");
  }
  // What a single-byte locale would give.
  EXPECT_EQ(Decode(*TTextDecoder::ForCharset("CP1251"), "\xC6"), "Ж");
  EXPECT_TRUE(TTextDecoder::ForCharset("no-such-charset")->IsPassThrough());
}

// A byte-order mark is found before any text is decoded, where a code page's
// table is not built yet, as after.
TEST(TextDecoder, FindsTheByteOrderMarkAsTheSourceEncodesIt) {
  struct Case {
    const char* charset;
    std::string bytes;
    size_t length;
  } cases[] = {
      {"UTF-16LE",
       "\xFF\xFE"
       "x",
       2},
      {"UTF-16BE", "\xFE\xFF", 2},
      {"GB18030", "\x84\x31\x95\x33x", 4},
      {"CP936", "\x84\x31\x95\x33x", 0},
      {"CP932", "\x81\x40x", 0},
      {"CP1251", "\xEF\xBB\xBF", 0},
      {"UTF-8", "\xEF\xBB\xBFx", 3},
      {"CP949", "", 0},
  };
  for (const Case& c : cases) {
    std::unique_ptr<TTextDecoder> fresh = TTextDecoder::ForCharset(c.charset);
    EXPECT_EQ(fresh->ByteOrderMarkLength(c.bytes.data(), c.bytes.size()), c.length) << c.charset;
    std::unique_ptr<TTextDecoder> used = TTextDecoder::ForCharset(c.charset);
    Decode(*used, "x");
    EXPECT_EQ(used->ByteOrderMarkLength(c.bytes.data(), c.bytes.size()), c.length) << c.charset << " after text";
  }
  // A character set without a table decodes through iconv from the first call.
  std::unique_ptr<TTextDecoder> euc = TTextDecoder::ForCharset("EUC-JP");
  EXPECT_EQ(Decode(*euc, "\xA4\xA2\x8F\xB0\xA1\n"),
            Decode(*TTextDecoder::ThroughIconv("EUC-JP"), "\xA4\xA2\x8F\xB0\xA1\n"));
  EXPECT_FALSE(euc->IsDoubleByteTable());
}
