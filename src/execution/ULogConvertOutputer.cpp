#include "execution/ULogConvertOutputer.h"

#include "convert/UConvertStatus.h"
#include "util/UTimeUtils.h"

void TLogConvertOutputer::DoRecordError(TConvertStatus&) { WriteMessage(Status->ErrorText); }

void TLogConvertOutputer::DoMessage(TConvertStatus&) { WriteMessage(Status->Message); }

std::string TLogConvertOutputer::SummaryText() const {
  std::string text = std::to_string(Status->Converted) + " " + UnitName +
                     ",    Elapsed: " + FormatElapsedTime(Status->ElapsedMs(), true);
  if (Status->ErrorCount > 0) text += " " + std::to_string(Status->ErrorCount) + " " + UnitName + " can not convert.";
  return text;
}

void TLogConvertOutputer::DoFinish(TConvertStatus&) {
  std::string summary = SummaryText();
  if (!Status->FromDesc.empty() && !Status->ToDesc.empty()) {
    WriteMessage(Status->FromDesc);
    WriteMessage(Status->ToDesc);
  }
  WriteMessage(summary);
  if (!Status->FinishNote.empty()) WriteMessage(Status->FinishNote);
}
