#include <gtest/gtest.h>

#include <functional>

#include "support/SettingsText.h"
#include "support/TestSupport.h"
#include "tasks/UFileSplitSession.h"

namespace {

std::string Dump(const TFileSplitSession& s) {
  return "SourceFile=" + s.SourceFile + "|DestFolder=" + s.DestFolder + "|" + SettingsText(s.Settings) +
         "|unknown keys=" + std::to_string(s.UnknownKeys.size());
}

// The settings a file without any key reads as.
void SetDefaults(TFileSplitSession& s) {
  s.Settings.SplitByType = srLines;
  s.Settings.MaxFileSize = 100;
  s.Settings.SymbolType = stSeparator;
}

std::unique_ptr<TFileSplitSession> Loaded(const TTempDir& dir, const std::string& text) {
  WriteFile(dir / "job.sft", text);
  auto s = std::make_unique<TFileSplitSession>();
  s->LoadFromFile(dir / "job.sft");
  return s;
}

}  // namespace

TEST(FileSplitSession, ReadsEachKeyWithItsDefault) {
  struct {
    const char* name;
    std::string text;
    std::function<void(TFileSplitSession&)> expect;  // Applied to the defaults.
  } cases[] = {
      {"empty file", "", [](auto&) {}},
      {"only another section", "[Other]\nMaxLines=5\nSplitByType=Symbol\n", [](auto&) {}},
      {"only SourceFile", "[Split]\nSourceFile=/no/such.csv\n", [](auto& s) { s.SourceFile = "/no/such.csv"; }},
      {"every key",
       "[Split]\nSourceFile=/a b.csv\nSourceEncoding=cp1251\nDestFolder=/out\nSplitByType=Symbol\nMaxLines=7\n"
       "KeepHeader=1\nMaxFileSize=-2\nSymbolType=End With\nSymbolValue=--\nIgnoreCase=1\n",
       [](auto& s) {
         s.SourceFile = "/a b.csv";
         s.Settings.SourceEncoding = "cp1251";
         s.DestFolder = "/out";
         s.Settings.SplitByType = srSymbol;
         s.Settings.MaxLines = 7;
         s.Settings.KeepHeader = true;
         s.Settings.MaxFileSize = -2;
         s.Settings.SymbolType = stEndWith;
         s.Settings.SymbolValue = "--";
         s.Settings.IgnoreCase = true;
       }},
      {"Booleans: a leading 1 or a word", "[Split]\nKeepHeader=true\nIgnoreCase=10\n",
       [](auto& s) { s.Settings.KeepHeader = s.Settings.IgnoreCase = true; }},
      {"non-integers read as the defaults and are refused", "[Split]\nMaxLines=12x\nMaxFileSize=\n",
       [](auto& s) {
         s.Settings.Invalid.push_back({"MaxLines", "12x", ""});
       }},
      {"MaxLines is 64-bit", "[Split]\nMaxLines=3000000000\n", [](auto& s) { s.Settings.MaxLines = 3000000000LL; }},
      {"rule names in any spelling, kept as written", "[Split]\nSplitByType=lines\nSymbolType=start with\n",
       [](auto& s) {
         s.Settings.SplitByType = TNamedChoice<TSplitRule>("lines");
         s.Settings.SymbolType = TNamedChoice<TSymbolType>("start with");
       }},
  };
  TTempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TFileSplitSession expected;
    SetDefaults(expected);
    c.expect(expected);
    EXPECT_EQ(Dump(*Loaded(dir, c.text)), Dump(expected));
  }
}

TEST(FileSplitSession, WritesEveryKeyInOrder) {
  TTempDir dir;
  TFileSplitSession s;
  s.SourceFile = "/data/big.csv";
  s.Settings.SourceEncoding = "UTF-8";
  s.DestFolder = "/data/big_parts";
  s.Settings.SplitByType = srLines;
  s.Settings.MaxLines = 100000;
  s.Settings.KeepHeader = true;
  s.Settings.MaxFileSize = 100;
  s.Settings.SymbolType = stSeparator;
  s.SaveToFile(dir / "job.sft");
  EXPECT_EQ(ReadFile(dir / "job.sft"),
            "[Split]\nSourceFile=/data/big.csv\nSourceEncoding=UTF-8\nDestFolder=/data/big_parts\nSplitByType=Lines\n"
            "MaxLines=100000\nKeepHeader=1\nMaxFileSize=100\nSymbolType=Separator\nSymbolValue=\nIgnoreCase=0\n");
  TFileSplitSession back;
  back.LoadFromFile(dir / "job.sft");
  EXPECT_EQ(Dump(back), Dump(s));
}

TEST(FileSplitSession, SavingOverAFileKeepsItsOtherContent) {
  TTempDir dir;
  WriteFile(dir / "job.sft", "; mine\n[Split]\nExtra=keep me\nMaxLines=5\n\n[Other]\nMaxLines=9\n");
  auto s = Loaded(dir, ReadFile(dir / "job.sft"));
  s->Settings.MaxLines = 6;
  s->SaveToFile(dir / "job.sft");
  std::string text = ReadFile(dir / "job.sft");
  EXPECT_EQ(text.substr(0, text.find("SourceFile")), "; mine\n[Split]\nExtra=keep me\nMaxLines=6\n");
  EXPECT_NE(text.find("\n[Other]\nMaxLines=9\n"), std::string::npos);
  EXPECT_EQ(Loaded(dir, text)->Settings.MaxLines, 6);
}

TEST(FileSplitSession, DetectsTheEncodingOfAnExistingSource) {
  TTempDir dir;
  WriteFile(dir / "src.txt", std::string("\xFF\xFE"
                                         "a\0\n\0",
                                         6));
  auto s = Loaded(dir, "[Split]\nSourceFile=" + dir / "src.txt" + "\n");
  EXPECT_EQ(s->Settings.SourceEncoding, "UCS-2LE (Unicode Little Endian)");
  s->SaveToFile(dir / "job.sft");  // The detected name is written back.
  EXPECT_NE(ReadFile(dir / "job.sft").find("SourceEncoding=UCS-2LE (Unicode Little Endian)\n"), std::string::npos);

  EXPECT_EQ(
      Loaded(dir, "[Split]\nSourceFile=" + dir / "src.txt" + "\nSourceEncoding=Auto Detect\n")->Settings.SourceEncoding,
      "Auto Detect");
  EXPECT_EQ(Loaded(dir, "[Split]\nSourceFile=" + dir / "missing.txt" + "\n")->Settings.SourceEncoding, "");
  EXPECT_EQ(Loaded(dir, "[Split]\nSourceFile=" + dir.Path() + "\n")->Settings.SourceEncoding, "");
}

TEST(FileSplitSession, DescribesTheRuleItNames) {
  struct {
    const char* rule;
    std::string tail;
  } cases[] = {
      {"Lines", "Max Lines per Split File: 100000\r\nKeep Header: True"},
      {"File Size", "Max File Size per Split File: -5 MB"},
      {"Symbol", "Start With: ##\r\nIgnore Case: False"},
      {"Chunks", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rule);
    TFileSplitSession s;
    s.SourceFile = "/data/big.csv";
    s.DestFolder = "/data/big_parts";
    s.Settings.SplitByType = TNamedChoice<TSplitRule>(c.rule);
    s.Settings.MaxLines = 100000;
    s.Settings.KeepHeader = true;
    s.Settings.MaxFileSize = -5;
    s.Settings.SymbolType = stStartWith;
    s.Settings.SymbolValue = "##";
    std::string text;
    s.GetDescription(text);
    EXPECT_EQ(text, "From : /data/big.csv\r\nTo : /data/big_parts\r\n" + c.tail);
  }
}

TEST(FileSplitSession, IsSameAsComparesEverySetting) {
  std::vector<std::function<void(TFileSplitSession&)>> changes = {
      [](auto& s) { s.SourceFile = "x"; },
      [](auto& s) { s.DestFolder = "x"; },
  };
  for (const auto& change : SettingChanges()) changes.push_back([change](auto& s) { change(s.Settings); });
  TFileSplitSession base;
  EXPECT_TRUE(base.IsSameAs(TFileSplitSession()));
  for (size_t i = 0; i < changes.size(); ++i) {
    TFileSplitSession other;
    changes[i](other);
    EXPECT_FALSE(base.IsSameAs(other)) << "setting " << i;
  }
}
