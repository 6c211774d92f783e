#include <gtest/gtest.h>

#include "execution/UTaskResult.h"

TEST(TaskResult, TextSaysWhatTheRunCameTo) {
  const struct {
    TTaskResult result;
    const char* text;
  } cases[] = {
      {{.Completed = true, .Pieces = 3, .Records = 250}, "Result: succeeded, 3 pieces, 250 records."},
      {{.Batch = true, .Completed = true, .Files = 2, .Pieces = 4, .Records = 9},
       "Result: succeeded, 2 files, 4 pieces, 9 records."},
      {{}, "Result: failed, 0 pieces, 0 records."},
      {{.Batch = true}, "Result: failed, 0 files, 0 pieces, 0 records."},
      {{.Completed = true, .Pieces = 3, .Records = 2, .RecordsFailed = 1},
       "Result: failed, 3 pieces, 2 records, 1 records failed."},
      {{.Batch = true, .Completed = true, .Files = 3, .FilesFailed = 1, .Pieces = 2, .Records = 7, .RecordsFailed = 5},
       "Result: failed, 3 files, 2 pieces, 7 records, 5 records failed, 1 files failed."},
      {{.Pieces = 1, .Records = 4}, "Result: failed, 1 pieces, 4 records."},  // a step failed after them
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.result.Text(), c.text);
    EXPECT_EQ(c.result.Succeeded(), std::string(c.text).starts_with("Result: succeeded"));
  }
}
