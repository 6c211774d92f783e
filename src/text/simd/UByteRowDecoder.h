// Decoding a single-byte code page into UTF-8 sixteen bytes at a time.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

// A code page's packed table: for each byte four bytes in memory order, its
// UTF-8 (at most three bytes), then a byte holding its length (bits 0-1) and
// 4 for a byte that does not decode (its UTF-8 is then U+FFFD).
inline constexpr int kPackedMetaShift = std::endian::native == std::endian::little ? 24 : 0;

// Writes the UTF-8 of the Size bytes at Data at O, which has room for three
// bytes a byte and one more; returns the end and adds the bytes that do not
// decode to Replaced. One load, one four-byte store and one add a byte,
// whatever the script; the store's last byte is overwritten by the next
// character's. Locals only: a store through a char pointer could alias
// anything else.
inline char* DecodePackedBytes(const uint32_t* packed, const unsigned char* data, size_t size, char* o,
                               size_t& replaced) {
  uint32_t invalid = 0;
  for (size_t i = 0; i < size; ++i) {
    const uint32_t entry = packed[data[i]];
    std::memcpy(o, &entry, sizeof(entry));
    const uint32_t meta = entry >> kPackedMetaShift;
    o += meta & 3;
    invalid += (meta >> 2) & 1;
  }
  replaced += invalid;
  return o;
}

// The packed table's decoding with SSSE3's byte shuffles, for processors
// that have them (chosen at run time: SSE2 is all x86-64 promises). Sixteen
// bytes at a time: ASCII is copied; where every other byte of the sixteen
// is a character of two UTF-8 bytes, the lead and trail bytes are looked up
// by shuffles (one for a row of sixteen bytes whose characters follow each
// other under one lead byte, as Cyrillic and Latin-1 letters do, one for
// each other row present) and placed among the ASCII bytes by a shuffle
// chosen by the block's ASCII mask. Any other sixteen bytes go through the
// packed table, so the result is DecodePackedBytes' byte for byte.
class TByteRowDecoder {
 public:
  // The decoder of a packed table whose bytes below 0x80 stand for
  // themselves; null where the processor lacks SSSE3 or the build is not
  // for x86-64.
  static std::unique_ptr<TByteRowDecoder> Build(const uint32_t* packed);

  // Room Decode needs at O beyond three bytes a byte.
  static constexpr size_t kSlack = 32;
  // What DecodePackedBytes does.
  char* Decode(const unsigned char* data, size_t size, char* o, size_t& replaced) const;

  // The lookups, by row (a byte's high four bits) and column (its low four
  // bits).
  struct TRows {
    // 0xFF for rows 0-7 and for rows whose every byte decodes to two bytes,
    // Lead[row] and Trail[row] + column.
    alignas(16) uint8_t Contiguous[16];
    alignas(16) uint8_t Lead[16];
    alignas(16) uint8_t Trail[16];
    // Rows 8-15 by column, for bytes of two UTF-8 bytes.
    alignas(16) uint8_t RowLead[8][16];
    alignas(16) uint8_t RowTrail[8][16];
    bool TwoBytes[256];  // the byte decodes to two UTF-8 bytes
  };

 private:
  TByteRowDecoder() = default;

  TRows Rows_;
  uint32_t Packed_[256];
};
