// The factory of the quillmere program: the split tool's task kinds, with
// an outputer that also reports on the terminal.
#pragma once

#include "app/UFileSplitSessionObjectFactory.h"

class TTerminalSessionObjectFactory final : public TFileSplitSessionObjectFactory {
 public:
  // A TTerminalConvertOutputer for the log file, with a progress line when
  // ShowProgress says so.
  std::unique_ptr<TOutputer> CreateOutputer(const std::string& file_name, const std::string& log_file_name) override;

  bool ShowProgress = false;
};
