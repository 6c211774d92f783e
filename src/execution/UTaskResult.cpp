#include "execution/UTaskResult.h"

std::string TTaskResult::Text() const {
  const bool succeeded = Succeeded();
  std::string text = succeeded ? "Result: succeeded, " : "Result: failed, ";
  if (Batch) text += std::to_string(Files) + " files, ";
  text += std::to_string(Pieces) + " pieces, " + std::to_string(Records) + " records";
  if (!succeeded && RecordsFailed > 0) text += ", " + std::to_string(RecordsFailed) + " records failed";
  if (!succeeded && FilesFailed > 0) text += ", " + std::to_string(FilesFailed) + " files failed";
  return text + ".";
}
