// A piece in memory for the piece writer's tests, failing part way through
// a write as a full disk does, and the rules' way of feeding the writer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "convert/UPieceWriter.h"
#include "util/UErrors.h"

// What a memory piece received: its bytes and where each write ended. A
// write that would take it past FailAt lands the bytes up to there and fails.
struct TPiece {
  std::string Bytes = {};
  std::vector<size_t> WriteEnds = {};
  size_t FailAt = SIZE_MAX;
  bool FailClose = false;
  bool Closed = false;
};

class TMemorySink final : public TPieceWriter::TSink {
 public:
  explicit TMemorySink(TPiece& piece) : Piece_(piece) {}
  void Write(std::string_view bytes, size_t) override {
    if (Piece_.Bytes.size() + bytes.size() > Piece_.FailAt) {
      Piece_.Bytes.append(bytes.substr(0, Piece_.FailAt - std::min(Piece_.FailAt, Piece_.Bytes.size())));
      throw EInOutError("Cannot write to file \"piece\". File too large");
    }
    Piece_.Bytes.append(bytes);
    Piece_.WriteEnds.push_back(Piece_.Bytes.size());
  }
  void CutBack(int64_t size) override { Piece_.Bytes.resize(static_cast<size_t>(size)); }
  void Close() override {
    if (Piece_.FailClose) throw EInOutError("Cannot close file \"piece\". Input/output error");
    Piece_.Closed = true;
  }

 private:
  TPiece& Piece_;
};

// Appends each line as a record of its own, the way the rules do: the
// head is written once pending text is over the threshold, everything at
// the last line. Returns how many records failed with a raised error.
// With Ends, each line ends in its own.
inline int64_t AppendAll(TPieceWriter& writer, const std::vector<std::string>& lines,
                         const std::vector<std::string>& ends = {}) {
  int64_t failed = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    writer.StartRecord();
    try {
      if (ends.empty())
        writer.AppendLine(lines[i]);
      else
        writer.AppendKept(lines[i] + ends[i]);
      if (i + 1 == lines.size())
        writer.Flush();
      else if (writer.OverThreshold())
        writer.FlushHead();
    } catch (const EInOutError&) {
      ++failed;
    }
  }
  return failed;
}
