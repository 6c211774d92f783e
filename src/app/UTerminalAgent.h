// The UI agent of a program that talks to its user on the terminal: errors
// and a progress line on standard error.
#pragma once

#include <string>
#include <string_view>

#include "app/UConsoleAgent.h"

class TTerminalAgent final : public TConsoleAgent {
 public:
  // Writes to Fd (standard error unless a test says otherwise), naming
  // every error line with Program: "<program>: <message>".
  explicit TTerminalAgent(std::string program, int fd = 2);

  // Started without arguments: says how to start it, as a usage error.
  void RunInteractive() override;
  // One line "<program>: <message>"; the message's own line breaks become
  // ": ". A progress line shown is removed first.
  void ShowError(const std::string& message) override;
  // Redraws the progress line in place: a carriage return, the text, and
  // blanks over what a longer line before left.
  void ShowProgress(const std::string& text, bool done) override;

 private:
  // Writes all of Text; a descriptor that cannot be written (closed, say)
  // takes nothing, which is all a report can do then.
  void Write(std::string_view text) const;

  std::string Program_;
  int Fd_;
  size_t LineShown_ = 0;  // columns of the progress line on the screen; 0 when none is
};
