#include "convert/UConvertStatus.h"

#include "util/UTimeUtils.h"

void TConvertStatus::Start() {
  Converted = 0;
  ErrorCount = 0;
  Message.clear();
  ErrorText.clear();
  FinishNote.clear();
  StartTick = NowMs();
  Raise(OnStart);
}

void TConvertStatus::Finish() {
  FinishTick = NowMs();
  Raise(OnFinish);
}

double TConvertStatus::ElapsedMs() const { return NowMs() - StartTick; }

void TConvertStatus::FixTotal() {
  if ((Total != Converted && ErrorCount == 0) || Estimated) Total = Converted;
}
