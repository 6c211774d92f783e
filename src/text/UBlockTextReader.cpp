#include "text/UBlockTextReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "log/ULog.h"
#include "log/ULogger.h"
#include "text/UEncodingDetect.h"
#include "text/UEncodings.h"
#include "text/UMappedStorage.h"
#include "text/UMemoryStorage.h"
#include "text/UReadStorage.h"
#include "text/UStreamStorage.h"
#include "util/UDecompressingSource.h"
#include "util/UErrors.h"
#include "util/UFdByteSource.h"
#include "util/UFileStream.h"
#include "util/UPathUtils.h"

namespace {

constexpr int64_t kMiB = 1048576;

// Blocks small enough to stay in the processor's caches while they are
// scanned, copied into the pending text and written out. On 1 GiB sources
// blocks of 16 to 128 MiB made a split about a third slower: every byte then
// went through main memory once more.
constexpr int64_t kBlockSize = kMiB;

// A window this much larger than a block holds a long line: the storage may
// then hand it to one that suits long lines better (a mapping).
constexpr size_t kLongWindow = 8 * kMiB;

// A compressed file, read front to back for its decompressor.
class TFileByteSource final : public TByteSource {
 public:
  explicit TFileByteSource(TFileStream file) : File_(std::move(file)) {}
  size_t Read(char* data, size_t size) override {
    const size_t got = File_.ReadSome(data, size);
    Consumed_ += static_cast<int64_t>(got);
    return got;
  }
  int64_t BytesConsumed() const override { return Consumed_; }

 private:
  TFileStream File_;
  int64_t Consumed_ = 0;
};

// A stream whose first bytes were read to look at them: they come first.
class TPeekedByteSource final : public TByteSource {
 public:
  TPeekedByteSource(std::string head, std::unique_ptr<TByteSource> rest)
      : Head_(std::move(head)), Rest_(std::move(rest)) {}
  size_t Read(char* data, size_t size) override {
    if (Given_ == Head_.size()) return Rest_->Read(data, size);
    const size_t count = std::min(size, Head_.size() - Given_);
    std::memcpy(data, Head_.data() + Given_, count);
    Given_ += count;
    return count;
  }
  int64_t BytesConsumed() const override { return Rest_->BytesConsumed(); }

 private:
  std::string Head_;
  size_t Given_ = 0;
  std::unique_ptr<TByteSource> Rest_;
};

// Up to Count first bytes of Source; fewer only where it ends.
std::string ReadHead(TByteSource& source, size_t count) {
  std::string head(count, '\0');
  size_t got = 0;
  for (size_t n; got < count && (n = source.Read(head.data() + got, count - got)) > 0;) got += n;
  head.resize(got);
  return head;
}

// The bytes standard input will hand out, when it can tell: a file
// redirected to it.
int64_t StandardInputSize() {
  struct stat st;
  if (fstat(STDIN_FILENO, &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  const off_t at = lseek(STDIN_FILENO, 0, SEEK_CUR);
  return at < 0 ? -1 : st.st_size - at;
}

// The storage for a file of Size bytes. Reads into a buffer that stays in
// the caches cost a third of what mapped pages do where address translation
// is dear (on virtual machines, the scan of mapped page-cache pages ran at a
// third of the speed of reading and scanning them).
std::unique_ptr<TSourceStorage> OpenStorage(TFileStream file, int64_t size, int64_t memory_limit) {
  if (size < memory_limit) return std::make_unique<TMemoryStorage>(std::move(file), size);
  return std::make_unique<TReadStorage>(std::move(file), size);
}

}  // namespace

// No file is copied whole: a copy costs a fresh page of memory for every
// 4 KiB of the source (on a 200 MiB source five times the whole split's
// other work) and holds the whole file. Every file is mapped or read in
// blocks, in memory that stays flat whatever its size.
TBlockTextReader::TBlockTextReader() : TBlockTextReader(kBlockSize, 0) {}

TBlockTextReader::TBlockTextReader(int64_t block_size, int64_t memory_limit)
    : BlockSize_(std::max<int64_t>(block_size, 1)), MemoryLimit_(memory_limit) {}

TBlockTextReader::~TBlockTextReader() = default;

void TBlockTextReader::Open(const std::string& file_name) {
  Close();
  FileName_ = file_name;
  if (file_name == kStandardInputName) {
    // A pipe that holds more lets the writer run ahead and each read bring
    // more; nothing changes for anything else.
    fcntl(STDIN_FILENO, F_SETPIPE_SZ, 1 << 20);
    OpenStream(std::make_unique<TFdByteSource>(STDIN_FILENO, "standard input"), StandardInputSize());
    return;
  }
  TFileStream file = TFileStream::OpenRead(file_name);
  // A folder opens for reading but holds no text; say so rather than report
  // the read that would fail.
  if (DirectoryExists(file_name)) throw EFOpenError(file_name, SysErrorMessage(EISDIR));
  const int64_t size = file.Size();
  std::string head = ReadFileHead(file_name, kHeadSize);
  if (!CompressionFormatOf(head).empty()) {
    OpenStream(std::make_unique<TFileByteSource>(std::move(file)), size);
    return;
  }
  Storage_ = OpenStorage(std::move(file), size, MemoryLimit_);
  Guard_ = Storage_->Guard();
  FileSize_ = size;
  Head_ = std::move(head);
}

void TBlockTextReader::OpenStream(std::unique_ptr<TByteSource> input, int64_t total) {
  std::string raw_head = ReadHead(*input, kHeadSize);
  const std::string_view format = CompressionFormatOf(raw_head);
  const TCompression compression = format == "gzip" ? cmGzip : format == "zstd" ? cmZstd : cmNone;
  if (compression == cmNone) RefuseCompressed(raw_head);
  auto stream = std::make_unique<TStreamStorage>(
      Decompressing(std::make_unique<TPeekedByteSource>(std::move(raw_head), std::move(input)), compression), total);
  Head_ = std::string(stream->Ahead().substr(0, kHeadSize));
  Storage_ = std::move(stream);
  Stream_ = true;
  Decompresses_ = compression == cmNone ? std::string_view() : format;
  FileSize_ = -1;
}

void TBlockTextReader::RefuseCompressed(std::string_view raw_head) const {
  const std::string_view format = CompressionFormatOf(raw_head);
  if (!format.empty())
    throw EQuillmereError("The source \"" + FileName_ + "\" is compressed (" + std::string(format) +
                          "): it cannot be split as text.");
}

void TBlockTextReader::Close() {
  Storage_.reset();
  Guard_ = nullptr;
  Stream_ = false;
  Decompresses_ = {};
  Head_.clear();
  Text_.ReleaseBuffers();
  FileSize_ = 0;
  Cut_ = 0;
  Scan_.Reset({}, TUnitForm::Bytes);
  FirstLinePending_ = true;
  CurrentLine_ = {};
}

bool TBlockTextReader::IsMemoryCopy() const { return dynamic_cast<const TMemoryStorage*>(Storage_.get()) != nullptr; }

bool TBlockTextReader::IsMapped() const { return dynamic_cast<const TMappedStorage*>(Storage_.get()) != nullptr; }

void TBlockTextReader::SetEncodingName(const std::string& name) {
  std::string new_name = name;
  if (new_name.empty() || IsAutoDetect(new_name)) {
    new_name = Stream_ ? DetectEncodingOf(Head_) : DetectFileEncoding(FileName_);
  } else if (new_name == EncodingName_) {
    return;
  }
  EncodingName_ = new_name;
  TLog::Global().Debug("BlockTextReader EncodingName " + EncodingName_);
  EncodingKey_ = NormalizeEncodingName(EncodingName_);
  Text_.SetEncoding(EncodingName_);
}

void TBlockTextReader::NextFromNewBlock() {
  if (EncodingName_.empty() && Storage_) SetEncodingName("Auto Detect");
  if (!Scan_.HasLine() && HasUnreadText()) ReadBlock();
  if (!TakeLine()) CurrentLine_ = {};
}

void TBlockTextReader::DropByteOrderMark() {
  FirstLinePending_ = false;
  Text_.DropByteOrderMark(CurrentLine_);
}

void TBlockTextReader::FailRead() { throw EReadError(); }

void TBlockTextReader::TakeLongWindowStorage() {
  if (std::unique_ptr<TSourceStorage> storage = Storage_->ForLongWindow()) {
    Storage_ = std::move(storage);
    Guard_ = Storage_->Guard();
  }
}

void TBlockTextReader::ReadBlock() {
  // The bytes after the previous cut open the new window.
  Storage_->Advance(Cut_);
  Cut_ = 0;
  const TUnitForm form = Text_.SourceForm();
  const size_t unit = Text_.CodeUnitSize();
  // The carry holds no settled line end; only its last whole unit, a CR
  // whose successor was unknown, may turn into one.
  auto last_unit_start = [unit](size_t size) { return size / unit > 0 ? (size / unit - 1) * unit : 0; };
  size_t search_from = last_unit_start(Storage_->Size());
  while (!Storage_->AtEnd()) {
    Storage_->Extend(static_cast<size_t>(BlockSize_));
    if (Storage_->Size() > kLongWindow) [[unlikely]]
      TakeLongWindowStorage();
    if (Storage_->AtEnd()) break;
    Cut_ = TLineScanner::FindCut(Storage_->Data(), search_from, Storage_->Size(), form);
    if (Cut_ > 0) break;
    search_from = last_unit_start(Storage_->Size());
  }
  if (Cut_ == 0) Cut_ = Storage_->Size();

  // The bytes before the last search hold no line end: a line longer than a
  // block is scanned once there, not again line by line.
  const std::string_view text = Text_.BlockText(Storage_->Data(), Cut_);
  Scan_.Reset(text, Text_.Form(), Text_.TextIsSource() ? search_from : 0);
  CheckIntact();
}
