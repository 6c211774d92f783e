// An outputer bound to the status of a converter run: one handler per event.
#pragma once

#include <string>

#include "execution/UOutputer.h"

class TConvertStatus;

class TConvertOutputer : public TOutputer {
 public:
  // Sets the status's UnitName ("records" unless set) and binds its seven
  // events to this object's handlers (OnProgress only when WantsProgress).
  // Attaching again only re-binds.
  void Attach() override;
  // False for an outputer whose DoProgress does nothing: the status then
  // raises nothing per record.
  virtual bool WantsProgress() const { return true; }

  virtual void DoRecordError(TConvertStatus& sender) = 0;
  virtual void DoMessage(TConvertStatus& sender) = 0;
  virtual void DoStart(TConvertStatus& sender) = 0;
  virtual void DoFinish(TConvertStatus& sender) = 0;
  virtual void DoProgress(TConvertStatus& sender) = 0;
  virtual void DoBeforePrepare(TConvertStatus& sender) = 0;
  virtual void DoAfterPrepare(TConvertStatus& sender) = 0;

  std::string UnitName;
  // The status of the splitter being run; not owned. Set before Attach.
  TConvertStatus* Status = nullptr;
};
