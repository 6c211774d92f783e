#include <gtest/gtest.h>

#include <regex>

#include "convert/UConvertStatus.h"
#include "execution/ULogConvertOutputer.h"
#include "support/TestSupport.h"

namespace {
std::vector<std::string> LogTexts(const std::string& path) {
  std::vector<std::string> texts;
  std::string data = ReadFile(path);
  std::regex stamp(R"(^\[\d{4}-\d\d-\d\d \d\d\.\d\d\.\d\d\.\d{3}\] )");
  size_t start = 0;
  while (start < data.size()) {
    size_t end = data.find('\n', start);
    std::string line = data.substr(start, end - start);
    if (std::regex_search(line, stamp))
      texts.push_back(line.substr(26));
    else if (!texts.empty())
      texts.back() += "\n" + line;  // a message with line breaks of its own
    else
      ADD_FAILURE() << "log does not begin with a time stamp: " << line;
    start = end + 1;
  }
  return texts;
}
}  // namespace

TEST(LogConvertOutputer, FinishWritesFromToAndSummary) {
  TTempDir dir;
  TConvertStatus status;
  TLogConvertOutputer out;
  out.LogFileName = dir / "run.log";
  out.Status = &status;
  out.Attach();
  EXPECT_EQ(status.UnitName, "records");
  status.FromDesc = "From : /a.csv";
  status.ToDesc = "To : /out";
  status.Start();
  status.Converted = 0;
  status.Finish();
  status.Start();
  status.Converted = 7;
  status.ErrorCount = 2;
  status.ErrorText = "Serial: 3\r\nboom";
  status.Raise(status.OnRecordError);
  status.Finish();
  auto texts = LogTexts(dir / "run.log");
  ASSERT_EQ(texts.size(), 7u);
  EXPECT_EQ(texts[0], "From : /a.csv");
  EXPECT_EQ(texts[1], "To : /out");
  EXPECT_TRUE(std::regex_match(texts[2], std::regex(R"(0 records,    Elapsed: 00:00:\d\d\.\d{3,4})"))) << texts[2];
  EXPECT_EQ(texts[3], "Serial: 3\r\nboom");
  EXPECT_TRUE(std::regex_match(texts[6], std::regex(R"(7 records,    Elapsed: \S+ 2 records can not convert\.)")))
      << texts[6];
}

TEST(LogConvertOutputer, OwnUnitNameAndReattachKeepOneBinding) {
  TTempDir dir;
  TConvertStatus status;
  TLogConvertOutputer out;
  out.LogFileName = dir / "run.log";
  out.UnitName = "lines";
  out.Status = &status;
  out.Attach();
  out.Attach();
  EXPECT_EQ(status.UnitName, "lines");
  status.Start();
  status.Converted = 1;
  status.Finish();  // no descriptions: only the summary
  auto texts = LogTexts(dir / "run.log");
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].rfind("1 lines,    Elapsed: ", 0), 0u);
}

TEST(LogConvertOutputer, EmptyLogFileNameIsSilent) {
  TConvertStatus status;
  TLogConvertOutputer out;
  out.Status = &status;
  out.Attach();
  status.FromDesc = "From : x";
  status.ToDesc = "To : y";
  EXPECT_NO_THROW(status.Finish());
}
