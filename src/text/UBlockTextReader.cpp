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
    uint32_t hits = static_cast<uint32_t>(_mm_movemask_epi8(
        _mm_or_si128(_mm_cmpeq_epi8(bytes, line_feed), _mm_cmpeq_epi8(bytes, carriage_return))));
    mask |= static_cast<uint64_t>(hits) << (16 * i);
  }
  return mask;
}

// True when any of Bytes (at most 8 of them) occurs in the Size bytes at Data.
bool ContainsAnyOf(const char* data, size_t size, std::string_view bytes) {
  if (bytes.empty()) return false;
  if (bytes.size() == 1) return std::memchr(data, bytes[0], size) != nullptr;
  __m128i wanted[8];
  const size_t count = std::min<size_t>(bytes.size(), 8);
  for (size_t k = 0; k < count; ++k) wanted[k] = _mm_set1_epi8(bytes[k]);
  size_t i = 0;
  for (; i + 16 <= size; i += 16) {
    __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    __m128i hits = _mm_setzero_si128();
    for (size_t k = 0; k < count; ++k) hits = _mm_or_si128(hits, _mm_cmpeq_epi8(chunk, wanted[k]));
    if (_mm_movemask_epi8(hits) != 0) return true;
  }
  for (; i < size; ++i)
    if (bytes.find(data[i]) != std::string_view::npos) return true;
  return false;
}

// More bytes changed by the round trip than ContainsAnyOf tests at once:
// such a code page is read the usual way.
constexpr size_t kMaxChangedBytes = 8;

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
  Recoded_ = std::string();
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
  Recoder_ = nullptr;
  ChangedBytes_.clear();
}

bool TBlockTextReader::KeepSourceBytes(TTextEncoder& encoder) {
  if (!Decoder_ || !Decoder_->IsByteTable() || !encoder.IsByteTable()) return false;
  std::string changed;
  TCodecBuffer decoded, encoded;
  for (int byte = 0; byte < 256; ++byte) {
    const char c = static_cast<char>(byte);
    std::string_view text = Decoder_->Decode(&c, 1, decoded);
    // The mark dropped from the first line never decodes from these tables;
    // were it to, the bytes handed out would keep it.
    if (text.starts_with("\xEF\xBB\xBF")) return false;
    std::string_view back = encoder.Encode(text, encoded);
    if (back.size() != 1 || back[0] != c) changed += c;
  }
  if (changed.size() > kMaxChangedBytes) return false;
  Recoder_ = &encoder;
  ChangedBytes_ = std::move(changed);
  return true;
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

size_t TBlockTextReader::ScanLineEnd(size_t from) {
  const char* text = Text_.data();
  const size_t size = Text_.size();
  while (ScanNext_ < size) {
    const size_t chunk = ScanNext_;
    uint64_t mask = 0;
    if (size - chunk >= 64) {
      __builtin_prefetch(text + chunk + kPrefetchDistance);
      mask = LineEndMask64(text + chunk);
      ScanNext_ = chunk + 64;
    } else {
      // The block's last bytes; never read past them, they may end a mapping.
      for (size_t i = chunk; i < size; ++i)
        if (text[i] == '\n' || text[i] == '\r') mask |= uint64_t{1} << (i - chunk);
      ScanNext_ = size;
    }
    // The LF of a CR LF that ended the previous line may open the chunk.
    if (from > chunk) mask &= from - chunk >= 64 ? 0 : ~uint64_t{0} << (from - chunk);
    if (mask != 0) {
      EndChunk_ = chunk;
      EndMask_ = mask & (mask - 1);
      return chunk + static_cast<size_t>(__builtin_ctzll(mask));
    }
  }
  EndMask_ = 0;
  return size;
}

std::string_view TBlockTextReader::RecodeLines(std::string_view text) {
  // Line by line: the round trip may leave bytes out, and a line left empty,
  // or a CR and an LF that come to meet, must not change the lines.
  Recoded_.clear();
  size_t start = 0;
  while (start < text.size()) {
    size_t end = start;
    while (end < text.size() && text[end] != '\n' && text[end] != '\r') ++end;
    Recoder_->Encode(text.substr(start, end - start), Recoded_);
    Recoded_ += '\n';
    if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
    start = end + 1;
  }
  return Recoded_;
}

void TBlockTextReader::DropByteOrderMark(std::string_view& line) {
  FirstLinePending_ = false;
  // Lines in a code page never open with a mark (see KeepSourceBytes);
  // their bytes may look like one.
  if (Recoder_ != nullptr) return;
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
  // Spans of several blocks, on 2 MiB boundaries of the file: pages that the
  // page cache holds in 2 MiB pieces are then mapped as such, which costs
  // next to nothing, and the scan meets far fewer address translations.
  const int64_t start = WindowStart_ / kMapAlign * kMapAlign;
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
    size_t cut = 0;
    const void* lf = memrchr(window + from, '\n', WindowSize_ - from);
    if (lf != nullptr) cut = static_cast<size_t>(static_cast<const char*>(lf) - window) + 1;
    // A CR settles a line end only once the byte after it is known and is
    // not LF; one before the last LF does not matter.
    size_t cr_from = std::max(from, cut);
    if (WindowSize_ - 1 > cr_from) {
      const void* cr = memrchr(window + cr_from, '\r', WindowSize_ - 1 - cr_from);
      if (cr != nullptr) cut = static_cast<size_t>(static_cast<const char*>(cr) - window) + 1;
    }
    return cut;
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

  if (Decoder_->IsPassThrough()) {
    Text_ = std::string_view(WindowData(), Cut_);
  } else if (Recoder_ != nullptr) {
    if (ContainsAnyOf(WindowData(), Cut_, ChangedBytes_))
      Text_ = RecodeLines(Decoder_->Decode(WindowData(), Cut_, Decoded_));
    else
      Text_ = std::string_view(WindowData(), Cut_);
  } else {
    Text_ = Decoder_->Decode(WindowData(), Cut_, Decoded_);
  }
  LineStart_ = 0;
  ResetScan();
  CheckIntact();
}
