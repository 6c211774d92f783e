#include "util/UGzipByteSource.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <utility>

#include "util/UErrors.h"

struct TGzipByteSource::TState {
  z_stream Stream{};
  bool MemberOpen = false;     // inside a member: its end has not been seen
  bool OutputPending = false;  // the last call filled the output: zlib may hold more
  bool Ended = false;
};

TGzipByteSource::TGzipByteSource(std::unique_ptr<TByteSource> input)
    : TDecompressingSource(std::move(input), "gzip"), State_(std::make_unique<TState>()) {
  // 16 + the largest window: a gzip header and trailer around the deflate data.
  if (inflateInit2(&State_->Stream, 16 + MAX_WBITS) != Z_OK) throw EQuillmereError("Cannot start gzip decompression.");
}

TGzipByteSource::~TGzipByteSource() { inflateEnd(&State_->Stream); }

size_t TGzipByteSource::Read(char* data, size_t size) {
  TState& s = *State_;
  z_stream& z = s.Stream;
  if (s.Ended) return 0;
  const uInt wanted = static_cast<uInt>(std::min<size_t>(size, UINT_MAX));
  z.next_out = reinterpret_cast<Bytef*>(data);
  z.avail_out = wanted;
  while (z.avail_out == wanted) {
    if (InPos_ == InSize_ && !s.OutputPending && !FillInput()) {
      if (s.MemberOpen) FailEndsEarly();
      s.Ended = true;
      return 0;
    }
    s.MemberOpen = true;  // input after a member's end opens the next one
    z.next_in = reinterpret_cast<Bytef*>(InBuffer_.get() + InPos_);
    z.avail_in = static_cast<uInt>(InSize_ - InPos_);
    const int rc = inflate(&z, Z_NO_FLUSH);
    InPos_ = InSize_ - z.avail_in;
    s.OutputPending = z.avail_out == 0;
    if (rc == Z_STREAM_END) {
      s.MemberOpen = false;
      s.OutputPending = false;
      inflateReset(&z);
    } else if (rc == Z_BUF_ERROR) {
      s.OutputPending = false;  // no progress without more input
    } else if (rc != Z_OK) {
      FailCorrupt(z.msg != nullptr ? z.msg : "inflate failed");
    }
  }
  return wanted - z.avail_out;
}
