// The text kernels in plain C++: the kernels of processors without vector
// ones, and the reference that the vector kernels are tested against. Words
// of eight bytes stand in for vectors; every comparison is exact.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

class TPlainKernels {
 public:
  // Bytes a UTF-16 decoder may write beyond 3 per unit.
  static constexpr size_t kUtf16Slack = 8;

  // Bit i set where byte i of the 64 at Chunk is LF or CR.
  static uint64_t LineEndMask64(const char* chunk) {
    uint64_t mask = 0;
    for (int k = 0; k < 8; ++k) {
      const uint64_t word = Load64(chunk + 8 * k);
      mask |= GatherHighBits(ZeroBytes(word ^ (kOnes * '\n')) | ZeroBytes(word ^ (kOnes * '\r'))) << (8 * k);
    }
    return mask;
  }

  // Bit i set where byte i of the 64 at Chunk equals Byte.
  static uint64_t ByteMask64(const char* chunk, char byte) {
    const uint64_t wanted = kOnes * static_cast<unsigned char>(byte);
    uint64_t mask = 0;
    for (int k = 0; k < 8; ++k) mask |= GatherHighBits(ZeroBytes(Load64(chunk + 8 * k) ^ wanted)) << (8 * k);
    return mask;
  }

  // Copies the 16 bytes at In to Out; returns how many of them, from the
  // first on, are below 0x80 (16: all of them).
  static size_t CopyAscii16(const unsigned char* in, char* out) {
    std::memcpy(out, in, 16);
    return AsciiPrefix16(in);
  }

  // Writes the 16 bytes at In as 16 UTF-16 code units (32 bytes) at Out;
  // returns how many of them, from the first on, are below 0x80.
  template <bool BigEndian>
  static size_t WidenAscii16(const unsigned char* in, char* out) {
    for (int k = 0; k < 16; ++k) {
      out[2 * k + (BigEndian ? 1 : 0)] = static_cast<char>(in[k]);
      out[2 * k + (BigEndian ? 0 : 1)] = 0;
    }
    return AsciiPrefix16(in);
  }

  // The number of LF bytes among the Size bytes at Data.
  static int64_t CountLineFeeds(const char* data, size_t size);

  // Writes the UTF-8 of Units UTF-16 code units at Data at O, which has room
  // for 3 bytes per unit and kUtf16Slack; returns the end. An unpaired
  // surrogate becomes U+FFFD and counts in Replaced.
  template <bool BigEndian>
  static char* DecodeUtf16(const unsigned char* data, size_t units, char* o, size_t& replaced);

 private:
  static constexpr uint64_t kOnes = 0x0101010101010101;
  static constexpr uint64_t kLowSeven = 0x7F7F7F7F7F7F7F7F;
  static constexpr uint64_t kHighBits = 0x8080808080808080;

  // Eight bytes as a word whose byte k is Bytes[k], on any processor.
  static uint64_t Load64(const void* bytes) {
    uint64_t word;
    std::memcpy(&word, bytes, 8);
    if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
    return word;
  }
  // 0x80 in each byte of Word that is zero, 0 in the others; no borrow
  // crosses from one byte to the next, so every byte is told exactly.
  static uint64_t ZeroBytes(uint64_t word) { return ~(((word & kLowSeven) + kLowSeven) | word | kLowSeven); }
  // The high bits of the eight bytes of High (each 0x80 or 0) as bits 0 to 7:
  // the products of the multiplication never overlap.
  static uint64_t GatherHighBits(uint64_t high) { return ((high >> 7) * 0x0102040810204080) >> 56; }
  static size_t AsciiPrefix16(const unsigned char* in) {
    const uint64_t first = Load64(in) & kHighBits;
    if (first != 0) return static_cast<size_t>(std::countr_zero(first)) / 8;
    const uint64_t second = Load64(in + 8) & kHighBits;
    return second != 0 ? 8 + static_cast<size_t>(std::countr_zero(second)) / 8 : 16;
  }
};
