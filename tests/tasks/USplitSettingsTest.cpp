#include <gtest/gtest.h>

#include <filesystem>
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

TEST(NamedChoice, OnlyTheExactNameSelectsAValueAndTheNameIsKept) {
  const std::pair<std::string, TSplitRule> rules[] = {{"Lines", srLines},     {"File Size", srFileSize},
                                                      {"Symbol", srSymbol},   {"lines", srUnknown},
                                                      {"Symbol ", srUnknown}, {"", srUnknown}};
  for (const auto& [text, rule] : rules) {
    EXPECT_EQ(TNamedChoice<TSplitRule>(text).Value(), rule) << text;
    EXPECT_EQ(TNamedChoice<TSplitRule>(text).Text(), text);
  }
  EXPECT_EQ(TNamedChoice<TSymbolType>("Start With"), TNamedChoice<TSymbolType>(stStartWith));
  EXPECT_EQ(TNamedChoice<TSymbolType>("start with"), stUnknown);
  EXPECT_EQ(TNamedChoice<TSymbolType>(stEndWith).Text(), "End With");
}

// Names of no rule and no type are written back as they were read, keys in
// their order; only the defaults and the width of MaxLines differ by kind.
TEST(SplitSettings, EachKindReadsItsDefaultsAndWritesBackWhatItRead) {
  const std::string keys =
      "[Split]\nSourceEncoding=cp1251\nSplitByType=lines\nMaxLines=3000000000\nKeepHeader=1\nMaxFileSize=-7\n"
      "SymbolType=Bogus\nSymbolValue=;\nIgnoreCase=1\nQuotedFields=1\n";
  const struct {
    TSplitSettings::TReading reading;
    const char* symbol_type_default;
    int64_t max_lines;
  } kinds[] = {{{.MaxLinesIn32Bits = false, .SymbolTypeDefault = "Separator"}, "Separator", 3000000000LL},
               {{.MaxLinesIn32Bits = true, .SymbolTypeDefault = ""}, "", 0}};
  TTempDir dir;
  for (const auto& kind : kinds) {
    SCOPED_TRACE(kind.symbol_type_default);
    TSplitSettings defaults;
    defaults.SplitByType = srLines;
    defaults.MaxFileSize = 100;
    defaults.SymbolType = TNamedChoice<TSymbolType>(kind.symbol_type_default);
    WriteFile(dir / "task.ini", "");
    EXPECT_EQ(Read(dir / "task.ini", kind.reading), defaults);
    WriteFile(dir / "task.ini", keys);
    const TSplitSettings read = Read(dir / "task.ini", kind.reading);
    EXPECT_EQ(read.MaxLines, kind.max_lines);
    std::string expected = keys;
    expected.replace(expected.find("3000000000"), 10, std::to_string(kind.max_lines));
    EXPECT_EQ(Written(dir / "task.ini", read), expected);
    EXPECT_EQ(Read(dir / "task.ini", kind.reading), read);
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
