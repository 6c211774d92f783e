// Compressed streams written in parts (gzip through zlib's deflate, zstd
// through libzstd's streaming compressor), for a writer that must be able
// to end a stream where it chooses: after a sync, everything read so far is
// out, and the few bytes Ending gives end the stream right there (gzip: a
// last, empty block and the trailer; zstd: a last, empty block).
//
// One compressor serves one stream after another (Reset), so that pieces
// written in turn reuse its state and its output buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "util/UCompression.h"
#include "util/ULargeBlock.h"

class TCompressor {
 public:
  enum TFlush : uint8_t {
    cfContinue,  // read the input; the library may hold part of its output
    cfSync,      // and put out everything so far: Ending may end the stream after it
    cfFinish,    // and end the stream; Reset begins the next
  };
  static constexpr size_t kMaxEnding = 12;

  TCompressor();
  TCompressor(const TCompressor&) = delete;
  TCompressor& operator=(const TCompressor&) = delete;
  virtual ~TCompressor();

  // Forgets the current stream and its output: the next input begins a new one.
  void Reset();
  // Compresses from In into the output buffer and returns how many bytes of
  // In it read. Done tells whether the flush is complete; when it is not,
  // the buffer is full: take its bytes (Output, ClearOutput) and go on with
  // the rest of In. Raises EQuillmereError when the library fails.
  size_t Compress(std::string_view in, TFlush flush, bool& done);
  // The compressed bytes gathered since the buffer was last cleared.
  std::string_view Output() const { return {Buffer_.get(), Used_}; }
  void ClearOutput() { Used_ = 0; }
  // Right after a completed cfSync: copies the bytes that end the stream
  // there to Out (kMaxEnding bytes of room) and appends them to the output
  // too; returns their count.
  size_t AppendEnding(char* out);

 protected:
  // What one call of the library did.
  struct TStep {
    size_t Read = 0;
    size_t Written = 0;
    bool Done = false;  // as Compress's Done
  };
  virtual void ResetStream() = 0;
  // Compresses from In into [Out, Out + Room), Room being above 64 KiB.
  virtual TStep Step(std::string_view in, char* out, size_t room, TFlush flush) = 0;
  // As AppendEnding, into Out alone.
  virtual size_t Ending(char* out) const = 0;

 private:
  TLargeBlock Buffer_;   // the output, Capacity_ bytes
  size_t Capacity_ = 0;  // kMaxEnding of them are kept for an ending
  size_t Used_ = 0;      // bytes of output in Buffer_
};

// A compressor of Format (cmGzip or cmZstd) at Level (1 to 9 for gzip, 1 to
// 19 for zstd). Raises EQuillmereError when the library cannot start.
std::unique_ptr<TCompressor> MakeCompressor(TCompression format, int level);
