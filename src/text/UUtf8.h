// Small UTF-8 primitives shared by the decoders and encoders.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "text/simd/UKernels.h"

// U+FFFD, what undecodable input becomes.
inline constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";

// The length of the well-formed UTF-8 sequence that starts at Text (1 to 4),
// or 0 when the bytes there are not one (a stray continuation byte, an
// overlong form, a surrogate, a value above U+10FFFF, or a sequence cut off by
// the end of the Available bytes).
size_t Utf8SequenceLength(const unsigned char* text, size_t available);

// The code point of a sequence that Utf8SequenceLength accepted with Length.
uint32_t Utf8CodePoint(const unsigned char* text, size_t length);

// The code point of the character at Text, setting Length as
// Utf8SequenceLength does (0: not a well-formed sequence, the result is then
// 0). Two-byte characters, the most common beyond ASCII, are read inline.
inline uint32_t ReadUtf8(const unsigned char* text, size_t available, size_t& length) {
  const unsigned char lead = text[0];
  if (lead >= 0xC2 && lead <= 0xDF && available >= 2 && (text[1] & 0xC0) == 0x80) {
    length = 2;
    return (uint32_t{lead & 0x1Fu} << 6) | (text[1] & 0x3Fu);
  }
  length = Utf8SequenceLength(text, available);
  return length == 0 ? 0 : Utf8CodePoint(text, length);
}

// Writes Code (at most U+10FFFF, no surrogate) as UTF-8 at Out; returns the
// position after it. Out must have room for 4 bytes.
char* PutUtf8(uint32_t code, char* out);

// Copies bytes below 0x80 from Text + I to O sixteen at a time until a
// block of sixteen holds another byte; then moves I and O past the ASCII
// bytes in front of it and returns true. False when fewer than sixteen bytes
// are left. O needs room for sixteen bytes beyond what it keeps.
inline bool CopyAsciiBlocks(const unsigned char* text, size_t size, size_t& i, char*& o) {
  while (i + 16 <= size) {
    const size_t ascii = TKernels::CopyAscii16(text + i, o);
    o += ascii;
    i += ascii;
    if (ascii < 16) return true;
  }
  return false;
}

// The loop of a codec whose characters below 0x80 stand for themselves:
// with AsciiBlocks, ASCII runs are copied to O in blocks (CopyAsciiBlocks),
// and from each other byte on Step(I) handles the character at I (writing
// at O, returning the position after it) until the next ASCII byte starts a
// block again; Step handles everything else, the last bytes of the text and
// all of it without AsciiBlocks.
template <class TStep>
inline void ConvertByCharacter(const unsigned char* text, size_t size, char*& o, bool ascii_blocks, TStep step) {
  size_t i = 0;
  if (ascii_blocks) {
    while (CopyAsciiBlocks(text, size, i, o)) {
      do {
        i = step(i);
      } while (i < size && text[i] >= 0x80);
    }
  }
  while (i < size) i = step(i);
}
