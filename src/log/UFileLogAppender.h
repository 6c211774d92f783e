// Appends each log line with a timestamp to a text file that is opened,
// written and closed for every line and never truncated.
#pragma once

#include <memory>
#include <string>

#include "log/ULogAppender.h"

// Appends "[" + local time "yyyy-mm-dd hh.nn.ss.zzz" + "] " + Text + LF to the
// file, creating it when missing (not its folder). An empty FileName does
// nothing. Any failure raises EInOutError.
void AppendLogLine(const std::string& file_name, const std::string& text);

class TFileLogAppender : public TLogAppender {
 public:
  explicit TFileLogAppender(std::string file_name) : FileName_(std::move(file_name)) {}
  // A new appender at debug level for FileName.
  static std::unique_ptr<TFileLogAppender> CreateForFile(const std::string& file_name);

  void Append(const std::string& line) override;
  const std::string& FileName() const { return FileName_; }

 private:
  std::string FileName_;
};
