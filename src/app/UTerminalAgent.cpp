#include "app/UTerminalAgent.h"

#include <unistd.h>

#include <cerrno>
#include <utility>

TTerminalAgent::TTerminalAgent(std::string program, int fd) : Program_(std::move(program)), Fd_(fd) {}

void TTerminalAgent::RunInteractive() { ShowError("No source given; see " + Program_ + " --help."); }

void TTerminalAgent::ShowError(const std::string& message) {
  if (LineShown_ > 0) ShowProgress("", false);
  std::string line = Program_ + ": ";
  for (size_t i = 0; i < message.size(); ++i) {
    const char c = message[i];
    if (c != '\r' && c != '\n') {
      line += c;
      continue;
    }
    if (c == '\r' && i + 1 < message.size() && message[i + 1] == '\n') ++i;
    line += ": ";
  }
  Write(line + "\n");
}

void TTerminalAgent::ShowProgress(const std::string& text, bool done) {
  std::string line = "\r" + text;
  if (text.size() < LineShown_) line.append(LineShown_ - text.size(), ' ');
  if (done)
    line += "\n";
  else if (text.empty())
    line += "\r";
  LineShown_ = done ? 0 : text.size();
  Write(line);
}

void TTerminalAgent::Write(std::string_view text) const {
  while (!text.empty()) {
    const ssize_t written = ::write(Fd_, text.data(), text.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    text.remove_prefix(static_cast<size_t>(written));
  }
}
