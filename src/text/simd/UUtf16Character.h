// One UTF-16 character into UTF-8: the step that every UTF-16 decoding
// kernel takes where its wide paths do not apply.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "text/UUtf8.h"

// The code unit at I of UTF-16 units at Data.
template <bool BigEndian>
inline uint32_t Utf16UnitAt(const unsigned char* data, size_t i) {
  constexpr int kHigh = BigEndian ? 0 : 1;
  return (uint32_t{data[2 * i + kHigh]} << 8) | data[2 * i + 1 - kHigh];
}

// Writes the UTF-8 of the character at unit I of the Units units at Data at
// O (at most 4 bytes) and moves O past it; returns the unit after the
// character. An unpaired surrogate becomes U+FFFD and counts in Replaced.
template <bool BigEndian>
inline size_t DecodeUtf16Character(const unsigned char* data, size_t units, size_t i, char*& o, size_t& replaced) {
  const uint32_t unit = Utf16UnitAt<BigEndian>(data, i);
  if (unit < 0x80) {
    *o++ = static_cast<char>(unit);
    return i + 1;
  }
  if (unit < 0xD800 || unit > 0xDFFF) {
    o = PutUtf8(unit, o);
    return i + 1;
  }
  if (unit <= 0xDBFF && i + 1 < units) {
    const uint32_t next = Utf16UnitAt<BigEndian>(data, i + 1);
    if (next >= 0xDC00 && next <= 0xDFFF) {
      o = PutUtf8(0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00), o);
      return i + 2;
    }
  }
  o = std::copy(kReplacementUtf8.begin(), kReplacementUtf8.end(), o);
  ++replaced;
  return i + 1;
}
