// Cutting a text into lines: the line ends of its code units, found 64 bytes
// at a time, and on request the parity of the double quotes before each.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "text/simd/UKernels.h"

// How the code units of a text lie in its bytes.
enum class TUnitForm { Bytes, Utf16LE, Utf16BE };

// Calls Body's operator()<F>() with Form as a constant: one choice a call, so
// that a kernel is instantiated for each form and runs with its form fixed.
template <class TBody>
[[gnu::always_inline]] inline decltype(auto) WithUnitForm(TUnitForm form, TBody&& body) {
  if (form == TUnitForm::Bytes) [[likely]]
    return body.template operator()<TUnitForm::Bytes>();
  if (form == TUnitForm::Utf16LE) return body.template operator()<TUnitForm::Utf16LE>();
  return body.template operator()<TUnitForm::Utf16BE>();
}

// Hands out the lines of one text (a block) in order, as views into it. LF,
// CR and CR LF each end a line, as code units of the text's form (in UTF-16
// two bytes each, on even offsets); line ends are not part of the lines, and
// a text that ends with a line end has no empty last line. With TrackQuotes
// it also tells whether each line holds an odd number of double quotes, from
// the same pass over the bytes.
//
// Line ends are found 64 bytes at a time with the kernels of TKernelSet
// (TKernels in the program; tests run every kernel set over the same texts).
// The last bytes of a text that make no whole chunk are looked at one by one:
// nothing past the text is read, since it may end a mapping.
template <class TKernelSet>
class TBasicLineScanner {
 public:
  // Starts on Text, whose first KnownFree bytes are known to hold no line
  // end (a long line whose end was looked for already): unless quotes are
  // tracked they are not scanned again.
  void Reset(std::string_view text, TUnitForm form, size_t known_free = 0) {
    Text_ = text;
    Form_ = form;
    LineStart_ = 0;
    ScanNext_ = TrackQuotes_ ? 0 : std::min(known_free, text.size());
    EndChunk_ = 0;
    EndMask_ = 0;
    ScanQuotesOdd_ = 0;
    EndChunkQuotesOdd_ = 0;
    EndChunkQuotes_ = 0;
    LineStartQuotesOdd_ = 0;
  }
  // Counts the quotes of every line from the next Reset on.
  void TrackQuotes() { TrackQuotes_ = true; }
  bool TracksQuotes() const { return TrackQuotes_; }

  std::string_view Text() const { return Text_; }
  TUnitForm Form() const { return Form_; }
  bool HasLine() const { return LineStart_ < Text_.size(); }
  // Makes Line the next line of the text; false (Line unchanged) when the
  // text has none left.
  bool Take(std::string_view& line) {
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
    else if (Form_ == TUnitForm::Bytes) [[likely]]
      LineStart_ = end + ((text[end] == '\r' && end + 1 < size && text[end + 1] == '\n') ? 2 : 1);
    else
      LineStart_ = AfterWideLineEnd(end);
    return true;
  }
  // The line end that follows Line, the line Take handed out last (or a
  // tail of it), in the text's bytes: empty after a last line without one.
  std::string_view LineEndAfter(std::string_view line) const {
    const char* end = line.data() + line.size();
    return std::string_view(end, static_cast<size_t>(Text_.data() + LineStart_ - end));
  }
  // With TrackQuotes: the line Take handed out last holds an odd number of
  // double quotes (code units U+0022).
  bool LineQuotesOdd() const { return LineQuotesOdd_; }
  // The text after the lines handed out: the next line begins it.
  std::string_view Rest() const { return Text_.substr(LineStart_); }
  // Passes over the first Count bytes of Rest, whole lines and their ends
  // taken by other means: the next line begins after them. Not while quotes
  // are tracked, whose count would skip them.
  void Skip(size_t count) {
    LineStart_ += count;
    ScanNext_ = LineStart_;
    EndMask_ = 0;
  }

  // The offset just after the last line end in Window[From, Size) whose
  // meaning the window settles (an LF, or a CR followed by a code unit other
  // than LF); 0 when there is none. One pass from the end, 64 bytes a step,
  // so that a window that grows over a long line is searched once.
  static size_t FindCut(const char* window, size_t from, size_t size, TUnitForm form);
  // Line holds an odd number of double quotes, counted code unit by code
  // unit: the reference the tracked parity is held to.
  static bool CountQuotesOdd(std::string_view line, TUnitForm form);

 private:
  static constexpr size_t kNone = static_cast<size_t>(-1);
  // How far ahead of the scan the bytes of a text are requested. Blocks come
  // straight from the page cache, whose pages lie scattered in memory where
  // the processor's own prefetching does not follow them.
  static constexpr size_t kPrefetchDistance = 16384;
  // The even bits: the first bytes of 16-bit code units in a 64-byte chunk.
  static constexpr uint64_t kUnitStarts = 0x5555555555555555;

  // The offset of the first line end at or after From, or the text's size.
  // From never lies beyond the bytes scanned so far plus one, and never goes
  // back: the lines of a text are taken in order.
  size_t NextLineEnd(size_t from) {
    while (EndMask_ != 0) {
      const size_t end = EndChunk_ + static_cast<size_t>(__builtin_ctzll(EndMask_));
      EndMask_ &= EndMask_ - 1;
      if (end >= from) return end;
    }
    return ScanLineEnd(from);
  }
  // Scans the next 64-byte chunks for line ends.
  size_t ScanLineEnd(size_t from);
  // Of Bytes, the byte mask of the 64-byte chunk at Chunk, the bits where a
  // code unit of the text starts (all of them but in UTF-16).
  uint64_t CodeUnitsOf(uint64_t bytes, const char* chunk) const {
    if (Form_ == TUnitForm::Bytes) [[likely]]
      return bytes;
    // A code unit: the byte where the unit's low byte lies, and a zero high
    // byte beside it; only units that start on even offsets.
    const uint64_t zeros = TKernelSet::ByteMask64(chunk, '\0');
    return Form_ == TUnitForm::Utf16BE ? (bytes >> 1) & zeros & kUnitStarts : bytes & (zeros >> 1) & kUnitStarts;
  }
  // Bit i set where the last Size (< 64) bytes of the text hold the code
  // unit One or Other at byte i.
  uint64_t CodeUnitsOfTail(const char* tail, size_t size, char one, char other) const;
  // Where the line after the UTF-16 line end at End begins.
  size_t AfterWideLineEnd(size_t end) const;
  // The parity of the quotes from the text's start to the line end at End
  // (in the chunk at EndChunk_, or the text's end) settles the line's.
  void TakeLineQuotes(size_t end) {
    uint64_t before_end = ScanQuotesOdd_;
    if (end < Text_.size()) {
      const uint64_t below = (uint64_t{1} << (end - EndChunk_)) - 1;
      before_end = EndChunkQuotesOdd_ ^ static_cast<uint64_t>(__builtin_parityll(EndChunkQuotes_ & below));
    }
    LineQuotesOdd_ = (before_end ^ LineStartQuotesOdd_) != 0;
    LineStartQuotesOdd_ = before_end;  // a line end holds no quote
  }

  std::string_view Text_;              // the text being cut
  TUnitForm Form_ = TUnitForm::Bytes;  // how its code units lie
  size_t LineStart_ = 0;               // where the next line begins; Text_.size() when none is left
  size_t ScanNext_ = 0;                // the first byte not scanned for line ends yet
  size_t EndChunk_ = 0;                // the start of the last chunk scanned that held a line end
  uint64_t EndMask_ = 0;               // that chunk's line ends not handed out yet
  bool TrackQuotes_ = false;           // quotes are counted
  bool LineQuotesOdd_ = false;         // the parity of the last line handed out
  uint64_t ScanQuotesOdd_ = 0;         // the parity (0 or 1) of the quotes before ScanNext_
  uint64_t EndChunkQuotesOdd_ = 0;     // ... before EndChunk_
  uint64_t EndChunkQuotes_ = 0;        // the quotes of the chunk at EndChunk_
  uint64_t LineStartQuotesOdd_ = 0;    // ... before the line LineStart_ opens
};

template <class TKernelSet>
size_t TBasicLineScanner<TKernelSet>::ScanLineEnd(size_t from) {
  const char* text = Text_.data();
  const size_t size = Text_.size();
  while (ScanNext_ < size) {
    const size_t chunk = ScanNext_;
    uint64_t mask = 0;
    uint64_t quotes = 0;
    if (size - chunk >= 64) {
      __builtin_prefetch(text + chunk + kPrefetchDistance);
      mask = CodeUnitsOf(TKernelSet::LineEndMask64(text + chunk), text + chunk);
      if (TrackQuotes_) [[unlikely]]
        quotes = CodeUnitsOf(TKernelSet::ByteMask64(text + chunk, '"'), text + chunk);
      ScanNext_ = chunk + 64;
    } else {
      mask = CodeUnitsOfTail(text + chunk, size - chunk, '\n', '\r');
      if (TrackQuotes_) [[unlikely]]
        quotes = CodeUnitsOfTail(text + chunk, size - chunk, '"', '"');
      ScanNext_ = size;
    }
    const uint64_t quotes_before = ScanQuotesOdd_;
    if (TrackQuotes_) [[unlikely]]
      ScanQuotesOdd_ ^= static_cast<uint64_t>(__builtin_parityll(quotes));
    // The LF of a CR LF that ended the previous line may open the chunk.
    if (from > chunk) mask &= from - chunk >= 64 ? 0 : ~uint64_t{0} << (from - chunk);
    if (mask != 0) {
      EndChunk_ = chunk;
      EndMask_ = mask & (mask - 1);
      EndChunkQuotes_ = quotes;
      EndChunkQuotesOdd_ = quotes_before;
      return chunk + static_cast<size_t>(__builtin_ctzll(mask));
    }
  }
  EndMask_ = 0;
  return size;
}

template <class TKernelSet>
uint64_t TBasicLineScanner<TKernelSet>::CodeUnitsOfTail(const char* tail, size_t size, char one, char other) const {
  uint64_t mask = 0;
  if (Form_ == TUnitForm::Bytes) {
    for (size_t i = 0; i < size; ++i)
      if (tail[i] == one || tail[i] == other) mask |= uint64_t{1} << i;
    return mask;
  }
  const size_t high = Form_ == TUnitForm::Utf16BE ? 0 : 1;
  for (size_t i = 0; i + 1 < size; i += 2) {
    const char low = tail[i + 1 - high];
    if (tail[i + high] == '\0' && (low == one || low == other)) mask |= uint64_t{1} << i;
  }
  return mask;
}

template <class TKernelSet>
size_t TBasicLineScanner<TKernelSet>::AfterWideLineEnd(size_t end) const {
  const char* text = Text_.data();
  const size_t low = Form_ == TUnitForm::Utf16BE ? 1 : 0;
  const bool cr_lf =
      text[end + low] == '\r' && end + 4 <= Text_.size() && text[end + 2 + low] == '\n' && text[end + 3 - low] == '\0';
  return end + (cr_lf ? 4 : 2);
}

template <class TKernelSet>
size_t TBasicLineScanner<TKernelSet>::FindCut(const char* window, size_t from, size_t size, TUnitForm form) {
  if (form == TUnitForm::Bytes) {
    // The last LF or CR in [From, End), or kNone.
    auto last_line_end = [window, from](size_t end) {
      while (end >= from + 64) {
        const uint64_t mask = TKernelSet::LineEndMask64(window + end - 64);
        if (mask != 0) return end - 64 + 63 - static_cast<size_t>(__builtin_clzll(mask));
        end -= 64;
      }
      while (end > from) {
        --end;
        if (window[end] == '\n' || window[end] == '\r') return end;
      }
      return kNone;
    };
    size_t last = last_line_end(size);
    // A CR settles a line end only once the byte after it is known and is
    // not LF; the line end before it is settled either way.
    if (last == size - 1 && window[last] == '\r') last = last_line_end(last);
    return last == kNone ? 0 : last + 1;
  }
  const auto* bytes = reinterpret_cast<const unsigned char*>(window);
  const int high = form == TUnitForm::Utf16BE ? 0 : 1;
  const int low = 1 - high;
  const size_t units_end = size / 2 * 2;
  for (size_t end = units_end; end >= from + 2; end -= 2) {
    const unsigned char* unit = bytes + end - 2;
    if (unit[high] != 0) continue;
    if (unit[low] == '\n') return end;
    if (unit[low] == '\r' && end < units_end && !(bytes[end + high] == 0 && bytes[end + low] == '\n')) return end;
  }
  return 0;
}

template <class TKernelSet>
bool TBasicLineScanner<TKernelSet>::CountQuotesOdd(std::string_view line, TUnitForm form) {
  const size_t unit = form == TUnitForm::Bytes ? 1 : 2;
  const size_t low = form == TUnitForm::Utf16BE ? 1 : 0;
  bool odd = false;
  for (size_t i = 0; i + unit <= line.size(); i += unit)
    if (unit == 1 ? line[i] == '"' : line[i + low] == '"' && line[i + 1 - low] == '\0') odd = !odd;
  return odd;
}

using TLineScanner = TBasicLineScanner<TKernels>;
