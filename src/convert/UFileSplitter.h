// The common base of the split rules: one source text file, read line by
// line, written into numbered pieces in the destination folder.
//
// A record is one source line, or with QuotedFields a CSV record: a line
// whose double quotes leave a field open takes in the lines that follow
// until the count of quotes from its start is even. The base opens the
// source, prepares the destination folder, names the pieces, moves through
// the records and counts those that fail; its TPieceWriter writes the
// pieces. The rule (SplitOneLine) decides where pieces begin and end.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "convert/UIterativeConverter.h"
#include "convert/UPieceWriter.h"
#include "text/UBlockTextReader.h"
#include "text/simd/UAvx512Kernels.h"
#include "text/simd/UKernels.h"
#include "text/simd/ULineRun.h"
#include "util/UErrors.h"
#include "util/UPathUtils.h"
#include "util/UPieceName.h"

class TFileSplitSession;
class TTranscoder;

// Sizes a splitter works with; 0 takes the usual one. Tests pass small ones
// so that faults meet sources of many blocks and pieces written in parts.
struct TSplitterSizes {
  int64_t ReaderBlockSize = 0;  // with ReaderMemoryLimit: the reader's sizes
  int64_t ReaderMemoryLimit = 0;
  int64_t FlushThreshold = 0;
  bool NoLineRuns = false;  // every record placed on its own, for tests to hold runs to
};

class TFileSplitter : public TIterativeConverter {
  // The engine's record loop calls the record steps directly.
  friend class TIterativeConverter;

 public:
  // How much of the source the line count for progress reads at most: its
  // lines give the estimate. Mapping costs about 0.75 ms a MiB at the start
  // of every run, 3% of a 20 MiB split at 1 MiB; 64 KiB still holds hundreds
  // of lines to estimate from.
  static constexpr int64_t kProgressCountLimit = 65536;

  explicit TFileSplitter(const TSplitterSizes& sizes = {});
  ~TFileSplitter() override;

  TFileSplitSession* Session = nullptr;  // the split task, not owned; set before Run

  int32_t PieceCount() const { return PieceCount_; }
  // The pieces the last run created: PieceCount less those that could not be.
  int32_t PiecesCreated() const { return PiecesCreated_; }
  int64_t TotalLines() const { return TotalLines_; }
  const std::string& OutputEncoding() const { return OutputEncoding_; }
  const std::string& Extension() const { return Extension_; }
  // True while the pieces receive the source's own bytes (the task names
  // the encoding it reads, or detection found UTF-8); false when a source
  // detected as UTF-16 is written as UTF-8. Valid once the run has started.
  bool KeepsSourceBytes() const { return Reader_ && Reader_->KeepsSourceBytes() && !Converts_; }
  // True when the last run converted its lines into OutputEncoding.
  bool Converts() const { return Converts_; }
  // The characters the last run wrote as "?" or U+FFFD because the output
  // encoding lacks them or the source's bytes did not decode.
  int64_t CharactersReplaced() const;
  // The last Run went as far as clearing or creating the destination folder
  // (whether or not it failed later).
  bool DestinationTouched() const { return DestinationTouched_; }

  // The file a split that succeeds writes last into its destination folder
  // (with Manifest): a line "piece<TAB>records<TAB>bytes<TAB>sha256", then
  // one such line for each piece, in order. Every run removes an earlier
  // one first, so that it is there exactly when the split completed.
  static constexpr char kManifestName[] = "_manifest.tsv";
  static constexpr char kManifestHeader[] = "piece\trecords\tbytes\tsha256\n";
  // Removes the manifest of the pieces in Folder (and what a run writing it
  // left), if any.
  static void RemoveManifest(const std::string& dest_folder);

 protected:
  // What a rule supplies: its settings checked and read at the start of a
  // run (calling this base's InitSplit: reset, open the source, prepare the
  // destination), and the placing of the current record.
  virtual void InitSplit();
  virtual void SplitOneLine() = 0;
  // Places the current record with the rule's SplitOneLine, called directly
  // when TRule is a final rule class. A failure counts the record as failed
  // (the records the writer loses are counted as it reports them); a write
  // that finds no room ends the split.
  template <class TRule>
  void ConvertLine(TRule& rule) {
    try {
      rule.SplitOneLine();
    } catch (const EOutOfRoom& e) {
      RoomRanOut(e);
    } catch (const EQuillmereError& e) {
      LineFailed(e);
    }
  }

  // The current record: its first line, as it is written (the output
  // encoding's bytes), and its number from 0. Its text in UTF-8, for rules
  // that compare text, comes from Reader().
  std::string_view CurrentLine() const { return Reader_->CurrentLine(); }
  int64_t LineIndex() const { return LineIndex_; }
  bool IsLastLine() const { return !Reader_->HasNext(); }
  // True while the current record goes on past the current line.
  bool RecordContinues() const { return Writer_.RecordGoesOn(); }
  TBlockTextReader& Reader() { return *Reader_; }

  // Appends the current line, the first of its record, with its line end
  // as the task says: CR LF, LF, or its own (LineEnd=Keep, or inside a
  // quoted field); converted into the output encoding when the task names
  // another.
  void AppendCurrentLine() {
    if (LineForm_ == kPlainLines) [[likely]] {
      Writer_.AppendLine(CurrentLine());
      return;
    }
    if (LineForm_ == kKeptEnds)
      Writer_.AppendKept(Reader_->CurrentLineWithEnd());
    else if (LineForm_ == kConvertedLines)
      Writer_.AppendConvertedLine(CurrentLine());
    else
      Writer_.AppendConvertedKept(Reader_->CurrentLineWithEnd());
  }
  // The bytes the current line takes in its piece, with its line end (the
  // record's last line's). A converted line is converted to be measured:
  // rules measure it once it is appended instead, but for lines written
  // straight through.
  int64_t CurrentLineBytes() {
    if (Converts_) [[unlikely]]
      return ConvertedLineBytes();
    const size_t bytes =
        KeepEnds_ ? Reader_->CurrentLineWithEnd().size() : CurrentLine().size() + Writer_.LineEnd().size();
    return static_cast<int64_t>(bytes);
  }
  // True when appending the current line writes it straight to the piece.
  bool CurrentLineWrittenThrough() const {
    return Writer_.WritesThrough(KeepEnds_ ? Reader_->CurrentLineWithEnd() : CurrentLine());
  }
  // Makes the record's next line current and appends it.
  void AppendNextRecordLine() {
    NextRecordLine();
    if (KeepEnds_)
      Writer_.AppendKeptContinuation(Reader_->CurrentLineWithEnd());
    else
      Writer_.AppendContinuation(CurrentLine());
  }
  // Appends the rest of the current record line by line, writing pending
  // text as it grows (a record that never closes takes no more memory).
  void AppendRecordRest();
  // Reads the next record outside the record count (a kept header) into
  // Text, every line ending in CR LF; false at the end of the source.
  bool ReadUncountedRecord(std::string& text);
  // Opens piece PieceCount + 1 and writes its byte-order mark (a piece
  // still open is closed first). A piece that cannot be created raises;
  // its number is used up.
  void OpenNextPiece();
  // Writes the pending text before Offset (whole records) to the open
  // piece, closes it and opens the next; what follows Offset, the head of
  // the record being placed, stays pending for the new piece.
  void MoveRecordToNextPiece(size_t offset);
  // The open piece and the pending text, where the rule appends the
  // current record's first line (the base appends the record's others).
  TPieceWriter& Writer() { return Writer_; }
  // After the current record: places the lines that follow it in the
  // block, each a record appended as it is (the plain line form, records
  // of one line), as a run at once, as long as each only joins the pending
  // text: at most MostRecords of them, while the open piece stays within
  // PieceRoom more bytes and the pending text within the flush threshold,
  // the source's last line never among them. Each is counted and reported
  // as the record loop does (PassRecords); the last becomes current. What
  // the rule would have done with each line must be that append alone,
  // for every line but those a Marker stops the run before.
  template <class TRule>
  void AppendLineRun(TRule& rule, int64_t most_records, int64_t piece_room, const TRunMarker* marker = nullptr) {
    if (!LineRuns_) {
      if (ConvertedRuns_ && marker == nullptr) AppendConvertedRun(rule, most_records, piece_room);
      return;
    }
    if (most_records <= 0 || !Writer_.IsOpen()) return;
    const std::string_view text = Reader_->RunText();
    const int64_t room = std::min(piece_room, Writer_.RunRoom());
    if (room <= 0) return;
    char* out = Writer_.RunSpace();
    const auto size = static_cast<size_t>(room);
    const TUnitForm form = Reader_->RunForm();
    TLineRun run = CopyRun(form, text, out, size, most_records, marker);
    if (run.Lines == 0) return;
    const int64_t passed = PassRecords(rule, run.Lines);
    if (passed == 0) return;
    // A stop cut the run short: its first lines are copied again, alone.
    if (passed < run.Lines) run = CopyRun(form, text, out, size, passed, marker);
    Writer_.TakeRun(run.Lines, run.OutBytes);
    Reader_->TakeRun(run);
    LineIndex_ += run.Lines;
  }

 private:
  // AppendLineRun where the lines are converted (ConvertsLineRuns): the
  // lines are found in the source, converted at once, and copied from the
  // output with their record ends, as a run in the source's encoding is.
  template <class TRule>
  [[gnu::noinline]] void AppendConvertedRun(TRule& rule, int64_t most_records, int64_t piece_room) {
    if (most_records <= 0 || !Writer_.IsOpen()) return;
    const int64_t room = std::min(piece_room, Writer_.RunRoom());
    if (room <= 0) return;
    // Converted a part at a time, so that the UTF-8 stays in the caches.
    constexpr size_t kPart = 16 * 1024;
    const std::string_view source = Reader_->RunText();
    const std::string_view text = source.substr(0, std::min(source.size(), kPart));
    const TUnitForm form = Reader_->RunForm();
    TLineRun lines = FindRunLines(form, text, most_records);
    if (lines.Lines == 0) return;
    size_t replaced = 0;
    const std::string_view converted = ConvertRunLines(text.substr(0, lines.InBytes), replaced);
    const TUnitForm converted_form = RunOutputForm();
    char* out = Writer_.RunSpace();
    const auto size = static_cast<size_t>(room);
    TLineRun run = CopyRun(converted_form, converted, out, size, lines.Lines, nullptr);
    if (run.Lines == 0) return;
    const int64_t passed = PassRecords(rule, run.Lines);
    if (passed == 0) return;
    if (passed < run.Lines) run = CopyRun(converted_form, converted, out, size, passed, nullptr);
    // Fewer lines fitted or passed: only theirs are taken, and counted.
    if (run.Lines < lines.Lines) {
      lines = FindRunLines(form, text, run.Lines);
      if (replaced > 0) {
        replaced = 0;
        ConvertRunLines(text.substr(0, lines.InBytes), replaced);
      }
    }
    CountRunReplaced(replaced);
    Writer_.TakeRun(run.Lines, run.OutBytes);
    Reader_->TakeRun(lines);
    LineIndex_ += run.Lines;
  }
  // The lines of a run in Text, at most MostLines, found as CopyRun finds
  // them where room does not end it.
  TLineRun FindRunLines(TUnitForm form, std::string_view text, int64_t most_lines) const;
  // The conversion of Lines (whole lines), followed by bytes that end no
  // line so that a run copied from it takes every line.
  std::string_view ConvertRunLines(std::string_view lines, size_t& replaced);
  // The form of the code units ConvertRunLines writes.
  TUnitForm RunOutputForm() const;
  void CountRunReplaced(size_t replaced);

  void Prepare() override;
  void CleanUp() override;
  bool HasNext() override { return Reader_->HasNext(); }
  // Moves to the next record: its first line becomes current.
  void Next() override {
    Reader_->Next();
    ++LineIndex_;
    Writer_.StartRecord();
    if (Quoted_) [[unlikely]]
      StartRecordAtCurrentLine();
  }
  void ConvertOneRecord() override { ConvertLine(*this); }
  // Leaves the note of replaced characters for the outputer.
  void EndConvert() override;
  // A split always reads its source to the end: the line count serves
  // progress and the summary only (lines ended by CR alone are not counted).
  bool IsTotalUncertain() override { return true; }
  void CalculateTotal() override;
  // After a split that ran out of room: the records left in the source fail.
  // After a stop: the records placed are written.
  void DoAfterConvertAll() override;
  // Writes the pending records after a stop; those that cannot be written
  // fail.
  void KeepRecordsBeforeStop();

  // Starts a record at the current line.
  void StartRecordAtCurrentLine() {
    // A record still open ends with the source.
    SetRecordGoesOn(Quoted_ && Reader_->CurrentLineQuotesOdd() && Reader_->HasNext());
  }
  // A line break inside a quoted field keeps its own bytes.
  void SetRecordGoesOn(bool goes_on) {
    if (goes_on) [[unlikely]]
      RecordGoesOnPastCurrentLine();
    else
      Writer_.SetRecordGoesOn(false);
  }
  [[gnu::noinline]] void RecordGoesOnPastCurrentLine() { Writer_.SetRecordGoesOnAfter(CurrentLineEnd()); }
  // The current line's own end, as it is written: the source's bytes, or
  // UTF-8 where lines are decoded.
  std::string_view CurrentLineEnd() const { return Reader_->CurrentLineWithEnd().substr(CurrentLine().size()); }
  // Makes the next line of the current record current.
  void NextRecordLine();
  // The current record failed: counted, reported, and its other lines
  // skipped.
  void LineFailed(const EQuillmereError& error);
  // A write found no room: the record fails, the open piece is cut back to
  // its whole records and closed, and the loop ends as at the error limit;
  // no further piece is created.
  [[gnu::noinline]] void RoomRanOut(const EOutOfRoom& error);
  // The one place where records are counted as failed.
  void CountFailed(int64_t records) { Status().ErrorCount += records; }
  // Refuses a destination whose preparation or pieces would delete or
  // overwrite the source file: Entries are the names in it, Cleared the
  // paths that clearing deletes.
  void CheckSourceIsSafe(const std::string& dest_folder, const std::vector<std::string>& entries,
                         const std::vector<std::string>& cleared) const;
  // The source file and the links its path goes through; empty when it
  // cannot be examined.
  std::vector<TFileIdentity> SourceEntries() const;
  // Raises when the entry at Path is one of Reached (SourceEntries): the
  // source "would <Why>".
  void RefuseSourceEntry(const std::string& path, const std::string& why,
                         const std::vector<TFileIdentity>& reached) const;
  // Tells the log file how many earlier pieces clearing deleted, if any.
  void ReportCleared(int64_t count) const;
  void PrepareDestination();
  // What clearing deletes in Folder, sorted: the pieces an earlier manifest
  // listed, the unbroken run of this split's piece names (and of each with
  // ".gz" or ".zst" after it, or without, whatever this split's
  // compression), and what interrupted runs left under temporary names.
  std::vector<std::string> PiecesToClear(const std::string& folder) const;
  // The path of the piece (or manifest) named Name: DestFolder, "/" unless
  // it ends with one, then Name.
  std::string PiecePath(std::string_view name) const;
  static std::string PathIn(const std::string& dest_folder, std::string_view name);
  // Takes note of the pieces an earlier manifest lists, then removes it.
  void RemoveEarlierManifest();
  // After a split that succeeded, with Manifest: writes the manifest.
  void WriteManifest();
  // Settles the encoding the source is read and written in from the task's
  // name and the source's first bytes, and posts a notice when its
  // byte-order mark overrides the name.
  void ChooseEncoding(std::string_view head);
  // Posts a notice when the source encoding is one the program cannot
  // convert: an unknown name, or a converter this machine lacks.
  void ReportUnconvertedEncoding();
  // Settles the output encoding from OutputEncoding and the encoding the
  // source is read in: a converter when they differ and both convert (a
  // notice when the output's cannot), none when they are one. Returns
  // whether the lines are converted.
  bool ChooseOutputEncoding();
  [[gnu::noinline]] int64_t ConvertedLineBytes();
  // CopyLineRun for a text of Form, ending each line in the record end.
  TLineRun CopyRun(TUnitForm form, std::string_view text, char* out, size_t room, int64_t most_lines,
                   const TRunMarker* marker) const {
#ifdef __SSE2__
    if (ZmmRuns_) return TAvx512Kernels::CopyLineRun(form, text, out, room, most_lines, Writer_.LineEnd(), marker);
#endif
    if (marker != nullptr) return CopyMarkedRun(form, text, out, room, most_lines, *marker);
    return WithUnitForm(
        form, [&]<TUnitForm F>() { return CopyLineRun<TKernels, F>(text, out, room, most_lines, Writer_.LineEnd()); });
  }
  [[gnu::noinline]] TLineRun CopyMarkedRun(TUnitForm form, std::string_view text, char* out, size_t room,
                                           int64_t most_lines, const TRunMarker& marker) const;

  std::string Extension_;            // of the source's name (less a compression suffix), dot included
  std::string SourceEncoding_;       // the name the run reads and writes in: the task's, or the mark's
  std::string OutputEncoding_;       // SourceEncoding_ normalised; names the byte-order mark
  bool DestinationTouched_ = false;  // see DestinationTouched
  int32_t PieceCount_ = 0;           // pieces opened (or tried) in this run; names the next
  int32_t PiecesCreated_ = 0;        // of those, the pieces that were created
  int64_t TotalLines_ = 0;           // the count cache's line count of the source
  int64_t LineIndex_ = -1;           // of the current record, from 0; -1 before the first
  bool OutOfRoom_ = false;           // a write of this run found no room
  bool Quoted_ = false;              // Session->Settings.QuotedFields, read at the start of a run
  bool KeepEnds_ = false;            // LineEnd=Keep, read at the start of a run
  bool Converts_ = false;            // the lines are converted by Transcoder_
  bool LineRuns_ = false;            // records may be placed in runs (AppendLineRun), read at the start of a run
  bool ConvertedRuns_ = false;       // converted records may be (AppendConvertedRun), as LineRuns_ is
  TCodecBuffer RunOutput_;           // what ConvertRunLines writes
#ifdef __SSE2__
  const bool ZmmRuns_ = TAvx512Kernels::Supported();  // runs take the AVX-512 kernel
#endif
  // How AppendCurrentLine hands lines on: KeepEnds_ and Converts_ in one.
  enum : uint8_t { kPlainLines, kKeptEnds, kConvertedLines, kConvertedKept };
  uint8_t LineForm_ = kPlainLines;
  TPieceName Names_{"", ""};                        // the pieces' names; set once the source is open
  std::string PiecePath_;                           // of the piece opened last
  std::vector<std::string> Listed_;                 // the pieces an earlier manifest listed; set by Prepare
  std::vector<TPieceWriter::TClosedPiece> Closed_;  // the pieces of this run, with Manifest
  TSplitterSizes Sizes_;                            // as constructed
  std::unique_ptr<TBlockTextReader> Reader_;        // the source; from Prepare to CleanUp
  std::unique_ptr<TTranscoder> Transcoder_;         // with Converts_; from InitSplit to the next run
  TPieceWriter Writer_;                             // writes the pieces; knows whether the current record goes on
};
