#include <gtest/gtest.h>

#include <functional>

#include "support/SettingsText.h"
#include "support/TestSupport.h"
#include "tasks/UBatchFileSplitSession.h"

namespace {

std::string Dump(const TBatchFileSplitSession& s) {
  return "SourceFolder=" + s.SourceFolder + "|SourceIncludeSub=" + std::to_string(s.SourceIncludeSub) +
         "|SourceMask=" + s.SourceMask + "|DestFolder=" + s.DestFolder + "|" + SettingsText(s.Settings);
}

std::unique_ptr<TBatchFileSplitSession> Loaded(const TTempDir& dir, const std::string& text) {
  WriteFile(dir / "job.bst", text);
  auto s = std::make_unique<TBatchFileSplitSession>();
  s->LoadFromFile(dir / "job.bst");
  return s;
}

const std::string kUtf16Le(
    "\xFF\xFE"
    "a\0\n\0",
    6);

}  // namespace

TEST(BatchFileSplitSession, ReadsEachKeyWithItsDefault) {
  struct {
    const char* name;
    std::string text;
    std::function<void(TBatchFileSplitSession&)> expect;  // Applied to the defaults.
  } cases[] = {
      {"empty file", "", [](auto&) {}},
      {"every key",
       "[Split]\nSourceFolder=/no/such/in\nSourceEncoding=utf8\nSourceIncludeSub=1\nSourceMask=*.csv\n"
       "DestFolder=/out\nSplitByType=Symbol\nMaxLines=7\nKeepHeader=1\nMaxFileSize=5000000000\n"
       "SymbolType=Separator\nSymbolValue=--\nIgnoreCase=1\n",
       [](auto& s) {
         s.SourceFolder = "/no/such/in";
         s.Settings.SourceEncoding = "utf8";
         s.SourceIncludeSub = true;
         s.SourceMask = "*.csv";
         s.DestFolder = "/out";
         s.Settings.SplitByType = srSymbol;
         s.Settings.MaxLines = 7;
         s.Settings.KeepHeader = true;
         s.Settings.MaxFileSize = 5000000000LL;
         s.Settings.SymbolType = stSeparator;
         s.Settings.SymbolValue = "--";
         s.Settings.IgnoreCase = true;
       }},
      {"no SourceFile key in a batch", "[Split]\nSourceFile=/x.csv\n", [](auto&) {}},
      {"MaxLines at the 32-bit bounds", "[Split]\nMaxLines=-2147483648\n",
       [](auto& s) {
         s.Settings.MaxLines = INT32_MIN;
         s.Settings.Invalid.push_back({"MaxLines", "-2147483648", ""});
       }},
      {"MaxLines beyond 32 bits reads as 0 and is refused", "[Split]\nMaxLines=2147483648\n",
       [](auto& s) {
         s.Settings.Invalid.push_back({"MaxLines", "2147483648", ""});
       }},
      {"MaxLines not an integer reads as 0 and is refused", "[Split]\nMaxLines=12x\n",
       [](auto& s) {
         s.Settings.Invalid.push_back({"MaxLines", "12x", ""});
       }},
      {"SourceIncludeSub as a word", "[Split]\nSourceIncludeSub=Yes\n", [](auto& s) { s.SourceIncludeSub = true; }},
      {"SourceIncludeSub refused", "[Split]\nSourceIncludeSub=2\n",
       [](auto& s) {
         s.Settings.Invalid.push_back({"SourceIncludeSub", "2", ""});
       }},
  };
  TTempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TBatchFileSplitSession expected;
    expected.Settings.SplitByType = srLines;
    expected.Settings.MaxFileSize = 100;
    expected.Settings.SymbolType = stSeparator;  // as in a split task
    c.expect(expected);
    EXPECT_EQ(Dump(*Loaded(dir, c.text)), Dump(expected));
  }
}

TEST(BatchFileSplitSession, WritesEveryKeyInOrder) {
  TTempDir dir;
  TBatchFileSplitSession s;
  s.SourceFolder = "/in";
  s.Settings.SourceEncoding = "UTF-8";
  s.SourceIncludeSub = true;
  s.SourceMask = "*.csv";
  s.DestFolder = "/out";
  s.Settings.SplitByType = srFileSize;
  s.Settings.MaxLines = INT32_MAX;
  s.Settings.MaxFileSize = 5000000000LL;
  s.Settings.SymbolType = stEndWith;
  s.SaveToFile(dir / "job.bst");
  EXPECT_EQ(ReadFile(dir / "job.bst"),
            "[Split]\nSourceFolder=/in\nSourceEncoding=UTF-8\nSourceIncludeSub=1\nSourceMask=*.csv\nDestFolder=/out\n"
            "SplitByType=File Size\nMaxLines=2147483647\nKeepHeader=0\nMaxFileSize=5000000000\nSymbolType=End With\n"
            "SymbolValue=\nIgnoreCase=0\n");
  TBatchFileSplitSession back;
  back.LoadFromFile(dir / "job.bst");
  EXPECT_EQ(Dump(back), Dump(s));
}

TEST(BatchFileSplitSession, SavingOverAFileKeepsItsOtherKeys) {
  TTempDir dir;
  auto s = Loaded(dir, "[Split]\nExtra=keep me\nSourceMask=*.a\n");
  s->SourceMask = "*.b";
  s->SaveToFile(dir / "job.bst");
  std::string text = ReadFile(dir / "job.bst");
  EXPECT_EQ(text.substr(0, text.find("SourceFolder")), "[Split]\nExtra=keep me\nSourceMask=*.b\n");
}

// Each file of the batch is detected by itself when it is split.
TEST(BatchFileSplitSession, LeavesAnEmptyEncodingForEachFileToDetect) {
  TTempDir dir;
  WriteFile(dir / "in/b.txt", kUtf16Le);
  for (const char* keys : {"", "SourceEncoding=\n"})
    EXPECT_EQ(
        Loaded(dir, "[Split]\nSourceMask=*.txt\nSourceFolder=" + dir / "in" + "\n" + keys)->Settings.SourceEncoding,
        "");
  EXPECT_EQ(Loaded(dir, "[Split]\nSourceFolder=" + dir / "in" + "\nSourceEncoding=cp1252\n")->Settings.SourceEncoding,
            "cp1252");
}

TEST(BatchFileSplitSession, DescribesTheFolderAndTheRule) {
  TBatchFileSplitSession s;
  s.SourceFolder = "/in";
  s.SourceMask = "*.csv";
  s.SourceIncludeSub = true;
  s.DestFolder = "/out";
  s.Settings.SplitByType = srLines;
  s.Settings.MaxLines = 20;
  std::string text;
  s.GetDescription(text);
  EXPECT_EQ(text, "From : /in\r\nTo : /out\r\nMax Lines per Split File: 20\r\nKeep Header: False");
  s.Settings.SplitByType = srSymbol;
  s.Settings.SymbolValue = "--";
  s.Settings.IgnoreCase = true;
  s.GetDescription(text);
  EXPECT_EQ(text, "From : /in\r\nTo : /out\r\n: --\r\nIgnore Case: True");
}

TEST(BatchFileSplitSession, IsSameAsComparesEverySetting) {
  std::vector<std::function<void(TBatchFileSplitSession&)>> changes = {
      [](auto& s) { s.SourceFolder = "x"; },
      [](auto& s) { s.SourceIncludeSub = true; },
      [](auto& s) { s.SourceMask = "x"; },
      [](auto& s) { s.DestFolder = "x"; },
  };
  for (const auto& change : SettingChanges()) changes.push_back([change](auto& s) { change(s.Settings); });
  TBatchFileSplitSession base;
  EXPECT_TRUE(base.IsSameAs(TBatchFileSplitSession()));
  for (size_t i = 0; i < changes.size(); ++i) {
    TBatchFileSplitSession other;
    changes[i](other);
    EXPECT_FALSE(base.IsSameAs(other)) << "setting " << i;
  }
}
