// The common base of the split rules: one source text file, read line by
// line, written into numbered pieces in the destination folder.
//
// A record is one source line, or with QuotedFields a CSV record: a line
// whose double quotes leave a field open takes in the lines that follow
// until the count of quotes from its start is even. The base opens the source, prepares the
// destination folder, names and creates the pieces, writes byte-order marks
// and text in the output encoding, and gathers text in Pending so that it
// reaches the disk in large writes. The rule (SplitOneLine) decides where
// pieces begin and end.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "convert/UIterativeConverter.h"
#include "text/UBlockTextReader.h"
#include "util/UErrors.h"
#include "util/UFileStream.h"

class TFileSplitSession;

// Sizes a splitter works with; 0 takes the usual one. Tests pass small ones
// so that faults meet sources of many blocks and pieces written in parts.
struct TSplitterSizes {
  int64_t ReaderBlockSize = 0;  // with ReaderMemoryLimit: the reader's sizes
  int64_t ReaderMemoryLimit = 0;
  int64_t FlushThreshold = 0;
};

class TFileSplitter : public TIterativeConverter {
  // The engine's record loop calls the record steps directly.
  friend class TIterativeConverter;

 public:
  // Pending text is written once it exceeds this many bytes. Small enough to
  // be written while it is still in the processor's caches: with 16 MiB the
  // copy into the file cost up to four times as much on a busy machine.
  static constexpr int64_t kFlushThreshold = 262144;

  explicit TFileSplitter(const TSplitterSizes& sizes = {});
  ~TFileSplitter() override;

  // The split task; not owned. Set before Run.
  TFileSplitSession* Session = nullptr;

  int32_t PieceCount() const { return PieceCount_; }
  // The pieces the last run created: PieceCount less those that could not be.
  int32_t PiecesCreated() const { return PiecesCreated_; }
  int64_t TotalLines() const { return TotalLines_; }
  const std::string& OutputEncoding() const { return OutputEncoding_; }
  const std::string& Extension() const { return Extension_; }
  // True while the pieces receive the source's own bytes (the task names
  // the encoding it reads, or detection found UTF-8); false when a source
  // detected as UTF-16 is written as UTF-8. Valid once the run has started.
  bool KeepsSourceBytes() const { return Reader_ && Reader_->KeepsSourceBytes(); }
  // The last Run went as far as clearing or creating the destination folder
  // (whether or not it failed later).
  bool DestinationTouched() const { return DestinationTouched_; }

 protected:
  void Prepare() override;
  void CleanUp() override;
  bool HasNext() override { return Reader_->HasNext(); }
  // Moves to the next record: its first line becomes current.
  void Next() override {
    Reader_->Next();
    ++LineIndex_;
    CurrentLinePending_ = false;
    if (Quoted_) [[unlikely]]
      StartRecordAtCurrentLine();
  }
  void ConvertOneRecord() override { ConvertLine(*this); }
  // Places the current line with the rule's SplitOneLine, called directly
  // when TRule is a final rule class. A failure counts the line as failed.
  template <class TRule>
  void ConvertLine(TRule& rule) {
    try {
      rule.SplitOneLine();
    } catch (const EQuillmereError& e) {
      LineFailed(e);
    }
  }
  // A split always reads its source to the end: the line count serves
  // progress and the summary only (lines ended by CR alone are not counted).
  bool IsTotalUncertain() override { return true; }
  void CalculateTotal() override;

  // Resets the split state, opens the source and prepares the destination.
  virtual void InitSplit();
  // Places the reader's current line into the pieces.
  virtual void SplitOneLine() = 0;

  // Opens piece PieceCount + 1 and writes its byte-order mark. A piece that
  // cannot be created raises; its number is used up.
  void OpenNextPiece();
  // Closes the open piece (if any) without writing Pending.
  void ClosePiece();
  void WriteBom();
  // Writes Text, already in the output encoding, to the open piece in one
  // write; nothing without a piece.
  void WriteText(std::string_view text);
  // Writes Pending to the open piece and empties it (also without a piece).
  // Lines that reach no piece (none is open, or the write fails) count as
  // failed records, so the summary never claims more than the pieces hold.
  void FlushPending();
  // Writes the head of Pending that ends on a multiple of the flush
  // threshold in the piece, and keeps the rest pending (it holds the end of
  // the current line). File systems that cache files in large pages take
  // such writes whole: measured a fifth cheaper than writes at odd offsets.
  void FlushPendingHead();
  // Pending += Line + CR LF, the line as the reader hands it out, which is
  // how it is written: the pieces hold exactly the bytes Pending holds.
  // Line is the first (or only) line of the current record.
  // A line longer than the flush threshold is written straight from the
  // reader instead (after what is pending): a line of gigabytes is then
  // never copied, and the pieces are the same. (Not for CSV records, whose
  // lines may have to wait for the rest of their record.)
  void AppendLine(std::string_view line) {
    if (static_cast<int64_t>(line.size()) > FlushThreshold_ && !Quoted_) [[unlikely]] {
      WriteLongLine(line);
      return;
    }
    CopyToPending(line);
    ++PendingLines_;
    CurrentLinePending_ = true;
  }
  // True while the current record goes on past the current line.
  bool RecordContinues() const { return RecordOpen_; }
  // Makes the next line of the current record current.
  void NextRecordLine();
  // Appends a line of the current record after its first.
  void AppendContinuation(std::string_view line) {
    CopyToPending(line);
    PendingHasMultiLine_ = true;
  }
  // Appends the rest of the current record line by line, writing pending
  // text as it grows (a record that never closes takes no more memory).
  void AppendRecordRest();
  // Starts a record at the current line outside the record count (a kept
  // header).
  void StartRecordAtCurrentLine() {
    // A record still open ends with the source.
    RecordOpen_ = Quoted_ && Reader_->CurrentLineQuotesOdd() && Reader_->HasNext();
  }
  // Writes the pending text before Offset (whole records) to the open piece,
  // closes it and opens the next; what follows Offset, the head of the
  // record being placed, stays pending for the new piece.
  void MoveRecordToNextPiece(size_t offset);
  // The CR LF that ends every line written, in the output encoding.
  std::string_view CrLf() const { return {CrLf_, static_cast<size_t>(CrLfSize_)}; }
  int64_t CrLfSize() const { return CrLfSize_; }
  bool IsLastLine() const { return !Reader_->HasNext(); }
  bool IsPieceOpen() const { return Output_.IsOpen(); }
  bool PendingOverThreshold() const { return PendingBytes_ > FlushThreshold_; }
  // Bytes already written to the open piece, byte-order mark included.
  int64_t PieceBytesWritten() const { return PieceBytesWritten_; }
  int64_t PendingBytes() const { return PendingBytes_; }
  // The current line as it is written (the output encoding's bytes).
  std::string_view CurrentLine() const { return Reader_->CurrentLine(); }
  // The current line in UTF-8, for rules that compare text.
  std::string_view CurrentText() { return Reader_->CurrentText(); }
  int64_t LineIndex() const { return LineIndex_; }
  TBlockTextReader& Reader() { return *Reader_; }

 private:
  void LineFailed(const EQuillmereError& error);
  // Refuses a destination whose preparation or pieces would delete or
  // overwrite the source file.
  void CheckSourceIsSafe(const std::string& dest_folder) const;
  // Tells the log file how many earlier pieces clearing deleted, if any.
  void ReportCleared(int64_t count) const;
  void GrowPending(size_t needed);
  [[gnu::noinline]] void WriteLongLine(std::string_view line);
  void CopyToPending(std::string_view line) {
    const size_t used = static_cast<size_t>(PendingBytes_);
    if (used + line.size() + sizeof(CrLf_) > PendingCapacity_) GrowPending(used + line.size() + sizeof(CrLf_));
    char* out = Pending_.get() + used;
    std::memcpy(out, line.data(), line.size());
    std::memcpy(out + line.size(), CrLf_, sizeof(CrLf_));  // one store; only CrLfSize_ bytes count
    PendingBytes_ += static_cast<int64_t>(line.size()) + CrLfSize_;
    if (Quoted_ && !RecordOpen_) [[unlikely]]
      PendingRecordsEnd_ = PendingBytes_;
  }
  // Writes the first Size bytes of Pending to the open piece (the first
  // Whole of them end in a line or record end) and keeps the rest pending.
  // A failed write counts every pending record but the current one failed.
  void WritePendingHead(size_t size, size_t whole);
  // FlushPendingHead for CSV records: writes the whole records pending, or,
  // when only the open record is, all of it.
  void FlushPendingRecords();
  // After a failed write: every pending line failed; Pending is emptied.
  void FailPending();
  void EmptyPending();
  // Writes to the open piece; the first Whole bytes end in a line end (or
  // are a byte-order mark), the rest begin a line still pending. A failed
  // write cuts the piece back to its whole lines.
  void WriteToPiece(std::string_view bytes, size_t whole);
  void WriteToPiece(std::string_view bytes) { WriteToPiece(bytes, bytes.size()); }
  void PrepareDestination();
  // Refuses a source whose first bytes are the signature of a compressed
  // format: its bytes are no text.
  void RefuseCompressedSource(std::string_view head) const;
  // Settles the encoding the source is read and written in from the task's
  // name and the source's first bytes, and posts a notice when its
  // byte-order mark overrides the name.
  void ChooseEncoding(std::string_view head);
  // Posts a notice when the source encoding is one the program cannot
  // convert: an unknown name, or a converter this machine lacks.
  void ReportUnconvertedEncoding();
  // Offset just past the last line end in the first Size bytes of Pending; 0
  // when there is none. Lines hold no LF code unit: the reader cut them there.
  size_t PendingLinesEnd(size_t size) const;
  // Line ends in the Size bytes of Pending from From.
  int64_t PendingLineEnds(size_t from, size_t size) const;

  std::string Extension_;
  bool DestinationTouched_ = false;
  int32_t PieceCount_ = 0;
  int32_t PiecesCreated_ = 0;
  int64_t TotalLines_ = 0;
  std::unique_ptr<TBlockTextReader> Reader_;
  TFileStream Output_;
  std::string OutputFileName_;
  std::string OutputEncoding_;
  std::string SourceEncoding_;  // the encoding name the run reads and writes in
  TSplitterSizes Sizes_;
  char CrLf_[4] = {'\r', '\n', 0, 0};  // CR LF in the output encoding
  int64_t CrLfSize_ = 2;
  int64_t LineIndex_ = -1;
  int64_t PendingBytes_ = 0;
  // The pending text; a plain buffer so that appending a line is two copies.
  std::unique_ptr<char[]> Pending_;
  size_t PendingCapacity_ = 0;
  int64_t PendingLines_ = 0;  // records begun in Pending and not yet written whole
  bool CurrentLinePending_ = false;
  bool Quoted_ = false;            // Session->QuotedFields, read at the start of a run
  bool RecordOpen_ = false;        // the current record goes on past the current line
  int64_t PendingRecordsEnd_ = 0;  // with Quoted_: where the last whole record in Pending ends
  // Pending may hold a record of several lines: not every line end in it
  // ends a record, so it is written up to whole records only.
  bool PendingHasMultiLine_ = false;
  int64_t PieceBytesWritten_ = 0;
  int64_t PieceWholeBytes_ = 0;  // of those, the bytes up to the last line end
  int64_t FlushThreshold_;
};
