// UTF-16 to UTF-8 and UTF-8 to UTF-16, as the decoders and encoders of
// UTF-16 call them: the fastest kernels this processor runs, chosen once.
#pragma once

#include <cstddef>

#include "text/simd/UKernels.h"
#include "text/simd/UUtf16Character.h"

// Writes UTF-16 code units for the Size bytes of UTF-8 at Text at O as
// EncodeUtf16Character does, with no more than a kernel set's WidenAscii16:
// sixteen bytes at a time, the ASCII ones before the first other byte are
// widened at once (32 bytes stored, as many kept); the other characters that
// follow, up to sixteen bytes of them, go one by one, and the next ASCII byte
// starts a block again. Output never passes twice the input read, so the
// stores stay within that room.
template <class TKernelSet, bool BigEndian>
char* EncodeUtf16Blocks(const unsigned char* text, size_t size, char* o, bool replacing, size_t& replaced) {
  size_t i = 0;
  while (i + 16 <= size) {
    const size_t ascii = TKernelSet::template WidenAscii16<BigEndian>(text + i, o);
    o += 2 * ascii;
    i += ascii;
    if (ascii == 16) continue;
    const size_t end = i + 16;
    do {
      i = EncodeUtf16Character<BigEndian>(text, size, i, o, replacing, replaced);
    } while (i < end && i < size && text[i] >= 0x80);
  }
  while (i < size) i = EncodeUtf16Character<BigEndian>(text, size, i, o, replacing, replaced);
  return o;
}

class TUtf16Kernels {
 public:
  // Bytes DecodeUtf16 may write beyond 3 per unit, and EncodeUtf16 beyond 2
  // per byte of text: the last few characters of a text are converted as a
  // block too, and stored in whole 64-byte stores.
  static constexpr size_t kUtf16Slack = 64;
  static constexpr size_t kEncodeSlack = 64;

  // Writes the UTF-8 of Units UTF-16 code units at Data at O, which has room
  // for 3 bytes per unit and kUtf16Slack; returns the end. An unpaired
  // surrogate becomes U+FFFD and counts in Replaced.
  template <bool BigEndian>
  static char* DecodeUtf16(const unsigned char* data, size_t units, char* o, size_t& replaced);

  // Writes UTF-16 code units for the Size bytes of UTF-8 at Text at O, which
  // has room for two bytes per byte of text and kEncodeSlack; returns the end. Characters and
  // invalid bytes as EncodeUtf16Character takes them.
  template <bool BigEndian>
  static char* EncodeUtf16(const unsigned char* text, size_t size, char* o, bool replacing, size_t& replaced);
};
