#include "text/UBlockTextReader.h"

#include <emmintrin.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "log/ULog.h"
#include "log/ULogger.h"
#include "text/UEncodingConverter.h"
#include "text/UEncodingDetect.h"
#include "text/UEncodings.h"
#include "text/UTextDecoder.h"
#include "util/UDebugHelper.h"
#include "util/UErrors.h"
#include "util/UPathUtils.h"

namespace {

constexpr int64_t kMiB = 1048576;
constexpr int64_t kGiB = 1024 * kMiB;

// Blocks small enough to stay in the processor's caches while they are
// scanned, copied into the pending text and written out. On 1 GiB sources
// blocks of 16 to 128 MiB made a split about a third slower: every byte then
// went through main memory once more. Whole-file copies below the memory
// limit still follow the free memory.
constexpr int64_t kBlockSize = kMiB;

// Mapped sources are mapped in spans of this many bytes, starting on
// multiples of kMapAlign (the size of a large page).
constexpr int64_t kMapSpan = 8 * kMiB;
constexpr int64_t kMapAlign = 2 * kMiB;

int64_t MemoryLimitFor(int64_t free_memory) {
  if (free_memory > 2 * kGiB) return 512 * kMiB;
  if (free_memory > kGiB) return 256 * kMiB;
  return 128 * kMiB;
}

// How far ahead of the scan the bytes of a block are requested. Blocks come
// straight from the page cache, whose pages lie scattered in memory where the
// processor's own prefetching does not follow them.
constexpr size_t kPrefetchDistance = 16384;

// Bit i set where Text[i] is LF or CR, for the 64 bytes at Text. One pass
// finds either, 16 bytes at a time (SSE2 is part of every x86-64 processor).
uint64_t LineEndMask64(const char* text) {
  const __m128i line_feed = _mm_set1_epi8('\n');
  const __m128i carriage_return = _mm_set1_epi8('\r');
  uint64_t mask = 0;
  for (int i = 0; i < 4; ++i) {
    __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + 16 * i));
    uint32_t hits = static_cast<uint32_t>(
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, line_feed), _mm_cmpeq_epi8(bytes, carriage_return))));
    mask |= static_cast<uint64_t>(hits) << (16 * i);
  }
  return mask;
}

// Bit i set where the byte of Text at i equals Byte, for the 64 bytes at Text.
uint64_t ByteMask64(const char* text, char byte) {
  const __m128i wanted = _mm_set1_epi8(byte);
  uint64_t mask = 0;
  for (int i = 0; i < 4; ++i) {
    __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + 16 * i));
    mask |= static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, wanted)))) << (16 * i);
  }
  return mask;
}

constexpr size_t kNone = static_cast<size_t>(-1);

// The offset of the last LF or CR in Text from From to End, or kNone; one
// pass from the end, 64 bytes a step, so that a window that grows over a
// long line is searched once.
size_t LastLineEndByte(const char* text, size_t from, size_t end) {
  while (end >= from + 64) {
    const uint64_t mask = LineEndMask64(text + end - 64);
    if (mask != 0) return end - 64 + 63 - static_cast<size_t>(__builtin_clzll(mask));
    end -= 64;
  }
  while (end > from) {
    --end;
    if (text[end] == '\n' || text[end] == '\r') return end;
  }
  return kNone;
}

// The even bits: the first bytes of 16-bit code units in a 64-byte chunk.
constexpr uint64_t kUnitStarts = 0x5555555555555555;

}  // namespace

TBlockTextReader::TBlockTextReader() : TBlockTextReader(1, 0) {
  const int64_t free_memory = TDebugHelper::GetFreeMemory();
  BlockSize_ = kBlockSize;
  MemoryLimit_ = MemoryLimitFor(free_memory);
}

TBlockTextReader::TBlockTextReader(int64_t block_size, int64_t memory_limit)
    : BlockSize_(std::max<int64_t>(block_size, 1)), MemoryLimit_(memory_limit) {}

TBlockTextReader::~TBlockTextReader() = default;

void TBlockTextReader::Open(const std::string& file_name) {
  Close();
  FileName_ = file_name;
  File_ = TFileStream::OpenRead(file_name);
  // A folder opens for reading but holds no text; say so rather than report
  // the read that would fail.
  if (DirectoryExists(file_name)) {
    File_ = TFileStream();
    throw EFOpenError(file_name, SysErrorMessage(EISDIR));
  }
  FileSize_ = File_.Size();
  if (FileSize_ < MemoryLimit_) {
    MemoryCopy_ = std::make_unique_for_overwrite<char[]>(static_cast<size_t>(FileSize_) + 1);
    File_.ReadExact(MemoryCopy_.get(), static_cast<size_t>(FileSize_));
    FailIfShrunk(FileSize_);
  } else {
    // Mapping saves copying every byte out of the page cache; a file that
    // cannot be mapped is read instead.
    Mapped_ = Map_.Map(File_.Fd(), 0, 1);
    Map_.Unmap();
  }
}

void TBlockTextReader::FailIfShrunk(int64_t read_end) const {
  // A read that overlaps a truncation may hand out zeros for the part cut
  // off instead of falling short; the file's size afterwards tells.
  if (File_.Size() < read_end) throw EReadError();
}

void TBlockTextReader::Close() {
  File_ = TFileStream();
  MemoryCopy_.reset();
  Map_.Unmap();
  Mapped_ = false;
  Buffer_.reset();
  BufferCapacity_ = 0;
  Decoded_ = TCodecBuffer();
  LineText_ = TCodecBuffer();
  FileSize_ = 0;
  ResetReading();
}

void TBlockTextReader::ResetReading() {
  WindowStart_ = 0;
  MapStart_ = 0;
  WindowSize_ = 0;
  Cut_ = 0;
  ReadPosition_ = 0;
  Text_ = {};
  LineStart_ = 0;
  ResetScan();
  FirstLinePending_ = true;
  CurrentLine_ = {};
}

void TBlockTextReader::SetEncodingName(const std::string& name) {
  std::string new_name = name;
  if (new_name.empty() || IsAutoDetect(new_name)) {
    new_name = DetectFileEncoding(FileName_);
  } else if (new_name == EncodingName_) {
    return;
  }
  EncodingName_ = new_name;
  TLog::Global().Debug("BlockTextReader EncodingName " + EncodingName_);
  EncodingKey_ = NormalizeEncodingName(EncodingName_);
  Decoder_ = std::make_unique<TTextDecoder>(EncodingName_);
  SourceBytes_ = false;
  DecodeLines_ = false;
  Wide_ = false;
}

void TBlockTextReader::KeepSourceBytes() {
  if (!Decoder_) return;
  SourceBytes_ = true;
  DecodeLines_ = !Decoder_->IsPassThrough();
  Wide_ = Decoder_->IsUtf16();
  BigEndian_ = Decoder_->IsBigEndian();
}

bool TBlockTextReader::ConverterMissing() const { return Decoder_ && Decoder_->ConverterMissing(); }

std::string_view TBlockTextReader::CrLf() const {
  if (!Wide_) return "\r\n";
  return BigEndian_ ? std::string_view("\0\r\0\n", 4) : std::string_view("\r\0\n\0", 4);
}

std::string_view TBlockTextReader::DecodeCurrentLine() {
  return Decoder_->Decode(CurrentLine_.data(), CurrentLine_.size(), LineText_);
}

std::string_view TBlockTextReader::DecodeCurrentEdge(size_t count, bool tail) {
  return Decoder_->DecodeEdge(CurrentLine_.data(), CurrentLine_.size(), count, tail, LineText_);
}

bool TBlockTextReader::CountCurrentLineQuotesOdd() const {
  // Plainly, code unit by code unit: the reference the tracked count is
  // held to.
  const char* line = CurrentLine_.data();
  const size_t unit = Wide_ ? 2 : 1;
  const size_t low = BigEndian_ ? 1 : 0;
  bool odd = false;
  for (size_t i = 0; i + unit <= CurrentLine_.size(); i += unit)
    if (unit == 1 ? line[i] == '"' : line[i + low] == '"' && line[i + 1 - low] == '\0') odd = !odd;
  return odd;
}

size_t TBlockTextReader::CodeUnitSize() const { return Decoder_ ? Decoder_->CodeUnitSize() : 1; }

bool TBlockTextReader::HasUnreadText() const {
  // Any whole code unit decodes to at least one character and so to a line;
  // a tail shorter than a unit (the odd last byte of UTF-16) yields nothing.
  return FileSize_ - (WindowStart_ + static_cast<int64_t>(Cut_)) >= static_cast<int64_t>(CodeUnitSize());
}

void TBlockTextReader::NextFromNewBlock() {
  if (EncodingName_.empty() && File_.IsOpen()) SetEncodingName("Auto Detect");
  if (LineStart_ >= Text_.size() && HasUnreadText()) ReadBlock();
  if (!TakeLine(CurrentLine_)) CurrentLine_ = {};
}

uint64_t TBlockTextReader::CodeUnitsOf(uint64_t bytes, const char* chunk) const {
  if (!Wide_) [[likely]]
    return bytes;
  // A code unit: the byte where the unit's low byte lies, and a zero high
  // byte beside it; only units that start on even offsets.
  const uint64_t zeros = ByteMask64(chunk, '\0');
  return BigEndian_ ? (bytes >> 1) & zeros & kUnitStarts : bytes & (zeros >> 1) & kUnitStarts;
}

uint64_t TBlockTextReader::CodeUnitsOfTail(const char* tail, size_t size, char one, char other) const {
  uint64_t mask = 0;
  if (!Wide_) {
    for (size_t i = 0; i < size; ++i)
      if (tail[i] == one || tail[i] == other) mask |= uint64_t{1} << i;
    return mask;
  }
  const size_t high = BigEndian_ ? 0 : 1;
  for (size_t i = 0; i + 1 < size; i += 2) {
    const char low = tail[i + 1 - high];
    if (tail[i + high] == '\0' && (low == one || low == other)) mask |= uint64_t{1} << i;
  }
  return mask;
}

size_t TBlockTextReader::ScanLineEnd(size_t from) {
  const char* text = Text_.data();
  const size_t size = Text_.size();
  while (ScanNext_ < size) {
    const size_t chunk = ScanNext_;
    uint64_t mask = 0;
    uint64_t quotes = 0;
    if (size - chunk >= 64) {
      __builtin_prefetch(text + chunk + kPrefetchDistance);
      mask = CodeUnitsOf(LineEndMask64(text + chunk), text + chunk);
      if (TrackQuotes_) [[unlikely]]
        quotes = CodeUnitsOf(ByteMask64(text + chunk, '"'), text + chunk);
      ScanNext_ = chunk + 64;
    } else {
      // The block's last bytes; never read past them, they may end a mapping.
      mask = CodeUnitsOfTail(text + chunk, size - chunk, '\n', '\r');
      if (TrackQuotes_) [[unlikely]]
        quotes = CodeUnitsOfTail(text + chunk, size - chunk, '"', '"');
      ScanNext_ = size;
    }
    const uint64_t quotes_before = ScanQuotesOdd_;
    if (TrackQuotes_) [[unlikely]]
      ScanQuotesOdd_ ^= static_cast<uint64_t>(__builtin_parityll(quotes));
    // The LF of a CR LF that ended the previous line may open the chunk.
    if (from > chunk) mask &= from - chunk >= 64 ? 0 : ~uint64_t{0} << (from - chunk);
    if (mask != 0) {
      EndChunk_ = chunk;
      EndMask_ = mask & (mask - 1);
      EndChunkQuotes_ = quotes;
      EndChunkQuotesOdd_ = quotes_before;
      return chunk + static_cast<size_t>(__builtin_ctzll(mask));
    }
  }
  EndMask_ = 0;
  return size;
}

size_t TBlockTextReader::AfterWideLineEnd(size_t end) const {
  const char* text = Text_.data();
  const size_t low = BigEndian_ ? 1 : 0;
  const bool cr_lf =
      text[end + low] == '\r' && end + 4 <= Text_.size() && text[end + 2 + low] == '\n' && text[end + 3 - low] == '\0';
  return end + (cr_lf ? 4 : 2);
}

void TBlockTextReader::DropByteOrderMark(std::string_view& line) {
  FirstLinePending_ = false;
  if (SourceBytes_ && !Decoder_->IsPassThrough()) {
    // The mark as the source encodes it: the shortest head of the line
    // that decodes to U+FEFF alone (FF FE in UTF-16LE, say).
    TCodecBuffer buffer;
    for (size_t length = 1; length <= std::min<size_t>(line.size(), 8); ++length) {
      if (Decoder_->Decode(line.data(), length, buffer) == "\xEF\xBB\xBF") {
        line.remove_prefix(length);
        break;
      }
    }
    return;
  }
  // A byte-order mark, whether it survived as raw bytes or decoded to
  // U+FEFF, is dropped only where it opens the text.
  for (std::string_view mark : {"\xFE\xFF", "\xFF\xFE", "\xEF\xBB\xBF"}) {
    if (line.starts_with(mark)) {
      line.remove_prefix(mark.size());
      break;
    }
  }
}

const char* TBlockTextReader::WindowData() const {
  if (MemoryCopy_) return MemoryCopy_.get() + WindowStart_;
  return Mapped_ ? Map_.Data() + (WindowStart_ - MapStart_) : Buffer_.get();
}

void TBlockTextReader::FailRead() { throw EReadError(); }

void TBlockTextReader::MapWindow(size_t size) {
  // A file that shrank since Open cannot deliver the window: the same
  // failure as a read that falls short.
  const int64_t window_end = WindowStart_ + static_cast<int64_t>(size);
  if (File_.Size() < window_end) throw EReadError();
  const int64_t map_end = MapStart_ + static_cast<int64_t>(Map_.Size());
  if (Map_.Data() != nullptr && WindowStart_ >= MapStart_ && window_end <= map_end) return;
  const int64_t start = WindowStart_ / kMapAlign * kMapAlign;
  if (Map_.Data() != nullptr && WindowStart_ >= MapStart_ && WindowStart_ < map_end && window_end - start > kMapSpan) {
    // A window larger than a span holds a long line: the mapping doubles
    // in place, so a line of any length is mapped once.
    const int64_t doubled = std::min(FileSize_, MapStart_ + 2 * static_cast<int64_t>(Map_.Size()));
    if (Map_.Extend(static_cast<size_t>(std::max(window_end, doubled) - MapStart_))) return;
  }
  // Spans of several blocks, on 2 MiB boundaries of the file: pages that the
  // page cache holds in 2 MiB pieces are then mapped as such, which costs
  // next to nothing, and the scan meets far fewer address translations.
  int64_t end = std::max(window_end, start + kMapSpan);
  end = std::max(window_end, std::min(FileSize_, (end + kMapAlign - 1) / kMapAlign * kMapAlign));
  if (!Map_.Map(File_.Fd(), start, static_cast<size_t>(end - start))) throw EReadError();
  MapStart_ = start;
}

void TBlockTextReader::ExtendWindow(size_t count) {
  if (Mapped_) {
    MapWindow(WindowSize_ + count);
  } else if (!MemoryCopy_) {
    size_t needed = WindowSize_ + count;
    if (needed > BufferCapacity_) {
      size_t capacity = std::max(needed, BufferCapacity_ + BufferCapacity_ / 2);
      auto buffer = std::make_unique_for_overwrite<char[]>(capacity);
      if (WindowSize_ > 0) std::memcpy(buffer.get(), Buffer_.get(), WindowSize_);
      Buffer_ = std::move(buffer);
      BufferCapacity_ = capacity;
    }
    File_.ReadExact(Buffer_.get() + WindowSize_, count);
    FailIfShrunk(ReadPosition_ + static_cast<int64_t>(count));
  }
  WindowSize_ += count;
  ReadPosition_ += static_cast<int64_t>(count);
}

size_t TBlockTextReader::FindCut(size_t from) const {
  const char* window = WindowData();
  if (CodeUnitSize() == 1) {
    size_t last = LastLineEndByte(window, from, WindowSize_);
    if (last == WindowSize_ - 1 && window[last] == '\r') {
      // A CR settles a line end only once the byte after it is known and
      // is not LF; the line end before it is settled either way.
      last = LastLineEndByte(window, from, last);
    }
    return last == kNone ? 0 : last + 1;
  }
  const auto* bytes = reinterpret_cast<const unsigned char*>(window);
  const int high = Decoder_->IsBigEndian() ? 0 : 1;
  const int low = 1 - high;
  const size_t units_end = WindowSize_ / 2 * 2;
  for (size_t end = units_end; end >= from + 2; end -= 2) {
    const unsigned char* unit = bytes + end - 2;
    if (unit[high] != 0) continue;
    if (unit[low] == '\n') return end;
    if (unit[low] == '\r' && end < units_end && !(bytes[end + high] == 0 && bytes[end + low] == '\n')) return end;
  }
  return 0;
}

void TBlockTextReader::ReadBlock() {
  // The bytes after the previous cut open the new window.
  const size_t carry = WindowSize_ - Cut_;
  if (!MemoryCopy_ && !Mapped_ && carry > 0 && Cut_ > 0) std::memmove(Buffer_.get(), Buffer_.get() + Cut_, carry);
  WindowStart_ += static_cast<int64_t>(Cut_);
  WindowSize_ = carry;
  Cut_ = 0;
  if (Mapped_) MapWindow(WindowSize_);

  const size_t unit = CodeUnitSize();
  // The carry holds no settled line end; only its last whole unit, a CR
  // whose successor was unknown, may turn into one.
  auto last_unit_start = [unit](size_t size) { return size / unit > 0 ? (size / unit - 1) * unit : 0; };
  size_t search_from = last_unit_start(carry);
  for (;;) {
    const int64_t rest = FileSize_ - ReadPosition_;
    if (rest <= 0) {
      Cut_ = WindowSize_;
      break;
    }
    ExtendWindow(static_cast<size_t>(std::min(rest, BlockSize_)));
    if (ReadPosition_ == FileSize_) {
      Cut_ = WindowSize_;
      break;
    }
    if (size_t cut = FindCut(search_from); cut > 0) {
      Cut_ = cut;
      break;
    }
    search_from = last_unit_start(WindowSize_);
  }

  LineStart_ = 0;
  ResetScan();
  if (SourceBytes_ || Decoder_->IsPassThrough()) {
    // A last odd byte of UTF-16 holds no character.
    Text_ = std::string_view(WindowData(), Wide_ ? Cut_ / 2 * 2 : Cut_);
    // The bytes before the last search hold no line end: a line longer
    // than a block is scanned once here, not again line by line (unless
    // quotes are counted on the way).
    if (!TrackQuotes_) ScanNext_ = std::min(search_from, Text_.size());
  } else {
    Text_ = Decoder_->Decode(WindowData(), Cut_, Decoded_);
  }
  CheckIntact();
}

int64_t TBlockTextReader::Position() const {
  if (SourceBytes_ || Text_.empty()) return WindowStart_ + static_cast<int64_t>(LineStart_);
  // Decoded text: the block's share of the lines taken.
  return WindowStart_ + static_cast<int64_t>(static_cast<double>(Cut_) * static_cast<double>(LineStart_) /
                                             static_cast<double>(Text_.size()));
}
