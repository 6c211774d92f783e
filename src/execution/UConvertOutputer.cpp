#include "execution/UConvertOutputer.h"

#include "convert/UConvertStatus.h"

void TConvertOutputer::Attach() {
  if (UnitName.empty()) UnitName = "records";
  Status->UnitName = UnitName;
  Status->OnRecordError = [this](TConvertStatus& s) { DoRecordError(s); };
  Status->OnMessage = [this](TConvertStatus& s) { DoMessage(s); };
  Status->OnStart = [this](TConvertStatus& s) { DoStart(s); };
  Status->OnFinish = [this](TConvertStatus& s) { DoFinish(s); };
  if (WantsProgress())
    Status->OnProgress = [this](TConvertStatus& s) { DoProgress(s); };
  else
    Status->OnProgress = nullptr;
  Status->OnBeforePrepare = [this](TConvertStatus& s) { DoBeforePrepare(s); };
  Status->OnAfterPrepare = [this](TConvertStatus& s) { DoAfterPrepare(s); };
}
