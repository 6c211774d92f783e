#include <gtest/gtest.h>

#include <stdexcept>

#include "log/ULog.h"
#include "log/ULogAppender.h"
#include "log/ULogger.h"
#include "support/TestSupport.h"
#include "util/UErrors.h"

namespace {
class TRecordingAppender : public TLogAppender {
 public:
  void Append(const std::string& line) override {
    if (Fail) throw EInOutError("cannot write");
    Lines.push_back(line);
  }
  std::vector<std::string> Lines;
  bool Fail = false;
};
}  // namespace

TEST(Logger, DispatchesByThresholdWithTags) {
  TLogger logger;
  TRecordingAppender all, errors;
  errors.SetLevelError();
  logger.AddAppender(&all);
  logger.AddAppender(&errors);
  logger.Debug("d");
  logger.Info("i");
  logger.Log(llWarn, "w");
  logger.Error("");
  logger.Log(llFatal, "f");
  logger.Log(7, "odd");
  EXPECT_EQ(all.Lines, (std::vector<std::string>{"[debug]\td", "[info]\ti", "[warn]\tw", "[error]\t", "[fatal]\tf",
                                                 "[debug]\todd"}));
  // A level above fatal is tagged as debug but still compared by its number.
  EXPECT_EQ(errors.Lines, (std::vector<std::string>{"[error]\t", "[fatal]\tf", "[debug]\todd"}));
}

TEST(Logger, FailingAppenderStopsDispatchAndRaises) {
  TLogger logger;
  TRecordingAppender first, second;
  first.Fail = true;
  logger.AddAppender(&first);
  logger.AddAppender(&second);
  EXPECT_THROW(logger.Info("x"), EInOutError);
  EXPECT_TRUE(second.Lines.empty());
}

TEST(Log, RegistryIgnoresLetterCase) {
  TLogger& a = TLog::GetLogger("cmdline");
  EXPECT_EQ(&a, &TLog::GetLogger("CMDLINE"));
  EXPECT_EQ(&TLog::Global(), &TLog::GetLogger("global"));
  EXPECT_NE(&a, &TLog::Global());
}
