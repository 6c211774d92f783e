#include "tasks/USplitSettings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "support/SettingsText.h"
#include "support/TestSupport.h"
#include "util/UIniFile.h"

namespace {

constexpr TSplitSettings::TReading kSplitReading{.MaxLinesIn32Bits = false, .SymbolTypeDefault = "Separator"};
constexpr TSplitSettings::TReading kBatchReading{.MaxLinesIn32Bits = true, .SymbolTypeDefault = ""};

TSplitSettings Read(const TTempDir& dir, const std::string& text, const TSplitSettings::TReading& reading) {
  WriteFile(dir / "task.ini", text);
  TSplitSettings settings;
  settings.ReadFromIni(TIniFile(dir / "task.ini"), reading);
  return settings;
}

// The settings' keys as a new file holds them.
std::string Written(const TTempDir& dir, const TSplitSettings& settings) {
  std::filesystem::remove(dir / "task.ini");
  TIniFile ini(dir / "task.ini");
  settings.WriteSourceEncoding(ini);
  settings.WriteRuleKeys(ini);
  ini.UpdateFile();
  return ReadFile(dir / "task.ini");
}

}  // namespace

TEST(NamedChoice, OnlyTheExactNameSelectsAValue) {
  struct {
    std::string text;
    TSplitRule rule;
    TSymbolType type;
  } cases[] = {
      {"Lines", srLines, stUnknown},
      {"File Size", srFileSize, stUnknown},
      {"Symbol", srSymbol, stUnknown},
      {"Separator", srUnknown, stSeparator},
      {"Start With", srUnknown, stStartWith},
      {"End With", srUnknown, stEndWith},
      {"lines", srUnknown, stUnknown},
      {"FILE SIZE", srUnknown, stUnknown},
      {"Start with", srUnknown, stUnknown},
      {"Lines ", srUnknown, stUnknown},
      {"", srUnknown, stUnknown},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("\"" + c.text + "\"");
    const TNamedChoice<TSplitRule> rule(c.text);
    const TNamedChoice<TSymbolType> type(c.text);
    EXPECT_EQ(rule.Value(), c.rule);
    EXPECT_EQ(type.Value(), c.type);
    EXPECT_EQ(rule.Text(), c.text);
    EXPECT_EQ(type.Text(), c.text);
    // A value, given by itself, carries its name: the two ways agree.
    if (c.rule != srUnknown) {
      EXPECT_EQ(TNamedChoice<TSplitRule>(c.rule), rule);
    }
    if (c.type != stUnknown) {
      EXPECT_EQ(TNamedChoice<TSymbolType>(c.type), type);
    }
  }
  EXPECT_EQ(TNamedChoice<TSplitRule>(srUnknown).Text(), "");
  EXPECT_EQ(TNamedChoice<TSplitRule>(), TNamedChoice<TSplitRule>(""));
}

TEST(SplitSettings, EachKindReadsItsOwnDefaults) {
  TTempDir dir;
  struct {
    const char* name;
    std::string text;
    std::function<void(TSplitSettings&)> split, batch;  // applied to the common defaults
  } cases[] = {
      {"no key", "", [](auto& s) { s.SymbolType = stSeparator; }, [](auto&) {}},
      {"MaxLines beyond 32 bits", "[Split]\nMaxLines=2147483648\n",
       [](auto& s) { s.SymbolType = stSeparator, s.MaxLines = 2147483648LL; }, [](auto&) {}},
      {"MaxLines at the 32-bit bounds", "[Split]\nMaxLines=-2147483648\nSymbolType=End With\n",
       [](auto& s) { s.SymbolType = stEndWith, s.MaxLines = INT32_MIN; },
       [](auto& s) { s.SymbolType = stEndWith, s.MaxLines = INT32_MIN; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TSplitSettings split, batch;
    split.SplitByType = batch.SplitByType = srLines;
    split.MaxFileSize = batch.MaxFileSize = 100;
    c.split(split);
    c.batch(batch);
    EXPECT_EQ(Read(dir, c.text, kSplitReading), split);
    EXPECT_EQ(Read(dir, c.text, kBatchReading), batch);
  }
}

// Names of no rule and no type are written back and described as read; the
// keys keep their order, and QuotedFields appears only where it is used.
TEST(SplitSettings, UnknownNamesSurviveARoundTrip) {
  TTempDir dir;
  const std::string text =
      "[Split]\nSourceEncoding=cp1251\nSplitByType=lines\nMaxLines=-3\nKeepHeader=1\nMaxFileSize=7\n"
      "SymbolType=Bogus\nSymbolValue=;\nIgnoreCase=1\n";
  for (const auto* reading : {&kSplitReading, &kBatchReading}) {
    TSplitSettings settings = Read(dir, text, *reading);
    EXPECT_EQ(settings.SplitByType, srUnknown);
    EXPECT_EQ(settings.SymbolType, stUnknown);
    EXPECT_EQ(Written(dir, settings), text);
    EXPECT_EQ(Read(dir, text, *reading), settings);

    settings.QuotedFields = true;
    EXPECT_EQ(Written(dir, settings), text + "QuotedFields=1\n");
    EXPECT_EQ(Read(dir, text + "QuotedFields=1\n", *reading), settings);
  }
}

TEST(SplitSettings, DescribesTheRuleItNames) {
  struct {
    const char* name;
    std::function<void(TSplitSettings&)> change;
    std::string tail;
  } cases[] = {
      {"lines", [](auto& s) { s.SplitByType = srLines; }, "Max Lines per Split File: 9\r\nKeep Header: True"},
      {"file size", [](auto& s) { s.SplitByType = srFileSize; }, "Max File Size per Split File: -1 MB"},
      {"symbol", [](auto& s) { s.SplitByType = srSymbol; }, "End With: ;\r\nIgnore Case: False"},
      {"symbol of an unknown type",
       [](auto& s) { s.SplitByType = srSymbol, s.SymbolType = TNamedChoice<TSymbolType>("end with"); },
       "end with: ;\r\nIgnore Case: False"},
      {"unknown rule", [](auto& s) { s.SplitByType = TNamedChoice<TSplitRule>("Size"); }, ""},
      {"quoted fields", [](auto& s) { s.SplitByType = srFileSize, s.QuotedFields = true; },
       "Max File Size per Split File: -1 MB\r\nQuoted Fields: True"},
      {"quoted fields, unknown rule", [](auto& s) { s.QuotedFields = true; }, "Quoted Fields: True"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TSplitSettings s;
    s.MaxLines = 9;
    s.KeepHeader = true;
    s.MaxFileSize = -1;
    s.SymbolType = stEndWith;
    s.SymbolValue = ";";
    c.change(s);
    EXPECT_EQ(s.Describe("From : a", "To : b"), "From : a\r\nTo : b\r\n" + c.tail);
  }
}

TEST(SplitSettings, EqualityComparesEverySetting) {
  auto changes = SettingChanges();
  changes.push_back([](TSplitSettings& s) { s.SplitByType = srSymbol; });
  changes.push_back([](TSplitSettings& s) { s.SymbolType = stEndWith; });
  const TSplitSettings zero;
  EXPECT_EQ(TSplitSettings(), zero);
  for (size_t i = 0; i < changes.size(); ++i) {
    TSplitSettings other;
    changes[i](other);
    EXPECT_NE(other, zero) << "setting " << i;
    EXPECT_EQ(TSplitSettings(other), other) << "setting " << i;
  }
}
