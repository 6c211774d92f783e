#include "convert/UPieceWriter.h"

#include <algorithm>
#include <cassert>

#include "util/UErrors.h"
#include "util/UFileStream.h"

namespace {

// A piece file. A link named like the piece is replaced, not written
// through: a piece never lands outside its destination folder.
class TFileSink final : public TPieceWriter::TSink {
 public:
  explicit TFileSink(const std::string& path) : File_(TFileStream::Replace(path)) {}
  void Write(std::string_view bytes) override { File_.WriteAll(bytes.data(), bytes.size()); }
  void CutBack(int64_t size) override { File_.Truncate(size); }
  void Close() override { File_.Close(); }

 private:
  TFileStream File_;
};

}  // namespace

TPieceWriter::TPieceWriter(int64_t flush_threshold)
    : FlushThreshold_(flush_threshold > 0 ? flush_threshold : kFlushThreshold) {}

TPieceWriter::~TPieceWriter() = default;

void TPieceWriter::Start(std::string_view crlf, bool records_span_lines, THooks hooks) {
  assert(crlf.size() == 2 || crlf.size() == 4);
  Sink_.reset();
  PieceBytes_ = 0;
  PieceWholeBytes_ = 0;
  Empty();
  RecordsSpanLines_ = records_span_lines;
  RecordGoesOn_ = false;
  std::memcpy(CrLf_, crlf.data(), crlf.size());
  CrLfSize_ = static_cast<int64_t>(crlf.size());
  Hooks_ = std::move(hooks);
}

void TPieceWriter::Open(const std::string& path, std::string_view byte_order_mark) {
  Close();
  std::unique_ptr<TSink> sink;
  try {
    sink = std::make_unique<TFileSink>(path);
  } catch (const EQuillmereError&) {
    Fail();
    throw;
  }
  Open(std::move(sink), byte_order_mark);
}

void TPieceWriter::Open(std::unique_ptr<TSink> sink, std::string_view byte_order_mark) {
  Close();
  Sink_ = std::move(sink);
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
  if (PieceWholeBytes_ < PieceBytes_) sink->CutBack(PieceWholeBytes_);
  PieceBytes_ = 0;
  PieceWholeBytes_ = 0;
  sink->Close();
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
  head -= head % UnitSize();
  if (!Sink_ || head <= 0 || head >= PendingBytes_) {
    Flush();
    return;
  }
  assert(head % UnitSize() == 0);
  // Still pending: the records that end in the rest; the current one,
  // which ends the text, is one of them.
  const int64_t rest_records = LineEnds(static_cast<size_t>(head), static_cast<size_t>(PendingBytes_ - head));
  WriteHead(static_cast<size_t>(head), LinesEnd(static_cast<size_t>(head)));
  PendingRecords_ = rest_records;
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
  PendingRecords_ = RecordGoesOn_ && CurrentPending_ ? 1 : 0;
  CurrentPending_ = PendingRecords_ > 0;
}

void TPieceWriter::WriteRecordsBefore(size_t offset) {
  assert(offset <= static_cast<size_t>(PendingBytes_));
  WriteHead(offset, offset);
  PendingWholeEnd_ = RecordGoesOn_ ? 0 : PendingBytes_;
  PendingMultiLine_ = true;
  PendingRecords_ = 1;
}

void TPieceWriter::AppendRecordLine(std::string_view line) {
  CopyRecordLine(line);
  ++PendingRecords_;
  CurrentPending_ = true;
}

void TPieceWriter::WriteLongLine(std::string_view line) {
  // The lines before it go first; if they fail, so does this one.
  Flush();
  if (!Sink_) {
    Lose(1);  // reaches no piece, as a pending line would not
    return;
  }
  if (Hooks_.CheckSource) Hooks_.CheckSource();
  Put(line, 0);
  Put(CrLf(), CrLf().size());
}

void TPieceWriter::Put(std::string_view bytes, size_t whole) {
  assert(Sink_ != nullptr && whole <= bytes.size());
  try {
    Sink_->Write(bytes);
  } catch (const EQuillmereError&) {
    // A write that fails part way (a full disk) would leave a piece ending
    // inside a record that is counted as failed; the piece is cut back to
    // the whole records it held, and the next write goes on from there.
    Sink_->CutBack(PieceWholeBytes_);
    PieceBytes_ = PieceWholeBytes_;
    throw;
  }
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
      Put(std::string_view(Pending_.get(), size), whole);
    } catch (const EQuillmereError&) {
      Fail();
      throw;
    }
  }
  const size_t rest = static_cast<size_t>(PendingBytes_) - size;
  if (rest > 0) std::memmove(Pending_.get(), Pending_.get() + size, rest);  // the buffer may not exist yet
  PendingBytes_ = static_cast<int64_t>(rest);
}

void TPieceWriter::Fail() {
  // The current record is counted by the failure the caller raises.
  const int64_t lost = PendingRecords_ - (CurrentPending_ ? 1 : 0);
  // Emptied so that no record is written twice by a later flush.
  Empty();
  Lose(lost);
}

void TPieceWriter::Empty() {
  PendingBytes_ = 0;
  PendingWholeEnd_ = 0;
  PendingMultiLine_ = false;
  PendingRecords_ = 0;
  CurrentPending_ = false;
}

size_t TPieceWriter::LinesEnd(size_t size) const {
  const char* pending = Pending_.get();
  if (CrLfSize_ == 2) {
    const void* end = memrchr(pending, '\n', size);
    return end ? static_cast<size_t>(static_cast<const char*>(end) - pending) + 1 : 0;
  }
  // UTF-16: the LF unit, which the CR LF ends with, on a unit boundary.
  for (size_t end = size / 2 * 2; end >= 2; end -= 2)
    if (std::memcmp(pending + end - 2, CrLf_ + 2, 2) == 0) return end;
  return 0;
}

int64_t TPieceWriter::LineEnds(size_t from, size_t size) const {
  const char* pending = Pending_.get();
  if (CrLfSize_ == 2) return std::count(pending + from, pending + from + size, '\n');
  int64_t count = 0;
  for (size_t at = from; at + 2 <= from + size; at += 2) count += std::memcmp(pending + at, CrLf_ + 2, 2) == 0;
  return count;
}

void TPieceWriter::Grow(size_t needed) {
  // Room for a flush's worth and a line at once: the pending text then
  // grows only for lines longer than that.
  size_t capacity = std::max({needed, 2 * Capacity_, static_cast<size_t>(FlushThreshold_) + 65536});
  TLargeBlock buffer = AllocateLargeBlock(capacity);
  if (PendingBytes_ > 0) std::memcpy(buffer.get(), Pending_.get(), static_cast<size_t>(PendingBytes_));
  Pending_ = std::move(buffer);
  Capacity_ = capacity;
}
