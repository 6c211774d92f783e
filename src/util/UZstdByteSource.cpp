#include "util/UZstdByteSource.h"

#include <zstd.h>

#include <utility>

#include "util/UErrors.h"

struct TZstdByteSource::TState {
  ZSTD_DCtx* Context = nullptr;
  size_t Hint = 0;             // 0 while no frame is begun and unfinished
  bool OutputPending = false;  // the last call filled the output: the context may hold more
};

TZstdByteSource::TZstdByteSource(std::unique_ptr<TByteSource> input)
    : TDecompressingSource(std::move(input), "zstd"), State_(std::make_unique<TState>()) {
  State_->Context = ZSTD_createDCtx();
  if (State_->Context == nullptr) throw EQuillmereError("Cannot start zstd decompression.");
}

TZstdByteSource::~TZstdByteSource() { ZSTD_freeDCtx(State_->Context); }

size_t TZstdByteSource::Read(char* data, size_t size) {
  TState& s = *State_;
  ZSTD_outBuffer out{data, size, 0};
  while (out.pos == 0) {
    // Without input left, only what the context still holds can come out.
    bool drained = false;
    if (InPos_ == InSize_ && !s.OutputPending && !FillInput()) {
      if (s.Hint == 0) return 0;
      drained = true;
    }
    ZSTD_inBuffer in{InBuffer_.get(), InSize_, InPos_};
    const size_t hint = ZSTD_decompressStream(s.Context, &out, &in);
    if (ZSTD_isError(hint)) FailCorrupt(ZSTD_getErrorName(hint));
    // A call that moved nothing says only what the next frame would need.
    if (in.pos > InPos_ || out.pos > 0) s.Hint = hint;
    InPos_ = in.pos;
    s.OutputPending = out.pos == out.size;
    if (drained && out.pos == 0) {
      if (hint != 0) FailEndsEarly();
      return 0;
    }
  }
  return out.pos;
}
