#include <gtest/gtest.h>

#include <vector>

#include "util/UPieceName.h"

// Each template against the names it gives and the names it must not take
// for its own (clearing deletes what it takes).
TEST(PieceName, GivesTheNamesOfItsTemplateAndKnowsThemAgain) {
  struct Case {
    const char *text, *source;
    std::vector<std::string> names;  // of pieces 1, 2 and 123
    std::vector<std::string> others;
    const char* suffix = "";  // of compressed pieces
  } cases[] = {
      {"", "/data/big.csv", {"1.csv", "2.csv", "123.csv"}, {"01.csv", "0.csv", "1.txt", "1", "x1.csv", "1.csv.part"}},
      {"{n}{ext}", "notes", {"1", "2", "123"}, {"1.txt", "01", ""}},
      {"{n:3}{ext}", "a.csv", {"001.csv", "002.csv", "123.csv"}, {"1.csv", "0001.csv", "000.csv"}},
      {"{name}-{n:2}{ext}", "/in/r.2024.csv", {"r.2024-01.csv", "r.2024-02.csv", "r.2024-123.csv"}, {"r.2024-1.csv"}},
      {"{n}0.txt", "a", {"10.txt", "20.txt", "1230.txt"}, {"0.txt", "00.txt"}},
      {"p{n}-{n:4}", "a.b", {"p1-0001", "p2-0002", "p123-0123"}, {"p1-0002", "p12-0001"}},
      {"part}{n}", "a", {"part}1", "part}2", "part}123"}, {"part}0"}},
      {"", "/data/big.csv", {"1.csv.gz", "2.csv.gz", "123.csv.gz"}, {"1.csv", "1.csv.zst", "01.csv.gz"}, ".gz"},
      {"{n}", "a.b", {"1.zst", "2.zst", "123.zst"}, {"1", "1.zst.zst", "1.gz"}, ".zst"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_TRUE(TPieceName::IsTemplate(c.text));
    const TPieceName names(c.text, c.source, c.suffix);
    const int64_t numbers[] = {1, 2, 123};
    for (size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(names.Name(numbers[i]), c.names[i]);
      EXPECT_TRUE(names.IsPieceName(c.names[i])) << c.names[i];
    }
    for (const std::string& other : c.others) EXPECT_FALSE(names.IsPieceName(other)) << other;
    EXPECT_TRUE(names.IsPartName("." + c.names[0] + ".part"));
    EXPECT_FALSE(names.IsPartName(c.names[0] + ".part"));
    EXPECT_FALSE(names.IsPartName("." + c.names[0]));
  }
  for (const char* text : {"{ext}", "a/{n}", "{n}{Name}", "{n:0}", "{n:21}", "{n:x}", "{n", "{}{n}", "a{n:123}"})
    EXPECT_FALSE(TPieceName::IsTemplate(text)) << text;
}
