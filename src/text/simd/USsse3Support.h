// What the units compiled for SSSE3 share: the attribute that compiles a
// function for it, loads and selections, and the byte shuffles that drop the
// unused second byte of each of eight two-byte lanes (a UTF-16 encoder of
// characters below U+0800 and a single-byte decoder into UTF-8 both need
// them). Included only where the compiler targets SSE2.
#pragma once

#include <tmmintrin.h>

#include <cstdint>

// Every function that uses SSSE3 is compiled for it alone, so that the rest
// of the program still runs on any x86-64 processor.
#define QM_SSSE3 __attribute__((target("ssse3")))

QM_SSSE3 inline __m128i Load(const void* at) { return _mm_loadu_si128(static_cast<const __m128i*>(at)); }

// Mask ? A : B, bit by bit.
QM_SSSE3 inline __m128i Select(__m128i mask, __m128i a, __m128i b) {
  return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
}

// A shuffle (pshufb: an index of the source byte per output byte, 0x80 for a
// zero) for each of 256 cases, and what each case yields.
struct TShuffles {
  alignas(16) uint8_t Shuffle[256][16];
  uint8_t Length[256];  // output bytes (UTF-8), or code units (UTF-16)
};

inline constexpr uint8_t kZero = 0x80;

// Eight lanes of one or two bytes, lead first: bit k of the case says that
// lane k takes two; every lane's first byte is kept, in order.
constexpr TShuffles MakeTwoByteShuffles() {
  TShuffles table{};
  for (int mask = 0; mask < 256; ++mask) {
    int n = 0;
    for (int lane = 0; lane < 8; ++lane) {
      table.Shuffle[mask][n++] = static_cast<uint8_t>(2 * lane);
      if (mask >> lane & 1) table.Shuffle[mask][n++] = static_cast<uint8_t>(2 * lane + 1);
    }
    table.Length[mask] = static_cast<uint8_t>(n);
    for (; n < 16; ++n) table.Shuffle[mask][n] = kZero;
  }
  return table;
}

inline constexpr TShuffles kTwoByteShuffles = MakeTwoByteShuffles();
