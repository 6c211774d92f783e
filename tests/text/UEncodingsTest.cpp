#include <gtest/gtest.h>
#include <iconv.h>

#include <set>

#include "text/UEncodings.h"
#include "text/UTextDecoder.h"

TEST(EncodingNames, HoldsTheTwentyEightRowsInOrder) {
  const auto& names = EncodingNames();
  ASSERT_EQ(names.size(), 28u);
  EXPECT_EQ(names.front().Key, "utf8");
  EXPECT_EQ(names[2].DisplayName, "ANSI");
  EXPECT_EQ(names[7].DisplayName, "CP1254 (Turkish )");
  EXPECT_EQ(names[24].DisplayName, "KOI-8 (Cyrillic)");
  EXPECT_EQ(names.back().DisplayName, "UCS-2BE (Unicode Big Endian)");
}

TEST(EncodingNames, EveryDisplayNameNormalisesToItsKeyAndBack) {
  std::set<std::string> keys;
  for (const TEncodingName& entry : EncodingNames()) {
    EXPECT_TRUE(keys.insert(entry.Key).second) << "duplicate key " << entry.Key;
    EXPECT_EQ(NormalizeEncodingName(entry.DisplayName), entry.Key);
    EXPECT_EQ(NormalizeEncodingName(entry.Key), entry.Key);
    EXPECT_EQ(DisplayNameOf(entry.Key), entry.DisplayName);
    std::string upper = entry.Key;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(DisplayNameOf(upper), entry.DisplayName);
  }
}

TEST(EncodingNames, SurviveShutDownAndRebuild) {
  ShutDownEncodings();
  EXPECT_EQ(EncodingNames().size(), 28u);
  StartUpEncodings();
  EXPECT_EQ(DisplayNameOf("cp866"), "CP866 (Cyrillic)");
}

TEST(NormalizeEncodingName, CutsAtParenthesisLowersAndDropsDashes) {
  struct Case {
    std::string name, key;
  } cases[] = {
      {"ISO-8859-15 (Latin 9)", "iso885915"},
      {"Macintosh (Western European)", "macintosh"},
      {"cp1251", "cp1251"},
      {"KOI8-R", "koi8r"},
      {"Auto Detect", "auto detect"},
      {"UTF-8(x)", "utf8(x)"},  // only " (" with its space cuts
      {"a (b) (c)", "a"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(NormalizeEncodingName(c.name), c.key) << c.name;
}

TEST(DisplayNameOf, GivesUnlistedKeysBack) {
  EXPECT_EQ(DisplayNameOf("koi8r"), "koi8r");
  EXPECT_EQ(DisplayNameOf("Auto Detect"), "Auto Detect");
  EXPECT_EQ(DisplayNameOf(""), "");
}

TEST(DecoderFor, PicksUtf16AndLocaleOnlyForTheirNames) {
  EXPECT_EQ(DecoderFor("UCS-2BE (Unicode Big Endian)"), TDecoderKind::Utf16BE);
  EXPECT_EQ(DecoderFor("ucs2le"), TDecoderKind::Utf16LE);
  EXPECT_EQ(DecoderFor("ANSI"), TDecoderKind::Locale);
  for (const char* name : {"UTF-8", "UTF-8BOM", "cp932", "KOI-8 (Cyrillic)", "Auto Detect", "bogus", ""})
    EXPECT_EQ(DecoderFor(name), TDecoderKind::Utf8) << name;
}

TEST(ByteOrderMarkOf, BelongsToUtf8BomAndUcs2Only) {
  EXPECT_EQ(ByteOrderMarkOf("utf8bom"), "\xEF\xBB\xBF");
  EXPECT_EQ(ByteOrderMarkOf("ucs2le"), "\xFF\xFE");
  EXPECT_EQ(ByteOrderMarkOf("ucs2be"), "\xFE\xFF");
  EXPECT_EQ(ByteOrderMarkOf("utf8"), "");
  EXPECT_EQ(ByteOrderMarkOf("cp1251"), "");
}

// Each key's character set must exist in glibc in both directions, and its
// line-end bytes must decode to themselves: the reader cuts blocks at raw
// line-end bytes.
TEST(IconvCharsetOf, EveryConvertibleKeyOpensAndKeepsLineEnds) {
  std::vector<std::string> keys{"koi8r", "koi8u", "koi8ru"};
  for (const TEncodingName& entry : EncodingNames()) keys.push_back(entry.Key);
  for (const std::string& key : keys) {
    std::string charset(IconvCharsetOf(key));
    if (key == "ansi" || key == "koi8") {
      EXPECT_EQ(charset, "") << key;
      continue;
    }
    ASSERT_NE(charset, "") << key;
    for (auto [to, from] : {std::pair{charset, std::string("UTF-8")}, std::pair{std::string("UTF-8"), charset}}) {
      iconv_t cd = iconv_open(to.c_str(), from.c_str());
      EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1)) << from << " -> " << to;
      if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    }
    if (key.starts_with("ucs2")) continue;
    std::string decoded;
    TTextDecoder(key).Decode("a\r\nb\n", 5, decoded);
    EXPECT_EQ(decoded, "a\r\nb\n") << key;
  }
}

TEST(EncodingAliases, NameKeysOfTheTableInAnySpelling) {
  for (const TEncodingAlias& alias : EncodingAliases()) {
    const std::string key = KeyOfEncodingAlias(alias.Name, "");
    EXPECT_EQ(NormalizeEncodingName(DisplayNameOf(key)), key) << alias.Name << " names no key of the table";
    if (!alias.Key.empty()) {
      EXPECT_EQ(key, alias.Key);
    }
  }
  const std::pair<std::string, std::string> cases[] = {
      {"WINDOWS_1252", "cp1252"},
      {"shift jis", "cp932"},
      {"Latin-1", "iso88591"},
      {"utf16", "ucs2le"},
      {"cp1251", ""},
      {"UTF-8", ""},
      {"windows-1259", ""},
      {"", ""},
  };
  for (const auto& [name, key] : cases) EXPECT_EQ(KeyOfEncodingAlias(name, ""), key) << name;
  EXPECT_EQ(KeyOfEncodingAlias("UTF-16", "ucs2be"), "ucs2be");
  EXPECT_EQ(KeyOfEncodingAlias("UTF-16", "utf8bom"), "ucs2le");
  EXPECT_EQ(KeyOfEncodingAlias("UTF-16LE", "ucs2be"), "ucs2le");
}

// The names a task may give without being split as bytes.
TEST(IsKnownEncodingName, TableNamesKeysAliasesAndConverterNames) {
  for (const TEncodingName& name : EncodingNames()) {
    EXPECT_TRUE(IsKnownEncodingName(name.Key)) << name.Key;
    EXPECT_TRUE(IsKnownEncodingName(name.DisplayName)) << name.DisplayName;
  }
  for (const char* name : {"windows-1251", "Shift_JIS", "UTF-16", "KOI8-R", "utf-8"})
    EXPECT_TRUE(IsKnownEncodingName(name)) << name;
  for (const char* name : {"", "Auto Detect", "utf9", "windows-1259", "cp1251x"})
    EXPECT_FALSE(IsKnownEncodingName(name)) << name;
}
