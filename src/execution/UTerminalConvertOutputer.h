// Reports a run into the log file, as the log outputer does, and on the
// terminal through the UI agent: every failure, and on request a progress
// line redrawn while the run goes on.
#pragma once

#include <cstdint>
#include <string>

#include "execution/ULogConvertOutputer.h"

class TTerminalConvertOutputer final : public TLogConvertOutputer {
 public:
  // Without ShowProgress the status raises nothing per record.
  bool WantsProgress() const override { return ShowProgress; }
  // The log file's line, and the same text as an error on the terminal.
  void WriteError(const std::string& text) override;
  void DoRecordError(TConvertStatus& sender) override;
  // Draws the first progress line.
  void DoStart(TConvertStatus& sender) override;
  // Raised after every record: counts down and looks at the clock only
  // every Stride_ records, redrawing at most ten times a second.
  void DoProgress(TConvertStatus&) override {
    if (--Countdown_ > 0) [[likely]]
      return;
    CheckClock();
  }

  // "<read> of <total> (<p>%), <r> records, <n> pieces, <rate> MB/s, <t>
  // left", or without a total "<read>, <r> records, <n> pieces, <rate>
  // MB/s". Sizes in decimal units, as the rate; Elapsed since the start.
  std::string ProgressText(double elapsed_ms) const;

  // A progress line on the terminal; set before Attach.
  bool ShowProgress = false;

 private:
  [[gnu::noinline]] void CheckClock();
  void Redraw(double now_ms);

  // Clock readings follow the records' pace: about one every few
  // milliseconds, whatever a record costs.
  int64_t Countdown_ = 1;
  int64_t Stride_ = 1;
  double StartMs_ = 0;
  double CheckedMs_ = 0;
  double DrawnMs_ = 0;
};
