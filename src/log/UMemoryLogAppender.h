// Keeps the most recent log text of the process in memory, bounded in size.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "log/ULogAppender.h"

class TMemoryLogAppender : public TLogAppender {
 public:
  TMemoryLogAppender() = default;

  // Adds "yyyy-mm-dd hh:mm:ss:zzz" + TAB + Line, then TrimToMaxSize.
  void Append(const std::string& line) override;
  // Every 1001st call cuts the kept text to its last MaxSize bytes, the
  // first six of them replaced by "......". MaxSize 0 never cuts.
  void TrimToMaxSize();

  const std::vector<std::string>& Lines() const { return Lines_; }
  int32_t MaxSize() const { return MaxSize_; }
  void SetMaxSize(int32_t max_size) { MaxSize_ = max_size; }

 private:
  int32_t AppendCount_ = 0;
  std::vector<std::string> Lines_;
  int32_t MaxSize_ = 0;
};

// The in-memory log attached to "Global" at start-up (nullptr before and after).
extern TMemoryLogAppender* MemoryLog;
