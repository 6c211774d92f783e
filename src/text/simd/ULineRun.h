// Copying a run of whole lines in one pass, for splits that write each line
// as it is, its line end replaced by the record end: the line ends found 64
// bytes at a time as the line scan finds them, each line copied in strides
// of 64 bytes. What a record loop spends on a line, run by run instead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "text/simd/ULineScanner.h"

// What CopyLineRun copied.
struct TLineRun {
  int64_t Lines = 0;         // whole lines copied
  size_t InBytes = 0;        // of the text: those lines and their line ends
  size_t OutBytes = 0;       // written: the lines, each with its record end
  size_t LastLineStart = 0;  // in the text, of the last line copied; with Lines > 0
  size_t LastLineSize = 0;   // its size, line end not included
};

// The lines a run stops before, for a split that acts on some lines and only
// appends the others: those whose first code unit (with AtEnd, the last one
// before the line end; an empty line has none) is one of Units or at least
// Above. Units are code unit values (bytes, or UTF-16 units as numbers).
struct TRunMarker {
  uint32_t Units[2] = {0x10000, 0x10000};
  uint32_t Above = 0x10000;
  bool AtEnd = false;
};

// The bytes the output needs beyond the room it is given: copies run in
// strides of 64 bytes, two at least.
inline constexpr size_t kLineRunSlack = 128;

// For runs that only find their lines: room that never ends a run, and no
// record end (a view of no bytes that still points somewhere, as the copy of
// its bytes wants).
inline constexpr size_t kLineRunAnyRoom = SIZE_MAX / 2;
inline constexpr std::string_view kLineRunNoEnd("", 0);

// Copies the lines of Text, from its start (where a line begins), into Out,
// each followed by End (at most 4 bytes, in the text's form) in place of its
// own line end (LF, CR LF or CR): as many as come before the first of these
// holds:
// - MostLines lines are copied;
// - the next line and End would take the output past OutRoom bytes;
// - the next line's end lies within the last 192 bytes of Text (so a line
//   follows every line copied, and no stride reads past Text);
// - with Marked, the next line is one that Marker stops before.
// Writes at most OutRoom + kLineRunSlack bytes of Out. The lines are those
// TBasicLineScanner cuts in a text of Form. Without Copies, only finds the
// lines: Out is not written and may be null.
// Always inlined, so that a caller compiled for wider vectors copies and
// scans with them.
template <class TKernelSet, TUnitForm Form = TUnitForm::Bytes, bool Marked = false, bool Copies = true>
[[gnu::always_inline]] inline TLineRun CopyLineRun(std::string_view text, char* out, size_t out_room,
                                                   int64_t most_lines, std::string_view end,
                                                   const TRunMarker& marker = {}) {
  if (most_lines <= 0) return {};
  constexpr size_t kUnit = Form == TUnitForm::Bytes ? 1 : 2;
  const char* in = text.data();
  const size_t size = text.size();
  const size_t end_size = end.size();
  char end_bytes[4] = {};  // stored whole; End_size of them count
  std::memcpy(end_bytes, end.data(), end_size);
  // The code unit at At is C.
  auto unit_is = [in](size_t at, char c) {
    if constexpr (Form == TUnitForm::Bytes) return in[at] == c;
    if constexpr (Form == TUnitForm::Utf16LE) return in[at] == c && in[at + 1] == '\0';
    return in[at] == '\0' && in[at + 1] == c;
  };
  auto unit_at = [in](size_t at) -> uint32_t {
    const auto* u = reinterpret_cast<const unsigned char*>(in + at);
    if constexpr (Form == TUnitForm::Bytes) return u[0];
    if constexpr (Form == TUnitForm::Utf16LE) return u[0] | uint32_t{u[1]} << 8;
    return uint32_t{u[0]} << 8 | u[1];
  };
  // Kept in locals: stores through Out could alias the result's fields.
  int64_t lines = 0;
  size_t line_start = 0, written = 0, last_start = 0, last_size = 0;
  uint64_t skip = 0;  // the LF of a CR LF whose CR ended the previous chunk
  for (size_t chunk = 0; chunk + 192 <= size; chunk += 64) {
    uint64_t mask = TKernelSet::LineEndMask64(in + chunk);
    if constexpr (Form != TUnitForm::Bytes) {
      // As the line scan takes them: a CR or LF byte with a zero byte beside
      // it, in a unit on an even offset.
      constexpr uint64_t kUnitStarts = 0x5555555555555555;
      const uint64_t zeros = TKernelSet::ByteMask64(in + chunk, '\0');
      mask = Form == TUnitForm::Utf16BE ? (mask >> 1) & zeros & kUnitStarts : mask & (zeros >> 1) & kUnitStarts;
    }
    mask &= ~skip;
    skip = 0;
    while (mask != 0) {
      const size_t at = static_cast<size_t>(__builtin_ctzll(mask));
      mask &= mask - 1;
      const size_t line_end = chunk + at;
      size_t next = line_end + kUnit;
      if (unit_is(line_end, '\r') && unit_is(line_end + kUnit, '\n')) {
        next += kUnit;
        if (at + kUnit == 64)
          skip = 1;
        else
          mask &= ~(uint64_t{1} << (at + kUnit));
      }
      const size_t line_size = line_end - line_start;
      if constexpr (Marked) {
        if (!marker.AtEnd || line_size > 0) {
          const uint32_t unit = unit_at(marker.AtEnd ? line_end - kUnit : line_start);
          if (unit == marker.Units[0] || unit == marker.Units[1] || unit >= marker.Above) goto done;
        }
      }
      if (written + line_size + end_size > out_room) goto done;
      // Strides may copy bytes past the line: the next line or the record
      // end overwrites them, or they lie in the slack. Two at once, so that
      // lines of up to 128 bytes take no branch on their size.
      if constexpr (Copies) {
        std::memcpy(out + written, in + line_start, 64);
        std::memcpy(out + written + 64, in + line_start + 64, 64);
        for (size_t k = 128; k < line_size; k += 64) std::memcpy(out + written + k, in + line_start + k, 64);
        std::memcpy(out + written + line_size, end_bytes, 4);
      }
      written += line_size + end_size;
      last_start = line_start;
      last_size = line_size;
      line_start = next;
      if (++lines == most_lines) goto done;
    }
  }
done:
  return {lines, line_start, written, last_start, last_size};
}
