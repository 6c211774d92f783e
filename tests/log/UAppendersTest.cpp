#include <gtest/gtest.h>

#include <regex>

#include "log/UFileLogAppender.h"
#include "log/UMemoryLogAppender.h"
#include "support/TestSupport.h"
#include "util/UErrors.h"

TEST(FileLogAppender, CreatesThenAppendsWithTimestamps) {
  TTempDir dir;
  auto appender = TFileLogAppender::CreateForFile(dir / "run.log");
  EXPECT_EQ(appender->Level(), static_cast<uint32_t>(llDebug));
  appender->Append("[info]\tfirst");
  appender->Append("two\r\nlines");
  std::string text = ReadFile(dir / "run.log");
  std::regex layout(R"(\[\d{4}-\d\d-\d\d \d\d\.\d\d\.\d\d\.\d{3}\] \[info\]\tfirst\n)"
                    R"(\[\d{4}-\d\d-\d\d \d\d\.\d\d\.\d\d\.\d{3}\] two\r\nlines\n)");
  EXPECT_TRUE(std::regex_match(text, layout)) << text;
}

TEST(FileLogAppender, MissingFolderRaisesAndEmptyNameIsSilent) {
  TTempDir dir;
  EXPECT_THROW(AppendLogLine(dir / "missing/run.log", "x"), EInOutError);
  EXPECT_FALSE(PathExists(dir / "missing"));
  EXPECT_NO_THROW(TFileLogAppender("").Append("x"));
}

TEST(MemoryLogAppender, TrimsOnEvery1001stAppend) {
  TMemoryLogAppender log;
  log.SetMaxSize(100);
  for (int i = 0; i < 1000; ++i) log.Append("line");
  EXPECT_EQ(log.Lines().size(), 1000u);  // no check yet
  log.Append("last");
  std::string kept;
  for (const std::string& line : log.Lines()) kept += line + "\n";
  EXPECT_EQ(kept.size(), 100u);
  EXPECT_EQ(kept.substr(0, 6), "......");
  EXPECT_NE(log.Lines().back().find("\tlast"), std::string::npos);
  for (int i = 0; i < 1000; ++i) log.Append("more");
  EXPECT_GT(log.Lines().size(), 1000u);  // unchecked until the next 1001st append
}

TEST(MemoryLogAppender, ZeroMaxSizeNeverCuts) {
  TMemoryLogAppender log;
  for (int i = 0; i < 2500; ++i) log.Append("x");
  EXPECT_EQ(log.Lines().size(), 2500u);
  EXPECT_TRUE(std::regex_match(log.Lines()[0], std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d:\d{3}\tx)")));
}
