#include <gtest/gtest.h>

#include <regex>

#include "support/TestSupport.h"
#include "util/UTimeUtils.h"

TEST(FormatElapsedTime, RoundsWithoutCarrying) {
  struct Case {
    double ms;
    bool with_ms;
    const char* text;
  } cases[] = {
      {59600, false, "00:00:60"},     {3723456, true, "01:02:03.456"}, {0, false, "00:00:00"},
      {999.6, true, "00:00:00.1000"}, {0, true, "00:00:00.000"},       {360000000, false, "100:00:00"},
      {2500, false, "00:00:02"},      {3500, false, "00:00:04"},       {65123, true, "00:01:05.123"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatElapsedTime(c.ms, c.with_ms), c.text) << c.ms;
}

TEST(FormatDuration, ShortInSecondsLongerInMinutesAndHours) {
  const std::pair<double, const char*> cases[] = {
      {0, "0.00 s"},   {424, "0.42 s"},  {9994, "9.99 s"},   {9996, "10.0 s"},     {59940, "59.9 s"},
      {59960, "1:00"}, {125000, "2:05"}, {3599400, "59:59"}, {3725000, "1:02:05"}, {-5, "0.00 s"},
  };
  for (const auto& [ms, text] : cases) EXPECT_EQ(FormatDuration(ms), text) << ms;
}

TEST(Timestamps, HaveTheirFixedForms) {
  EXPECT_TRUE(std::regex_match(LogFileTimestamp(), std::regex(R"(\d{4}-\d\d-\d\d \d\d\.\d\d\.\d\d\.\d{3})")));
  EXPECT_TRUE(std::regex_match(MemoryLogTimestamp(), std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d:\d{3})")));
  double a = NowMs(), b = NowMs();
  EXPECT_LE(a, b);
}

TEST(GetFileDateText, MissingFileGivesAFixedText) {
  TScopedEnv tz("TZ", "UTC");
  tzset();
  EXPECT_EQ(GetFileDateText("/nonexistent/file"), "31-12-69 23:59:59");
  EXPECT_EQ(GetFileDateText("/nonexistent/file"), GetFileDateText("/nonexistent/other"));
}
