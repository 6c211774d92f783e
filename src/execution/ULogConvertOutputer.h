// Reports a run into the command line's log file: record failures,
// messages, and at the finish the source, destination and summary lines.
#pragma once

#include "execution/UConvertOutputer.h"

class TLogConvertOutputer : public TConvertOutputer {
 public:
  void DoRecordError(TConvertStatus& sender) override;
  void DoMessage(TConvertStatus& sender) override;
  void DoStart(TConvertStatus&) override {}
  void DoFinish(TConvertStatus& sender) override;
  void DoProgress(TConvertStatus&) override {}
  // The log shows no progress.
  bool WantsProgress() const override { return false; }
  void DoBeforePrepare(TConvertStatus&) override {}
  void DoAfterPrepare(TConvertStatus&) override {}

  // "<n> <unit>,    Elapsed: hh:nn:ss.zzz", with " <n> <unit> can not
  // convert." appended when records failed.
  std::string SummaryText() const;
};
