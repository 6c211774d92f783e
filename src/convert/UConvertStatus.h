// Counters, times and texts of one conversion run, and the events through
// which the run reports to an outputer.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

class TConvertStatus;

// An event handler bound to its object; receives the status as sender.
using TStatusEvent = std::function<void(TConvertStatus&)>;

class TConvertStatus {
 public:
  TConvertStatus() = default;
  TConvertStatus(const TConvertStatus&) = delete;
  TConvertStatus& operator=(const TConvertStatus&) = delete;

  // Resets Converted, ErrorCount, Message, ErrorText and FinishNote, takes StartTick and
  // raises OnStart. UnitName, Total, Estimated and the descriptions stay.
  void Start();
  // Takes FinishTick and raises OnFinish.
  void Finish();
  // Milliseconds since Start.
  double ElapsedMs() const;
  // Makes Total the converted count when the total was an estimate, or when
  // it differs and no record failed.
  void FixTotal();

  // Calls the handler when one is assigned.
  void Raise(const TStatusEvent& event) {
    if (event) event(*this);
  }

  TStatusEvent OnStart, OnFinish, OnRecordError, OnMessage, OnProgress, OnBeforePrepare, OnAfterPrepare;
  std::string UnitName;
  bool Estimated = false;
  int64_t Total = 0;  // -1: no total known
  int64_t Converted = 0;
  int64_t ErrorCount = 0;
  double StartTick = 0;
  double FinishTick = 0;
  std::string Message;
  std::string ErrorText;
  std::string FromDesc;
  std::string ToDesc;
  // A line the outputer writes after the summary; empty for none. Reset by
  // Start.
  std::string FinishNote;
};
