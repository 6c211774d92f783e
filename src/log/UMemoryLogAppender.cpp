#include "log/UMemoryLogAppender.h"

#include "util/UTimeUtils.h"

TMemoryLogAppender* MemoryLog = nullptr;

void TMemoryLogAppender::Append(const std::string& line) {
  Lines_.push_back(MemoryLogTimestamp() + "\t" + line);
  TrimToMaxSize();
}

void TMemoryLogAppender::TrimToMaxSize() {
  if (MaxSize_ == 0) return;
  if (AppendCount_ < 1000) {
    ++AppendCount_;
    return;
  }
  AppendCount_ = 0;
  std::string text;
  for (const std::string& line : Lines_) {
    text += line;
    text += '\n';
  }
  if (text.size() <= static_cast<size_t>(MaxSize_)) return;
  size_t keep = MaxSize_ > 6 ? static_cast<size_t>(MaxSize_ - 6) : 0;
  std::string kept = "......" + text.substr(text.size() - keep);
  Lines_.clear();
  // Split at line feeds; the final line feed ends the last line, not a new one.
  size_t start = 0;
  while (start < kept.size()) {
    size_t end = kept.find('\n', start);
    if (end == std::string::npos) end = kept.size();
    Lines_.push_back(kept.substr(start, end - start));
    start = end + 1;
  }
}
