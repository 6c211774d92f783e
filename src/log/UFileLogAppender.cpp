#include "log/UFileLogAppender.h"

#include "util/UFileStream.h"
#include "util/UTimeUtils.h"

void AppendLogLine(const std::string& file_name, const std::string& text) {
  if (file_name.empty()) return;
  std::string line = "[" + LogFileTimestamp() + "] " + text + "\n";
  TFileStream file = TFileStream::OpenAppend(file_name);
  file.WriteAll(line.data(), line.size());
  file.Close();
}

std::unique_ptr<TFileLogAppender> TFileLogAppender::CreateForFile(const std::string& file_name) {
  return std::make_unique<TFileLogAppender>(file_name);
}

void TFileLogAppender::Append(const std::string& line) {
  if (!FileName_.empty()) AppendLogLine(FileName_, line);
}
