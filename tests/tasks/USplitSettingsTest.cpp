#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <utility>

#include "support/SettingsText.h"
#include "support/TestSupport.h"
#include "tasks/USplitSettings.h"
#include "util/UIniFile.h"

namespace {

TSplitSettings Read(const std::string& path, const TSplitSettings::TReading& reading) {
  TSplitSettings settings;
  settings.ReadFromIni(TIniFile(path), reading);
  return settings;
}

// The keys as the record writes them into a new file.
std::string Written(const std::string& path, const TSplitSettings& settings) {
  std::filesystem::remove(path);
  TIniFile ini(path);
  settings.WriteSourceEncoding(ini);
  settings.WriteRuleKeys(ini);
  ini.UpdateFile();
  return ReadFile(path);
}

}  // namespace

TEST(NamedChoice, ANameInAnySpellingSelectsItsValueAndTheTextIsKept) {
  const std::pair<std::string, TSplitRule> rules[] = {
      {"Lines", srLines},        {"lines", srLines},       {"File Size", srFileSize}, {"file_size", srFileSize},
      {"FILE-SIZE", srFileSize}, {"FileSize", srFileSize}, {"symbol", srSymbol},      {"Line", srUnknown},
      {"Lines x", srUnknown},    {"", srUnknown},          {"-", srUnknown}};
  for (const auto& [text, rule] : rules) {
    EXPECT_EQ(TNamedChoice<TSplitRule>(text).Value(), rule) << text;
    EXPECT_EQ(TNamedChoice<TSplitRule>(text).Text(), text);
  }
  EXPECT_EQ(TNamedChoice<TSymbolType>("START-WITH").Value(), stStartWith);
  EXPECT_EQ(TNamedChoice<TSymbolType>("start with").Name(), "Start With");
  EXPECT_EQ(TNamedChoice<TSymbolType>("Odd Type").Name(), "Odd Type");
  EXPECT_EQ(TNamedChoice<TSymbolType>(stEndWith).Text(), "End With");
}

// Names of no rule and no type, and values refused, are written back as
// they were read, keys in their order; the kinds differ only in the width of
// MaxLines.
TEST(SplitSettings, EachKindReadsItsDefaultsAndWritesBackWhatItRead) {
  const std::string keys =
      "[Split]\nSourceEncoding=cp1251\nSplitByType=lines\nMaxLines=3000000000\nKeepHeader=1\nMaxFileSize=-7\n"
      "SymbolType=Bogus\nSymbolValue=;\nIgnoreCase=maybe\nQuotedFields=1\nManifest=1\nPieceName=a/{n}\n"
      "LineEnd=lf\n";
  const struct {
    TSplitSettings::TReading reading;
    int64_t max_lines;
  } kinds[] = {{{.MaxLinesIn32Bits = false}, 3000000000LL}, {{.MaxLinesIn32Bits = true}, 0}};
  TTempDir dir;
  for (const auto& kind : kinds) {
    SCOPED_TRACE(kind.max_lines);
    TSplitSettings defaults;
    defaults.SplitByType = srLines;
    defaults.MaxFileSize = 100;
    defaults.SymbolType = stSeparator;
    WriteFile(dir / "task.ini", "");
    EXPECT_EQ(Read(dir / "task.ini", kind.reading), defaults);
    WriteFile(dir / "task.ini", keys);
    const TSplitSettings read = Read(dir / "task.ini", kind.reading);
    EXPECT_EQ(read.MaxLines, kind.max_lines);
    EXPECT_TRUE(read.KeepHeader);
    EXPECT_EQ(Written(dir / "task.ini", read), keys);
    EXPECT_EQ(Read(dir / "task.ini", kind.reading), read);
  }
}

// Each value read as the setting it gives, or refused with the message the
// run logs; a refused value leaves the default.
TEST(SplitSettings, ReadsTheSpellingsOfEachKindOfValueAndRefusesTheRest) {
  const auto keep_header = [](const TSplitSettings& s) { return std::to_string(s.KeepHeader); };
  const auto bytes = [](const TSplitSettings& s) { return std::to_string(s.MaxFileSizeBytes()); };
  const auto max_lines = [](const TSplitSettings& s) { return std::to_string(s.MaxLines); };
  const auto symbol_type = [](const TSplitSettings& s) { return std::string(s.SymbolType.Name()); };
  const auto new_keys = [](const TSplitSettings& s) {
    return std::to_string(s.Manifest) + "|" + s.PieceName + "|" + std::string(s.LineEnd.Name());
  };
  const auto compress = [](const TSplitSettings& s) {
    return std::string(s.Compress.Name()) + "|" + std::to_string(s.CompressionLevel());
  };
  const auto output = [](const TSplitSettings& s) { return s.OutputEncoding; };
  const std::string encodings = ": an encoding of the table in QuillmereCmd(1) or one of its other names.";
  const std::string templates =
      ": a file name holding {n} (or {n:W}, the number zero-padded to W digits) and optionally {name} and {ext}, "
      "without \"/\".";
  const std::string booleans = ": 1, true, yes or on; 0, false, no or off.";
  const std::string sizes = ": a whole number of MiB, or one followed by B, K, KiB, M, MiB, G, GiB, KB, MB or GB.";
  struct Case {
    std::string line;
    std::function<std::string(const TSplitSettings&)> setting;
    std::string value, refusal;  // Refusal: the message, or empty
  } cases[] = {
      {"KeepHeader=1", keep_header, "1", ""},
      {"KeepHeader=10", keep_header, "1", ""},
      {"KeepHeader=01", keep_header, "0", ""},
      {"KeepHeader=TRUE", keep_header, "1", ""},
      {"KeepHeader=Yes", keep_header, "1", ""},
      {"KeepHeader=No", keep_header, "0", ""},
      {"KeepHeader=", keep_header, "0", ""},
      {"KeepHeader=2", keep_header, "0", "Invalid value \"2\" for KeepHeader" + booleans},
      {"MaxLines=0", max_lines, "0", "Invalid value \"0\" for MaxLines: a whole number from 1 to 9223372036854775807."},
      {"MaxLines=12x", max_lines, "0",
       "Invalid value \"12x\" for MaxLines: a whole number from 1 to 9223372036854775807."},
      {"MaxLines=", max_lines, "0", ""},  // the rule refuses it with its own message
      {"SplitByType=File Size\nMaxFileSize=50MB", bytes, "50000000", ""},
      {"SplitByType=File Size\nMaxFileSize=2 GiB", bytes, "2147483648", ""},
      {"SplitByType=File Size\nMaxFileSize=3k", bytes, "3072", ""},
      {"SplitByType=File Size\nMaxFileSize=7B", bytes, "7", ""},
      {"SplitByType=File Size\nMaxFileSize=2", bytes, "2097152", ""},
      {"SplitByType=File Size\nMaxFileSize=-1", bytes, "-1048576", ""},
      {"SplitByType=File Size\nMaxFileSize=9223372036854775807", bytes, "9223372036854775807", ""},
      {"SplitByType=File Size\nMaxFileSize=10000000000 GB", bytes, "9223372036854775807", ""},
      {"SplitByType=File Size\nMaxFileSize=", bytes, "104857600", ""},
      {"SplitByType=File Size\nMaxFileSize=50 MBs", bytes, "104857600",
       "Invalid value \"50 MBs\" for MaxFileSize" + sizes},
      {"SplitByType=File Size\nMaxFileSize=1.5G", bytes, "104857600", "Invalid value \"1.5G\" for MaxFileSize" + sizes},
      {"SplitByType=Symbol\nSymbolType=start-with", symbol_type, "Start With", ""},
      {"SplitByType=Symbol", symbol_type, "Separator", ""},
      {"SplitByType=Symbol\nSymbolType=", symbol_type, "",
       "Invalid value \"\" for SymbolType: Separator, Start With or End With."},
      {"SplitByType=Chunks\nSymbolType=x\nMaxLines=x\nQuotedFields=x", symbol_type, "x",
       "Invalid value \"Chunks\" for SplitByType: Lines, File Size or Symbol.\n"
       "Invalid value \"x\" for QuotedFields" +
           booleans},
      {"SplitByType=Symbol\nKeepHeader=x\nMaxFileSize=x\nIgnoreCase=x", symbol_type, "Separator",
       "Invalid value \"x\" for IgnoreCase" + booleans},
      {"", new_keys, "0||CRLF", ""},
      {"Manifest=yes\nPieceName={name}-{n:4}{ext}\nLineEnd=Keep", new_keys, "1|{name}-{n:4}{ext}|Keep", ""},
      {"PieceName=\nLineEnd=cr-lf", new_keys, "0||CRLF", ""},
      {"SplitByType=Symbol\nPieceName=x{n}y{n:20}\nLineEnd=LF", new_keys, "0|x{n}y{n:20}|LF", ""},
      {"SplitByType=Symbol\nManifest=2\nPieceName=part.csv\nLineEnd=CR", new_keys, "0||CR",
       "Invalid value \"2\" for Manifest" + booleans + "\nInvalid value \"part.csv\" for PieceName" + templates +
           "\nInvalid value \"CR\" for LineEnd: CRLF, LF or Keep."},
      {"PieceName=out/{n}", new_keys, "0||CRLF", "Invalid value \"out/{n}\" for PieceName" + templates},
      {"Compress=GZip", compress, "gzip|6", ""},
      {"Compress=zstd\nCompressLevel=19", compress, "zstd|19", ""},
      {"Compress=none\nCompressLevel=x", compress, "none|6", ""},  // a level without a format is not looked at
      {"Compress=gzip\nCompressLevel=10", compress, "gzip|6",
       "Invalid value \"10\" for CompressLevel: a whole number from 1 to 9 for gzip."},
      {"Compress=zstd\nCompressLevel=0", compress, "zstd|3",
       "Invalid value \"0\" for CompressLevel: a whole number from 1 to 19 for zstd."},
      {"Compress=xz\nCompressLevel=30", compress, "xz|6", "Invalid value \"xz\" for Compress: none, gzip or zstd."},
      {"OutputEncoding=Shift_JIS", output, "Shift_JIS", ""},
      {"OutputEncoding=KOI8-R", output, "KOI8-R", ""},
      {"OutputEncoding=CP1251 (Cyrillic)", output, "CP1251 (Cyrillic)", ""},
      {"SplitByType=Symbol\nOutputEncoding=UTF-7", output, "",
       "Invalid value \"UTF-7\" for OutputEncoding" + encodings},
      {"OutputEncoding=Auto Detect", output, "", "Invalid value \"Auto Detect\" for OutputEncoding" + encodings},
  };
  TTempDir dir;
  for (const Case& c : cases) {
    WriteFile(dir / "task.ini", "[Split]\n" + c.line + "\n");
    const TSplitSettings read = Read(dir / "task.ini", {.MaxLinesIn32Bits = false});
    EXPECT_EQ(c.setting(read), c.value) << c.line;
    std::string refusal;
    for (const std::string& message : read.InvalidValueMessages()) refusal += (refusal.empty() ? "" : "\n") + message;
    EXPECT_EQ(refusal, c.refusal) << c.line;
  }
  WriteFile(dir / "task.ini", "[Split]\nMaxLines=3000000000\n");
  EXPECT_EQ(
      Read(dir / "task.ini", {.MaxLinesIn32Bits = true}).InvalidValueMessages(),
      std::vector<std::string>{"Invalid value \"3000000000\" for MaxLines: a whole number from 1 to 2147483647."});
}

TEST(SplitSettings, DescribesASizeWithAUnitInBytesAndATypeByItsName) {
  TSplitSettings s;
  s.SplitByType = srFileSize;
  s.MaxFileSize = 50;
  s.MaxFileSizeUnit = suMB;
  EXPECT_EQ(s.Describe("From : a", "To : b"),
            "From : a\r\nTo : b\r\nMax File Size per Split File: 50 MB (50000000 bytes)");
  s.MaxFileSizeUnit = suMiBPlain;
  EXPECT_EQ(s.Describe("From : a", "To : b"), "From : a\r\nTo : b\r\nMax File Size per Split File: 50 MB");
  s.SplitByType = srSymbol;
  s.SymbolType = TNamedChoice<TSymbolType>("startwith");
  s.SymbolValue = "#";
  EXPECT_EQ(s.Describe("From : a", "To : b"), "From : a\r\nTo : b\r\nStart With: #\r\nIgnore Case: False");
}

// The new keys are described, and written, only when they differ from
// their defaults: every task that never used them keeps its log lines and
// its file as they were.
TEST(SplitSettings, DescribesAndWritesTheOptionalKeysOnlyWhenSet) {
  struct Case {
    std::function<void(TSplitSettings&)> change;
    std::string described, written;  // beyond the plain task's
  } cases[] = {
      {[](TSplitSettings&) {}, "", ""},
      {[](TSplitSettings& s) { s.PieceName = "{n}{ext}"; }, "", "PieceName={n}{ext}\n"},
      {[](TSplitSettings& s) { s.Manifest = true; }, "\r\nManifest: True", "Manifest=1\n"},
      {[](TSplitSettings& s) { s.PieceName = "{n:4}{ext}"; }, "\r\nPiece Name: {n:4}{ext}", "PieceName={n:4}{ext}\n"},
      {[](TSplitSettings& s) { s.LineEnd = TNamedChoice<TLineEnd>("keep"); }, "\r\nLine End: Keep", "LineEnd=keep\n"},
      {[](TSplitSettings& s) {
         s.QuotedFields = true;
         s.LineEnd = leLf;
       },
       "\r\nQuoted Fields: True\r\nLine End: LF", "QuotedFields=1\nLineEnd=LF\n"},
      {[](TSplitSettings& s) { s.Compress = TNamedChoice<TCompression>("ZStd"); }, "\r\nCompress: zstd",
       "Compress=ZStd\n"},
      {[](TSplitSettings& s) {
         s.Compress = cmGzip;
         s.CompressLevel = 6;
       },
       "\r\nCompress: gzip", "Compress=gzip\nCompressLevel=6\n"},
      {[](TSplitSettings& s) {
         s.Compress = cmZstd;
         s.CompressLevel = 19;
       },
       "\r\nCompress: zstd\r\nCompress Level: 19", "Compress=zstd\nCompressLevel=19\n"},
      {[](TSplitSettings& s) { s.OutputEncoding = "windows-1251"; }, "\r\nOutput Encoding: windows-1251",
       "OutputEncoding=windows-1251\n"},
  };
  TTempDir dir;
  for (const Case& c : cases) {
    TSplitSettings s;
    s.SplitByType = srLines;
    s.MaxLines = 5;
    const std::string plain = s.Describe("From : a", "To : b");
    const std::string plain_keys = Written(dir / "task.ini", s);
    c.change(s);
    EXPECT_EQ(s.Describe("From : a", "To : b"), plain + c.described);
    EXPECT_EQ(Written(dir / "task.ini", s), plain_keys + c.written);
  }
}

TEST(SplitSettings, EqualityComparesEverySetting) {
  auto changes = SettingChanges();
  changes.push_back([](TSplitSettings& s) { s.SplitByType = srSymbol; });
  changes.push_back([](TSplitSettings& s) { s.SymbolType = stEndWith; });
  const TSplitSettings zero;
  for (size_t i = 0; i < changes.size(); ++i) {
    TSplitSettings other;
    changes[i](other);
    EXPECT_NE(other, zero) << "setting " << i;
    EXPECT_EQ(TSplitSettings(other), other) << "setting " << i;
  }
}
