#include "convert/UPieceWriter.h"

#include <unistd.h>

#include <algorithm>
#include <cassert>
#include <cerrno>

#include "convert/UCompressingSink.h"
#include "text/UTranscoder.h"
#include "text/simd/ULineRun.h"
#include "util/UErrors.h"
#include "util/UFileStream.h"
#include "util/UPathUtils.h"

namespace {

// A piece file, written without a name (or, where the file system has no
// unnamed files, as PartPath(Path)) and named Path when closed whole, so
// that no reader ever finds a piece under its name that is still being
// written or was cut off, and a crash leaves nothing behind. Naming costs
// one call: an unnamed file is linked in (about a third cheaper than a
// rename per piece across 50,000 small pieces). A link named like the piece
// is replaced, not written through: a piece never lands outside its
// destination folder. Failures name Path.
class TFileSink final : public TPieceWriter::TSink {
 public:
  explicit TFileSink(const std::string& path) : File_(TFileStream::CreateUnnamed(path)) {
    if (File_.IsOpen()) return;
    Part_ = PartPath(path);
    File_ = TFileStream::Replace(Part_, path);
  }
  ~TFileSink() override {
    // Never closed: what it holds is nobody's piece (an unnamed file goes
    // with its descriptor).
    if (File_.IsOpen() && !Part_.empty()) ::unlink(Part_.c_str());
  }
  void Write(std::string_view bytes, size_t) override { File_.WriteAll(bytes.data(), bytes.size()); }
  void CutBack(int64_t size) override { Whole_ = Whole_ && File_.Truncate(size); }
  void Close() override {
    if (!Whole_) {
      if (!Part_.empty()) ::unlink(Part_.c_str());
      const std::string path = File_.Path();
      File_ = TFileStream();
      throw EInOutError("Cannot create file \"" + path + "\". It could not be cut back to its whole records.");
    }
    if (Part_.empty() && !LinkUnnamed()) return;
    try {
      File_.Close();
    } catch (const EInOutError&) {
      ::unlink(Part_.c_str());
      throw;
    }
    CommitPart(Part_, File_.Path());
  }

 private:
  // Names the unnamed file Path, then closes it; true when something has
  // that name already: the file then has the name PartPath(Path), still
  // open, and replaces it by a rename as a named piece does.
  bool LinkUnnamed() {
    const std::string path = File_.Path();
    if (File_.Link(path)) {
      try {
        File_.Close();
      } catch (const EInOutError&) {
        ::unlink(path.c_str());
        throw;
      }
      return false;
    }
    if (errno == EEXIST) {
      Part_ = PartPath(path);
      ::unlink(Part_.c_str());
      if (File_.Link(Part_)) return true;
    }
    const int error = errno;
    Part_.clear();
    File_ = TFileStream();
    throw EInOutError("Cannot create file \"" + path + "\". " + SysErrorMessage(error));
  }

  std::string Part_;   // the temporary name, empty for an unnamed file
  TFileStream File_;   // named with the piece's own path
  bool Whole_ = true;  // every cut-back succeeded
};

}  // namespace

TPieceWriter::TPieceWriter(int64_t flush_threshold)
    : FlushThreshold_(flush_threshold > 0 ? flush_threshold : kFlushThreshold) {}

TPieceWriter::~TPieceWriter() = default;

void TPieceWriter::Start(const TFormat& format, THooks hooks) {
  const std::string_view crlf = format.CrLf;
  assert(crlf.size() == 2 || crlf.size() == 4);
  Sink_.reset();
  PieceBytes_ = 0;
  PieceWholeBytes_ = 0;
  Written_ = 0;
  Empty();
  RecordsSpanLines_ = format.RecordsSpanLines;
  KeepEnds_ = format.KeepEnds;
  Checksums_ = format.Checksums;
  RecordGoesOn_ = false;
  InnerEnd_ = {};
  UnitSize_ = static_cast<int64_t>(crlf.size() / 2);
  std::memcpy(Cr_, crlf.data(), static_cast<size_t>(UnitSize_));
  std::memcpy(Lf_, crlf.data() + UnitSize_, static_cast<size_t>(UnitSize_));
  const std::string_view end = format.Lf ? crlf.substr(static_cast<size_t>(UnitSize_)) : crlf;
  std::memset(LineEnd_, 0, sizeof(LineEnd_));
  std::memcpy(LineEnd_, end.data(), end.size());
  LineEndSize_ = static_cast<int64_t>(end.size());
  Hooks_ = std::move(hooks);
  Converter_ = format.Converter;
  Taken_.clear();
  // A batch's files are split one after another by one writer: they share
  // the compressor, whose state takes a while to allocate at high levels.
  if (format.Compress != CompressedAs_ || format.CompressLevel != CompressLevel_)
    Compressor_ = format.Compress == cmNone ? nullptr : MakeCompressor(format.Compress, format.CompressLevel);
  CompressedAs_ = format.Compress;
  CompressLevel_ = format.CompressLevel;
}

void TPieceWriter::Open(const std::string& path, std::string_view byte_order_mark) {
  Close();
  std::unique_ptr<TSink> sink;
  try {
    if (Taken_.contains(path)) throw EInOutError("Cannot create file \"" + path + "\". " + SysErrorMessage(EISDIR));
    sink = std::make_unique<TFileSink>(path);
    if (Compressor_) sink = std::make_unique<TCompressingSink>(std::move(sink), *Compressor_, Checksums_, path);
  } catch (const EQuillmereError&) {
    Fail();
    throw;
  }
  Begin(std::move(sink), byte_order_mark, path);
}

void TPieceWriter::Open(std::unique_ptr<TSink> sink, std::string_view byte_order_mark) {
  Close();
  Begin(std::move(sink), byte_order_mark, {});
}

void TPieceWriter::Begin(std::unique_ptr<TSink> sink, std::string_view byte_order_mark, const std::string& path) {
  Sink_ = std::move(sink);
  PiecePath_ = path;
  PieceFirstRecord_ = Written_;
  // A compressing sink hashes what it stores itself.
  HashWhole_ = Checksums_ && !Compressor_;
  if (HashWhole_) Hash_ = TSha256();
  if (byte_order_mark.empty()) return;
  try {
    Put(byte_order_mark, byte_order_mark.size());
  } catch (const EQuillmereError&) {
    Fail();
    throw;
  }
}

void TPieceWriter::Close() {
  if (!Sink_) return;
  // The piece is closed even when closing fails.
  std::unique_ptr<TSink> sink = std::move(Sink_);
  // A run that ends early may leave the head of a pending record written.
  if (PieceWholeBytes_ < PieceBytes_) {
    sink->CutBack(PieceWholeBytes_);
    HashWhole_ = false;
  }
  const int64_t records = Written_ - PieceFirstRecord_;
  const int64_t bytes = PieceWholeBytes_;
  PieceBytes_ = 0;
  PieceWholeBytes_ = 0;
  try {
    sink->Close();
  } catch (const EQuillmereError&) {
    // Gone with the piece; the current record, when it is one of them, is
    // counted with the failure.
    Lose(records - (Current_ == kCurrentWritten ? 1 : 0));
    throw;
  }
  if (!Hooks_.Closed) return;
  if (const std::optional<TSink::TStored> stored = sink->Stored())
    Hooks_.Closed({.Path = PiecePath_, .Records = records, .Bytes = stored->Bytes, .Sha256 = stored->Sha256});
  else
    Hooks_.Closed({.Path = PiecePath_,
                   .Records = records,
                   .Bytes = bytes,
                   .Sha256 = HashWhole_ ? Hash_.FinishHex() : std::string()});
}

void TPieceWriter::WriteText(std::string_view text) {
  if (!Sink_ || text.empty()) return;
  assert(PendingBytes_ == 0);
  Put(text, text.size());
}

void TPieceWriter::Flush() {
  if (!Sink_) {
    // Dropped without a failure of their own: every one of them is lost.
    const int64_t lost = PendingRecords_;
    Empty();
    Lose(lost);
    return;
  }
  // Rules flush between records; a CSV record still open at that moment
  // has no line pending yet.
  const size_t size = static_cast<size_t>(PendingBytes_);
  WriteHead(size, RecordsSpanLines_ ? static_cast<size_t>(PendingWholeEnd_) : size);
  if (Current_ == kCurrentPending) Current_ = kCurrentWritten;
  Settle(0);
  Empty();
}

void TPieceWriter::FlushHead() {
  // Records of one line each: their line ends are record ends, and the
  // aligned head below serves them as it serves lines.
  if (PendingMultiLine_) {
    FlushRecords();
    return;
  }
  const int64_t end = PieceBytes_ + PendingBytes_;
  int64_t head = end / FlushThreshold_ * FlushThreshold_ - PieceBytes_;
  // Whole code units only, so that what stays pending starts on one.
  head -= head % UnitSize_;
  if (!Sink_ || head <= 0 || head >= PendingBytes_) {
    Flush();
    return;
  }
  assert(head % UnitSize_ == 0);
  // Still pending: the records that end in the rest; the current one,
  // which ends the text, is one of them.
  const int64_t rest_records = LineEnds(static_cast<size_t>(head), static_cast<size_t>(PendingBytes_ - head));
  WriteHead(static_cast<size_t>(head), LinesEnd(static_cast<size_t>(head)));
  Settle(rest_records);
  PendingWholeEnd_ = PendingBytes_;  // records of one line: the rest ends with one
}

void TPieceWriter::FlushRecords() {
  if (!Sink_) {
    Flush();
    return;
  }
  // Whole records, or the open record's lines when it is all there is.
  const size_t whole = static_cast<size_t>(PendingWholeEnd_);
  WriteHead(whole > 0 ? whole : static_cast<size_t>(PendingBytes_), whole);
  PendingWholeEnd_ = 0;
  PendingMultiLine_ = PendingBytes_ > 0;
  // Still pending: the open record, whether its lines were written or not.
  const bool open = RecordGoesOn_ && Current_ == kCurrentPending;
  Settle(open ? 1 : 0);
  if (Current_ == kCurrentPending && !open) Current_ = kCurrentWritten;
}

void TPieceWriter::WriteRecordsBefore(size_t offset) {
  assert(offset <= static_cast<size_t>(PendingBytes_));
  WriteHead(offset, offset);
  PendingWholeEnd_ = RecordGoesOn_ ? 0 : PendingBytes_;
  // The record left may span lines; records of one line each have no
  // line end inside them.
  PendingMultiLine_ = RecordsSpanLines_;
  Settle(1);
}

void TPieceWriter::BeginRecord() {
  // Its line end, a line break inside a field, ends no record.
  if (RecordGoesOn_) PendingMultiLine_ = true;
  ++PendingRecords_;
  Current_ = kCurrentPending;
}

void TPieceWriter::WriteThrough(std::string_view line, std::string_view end) {
  // The lines before it go first; if they fail, so does this one.
  Flush();
  if (!Sink_) {
    Lose(1);  // reaches no piece, as a pending line would not
    return;
  }
  if (Hooks_.CheckSource) Hooks_.CheckSource();
  if (end.empty() || end.data() == line.data() + line.size()) {
    Put({line.data(), line.size() + end.size()}, line.size() + end.size());
  } else {
    Put(line, 0);
    Put(end, end.size());
  }
  ++Written_;
  Current_ = kCurrentWritten;
}

void TPieceWriter::Put(std::string_view bytes, size_t whole) {
  assert(Sink_ != nullptr && whole <= bytes.size());
  try {
    Sink_->Write(bytes, whole);
  } catch (const EQuillmereError&) {
    // A write that fails part way (a full disk) would leave a piece ending
    // inside a record that is counted as failed; the piece is cut back to
    // the whole records it held, and the next write goes on from there.
    Sink_->CutBack(PieceWholeBytes_);
    PieceBytes_ = PieceWholeBytes_;
    HashWhole_ = false;
    throw;
  }
  // Hashed while the bytes are still in the processor's caches.
  if (HashWhole_) Hash_.Update(bytes.data(), bytes.size());
  if (whole > 0) PieceWholeBytes_ = PieceBytes_ + static_cast<int64_t>(whole);
  PieceBytes_ += static_cast<int64_t>(bytes.size());
  assert(PieceWholeBytes_ <= PieceBytes_);
}

void TPieceWriter::WriteHead(size_t size, size_t whole) {
  assert(whole <= size && size <= static_cast<size_t>(PendingBytes_));
  assert(PendingWholeEnd_ <= PendingBytes_ && PendingRecords_ >= 0);
  if (size > 0) {
    try {
      // Text taken from a source that shrank meanwhile is never written.
      if (Hooks_.CheckSource) Hooks_.CheckSource();
      Put(std::string_view(Pending_.Data(), size), whole);
    } catch (const EQuillmereError&) {
      Fail();
      throw;
    }
  }
  const size_t rest = static_cast<size_t>(PendingBytes_) - size;
  if (rest > 0) std::memmove(Pending_.Data(), Pending_.Data() + size, rest);  // the buffer may not exist yet
  PendingBytes_ = static_cast<int64_t>(rest);
}

void TPieceWriter::Fail() {
  // The current record is counted by the failure the caller raises.
  const int64_t lost = PendingRecords_ - (Current_ == kCurrentPending ? 1 : 0);
  // Emptied so that no record is written twice by a later flush.
  Empty();
  Lose(lost);
}

void TPieceWriter::Empty() {
  PendingBytes_ = 0;
  PendingWholeEnd_ = 0;
  PendingMultiLine_ = false;
  PendingRecords_ = 0;
  if (Current_ == kCurrentPending) Current_ = kCurrentNone;
}

bool TPieceWriter::EndsLine(size_t at) const {
  const char* pending = Pending_.Data();
  const size_t unit = static_cast<size_t>(UnitSize_);
  if (std::memcmp(pending + at, Lf_, unit) == 0) return true;
  if (!KeepEnds_ || std::memcmp(pending + at, Cr_, unit) != 0) return false;
  // A CR that an LF follows is the head of a CR LF.
  const size_t next = at + unit;
  return next >= static_cast<size_t>(PendingBytes_) || std::memcmp(pending + next, Lf_, unit) != 0;
}

size_t TPieceWriter::LinesEnd(size_t size) const {
  const char* pending = Pending_.Data();
  if (UnitSize_ == 1 && !KeepEnds_) {
    const void* end = memrchr(pending, '\n', size);
    return end ? static_cast<size_t>(static_cast<const char*>(end) - pending) + 1 : 0;
  }
  // A CR whose LF lies beyond Size ends no line within it: EndsLine sees the LF.
  const size_t unit = static_cast<size_t>(UnitSize_);
  for (size_t end = size / unit * unit; end >= unit; end -= unit)
    if (EndsLine(end - unit)) return end;
  return 0;
}

int64_t TPieceWriter::LineEnds(size_t from, size_t size) const {
  const char* pending = Pending_.Data();
  if (UnitSize_ == 1 && !KeepEnds_) return std::count(pending + from, pending + from + size, '\n');
  int64_t count = 0;
  const size_t unit = static_cast<size_t>(UnitSize_);
  for (size_t at = from; at + unit <= from + size; at += unit) count += EndsLine(at);
  return count;
}

void TPieceWriter::Grow(size_t needed) {
  // Room for a flush's worth and a line at once: the pending text then
  // grows only for lines longer than that.
  const size_t capacity = std::max({needed, 2 * Capacity_, static_cast<size_t>(FlushThreshold_) + 65536});
  const size_t used = static_cast<size_t>(PendingBytes_);
  Pending_.Reserve(Pending_.Data() + used, capacity - used);
  Capacity_ = Pending_.Capacity();
}

char* TPieceWriter::RunSpace() {
  const size_t needed = static_cast<size_t>(FlushThreshold_) + kLineRunSlack;
  if (needed > Capacity_) Grow(needed);
  return Pending_.Data() + PendingBytes_;
}

void TPieceWriter::ConvertIn(std::string_view bytes) {
  // Room for what most conversions make of it, so that the pending text
  // grows as it does for copies; a conversion that needs more takes it.
  const size_t used = static_cast<size_t>(PendingBytes_);
  if (used + 3 * bytes.size() + 64 > Capacity_) Grow(used + 3 * bytes.size() + 64);
  PendingBytes_ = static_cast<int64_t>(Converter_->Convert(bytes, Pending_, used));
  Capacity_ = Pending_.Capacity();
}

void TPieceWriter::ConvertLine(std::string_view line) {
  ConvertIn(line);
  const size_t used = static_cast<size_t>(PendingBytes_);
  if (used + sizeof(LineEnd_) > Capacity_) Grow(used + sizeof(LineEnd_));
  std::memcpy(Pending_.Data() + used, LineEnd_, sizeof(LineEnd_));
  PendingBytes_ += LineEndSize_;
}

void TPieceWriter::WriteThroughConverted(std::string_view line, std::string_view end) {
  Flush();
  if (!Sink_) {
    Lose(1);
    return;
  }
  if (Hooks_.CheckSource) Hooks_.CheckSource();
  // The pending text is empty: its buffer takes each part in turn.
  const size_t part = static_cast<size_t>(FlushThreshold_);
  for (;;) {
    size_t take = line.size();
    if (take > part) {
      const size_t cut = Converter_->CharacterStartBefore(line, part);
      if (cut > 0) take = cut;
    }
    const bool last = take == line.size();
    size_t size = Converter_->Convert(line.substr(0, take), Pending_, 0);
    if (last && !end.empty()) {  // a kept last line may have no end
      char* o = Pending_.Reserve(Pending_.Data() + size, end.size());
      std::memcpy(o, end.data(), end.size());
      size += end.size();
    }
    Capacity_ = Pending_.Capacity();
    Put(std::string_view(Pending_.Data(), size), last ? size : 0);
    if (last) break;
    line.remove_prefix(take);
  }
  ++Written_;
  Current_ = kCurrentWritten;
}
