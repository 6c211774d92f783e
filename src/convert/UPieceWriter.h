// Writes the pieces of a split, one open at a time: appended lines gather in
// a pending buffer and reach the piece in large writes.
//
// The text is records of lines, every line ending in CR LF in the output
// encoding. A record is one line, or, when records span lines (CSV records),
// possibly several. The writer knows where the piece's last whole record
// ends, on disk and in the pending text: a failed write cuts the piece back
// there, and so does closing a piece whose last record was written only in
// part (a run that ends early). Records that a failure keeps from their
// piece are reported as lost, for the caller to count as failed.
//
// Every byte of a piece goes through one sink, in one place (Put): the place
// for a temporary name, compression, or a piece's size and checksum.
#pragma once

#include <cassert>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "util/ULargeBlock.h"

class TPieceWriter {
 public:
  // Where the bytes of one piece go.
  class TSink {
   public:
    TSink() = default;
    TSink(const TSink&) = delete;
    TSink& operator=(const TSink&) = delete;
    virtual ~TSink() = default;
    // Appends all of Bytes or raises EInOutError naming the piece
    // (EOutOfRoom when there is no room for them); part of them may have
    // landed.
    virtual void Write(std::string_view bytes) = 0;
    // Cuts the piece back to its first Size bytes; the next write goes on
    // from there. Raises nothing: a piece that cannot be cut stays as it is.
    virtual void CutBack(int64_t size) = 0;
    // Ends the piece; a failing close raises EInOutError.
    virtual void Close() = 0;
  };

  // Pending text is written once it exceeds this many bytes. Small enough to
  // be written while it is still in the processor's caches: with 16 MiB the
  // copy into the file cost up to four times as much on a busy machine.
  static constexpr int64_t kFlushThreshold = 262144;

  // A threshold of 0 takes kFlushThreshold; tests pass small ones.
  explicit TPieceWriter(int64_t flush_threshold = 0);
  TPieceWriter(const TPieceWriter&) = delete;
  TPieceWriter& operator=(const TPieceWriter&) = delete;
  ~TPieceWriter();

  // What the writer asks of whoever feeds it; either may be empty.
  struct THooks {
    // Runs before appended text is written; raises when that text may no
    // longer be the source's (a mapped source that shrank), which fails the
    // write.
    std::function<void()> CheckSource = {};
    // Told how many records were lost: they reach no piece, and no failure
    // raised is theirs (the current record, when a failure is raised, is
    // not among them: the caller counts it with the failure).
    std::function<void(int64_t)> Lost = {};
  };

  // Begins a run: no piece open, nothing pending. Lines end in CrLf (2
  // bytes, or 4 in UTF-16). With RecordsSpanLines a record may take several
  // lines: pending text is then written up to whole records, and long lines
  // are not written through (they may have to wait for the rest of their
  // record).
  void Start(std::string_view crlf, bool records_span_lines, THooks hooks);

  // Closes the open piece (as Close), then creates Path or empties the file
  // there; a symbolic link of that name is replaced, never written through.
  // Writes ByteOrderMark. Pending text stays pending, for the new piece.
  // Raises when the piece cannot be created or its mark written; the
  // pending records are then lost (the current one is the caller's).
  void Open(const std::string& path, std::string_view byte_order_mark);
  // As Open, into Sink instead of a file.
  void Open(std::unique_ptr<TSink> sink, std::string_view byte_order_mark);
  // Closes the open piece, if any, cut back to its last whole record.
  // Pending text is not written. A failing close raises; the piece is
  // closed all the same.
  void Close();
  bool IsOpen() const { return Sink_ != nullptr; }

  // The next line appended begins a new record, the current one.
  void StartRecord() { CurrentPending_ = false; }
  // Whether the current record goes on past its current line, the one
  // appended next or last; only records that span lines ever do. The
  // reader's owner says so as it moves through the record.
  void SetRecordGoesOn(bool goes_on) { RecordGoesOn_ = goes_on; }
  bool RecordGoesOn() const { return RecordGoesOn_; }
  // Appends the first (or only) line of the current record and CR LF. A
  // line longer than the flush threshold is written straight to the piece
  // instead, after what is pending, so that a line of gigabytes is never
  // copied; the piece is the same.
  void AppendLine(std::string_view line) {
    if (RecordsSpanLines_) [[unlikely]] {
      AppendRecordLine(line);
      return;
    }
    if (static_cast<int64_t>(line.size()) > FlushThreshold_) [[unlikely]] {
      WriteLongLine(line);
      return;
    }
    CopyIn(line);
    ++PendingRecords_;
    CurrentPending_ = true;
  }
  // Appends a line of the current record after its first (records that
  // span lines only).
  void AppendContinuation(std::string_view line) {
    assert(RecordsSpanLines_);
    CopyRecordLine(line);
    PendingMultiLine_ = true;
  }
  // Writes Text (whole lines, a kept header) to the open piece at once;
  // nothing is pending then. Nothing without a piece.
  void WriteText(std::string_view text);
  // Writes all pending text to the open piece and empties it. Without a
  // piece the pending records are lost, the current one included.
  void Flush();
  // Writes the head of the pending text that ends on a multiple of the
  // flush threshold in the piece and keeps the rest pending (it holds the
  // end of the current line). File systems that cache files in large pages
  // take such writes whole: measured a fifth cheaper than writes at odd
  // offsets. While a record of several lines is pending, writes the whole
  // records instead, or, when the open record is all there is, all of it.
  void FlushHead();
  // Writes the pending text before Offset (whole records) to the open
  // piece; what follows, the current record, stays pending for the next.
  void WriteRecordsBefore(size_t offset);

  bool OverThreshold() const { return PendingBytes_ > FlushThreshold_; }
  // The open piece's size once everything pending is written, byte-order
  // mark included: every byte counted is one written.
  int64_t PieceSize() const { return PieceBytes_ + PendingBytes_; }
  int64_t PendingBytes() const { return PendingBytes_; }
  std::string_view CrLf() const { return {CrLf_, static_cast<size_t>(CrLfSize_)}; }

 private:
  void CopyIn(std::string_view line) {
    const size_t used = static_cast<size_t>(PendingBytes_);
    if (used + line.size() + sizeof(CrLf_) > Capacity_) Grow(used + line.size() + sizeof(CrLf_));
    char* out = Pending_.get() + used;
    std::memcpy(out, line.data(), line.size());
    std::memcpy(out + line.size(), CrLf_, sizeof(CrLf_));  // one store; only CrLfSize_ bytes count
    PendingBytes_ += static_cast<int64_t>(line.size()) + CrLfSize_;
    assert(static_cast<size_t>(PendingBytes_) <= Capacity_);
  }
  // CopyIn for records that span lines: notes where a record ends.
  void CopyRecordLine(std::string_view line) {
    CopyIn(line);
    if (!RecordGoesOn_) PendingWholeEnd_ = PendingBytes_;
  }
  void Grow(size_t needed);
  [[gnu::noinline]] void WriteLongLine(std::string_view line);
  // AppendLine for records that span lines.
  [[gnu::noinline]] void AppendRecordLine(std::string_view line);
  // Writes Bytes to the open piece; the first Whole of them end in a record
  // end (or are a byte-order mark), the rest begin a record still pending.
  // A failed write cuts the piece back to its whole records and raises.
  void Put(std::string_view bytes, size_t whole);
  // Writes the first Size bytes of pending text (the first Whole of them
  // whole records) and keeps the rest pending. A failed write loses every
  // pending record but the current one, and raises.
  void WriteHead(size_t size, size_t whole);
  // FlushHead while a record of several lines is pending.
  void FlushRecords();
  // After a failure: the pending records but the current one are lost.
  void Fail();
  void Lose(int64_t records) {
    if (records > 0 && Hooks_.Lost) Hooks_.Lost(records);
  }
  void Empty();
  // Offset just past the last line end in the first Size pending bytes; 0
  // when there is none. Lines hold no LF code unit: the reader cut them there.
  size_t LinesEnd(size_t size) const;
  // Line ends in the Size pending bytes from From.
  int64_t LineEnds(size_t from, size_t size) const;
  // The size of a code unit of the output: 2 in UTF-16, else 1.
  int64_t UnitSize() const { return CrLfSize_ / 2; }

  std::unique_ptr<TSink> Sink_;        // the open piece; null when none is
  int64_t PieceBytes_ = 0;             // written to the open piece; 0 without one
  int64_t PieceWholeBytes_ = 0;        // of those, the bytes up to the last record end
  TLargeBlock Pending_;                // a plain buffer, so that appending a line is two copies
  size_t Capacity_ = 0;                // of Pending_; room for a line's CrLf_ store beyond the text
  int64_t PendingBytes_ = 0;           // the pending text, Pending_[0, PendingBytes_)
  int64_t PendingWholeEnd_ = 0;        // with RecordsSpanLines_: where the last whole record pending ends
  int64_t PendingRecords_ = 0;         // records begun in the pending text and not yet written whole
  bool CurrentPending_ = false;        // the current record is one of PendingRecords_
  bool PendingMultiLine_ = false;      // a record of several lines is pending: not every line end ends one
  bool RecordsSpanLines_ = false;      // CSV records: set by Start
  bool RecordGoesOn_ = false;          // the current record goes on past its current line; only with RecordsSpanLines_
  char CrLf_[4] = {'\r', '\n', 0, 0};  // CR LF in the output encoding, CrLfSize_ bytes of it
  int64_t CrLfSize_ = 2;               // 2, or 4 in UTF-16
  int64_t FlushThreshold_;             // positive
  THooks Hooks_;                       // from Start
};
