#include "util/UCompressor.h"

#include <zlib.h>
#include <zstd.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "util/UErrors.h"

namespace {

// Room below this is too little for one step: zlib's sync flush repeats its
// marker when it runs out of room, and a step should be one large call.
constexpr size_t kMinRoom = size_t{64} << 10;
// Room for the compressed form of a flush of 256 KiB in one step, whatever
// the text.
constexpr size_t kBufferSize = size_t{1} << 20;

// zlib counts in 32 bits.
constexpr size_t kZlibStep = size_t{1} << 30;

void PutLe32(char* out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<char>(value >> (8 * i));
}

// zlib's deflate with a gzip header (no name, no time), member by member.
class TGzipCompressor final : public TCompressor {
 public:
  explicit TGzipCompressor(int level) {
    // 16 + the largest window: gzip's header and trailer around the deflate
    // data; 8 is zlib's usual memory level, gzip's hash size.
    if (deflateInit2(&Stream_, level, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
      throw EQuillmereError("Cannot start gzip compression.");
  }
  ~TGzipCompressor() override { deflateEnd(&Stream_); }

 private:
  void ResetStream() override { deflateReset(&Stream_); }

  TStep Step(std::string_view in, char* out, size_t room, TFlush flush) override {
    const size_t given = std::min(in.size(), kZlibStep);
    const size_t space = std::min(room, kZlibStep);
    Stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    Stream_.avail_in = static_cast<uInt>(given);
    Stream_.next_out = reinterpret_cast<Bytef*>(out);
    Stream_.avail_out = static_cast<uInt>(space);
    const int mode = flush == cfContinue ? Z_NO_FLUSH : flush == cfSync ? Z_SYNC_FLUSH : Z_FINISH;
    const int rc = deflate(&Stream_, mode);
    // Z_BUF_ERROR: nothing left to do for this flush.
    if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) throw EQuillmereError("gzip compression failed.");
    TStep step{.Read = given - Stream_.avail_in, .Written = space - Stream_.avail_out};
    const bool read_all = step.Read == in.size();
    // A flush is complete once zlib returns with room to spare.
    step.Done = flush == cfFinish ? rc == Z_STREAM_END : read_all && (flush == cfContinue || Stream_.avail_out > 0);
    return step;
  }

  size_t Ending(char* out) const override {
    // After a sync flush the data ends on a byte: a last block holding
    // nothing (fixed codes, 10 bits), then the CRC-32 and the size of
    // everything read, which zlib keeps for the gzip trailer.
    out[0] = 0x03;
    out[1] = 0x00;
    PutLe32(out + 2, static_cast<uint32_t>(Stream_.adler));
    PutLe32(out + 6, static_cast<uint32_t>(Stream_.total_in));
    return 10;
  }

  z_stream Stream_{};
};

// libzstd's streaming compressor, frame by frame. Frames carry no checksum
// of their own: one could not be given to a frame ended at a sync.
class TZstdCompressor final : public TCompressor {
 public:
  explicit TZstdCompressor(int level) : Context_(ZSTD_createCCtx()) {
    if (Context_ == nullptr || ZSTD_isError(ZSTD_CCtx_setParameter(Context_, ZSTD_c_compressionLevel, level)))
      throw EQuillmereError("Cannot start zstd compression.");
  }
  ~TZstdCompressor() override { ZSTD_freeCCtx(Context_); }

 private:
  void ResetStream() override { ZSTD_CCtx_reset(Context_, ZSTD_reset_session_only); }

  TStep Step(std::string_view in, char* out, size_t room, TFlush flush) override {
    ZSTD_inBuffer input{in.data(), in.size(), 0};
    ZSTD_outBuffer output{out, room, 0};
    const ZSTD_EndDirective mode = flush == cfContinue ? ZSTD_e_continue : flush == cfSync ? ZSTD_e_flush : ZSTD_e_end;
    const size_t left = ZSTD_compressStream2(Context_, &output, &input, mode);
    if (ZSTD_isError(left)) throw EQuillmereError(std::string("zstd compression failed: ") + ZSTD_getErrorName(left));
    // Left: what the context still holds to put out for a flush or an end.
    return {.Read = input.pos,
            .Written = output.pos,
            .Done = input.pos == input.size && (flush == cfContinue || left == 0)};
  }

  size_t Ending(char* out) const override {
    // After a flush the frame ends on a block: a last raw block of no bytes.
    out[0] = 0x01;
    out[1] = 0x00;
    out[2] = 0x00;
    return 3;
  }

  ZSTD_CCtx* Context_;
};

}  // namespace

TCompressor::TCompressor() : Capacity_(kBufferSize) { Buffer_ = AllocateLargeBlock(Capacity_); }

TCompressor::~TCompressor() = default;

void TCompressor::Reset() {
  ResetStream();
  Used_ = 0;
}

size_t TCompressor::Compress(std::string_view in, TFlush flush, bool& done) {
  size_t read = 0;
  done = false;
  while (Capacity_ - kMaxEnding - Used_ >= kMinRoom) {
    const TStep step = Step(in.substr(read), Buffer_.get() + Used_, Capacity_ - kMaxEnding - Used_, flush);
    read += step.Read;
    Used_ += step.Written;
    if (step.Done) {
      done = true;
      break;
    }
  }
  return read;
}

size_t TCompressor::AppendEnding(char* out) {
  const size_t size = Ending(out);
  std::memcpy(Buffer_.get() + Used_, out, size);
  Used_ += size;
  return size;
}

std::unique_ptr<TCompressor> MakeCompressor(TCompression format, int level) {
  if (format == cmZstd) return std::make_unique<TZstdCompressor>(level);
  return std::make_unique<TGzipCompressor>(level);
}
