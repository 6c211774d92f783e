// Reading a text file of any size line by line, in the program's UTF-8.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "text/UCodecBuffer.h"
#include "util/UFileStream.h"
#include "util/UMappedRegion.h"

class TTextDecoder;

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
// A file smaller than MemoryLimit is copied into memory at Open; a larger one
// is read from disk block by block, holding one block and its decoded text.
// Blocks of a large file are mapped rather than copied where the file allows
// it; a file that shrinks meanwhile still ends in EReadError, never in zeros.
// Typical use: Open, SetEncodingName, then while HasNext: Next, CurrentLine.
class TBlockTextReader {
 public:
  // Block size and memory limit chosen from the free physical memory.
  TBlockTextReader();
  // A block size below 1 counts as 1.
  TBlockTextReader(int64_t block_size, int64_t memory_limit);
  TBlockTextReader(const TBlockTextReader&) = delete;
  TBlockTextReader& operator=(const TBlockTextReader&) = delete;
  ~TBlockTextReader();

  // Opens the file for reading from its start (others may read and write it
  // meanwhile) and copies it into memory when it is smaller than MemoryLimit.
  // Raises EFOpenError "Unable to open file "<path>": <reason>", or
  // EReadError when the copy falls short. The encoding name is kept.
  void Open(const std::string& file_name);
  // Sets the source encoding by display name or key. An empty name or "Auto
  // Detect" (any letter case) detects it from the file, on every call, and
  // raises what detection raises; the same name as now does nothing. A new
  // name is logged at debug level on "Global" and applies from the next block.
  void SetEncodingName(const std::string& name);
  // Lines as the source's own bytes instead of UTF-8: each line is the bytes
  // between two line ends of the source encoding (LF, CR and CR LF as code
  // units; in UTF-16 two bytes each), neither decoded nor copied. A
  // byte-order mark that opens the text is dropped as the source encodes
  // it, and the last odd byte of UTF-16 still holds no character.
  // CurrentText then decodes the current line when asked. Call after
  // SetEncodingName and before the first line; a new encoding ends it.
  void KeepSourceBytes();
  bool KeepsSourceBytes() const { return SourceBytes_; }
  // The bytes that end a line written in the form CurrentLine hands out:
  // CR LF, in UTF-16 when source bytes of a UTF-16 source are kept.
  std::string_view CrLf() const;
  // True when Next will hand out another line. Never reads.
  bool HasNext() const { return LineStart_ < Text_.size() || HasUnreadText(); }
  // Makes the next line current, reading a block when needed (detecting the
  // encoding first if none is set). Past the last line CurrentLine is empty.
  // Raises EReadError when the file delivers fewer bytes than its size at
  // Open promised.
  void Next() {
    // The common case, a line of the current block, stays inline.
    if (LineStart_ < Text_.size() && !EncodingName_.empty()) [[likely]] {
      TakeLine(CurrentLine_);
      return;
    }
    NextFromNewBlock();
  }
  // The current line without its line end, in UTF-8 (or as KeepSourceBytes
  // says). Valid until the next Next, Close or destruction.
  std::string_view CurrentLine() const { return CurrentLine_; }
  // The current line in UTF-8: CurrentLine itself, unless source bytes are
  // kept for a source that decodes; then CurrentLine decoded, which is what
  // the block decoded at once would have given for it (no character spans
  // a line end). Valid until the next call, Next, Close or destruction.
  std::string_view CurrentText() {
    if (!DecodeLines_) [[likely]]
      return CurrentLine_;
    return DecodeCurrentLine();
  }
  // The first (last) Count bytes of CurrentText, all of it when shorter,
  // decoding only as much of the line as they need.
  std::string_view CurrentTextHead(size_t count) {
    if (!DecodeLines_) [[likely]]
      return CurrentLine_.substr(0, count);
    return DecodeCurrentEdge(count, false);
  }
  std::string_view CurrentTextTail(size_t count) {
    if (!DecodeLines_) [[likely]]
      return CurrentLine_.substr(CurrentLine_.size() - std::min(count, CurrentLine_.size()));
    return DecodeCurrentEdge(count, true);
  }
  // True when the current line holds an odd number of double quotes: code
  // units U+0022 of the source (in UTF-16 aligned units; in every other
  // encoding the byte 0x22, which is never part of another character).
  // After TrackQuotes this was worked out while the line was looked for.
  bool CurrentLineQuotesOdd() const { return TrackQuotes_ ? LineQuotesOdd_ : CountCurrentLineQuotesOdd(); }
  // Counts the quotes of every line as its line end is looked for, in the
  // same pass over the text. Call before the first line.
  void TrackQuotes() { TrackQuotes_ = true; }
  // CurrentLineQuotesOdd by a pass of its own over the line.
  bool CountCurrentLineQuotesOdd() const;
  // Closes the file and releases the buffers; no line is left to read.
  void Close();
  // Raises EReadError when bytes of the current block vanished from the file
  // since they were read (the file was truncated). Lines handed out before
  // were whole; callers check before they write what they took.
  void CheckIntact() const {
    if (Mapped_ && Map_.Faulted()) [[unlikely]]
      FailRead();
  }

  const std::string& FileName() const { return FileName_; }
  const std::string& EncodingName() const { return EncodingName_; }
  const std::string& EncodingKey() const { return EncodingKey_; }
  int64_t BlockSize() const { return BlockSize_; }
  int64_t MemoryLimit() const { return MemoryLimit_; }
  int64_t FileSize() const { return FileSize_; }
  // About how far into the source the lines handed out so far reach, in the
  // source's bytes (exact while source bytes are kept): for progress reports.
  int64_t Position() const;
  bool IsMemoryCopy() const { return MemoryCopy_ != nullptr; }
  bool IsMapped() const { return Mapped_; }
  // The encoding names a character set this machine cannot convert.
  bool ConverterMissing() const;

 private:
  // Raises EReadError when the file is now shorter than ReadEnd.
  void FailIfShrunk(int64_t read_end) const;
  const char* WindowData() const;
  // Makes Count more bytes of the file available at the end of the window.
  void ExtendWindow(size_t count);
  // Maps Size bytes of the file from WindowStart_ as the window.
  void MapWindow(size_t size);
  // Moves to the next block: drops the current one, keeps the bytes after its
  // cut, reads until a cut is found and decodes the block.
  // Kept out of line so that Next, called once per line, stays small.
  [[gnu::noinline]] void ReadBlock();
  // The window offset just after the last settled line end at or after From;
  // 0 when there is none.
  size_t FindCut(size_t from) const;
  size_t CodeUnitSize() const;
  // Unread bytes that will still yield a line.
  bool HasUnreadText() const;
  // Hands out the next line of the current block; false when it has none.
  bool TakeLine(std::string_view& line) {
    const size_t size = Text_.size();
    const size_t start = LineStart_;
    if (start >= size) return false;
    const char* text = Text_.data();
    const size_t end = NextLineEnd(start);
    if (TrackQuotes_) [[unlikely]]
      TakeLineQuotes(end);
    line = std::string_view(text + start, end - start);
    if (end >= size)
      LineStart_ = size;
    else if (!Wide_) [[likely]]
      LineStart_ = end + ((text[end] == '\r' && end + 1 < size && text[end + 1] == '\n') ? 2 : 1);
    else
      LineStart_ = AfterWideLineEnd(end);
    if (FirstLinePending_) [[unlikely]]
      DropByteOrderMark(line);
    // The scan has just read the line: a page that vanished shows now.
    CheckIntact();
    return true;
  }
  [[gnu::noinline]] void DropByteOrderMark(std::string_view& line);
  // Where the line after the UTF-16 line end at End begins.
  size_t AfterWideLineEnd(size_t end) const;
  [[gnu::noinline]] std::string_view DecodeCurrentLine();
  [[gnu::noinline]] std::string_view DecodeCurrentEdge(size_t count, bool tail);
  [[noreturn, gnu::noinline]] static void FailRead();
  // The offset in Text_ of the first LF or CR (a code unit of the source
  // when Wide_) at or after From, or the size of Text_. From never lies beyond the bytes scanned so far plus one, and
  // never goes back: the lines of a block are taken in order.
  size_t NextLineEnd(size_t from) {
    while (EndMask_ != 0) {
      const size_t end = EndChunk_ + static_cast<size_t>(__builtin_ctzll(EndMask_));
      EndMask_ &= EndMask_ - 1;
      if (end >= from) return end;
    }
    return ScanLineEnd(from);
  }
  // Scans the next 64-byte chunks of Text_ for line ends.
  size_t ScanLineEnd(size_t from);
  // Of Bytes, the byte mask of the 64-byte chunk at Chunk, the bits where
  // a code unit of the source starts (all of them but in UTF-16).
  uint64_t CodeUnitsOf(uint64_t bytes, const char* chunk) const;
  // Bit i set where the last Size (< 64) bytes of a block hold the code
  // unit One or Other at byte i.
  uint64_t CodeUnitsOfTail(const char* tail, size_t size, char one, char other) const;
  void ResetScan() {
    ScanNext_ = 0;
    EndChunk_ = 0;
    EndMask_ = 0;
    ScanQuotesOdd_ = 0;
    EndChunkQuotesOdd_ = 0;
    EndChunkQuotes_ = 0;
    LineStartQuotesOdd_ = 0;
  }
  // With TrackQuotes: the parity of the quotes from the block's start to
  // the line end at End (in the chunk at EndChunk_, or the block's end)
  // settles the current line's.
  void TakeLineQuotes(size_t end) {
    uint64_t before_end = ScanQuotesOdd_;
    if (end < Text_.size()) {
      const uint64_t below = (uint64_t{1} << (end - EndChunk_)) - 1;
      before_end = EndChunkQuotesOdd_ ^ static_cast<uint64_t>(__builtin_parityll(EndChunkQuotes_ & below));
    }
    LineQuotesOdd_ = (before_end ^ LineStartQuotesOdd_) != 0;
    LineStartQuotesOdd_ = before_end;  // a line end holds no quote
  }
  [[gnu::noinline]] void NextFromNewBlock();
  void ResetReading();

  std::string FileName_;
  std::string EncodingName_;
  std::string EncodingKey_;
  int64_t BlockSize_;
  int64_t MemoryLimit_;
  int64_t FileSize_ = 0;
  TFileStream File_;
  std::unique_ptr<char[]> MemoryCopy_;  // the whole file, when it is small
  bool Mapped_ = false;                 // windows are mapped from the file
  TMappedRegion Map_;                   // holds the window, from file offset MapStart_ on
  int64_t MapStart_ = 0;
  std::unique_ptr<TTextDecoder> Decoder_;

  // The window: bytes of the file from WindowStart_ on, WindowSize_ of them,
  // in MemoryCopy_, Map_ or Buffer_. The current block is its first Cut_ bytes.
  std::unique_ptr<char[]> Buffer_;
  size_t BufferCapacity_ = 0;
  int64_t WindowStart_ = 0;
  size_t WindowSize_ = 0;
  size_t Cut_ = 0;
  int64_t ReadPosition_ = 0;  // file offset of the next byte to read

  TCodecBuffer Decoded_;      // the current block's text when it needs decoding
  TCodecBuffer LineText_;     // the current line's text, decoded by CurrentText
  bool SourceBytes_ = false;  // set by KeepSourceBytes
  bool DecodeLines_ = false;  // source bytes that CurrentText decodes
  bool Wide_ = false;         // source bytes of UTF-16: lines end at 16-bit units
  bool BigEndian_ = false;
  std::string_view Text_;  // the current block's text, UTF-8 unless KeepSourceBytes
  size_t LineStart_ = 0;   // where the next line of Text_ begins
  // Line ends are found 64 bytes at a time: EndMask_ holds those of the chunk
  // at EndChunk_ not handed out yet; ScanNext_ is the first byte not scanned.
  size_t ScanNext_ = 0;
  size_t EndChunk_ = 0;
  uint64_t EndMask_ = 0;
  // With TrackQuotes_: parities (0 or 1) of the quotes in the block before
  // ScanNext_, before EndChunk_, and before the current line; the quotes of
  // the chunk at EndChunk_.
  bool TrackQuotes_ = false;
  bool LineQuotesOdd_ = false;
  uint64_t ScanQuotesOdd_ = 0;
  uint64_t EndChunkQuotesOdd_ = 0;
  uint64_t EndChunkQuotes_ = 0;
  uint64_t LineStartQuotesOdd_ = 0;
  bool FirstLinePending_ = true;
  std::string_view CurrentLine_;
};
