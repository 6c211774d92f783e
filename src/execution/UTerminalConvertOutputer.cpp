#include "execution/UTerminalConvertOutputer.h"

#include <algorithm>
#include <cstdio>

#include "app/UUIAgent.h"
#include "convert/UConvertStatus.h"
#include "util/UTimeUtils.h"

namespace {

constexpr double kRedrawMs = 100;  // at most ten lines a second
// The clock is read about this often: rarely enough to cost nothing, often
// enough for the redraws.
constexpr double kCheckLowMs = 5;
constexpr double kCheckHighMs = 50;
constexpr int64_t kLargestStride = int64_t{1} << 20;

std::string FormatBytes(double bytes) {
  char buffer[32];
  if (bytes < 1e3)
    std::snprintf(buffer, sizeof(buffer), "%.0f B", bytes);
  else if (bytes < 1e6)
    std::snprintf(buffer, sizeof(buffer), "%.1f kB", bytes / 1e3);
  else if (bytes < 1e9)
    std::snprintf(buffer, sizeof(buffer), "%.1f MB", bytes / 1e6);
  else
    std::snprintf(buffer, sizeof(buffer), "%.2f GB", bytes / 1e9);
  return buffer;
}

}  // namespace

void TTerminalConvertOutputer::WriteError(const std::string& text) {
  TLogConvertOutputer::WriteError(text);
  if (UIAgent != nullptr) UIAgent->ShowError(text);
}

void TTerminalConvertOutputer::DoRecordError(TConvertStatus& sender) {
  TLogConvertOutputer::DoRecordError(sender);
  if (UIAgent != nullptr) UIAgent->ShowError(Status->ErrorText);
}

void TTerminalConvertOutputer::DoStart(TConvertStatus&) {
  if (!ShowProgress) return;
  StartMs_ = NowMs();
  CheckedMs_ = StartMs_;
  Stride_ = 1;
  Countdown_ = 1;
  Redraw(StartMs_);
}

void TTerminalConvertOutputer::CheckClock() {
  const double now = NowMs();
  const double since = now - CheckedMs_;
  if (since < kCheckLowMs)
    Stride_ = std::min(Stride_ * 2, kLargestStride);
  else if (since > kCheckHighMs)
    Stride_ = std::max<int64_t>(Stride_ / 2, 1);
  CheckedMs_ = now;
  Countdown_ = Stride_;
  if (now - DrawnMs_ >= kRedrawMs) Redraw(now);
}

void TTerminalConvertOutputer::Redraw(double now_ms) {
  DrawnMs_ = now_ms;
  if (UIAgent != nullptr) UIAgent->ShowProgress(ProgressText(now_ms - StartMs_), false);
}

std::string TTerminalConvertOutputer::ProgressText(double elapsed_ms) const {
  const TConvertStatus::TMeasure measure = Status->Measure ? Status->Measure() : TConvertStatus::TMeasure{};
  const double read = static_cast<double>(measure.BytesRead);
  const double seconds = elapsed_ms / 1000.0;
  const double rate = seconds > 0 ? read / seconds : 0;
  std::string text = FormatBytes(read);
  const bool total_known = measure.BytesTotal > 0;
  if (total_known) {
    const double total = static_cast<double>(measure.BytesTotal);
    const int percent = static_cast<int>(std::min(100.0, 100.0 * read / total));
    text += " of " + FormatBytes(total) + " (" + std::to_string(percent) + "%)";
  }
  text += ", " + std::to_string(Status->Converted) + " " + UnitName + ", " + std::to_string(measure.Pieces) + " pieces";
  char buffer[32];
  std::snprintf(buffer, sizeof(buffer), ", %.1f MB/s", rate / 1e6);
  text += buffer;
  if (total_known && rate > 0 && read < static_cast<double>(measure.BytesTotal))
    text += ", " + FormatDuration((static_cast<double>(measure.BytesTotal) - read) / rate * 1000.0) + " left";
  return text;
}
