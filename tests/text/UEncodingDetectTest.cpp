#include <gtest/gtest.h>

#include "text/UEncodingDetect.h"

// A mark wins over the name unless the name already says it (an alias
// included), detects anyway, or is "utf8", whose pieces keep off the mark.
TEST(ChooseSourceEncoding, AliasesGiveTheirKeyAndAMarkWinsOverOtherNames) {
  const std::string le = "\xFF\xFEh\0", be = "\xFE\xFF\0h", utf8 = "\xEF\xBB\xBFh", none = "h\n";
  struct Case {
    std::string named, head, name;
    bool mark_wins;
  } cases[] = {
      {"UTF-16LE", le, "ucs2le", false},
      {"utf_16le", none, "ucs2le", false},
      {"UTF-16", be, "ucs2be", false},
      {"unicode", le, "ucs2le", false},
      {"UCS-2", none, "ucs2le", false},
      {"Shift_JIS", none, "cp932", false},
      {"CP1251 (Cyrillic)", none, "CP1251 (Cyrillic)", false},
      {"bogus", none, "bogus", false},
      {"windows-1251", le, "ucs2le", true},
      {"CP1251 (Cyrillic)", be, "ucs2be", true},
      {"UTF-16LE", be, "ucs2be", true},
      {"bogus", utf8, "utf8bom", true},
      {"UCS-2LE (Unicode Little Endian)", le, "UCS-2LE (Unicode Little Endian)", false},
      {"UTF-8", utf8, "UTF-8", false},
      {"US-ASCII", utf8, "utf8", false},
      {"Auto Detect", le, "Auto Detect", false},
      {"", be, "", false},
  };
  for (const Case& c : cases) {
    const TSourceEncoding chosen = ChooseSourceEncoding(c.named, c.head);
    EXPECT_EQ(chosen.Name, c.name) << c.named;
    EXPECT_EQ(chosen.MarkWins, c.mark_wins) << c.named;
  }
}

TEST(CompressionFormatOf, KnowsTheSignatures) {
  const std::pair<std::string, std::string> cases[] = {
      {"\x1F\x8B\x08", "gzip"},
      {"\x28\xB5\x2F\xFD", "zstd"},
      {std::string("\xFD\x37\x7A\x58\x5A\x00", 6), "xz"},
      {"BZh9", "bzip2"},
      {"PK\x03\x04", "zip"},
      {"\x37\x7A\xBC\xAF\x27\x1C", "7z"},
      {"BZhx", ""},
      {"BZh", ""},
      {"PK\x05\x06", ""},
      {"\x1F", ""},
      {std::string("\xFD\x37\x7A\x58\x5A", 5), ""},
      {"id,name\n", ""},
  };
  for (const auto& [head, format] : cases) EXPECT_EQ(CompressionFormatOf(head), format) << head;
}
