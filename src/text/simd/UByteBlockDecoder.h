// Decoding a single-byte code page into UTF-8 sixty-four bytes at a time
// with AVX-512, on processors that have it (chosen at run time).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// The bytes above 0x7F are looked up by byte permutations in four tables of
// 128 bytes (a character's three UTF-8 bytes and its length and flag), the
// four put together into one entry per byte, and the entries packed as UTF-8
// by a byte compression. The result is DecodePackedBytes' byte for byte.
class TByteBlockDecoder {
 public:
  // The decoder of a packed table (see DecodePackedBytes) whose bytes below
  // 0x80 stand for themselves; null where the processor lacks AVX-512 (F,
  // BW, VBMI, VBMI2) or the build is not for x86-64.
  static std::unique_ptr<TByteBlockDecoder> Build(const uint32_t* packed);

  // Room Decode needs at O beyond a byte per byte: what the bytes before a
  // 64-byte store wrote fits in theirs, so it lies within this of the end.
  static constexpr size_t kSlack = 64;
  // What DecodePackedBytes does.
  char* Decode(const unsigned char* data, size_t size, char* o, size_t& replaced) const;

 private:
  TByteBlockDecoder() = default;

  // Byte k of the entries of bytes 0x80 to 0xFF: 0x80 + J at [k][J].
  alignas(64) uint8_t Tables_[4][128] = {};
};
