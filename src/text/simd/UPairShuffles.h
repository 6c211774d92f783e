// The byte shuffles that drop the unused second byte of each of eight
// two-byte lanes: what a UTF-16 encoder of characters below U+0800 and a
// single-byte decoder into UTF-8 both need.
#pragma once

#include <cstdint>

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
