// Reading a text file of any size line by line, in the program's UTF-8.
#pragma once

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "text/USourceStorage.h"
#include "text/UTextStage.h"
#include "text/simd/ULineRun.h"
#include "text/simd/ULineScanner.h"
#include "util/UByteSource.h"

// Reads a text file in large blocks, decodes each block into UTF-8 and hands
// its lines out one at a time. LF, CR and CR LF each end a line; line ends are
// not part of the lines, and a text that ends with a line end has no empty
// last line. A byte-order mark at the very start of the first line is dropped.
//
// Each block ends right after the last line end whose meaning it settles (an
// LF, or a CR followed by something other than LF), counted in the source's
// code units; the bytes after it are carried into the next block. A block
// without such a line end is stretched by BlockSize until it has one or
// reaches the end of the file. So blocks decode exactly on their own, and the
// lines handed out are those of the whole file decoded at once, whatever the
// block size: a line longer than a block comes out once and whole.
//
// A file smaller than MemoryLimit is copied into memory at Open (the usual
// reader's limit is 0: it copies none); any other is read block by block,
// holding one block and its decoded text, read into one buffer that is
// used over and over; only a window that a long line grows past 8 MiB is
// mapped, where the file allows it. A file that shrinks meanwhile still
// ends in EReadError, never in zeros.
// Standard input ("-") and a file compressed with gzip or zstd are read as a
// stream, block by block as well, decompressed as they are read.
// Typical use: Open, SetEncodingName, then while HasNext: Next, CurrentLine.
//
// Three parts do the work, each on its own: the storage (TSourceStorage:
// where the window of bytes lies), the text stage (TTextStage: decoding,
// heads and tails, the byte-order mark) and the line scan (TLineScanner).
// The source name that stands for standard input.
inline constexpr char kStandardInputName[] = "-";

class TBlockTextReader {
 public:
  // Blocks of 1 MiB; no file is copied into memory whole.
  TBlockTextReader();
  // A block size below 1 counts as 1.
  TBlockTextReader(int64_t block_size, int64_t memory_limit);
  TBlockTextReader(const TBlockTextReader&) = delete;
  TBlockTextReader& operator=(const TBlockTextReader&) = delete;
  ~TBlockTextReader();

  // Opens the file for reading from its start (others may read and write it
  // meanwhile) and copies it into memory when it is smaller than MemoryLimit.
  // The name "-" is standard input. A source that begins with the signature
  // of gzip or zstd is read decompressed; one of another compressed format
  // raises EQuillmereError "The source "<path>" is compressed (<format>): it
  // cannot be split as text.". Raises EFOpenError "Unable to open file
  // "<path>": <reason>", or EReadError when the copy or the first read falls
  // short. The encoding name is kept.
  void Open(const std::string& file_name);
  // Sets the source encoding by display name or key. An empty name or "Auto
  // Detect" (any letter case) detects it from the file, on every call (from
  // Head for a stream, which cannot be read twice), and raises what
  // detection raises; the same name as now does nothing. A new name is
  // logged at debug level on "Global" and applies from the next block.
  void SetEncodingName(const std::string& name);
  // Lines as the source's own bytes instead of UTF-8: each line is the bytes
  // between two line ends of the source encoding (LF, CR and CR LF as code
  // units; in UTF-16 two bytes each), neither decoded nor copied. A
  // byte-order mark that opens the text is dropped as the source encodes
  // it, and the last odd byte of UTF-16 still holds no character.
  // CurrentText then decodes the current line when asked. Call after
  // SetEncodingName and before the first line; a new encoding ends it.
  void KeepSourceBytes() { Text_.KeepSourceBytes(); }
  bool KeepsSourceBytes() const { return Text_.KeepsSourceBytes(); }
  // The bytes that end a line written in the form CurrentLine hands out:
  // CR LF, in UTF-16 when source bytes of a UTF-16 source are kept.
  std::string_view CrLf() const { return Text_.CrLf(); }
  // True when Next will hand out another line. Never reads.
  bool HasNext() const { return Scan_.HasLine() || HasUnreadText(); }
  // Makes the next line current, reading a block when needed (detecting the
  // encoding first if none is set). Past the last line CurrentLine is empty.
  // Raises EReadError when the file delivers fewer bytes than its size at
  // Open promised.
  void Next() {
    // The common case, a line of the current block, stays inline.
    if (Scan_.HasLine() && !EncodingName_.empty()) [[likely]] {
      TakeLine();
      return;
    }
    NextFromNewBlock();
  }
  // The current line without its line end, in UTF-8 (or as KeepSourceBytes
  // says). Valid until the next Next, Close or destruction.
  std::string_view CurrentLine() const { return CurrentLine_; }
  // The line end that closed the current line, as the source has it: LF,
  // CR LF or CR in the source's code units (in UTF-16 two bytes each, also
  // where its lines are decoded); empty for a last line without one and
  // past the last line. Valid as long as CurrentLine.
  std::string_view CurrentLineEnd() const {
    if (CurrentLine_.data() == nullptr) return {};
    return Text_.SourceLineEnd(Scan_.LineEndAfter(CurrentLine_));
  }
  // The current line and the line end that closed it, in the form
  // CurrentLine hands out (so in UTF-8 where lines are decoded): one run of
  // bytes, which CurrentLine begins. Only while a line is current (Next
  // handed one out): once per line, it tests nothing. Valid as long as
  // CurrentLine.
  std::string_view CurrentLineWithEnd() const {
    assert(CurrentLine_.data() != nullptr);
    return {CurrentLine_.data(), CurrentLine_.size() + Scan_.LineEndAfter(CurrentLine_).size()};
  }
  // The current line in UTF-8: CurrentLine itself, unless source bytes are
  // kept for a source that decodes; then CurrentLine decoded, which is what
  // the block decoded at once would have given for it (no character spans
  // a line end). Valid until the next call, Next, Close or destruction.
  std::string_view CurrentText() {
    if (!Text_.DecodesLines()) [[likely]]
      return CurrentLine_;
    return Text_.DecodeLine(CurrentLine_);
  }
  // The first (last) Count bytes of CurrentText, all of it when shorter,
  // decoding only as much of the line as they need.
  std::string_view CurrentTextHead(size_t count) {
    if (!Text_.DecodesLines()) [[likely]]
      return CurrentLine_.substr(0, count);
    return Text_.DecodeLineEdge(CurrentLine_, count, false);
  }
  std::string_view CurrentTextTail(size_t count) {
    if (!Text_.DecodesLines()) [[likely]]
      return CurrentLine_.substr(CurrentLine_.size() - std::min(count, CurrentLine_.size()));
    return Text_.DecodeLineEdge(CurrentLine_, count, true);
  }
  // True when the current line holds an odd number of double quotes: code
  // units U+0022 of the source (in UTF-16 aligned units; in every other
  // encoding the byte 0x22, which is never part of another character).
  // After TrackQuotes this was worked out while the line was looked for.
  bool CurrentLineQuotesOdd() const {
    return Scan_.TracksQuotes() ? Scan_.LineQuotesOdd() : CountCurrentLineQuotesOdd();
  }
  // Counts the quotes of every line as its line end is looked for, in the
  // same pass over the text. Call before the first line.
  void TrackQuotes() { Scan_.TrackQuotes(); }
  // CurrentLineQuotesOdd by a pass of its own over the line.
  bool CountCurrentLineQuotesOdd() const { return TLineScanner::CountQuotesOdd(CurrentLine_, Text_.Form()); }
  // The text after the current line, when the lines there may be taken as a
  // run (CopyLineRun in RunForm, then TakeRun): the rest of the block, where
  // no line needs anything done on its own (no byte-order mark may open it,
  // no quotes are counted, no mapped window is guarded). Empty otherwise.
  std::string_view RunText() const {
    if (Guard_ != nullptr || FirstLinePending_ || CurrentLine_.data() == nullptr || Scan_.TracksQuotes()) return {};
    return Scan_.Rest();
  }
  TUnitForm RunForm() const { return Scan_.Form(); }
  // See TTextStage::AsciiUnitLimit: for the units of RunText.
  uint32_t RunAsciiUnitLimit() const { return Text_.AsciiUnitLimit(); }
  // Takes the lines of Run, copied from RunText, as Next would have taken
  // them one by one: the last becomes current.
  void TakeRun(const TLineRun& run) {
    CurrentLine_ = Scan_.Rest().substr(run.LastLineStart, run.LastLineSize);
    Scan_.Skip(run.InBytes);
  }
  // Closes the file and releases the buffers; no line is left to read.
  void Close();
  // Raises EReadError when bytes of the current block vanished from the file
  // since they were read (the file was truncated). Lines handed out before
  // were whole; callers check before they write what they took.
  void CheckIntact() const {
    if (Guard_ != nullptr && Guard_->Faulted()) [[unlikely]]
      FailRead();
  }

  const std::string& FileName() const { return FileName_; }
  const std::string& EncodingName() const { return EncodingName_; }
  const std::string& EncodingKey() const { return EncodingKey_; }
  int64_t BlockSize() const { return BlockSize_; }
  int64_t MemoryLimit() const { return MemoryLimit_; }
  // The open file's size at Open; -1 for a stream.
  int64_t FileSize() const { return FileSize_; }
  bool IsMemoryCopy() const;
  bool IsMapped() const;
  // The source is read as a stream: standard input, or decompressed.
  bool ReadsStream() const { return Stream_; }
  // The compressed format the source is read out of ("gzip", "zstd"); empty
  // for text read as it lies.
  std::string_view Decompresses() const { return Decompresses_; }
  // The first bytes of the text the lines come from (decompressed), at most
  // kHeadSize of them, as they were at Open.
  std::string_view Head() const { return Head_; }
  static constexpr size_t kHeadSize = 8;
  // For progress reports: the source's bytes taken in so far (compressed
  // bytes for a decompressed source), and how many it holds (-1 when it
  // cannot tell). Never reads.
  int64_t BytesTaken() const { return Storage_ ? Storage_->BytesTaken() : 0; }
  int64_t BytesInAll() const { return Storage_ ? Storage_->BytesInAll() : -1; }
  // The encoding names a character set this machine cannot convert.
  bool ConverterMissing() const { return Text_.ConverterMissing(); }

 private:
  // Hands out the next line of the current block; false when it has none.
  bool TakeLine() {
    if (!Scan_.Take(CurrentLine_)) return false;
    if (FirstLinePending_) [[unlikely]]
      DropByteOrderMark();
    // The scan has just read the line: a page that vanished shows now.
    CheckIntact();
    return true;
  }
  [[gnu::noinline]] void NextFromNewBlock();
  // Moves to the next block: drops the current one, keeps the bytes after its
  // cut, reads until a cut is found and hands the block's text to the scan.
  // Kept out of line so that Next, called once per line, stays small.
  [[gnu::noinline]] void ReadBlock();
  // Hands the window, grown over a long line, to the storage that suits it
  // (TSourceStorage::ForLongWindow), if there is one.
  void TakeLongWindowStorage();
  // Unread bytes that will still yield a line.
  bool HasUnreadText() const { return Storage_ && Storage_->Holds(Cut_ + Text_.CodeUnitSize()); }
  [[gnu::noinline]] void DropByteOrderMark();
  [[noreturn, gnu::noinline]] static void FailRead();
  // Opens Input, the raw bytes of the source (Total of them, -1 when
  // unknown), as a stream: decompressed when they say so.
  void OpenStream(std::unique_ptr<TByteSource> input, int64_t total);
  // Raises the error of a source compressed in a format that is not read.
  void RefuseCompressed(std::string_view raw_head) const;

  std::string FileName_;                     // the path given to Open
  std::string EncodingName_;                 // as set: display name, key or what detection found; empty until set
  std::string EncodingKey_;                  // EncodingName_ normalised
  int64_t BlockSize_;                        // the nominal bytes of a block, at least 1
  int64_t MemoryLimit_;                      // a file smaller than this is copied into memory whole
  int64_t FileSize_ = 0;                     // the open file's size at Open; 0 when none is open, -1 for a stream
  bool Stream_ = false;                      // Storage_ reads a stream
  std::string_view Decompresses_;            // the format the stream is decompressed from; empty when none
  std::string Head_;                         // the text's first bytes (kHeadSize at most)
  std::unique_ptr<TSourceStorage> Storage_;  // the open file's window; null when none is open
  const TMappedRegion* Guard_ = nullptr;     // Storage_'s guard (TSourceStorage::Guard), kept when it is replaced
  size_t Cut_ = 0;                           // the current block: the window's first Cut_ bytes
  TTextStage Text_;                          // the encoding's decoding of blocks and lines
  TLineScanner Scan_;                        // the current block's text, cut into lines in order
  bool FirstLinePending_ = true;             // no line handed out since Open: a byte-order mark may open the next
  std::string_view CurrentLine_;             // the line handed out last, a view into Scan_'s text; null when none
};
