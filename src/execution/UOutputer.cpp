#include "execution/UOutputer.h"

#include "log/UFileLogAppender.h"

void TOutputer::WriteMessage(const std::string& text) {
  if (!LogFileName.empty()) AppendLogLine(LogFileName, text);
}
