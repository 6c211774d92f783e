// Writes the pieces of a split, one open at a time: appended lines gather in
// a pending buffer and reach the piece in large writes.
//
// The text is records of lines, every line ending in CR LF or LF in the
// output encoding, or in the line end the caller hands in (its source's own).
// A record is one line, or, when records span lines (CSV records), possibly
// several; a line inside a record ends as its source has it. The writer
// knows where the piece's last whole record ends, on disk and in the pending
// text: a failed write cuts the piece back there, and so does closing a
// piece whose last record was written only in part (a run that ends early).
// Records that a failure keeps from their piece are reported as lost, for
// the caller to count as failed.
//
// Every byte of a piece goes through one sink, in one place (Put): the sink
// writes a piece file under a temporary name and gives it its own when the
// piece is closed whole, compressing the bytes first when the run asks for
// it (TCompressingSink); Put counts a piece's size and, when asked, its
// SHA-256 (the compressing sink counts and hashes what it stores).
//
// With a converter (TFormat::Converter), lines are handed in as the
// source's bytes and converted into the output encoding as they are
// appended, straight into the pending text; the record ends and every
// measure are the output's.
#pragma once

#include <cassert>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "text/UCodecBuffer.h"
#include "util/UCompression.h"
#include "util/UCompressor.h"
#include "util/USha256.h"

class TTranscoder;

class TPieceWriter {
 public:
  // Where the bytes of one piece go.
  class TSink {
   public:
    TSink() = default;
    TSink(const TSink&) = delete;
    TSink& operator=(const TSink&) = delete;
    virtual ~TSink() = default;
    // What a piece holds when a sink stores other bytes than it is given
    // (it compresses them).
    struct TStored {
      int64_t Bytes = 0;
      std::string Sha256;  // in hex; empty without checksums or after a cut-back
    };

    // Appends all of Bytes or raises EInOutError naming the piece
    // (EOutOfRoom when there is no room for them); part of them may have
    // landed. The first Whole of them end in a record end (or are a
    // byte-order mark): the piece may be cut back to there later.
    virtual void Write(std::string_view bytes, size_t whole) = 0;
    // Cuts the piece back to its first Size bytes; the next write goes on
    // from there. Raises nothing: a piece that cannot be cut stays as it is.
    virtual void CutBack(int64_t size) = 0;
    // Ends the piece, which then holds what was written (a piece file takes
    // its name now); a failing close, or a piece that could not be cut
    // back, raises EInOutError, and the piece is then gone.
    virtual void Close() = 0;
    // Once closed: what the piece holds, when the sink stores other bytes
    // than it was given; nothing when it stores those.
    virtual std::optional<TStored> Stored() const { return std::nullopt; }
  };

  // A piece closed whole, as the hook Closed is told of it.
  struct TClosedPiece {
    std::string Path;     // as opened; empty for a sink handed in
    int64_t Records = 0;  // the whole records it holds (a kept header is none)
    int64_t Bytes = 0;    // byte-order mark included
    std::string Sha256;   // of its bytes, in hex; empty without checksums or after a cut-back
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

  // What the writer asks of whoever feeds it; any may be empty.
  struct THooks {
    // Runs before appended text is written; raises when that text may no
    // longer be the source's (a mapped source that shrank), which fails the
    // write.
    std::function<void()> CheckSource = {};
    // Told how many records were lost: they reach no piece, and no failure
    // raised is theirs (the current record, when a failure is raised, is
    // not among them: the caller counts it with the failure).
    std::function<void(int64_t)> Lost = {};
    // Told of every piece once it is closed whole.
    std::function<void(const TClosedPiece&)> Closed = {};
  };

  // How a run's text is laid out.
  struct TFormat {
    // CR LF in the output encoding: 2 bytes, or 4 in UTF-16. Its halves are
    // the code units CR and LF.
    std::string_view CrLf = "\r\n";
    // Records end in LF alone instead.
    bool Lf = false;
    // Every line ends as the caller says (AppendKept: a line with its own
    // end), possibly in CR alone or in nothing.
    bool KeepEnds = false;
    // A record may take several lines: pending text is then written up to
    // whole records, and long lines are not written through (they may have
    // to wait for the rest of their record).
    bool RecordsSpanLines = false;
    // Each piece's SHA-256, worked out as its bytes are written.
    bool Checksums = false;
    // Pieces are compressed as they are written, at Level (1 to 9 for gzip,
    // 1 to 19 for zstd); sizes and checksums told of are those of the
    // compressed files, PieceSize the bytes before compression.
    TCompression Compress = cmNone;
    int CompressLevel = 0;
    // Converts the text handed in (not owned; none: the text is written as
    // it is). CrLf is then the output's.
    TTranscoder* Converter = nullptr;
  };

  // Begins a run: no piece open, nothing pending.
  void Start(const TFormat& format, THooks hooks);
  // Paths (as Open is given them) that a piece can never take: folders.
  // Opening one fails at once, as creating the file there used to, instead
  // of when the finished piece would be named.
  void SetTakenPaths(std::set<std::string> paths) { Taken_ = std::move(paths); }

  // Closes the open piece (as Close), then creates the piece Path: it is
  // written without a name (as PartPath(Path) where the file system has no
  // unnamed files) and takes the name Path when closed whole,
  // replacing a file or symbolic link there, never writing through it;
  // compressed, with TFormat::Compress (Path names the compressed file).
  // Writes ByteOrderMark. Pending text stays pending, for the new piece.
  // Raises when the piece cannot be created or its mark written; the
  // pending records are then lost (the current one is the caller's).
  void Open(const std::string& path, std::string_view byte_order_mark);
  // As Open, into Sink instead of a file.
  void Open(std::unique_ptr<TSink> sink, std::string_view byte_order_mark);
  // Closes the open piece, if any, cut back to its last whole record, and
  // tells Closed of it. Pending text is not written. A failing close
  // raises, and the records of the piece are lost (the current one, if it
  // is among them, is the caller's); the piece is closed all the same.
  void Close();
  bool IsOpen() const { return Sink_ != nullptr; }

  // The next line appended begins a new record, the current one.
  void StartRecord() { Current_ = kCurrentNone; }
  // Whether the current record goes on past its current line, the one
  // appended next or last; only records that span lines ever do. The
  // reader's owner says so as it moves through the record.
  void SetRecordGoesOn(bool goes_on) { RecordGoesOn_ = goes_on; }
  // The record goes on, and its current line ends in InnerEnd, its own line
  // end (unless every line end is handed in), which must stay valid until
  // the line is appended.
  void SetRecordGoesOnAfter(std::string_view inner_end) {
    RecordGoesOn_ = true;
    InnerEnd_ = inner_end;
  }
  bool RecordGoesOn() const { return RecordGoesOn_; }
  // Appends the first (or only) line of the current record and the record
  // end (CR LF or LF; its own end while the record goes on). A line longer than the flush threshold is written
  // straight to the piece instead, after what is pending, so that a line of
  // gigabytes is never copied; the piece is the same.
  void AppendLine(std::string_view line) { AppendFirst<false, false>(line); }
  // As AppendLine with KeepEnds: Line is a line and its own end (none for
  // a last line without one), as a source holds them, copied in one.
  void AppendKept(std::string_view line) { AppendFirst<false, true>(line); }
  // As AppendLine and AppendKept with a converter: Line is converted.
  void AppendConvertedLine(std::string_view line) { AppendFirst<true, false>(line); }
  void AppendConvertedKept(std::string_view line) { AppendFirst<true, true>(line); }
  // Appends a line of the current record after its first (records that
  // span lines only), ending in the record end or, while the record goes
  // on, its own; with KeepEnds (AppendKeptContinuation) a line and its end.
  void AppendContinuation(std::string_view line) {
    assert(RecordsSpanLines_ && !KeepEnds_);
    CopyRecordLine(line);
    PendingMultiLine_ = true;
  }
  void AppendKeptContinuation(std::string_view line) {
    assert(RecordsSpanLines_ && KeepEnds_);
    CopyKeptRecordLine(line);
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
  // A run of lines appended at once, each a record of one line ending in
  // the record end (CopyLineRun; neither records that span lines nor line
  // ends handed in; converted already where there is a converter): RunRoom
  // is what the pending text may still take without going over the flush
  // threshold; RunSpace is where the run goes, with RunRoom bytes of room
  // and kLineRunSlack more; TakeRun makes the Records written there (Bytes
  // in all) pending, the last one current.
  int64_t RunRoom() const { return FlushThreshold_ - PendingBytes_; }
  char* RunSpace();
  void TakeRun(int64_t records, size_t bytes) {
    assert(!RecordsSpanLines_ && !KeepEnds_);
    PendingBytes_ += static_cast<int64_t>(bytes);
    PendingRecords_ += records;
    Current_ = kCurrentPending;
    assert(static_cast<size_t>(PendingBytes_) <= Capacity_);
  }
  // True when appending Line (as AppendLine or AppendKept take it) writes
  // it straight to the piece.
  bool WritesThrough(std::string_view line) const {
    return !RecordsSpanLines_ && static_cast<int64_t>(line.size()) > FlushThreshold_;
  }
  // The open piece's size once everything pending is written, byte-order
  // mark included: every byte counted is one written.
  int64_t PieceSize() const { return PieceBytes_ + PendingBytes_; }
  int64_t PendingBytes() const { return PendingBytes_; }
  // The record end written after a record's last line: CR LF or LF in the
  // output encoding (unless every line end is handed in).
  std::string_view LineEnd() const { return {LineEnd_, static_cast<size_t>(LineEndSize_)}; }

 private:
  // The current record: not appended yet, (partly) pending, or written whole.
  enum : uint8_t { kCurrentNone, kCurrentPending, kCurrentWritten };

  // The appends of a record's first line: with Kept, Line holds its own
  // end; with Convert, it is converted.
  template <bool Convert, bool Kept>
  void AppendFirst(std::string_view line) {
    assert(KeepEnds_ == Kept && Convert == (Converter_ != nullptr));
    if (RecordsSpanLines_) [[unlikely]] {
      if constexpr (Kept)
        AppendKeptRecordLine(line);
      else
        AppendRecordLine(line);
      return;
    }
    if (static_cast<int64_t>(line.size()) > FlushThreshold_) [[unlikely]] {
      if constexpr (Kept)
        WriteLongKeptLine(line);
      else
        WriteLongLine(line);
      return;
    }
    if constexpr (Convert && Kept)
      ConvertIn(line);
    else if constexpr (Convert)
      ConvertLine(line);
    else if constexpr (Kept)
      CopyIn(line);
    else
      CopyLine(line);
    ++PendingRecords_;
    Current_ = kCurrentPending;
  }
  void CopyLine(std::string_view line) {
    const size_t used = static_cast<size_t>(PendingBytes_);
    if (used + line.size() + sizeof(LineEnd_) > Capacity_) Grow(used + line.size() + sizeof(LineEnd_));
    char* out = Pending_.Data() + used;
    std::memcpy(out, line.data(), line.size());
    std::memcpy(out + line.size(), LineEnd_, sizeof(LineEnd_));  // one store; only LineEndSize_ bytes count
    PendingBytes_ += static_cast<int64_t>(line.size()) + LineEndSize_;
    assert(static_cast<size_t>(PendingBytes_) <= Capacity_);
  }
  void CopyIn(std::string_view bytes) {
    const size_t used = static_cast<size_t>(PendingBytes_);
    if (used + bytes.size() > Capacity_) Grow(used + bytes.size());
    std::memcpy(Pending_.Data() + used, bytes.data(), bytes.size());
    PendingBytes_ += static_cast<int64_t>(bytes.size());
  }
  // As CopyLine and CopyIn, converting the bytes (the record end is the
  // output's already).
  void ConvertLine(std::string_view line);
  void ConvertIn(std::string_view bytes);
  // Line and End, in one copy when End lies right behind Line; converted
  // with a converter.
  void CopyIn(std::string_view line, std::string_view end) {
    if (end.empty() || end.data() == line.data() + line.size()) {
      AddBytes(std::string_view(line.data(), line.size() + end.size()));
      return;
    }
    AddBytes(line);
    AddBytes(end);
  }
  // CopyIn or, with a converter, ConvertIn; CopyLine or ConvertLine.
  void AddBytes(std::string_view bytes) {
    if (Converter_ != nullptr)
      ConvertIn(bytes);
    else
      CopyIn(bytes);
  }
  void AddLine(std::string_view line) {
    if (Converter_ != nullptr)
      ConvertLine(line);
    else
      CopyLine(line);
  }
  // CopyLine for records that span lines: a line whose record goes on ends
  // in its own end. Notes where a record ends.
  void CopyRecordLine(std::string_view line) {
    if (RecordGoesOn_) {
      CopyIn(line, InnerEnd_);
      return;
    }
    AddLine(line);
    PendingWholeEnd_ = PendingBytes_;
  }
  // As CopyRecordLine, Line holding its own end (KeepEnds).
  void CopyKeptRecordLine(std::string_view line) {
    AddBytes(line);
    if (!RecordGoesOn_) PendingWholeEnd_ = PendingBytes_;
  }
  // Makes Sink the open piece (Path, as opened) and writes the mark.
  void Begin(std::unique_ptr<TSink> sink, std::string_view byte_order_mark, const std::string& path);
  [[gnu::noinline]] void Grow(size_t needed);
  // The rare ways of the two appends, out of line so that theirs stay
  // small enough to be inlined in the record loops.
  [[gnu::noinline]] void WriteLongLine(std::string_view line) {
    if (Converter_ != nullptr)
      WriteThroughConverted(line, LineEnd());
    else
      WriteThrough(line, LineEnd());
  }
  [[gnu::noinline]] void WriteLongKeptLine(std::string_view line) {
    if (Converter_ != nullptr)
      WriteThroughConverted(line, {});
    else
      WriteThrough(line, {});
  }
  [[gnu::noinline]] void AppendRecordLine(std::string_view line) {
    CopyRecordLine(line);
    BeginRecord();
  }
  [[gnu::noinline]] void AppendKeptRecordLine(std::string_view line) {
    CopyKeptRecordLine(line);
    BeginRecord();
  }
  // Writes Line and End straight to the piece, after what is pending.
  void WriteThrough(std::string_view line, std::string_view end);
  // WriteThrough with a converter: Line is converted in parts of about the
  // flush threshold, through the pending buffer (empty meanwhile), and End
  // is the output's record end or none.
  void WriteThroughConverted(std::string_view line, std::string_view end);
  // After the first line of a record that may span lines.
  void BeginRecord();
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
  // Pending records are now whole in the piece, down to Still of them.
  void Settle(int64_t still) {
    Written_ += PendingRecords_ - still;
    PendingRecords_ = still;
  }
  // Empties the pending text: its records were written (Settle) or lost.
  void Empty();
  // Offset just past the last line end in the first Size pending bytes; 0
  // when there is none. Lines hold no LF or CR code unit: the reader cut
  // them there.
  size_t LinesEnd(size_t size) const;
  // Line ends in the Size pending bytes from From.
  int64_t LineEnds(size_t from, size_t size) const;
  // True when the pending code unit at At ends a line: an LF, or, with line
  // ends handed in, a CR that no LF follows in the pending text.
  bool EndsLine(size_t at) const;

  // With TFormat::Compress: for each piece in turn, of this format and level.
  std::unique_ptr<TCompressor> Compressor_;
  TCompression CompressedAs_ = cmNone;
  int CompressLevel_ = 0;

  std::unique_ptr<TSink> Sink_;     // the open piece; null when none is
  std::string PiecePath_;           // of the open piece, as opened
  int64_t PieceBytes_ = 0;          // written to the open piece; 0 without one
  int64_t PieceWholeBytes_ = 0;     // of those, the bytes up to the last record end
  int64_t PieceFirstRecord_ = 0;    // Written_ when the open piece was opened
  TSha256 Hash_;                    // of the open piece's bytes, with Checksums_
  bool HashWhole_ = false;          // Hash_ is of all the piece holds: no cut-back since it opened
  TCodecBuffer Pending_;            // a plain buffer, so that appending a line is two copies
  size_t Capacity_ = 0;             // of Pending_; room for a line's LineEnd_ store beyond the text
  int64_t PendingBytes_ = 0;        // the pending text, Pending_[0, PendingBytes_)
  int64_t PendingWholeEnd_ = 0;     // with RecordsSpanLines_: where the last whole record pending ends
  int64_t PendingRecords_ = 0;      // records begun in the pending text and not yet written whole
  int64_t Written_ = 0;             // records of the run written whole to their pieces
  uint8_t Current_ = kCurrentNone;  // the current record; kCurrentPending: one of PendingRecords_
  bool PendingMultiLine_ = false;   // a record of several lines is pending: not every line end ends one
  bool RecordsSpanLines_ = false;   // CSV records: set by Start
  bool KeepEnds_ = false;           // every line end is handed in: set by Start
  bool Checksums_ = false;          // set by Start
  bool RecordGoesOn_ = false;       // the current record goes on past its current line; only with RecordsSpanLines_
  std::string_view InnerEnd_;       // the current line's own end, while RecordGoesOn_
  char LineEnd_[4] = {'\r', '\n', 0, 0};  // the record end in the output encoding, LineEndSize_ bytes of it
  int64_t LineEndSize_ = 2;               // 1 or 2, or 2 or 4 in UTF-16
  char Cr_[2] = {'\r', 0};                // the code units CR and LF in the output encoding
  char Lf_[2] = {'\n', 0};
  int64_t UnitSize_ = 1;              // the size of a code unit of the output: 2 in UTF-16, else 1
  TTranscoder* Converter_ = nullptr;  // from Start
  int64_t FlushThreshold_;            // positive
  THooks Hooks_;                      // from Start
  std::set<std::string> Taken_;       // from SetTakenPaths
};
