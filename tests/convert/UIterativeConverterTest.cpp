#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "convert/UIterativeConverter.h"
#include "log/ULog.h"
#include "log/ULogAppender.h"
#include "log/ULogger.h"
#include "util/UErrors.h"

namespace {

// Converts Count records; the records listed in Failing raise.
class TTestConverter : public TIterativeConverter {
 public:
  int64_t Count = 0;
  int64_t Total = 0;
  bool Estimated = false;
  std::set<int64_t> Failing;
  std::function<void(int64_t)> OnRecord;
  int64_t Fetched = 0;
  std::vector<std::string> Calls;
  using TIterativeConverter::EndLoop;

 protected:
  void Prepare() override { Calls.push_back("Prepare"); }
  void CleanUp() override { Calls.push_back("CleanUp"); }
  bool HasNext() override { return Fetched < Count; }
  void Next() override { ++Fetched; }
  void ConvertOneRecord() override {
    if (OnRecord) OnRecord(Fetched);
    try {
      if (Failing.count(Fetched)) throw EQuillmereError("bad record " + std::to_string(Fetched));
    } catch (const EQuillmereError& e) {
      ++Status().ErrorCount;
      RecordError("Serial: " + std::to_string(Fetched), e);
    }
  }
  void CalculateTotal() override {
    Status().Total = Total;
    Status().Estimated = Estimated;
  }
};

class TCollect : public TLogAppender {
 public:
  void Append(const std::string& line) override { Lines.push_back(line); }
  std::vector<std::string> Lines;
};

struct TEvents {
  std::vector<std::string> Seen;
  void Attach(TConvertStatus& status) {
    status.OnStart = [this](TConvertStatus&) { Seen.push_back("start"); };
    status.OnFinish = [this](TConvertStatus&) { Seen.push_back("finish"); };
    status.OnRecordError = [this](TConvertStatus& s) { Seen.push_back("error:" + s.ErrorText); };
    status.OnMessage = [this](TConvertStatus& s) { Seen.push_back("message:" + s.Message); };
    status.OnBeforePrepare = [this](TConvertStatus&) { Seen.push_back("before"); };
    status.OnAfterPrepare = [this](TConvertStatus&) { Seen.push_back("after"); };
  }
};

}  // namespace

TEST(IterativeConverter, EmptySourceStartsAndFinishes) {
  TTestConverter c;
  c.Total = 5;
  TEvents events;
  events.Attach(c.Status());
  EXPECT_TRUE(c.Run());
  EXPECT_EQ(events.Seen, (std::vector<std::string>{"before", "after", "start", "finish"}));
  EXPECT_EQ(c.Status().Converted, 0);
  EXPECT_EQ(c.Status().Total, 0);  // FixTotal
  EXPECT_EQ(c.Calls, (std::vector<std::string>{"Prepare", "CleanUp"}));
}

TEST(IterativeConverter, FailuresCountedAndOnlyFiveLogged) {
  TCollect log;
  TLog::Global().AddAppender(&log);
  TTestConverter c;
  c.Count = 10;
  c.Total = 10;
  c.Failing = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  TEvents events;
  events.Attach(c.Status());
  c.Run();
  EXPECT_EQ(c.Status().Converted, 0);  // never negative
  EXPECT_EQ(c.Status().ErrorCount, 10);
  EXPECT_EQ(c.Status().ErrorText, "Serial: 10\r\nbad record 10");
  EXPECT_EQ(std::count_if(events.Seen.begin(), events.Seen.end(),
                          [](const std::string& s) { return s.rfind("error:", 0) == 0; }),
            10);
  EXPECT_EQ(log.Lines.size(), 5u);
  EXPECT_EQ(log.Lines[0], "[error]\tbad record 1");
  c.Fetched = 0;
  c.Run();  // a new run logs five again
  EXPECT_EQ(log.Lines.size(), 10u);
  TLog::Global().RemoveAppender(&log);
}

TEST(IterativeConverter, StopBeforeBeginIsForgottenStopOrEndDuringLoopEndsIt) {
  TTestConverter c;
  c.Count = 10;
  c.Total = 10;
  c.Stop();
  c.Run();
  EXPECT_EQ(c.Status().Converted, 10);

  TTestConverter d;
  d.Count = 10;
  d.Total = 10;
  d.OnRecord = [&d](int64_t n) {
    if (n == 3) d.Stop();
  };
  d.Run();
  EXPECT_EQ(d.Status().Converted, 3);
  EXPECT_EQ(d.Status().Total, 10);  // not corrected after a stop

  // A converter that ends its own loop ends it as the error limit does.
  TTestConverter e;
  e.Count = 10;
  e.Total = 10;
  e.Estimated = true;
  e.OnRecord = [&e](int64_t n) {
    if (n == 3) e.EndLoop();
  };
  e.Run();
  EXPECT_EQ(e.Fetched, 3);
  EXPECT_FALSE(e.Stopped());
  EXPECT_EQ(e.Status().Total, 3);  // corrected: an estimate
}

// A handler can only set StopSignal; the loop takes it up before the next
// record, as a stop request that no new run forgets.
TEST(IterativeConverter, StopSignalEndsTheLoopBeforeTheNextRecord) {
  TTestConverter c;
  c.Count = 10;
  c.Total = 10;
  c.OnRecord = [](int64_t n) {
    if (n == 4) StopSignal = SIGTERM;
  };
  c.Run();
  EXPECT_EQ(c.Fetched, 4);
  EXPECT_TRUE(c.Stopped());
  c.OnRecord = nullptr;
  c.Fetched = 0;
  c.Run();
  EXPECT_EQ(c.Fetched, 0);
  StopSignal = 0;
}

TEST(IterativeConverter, ErrorLimitStopsAfterTheFailureBeyondIt) {
  TTestConverter c;
  c.Count = 20;
  c.Total = 20;
  c.SetMaxErrorCount(2);
  c.Failing = {2, 4, 6, 8};
  TEvents events;
  events.Attach(c.Status());
  c.Run();
  EXPECT_EQ(c.Fetched, 6);  // the third failure exceeds the limit of two
  EXPECT_NE(std::find(events.Seen.begin(), events.Seen.end(), "message:Maxinum error count (2) exceeded. "),
            events.Seen.end());
  EXPECT_EQ(c.Status().Converted, 3);
  EXPECT_EQ(c.Status().Total, 20);  // failures keep an exact total as it was
}

TEST(IterativeConverter, TotalBoundsTheLoopUnlessUnknown) {
  TTestConverter exact;
  exact.Count = 10;
  exact.Total = 4;
  exact.Run();
  EXPECT_EQ(exact.Fetched, 5);  // at most Total + 1 records

  TTestConverter unknown;
  unknown.Count = 10;
  unknown.Total = -1;
  unknown.Run();
  EXPECT_EQ(unknown.Fetched, 10);
  EXPECT_EQ(unknown.Status().Total, 10);
}

TEST(IterativeConverter, PrepareFailureRaisesAfterEventsAndCleanUp) {
  struct TFailing : TTestConverter {
    void Prepare() override { throw EQuillmereError("no source"); }
  } c;
  TEvents events;
  events.Attach(c.Status());
  EXPECT_THROW(c.Run(), EQuillmereError);
  EXPECT_EQ(events.Seen, (std::vector<std::string>{"before", "after"}));
  EXPECT_EQ(c.Calls, (std::vector<std::string>{"CleanUp"}));
}

TEST(IterativeConverter, UnwritableGlobalLogDoesNotEndTheRun) {
  struct TBroken : TLogAppender {
    void Append(const std::string&) override { throw EInOutError("no folder"); }
  } broken;
  broken.SetLevelError();
  TLog::Global().AddAppender(&broken);
  TTestConverter c;
  c.Count = 3;
  c.Total = 3;
  c.Failing = {1};
  EXPECT_NO_THROW(c.Run());
  EXPECT_EQ(c.Status().Converted, 2);
  EXPECT_EQ(c.Status().ErrorCount, 1);
  TLog::Global().RemoveAppender(&broken);
}
