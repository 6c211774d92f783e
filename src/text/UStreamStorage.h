// A source read front to back once: standard input, a pipe, or a file
// decompressed as it is read.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "text/USourceStorage.h"
#include "util/UByteSource.h"
#include "util/ULargeBlock.h"

// The window lies in a buffer that reads fill, followed by the bytes read
// ahead. A stream cannot tell where it ends until a read finds its end, so
// the buffer always holds kLookAhead bytes beyond the window, or the
// stream's end: Holds is then exact for the counts the reader asks. A
// stream also hands out only what has come: Extend takes what was read
// already, and waits for one read only when nothing beyond the look-ahead
// is there, so lines are split as they arrive. Advancing moves the bytes
// that stay to the buffer's front; the buffer grows only with the window
// (a long line), so memory stays flat.
class TStreamStorage final : public TSourceStorage {
 public:
  // The bytes read ahead at any time, while the stream goes on.
  static constexpr size_t kLookAhead = 8;

  // Reads Source, whose bytes in all are Total (-1 when it cannot tell; a
  // decompressed source counts its compressed bytes). Reads ahead at once:
  // the stream's first bytes are then Ahead(). Raises what Source raises.
  TStreamStorage(std::unique_ptr<TByteSource> source, int64_t total);

  const char* Data() const override { return Buffer_.get(); }
  // Exact for every count up to kLookAhead bytes past the window.
  bool Holds(uint64_t count) const override { return count <= uint64_t{Size_} + Ahead_ || !Ended_; }
  void Advance(size_t count) override;
  // Adds up to Count bytes, those read already, or those one read brings
  // when none are: at least one, unless the stream ends. Raises what the
  // source raises: a read that fails, a compressed stream that is corrupt or
  // cut short (EReadError).
  void Extend(size_t count) override;
  int64_t BytesTaken() const override { return Source_->BytesConsumed(); }
  int64_t BytesInAll() const override { return Total_; }

  // The bytes read beyond the window.
  std::string_view Ahead() const { return {Buffer_.get() + Size_, Ahead_}; }

 private:
  // Reads until the buffer holds Wanted bytes, window and ahead, or the
  // stream ends.
  void Fill(size_t wanted);
  // One read of up to Count bytes or more, as the buffer has room, after the
  // bytes held; growing the buffer first when it has no room for Count.
  void ReadOnce(size_t count);

  std::unique_ptr<TByteSource> Source_;  // never null
  int64_t Total_;
  TLargeBlock Buffer_;  // the window from its start, then Ahead_ bytes read ahead; Capacity_ bytes
  size_t Capacity_ = 0;
  size_t Ahead_ = 0;
  bool Ended_ = false;  // a read found the stream's end: nothing lies beyond the bytes in the buffer
};
