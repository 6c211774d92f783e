// One UTF-16 character into UTF-8, and one UTF-8 character into UTF-16: the
// steps that every UTF-16 kernel takes where its wide paths do not apply.
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

// Decodes the characters from unit I on, one at a time, until unit End is
// reached or passed (by a pair); returns the unit after the last one.
template <bool BigEndian>
inline size_t DecodeUtf16Characters(const unsigned char* data, size_t units, size_t i, size_t end, char*& o,
                                    size_t& replaced) {
  while (i < end) i = DecodeUtf16Character<BigEndian>(data, units, i, o, replaced);
  return i;
}

// Writes Unit at O as two bytes in the order given and moves O past them.
template <bool BigEndian>
inline void PutUtf16Unit(uint32_t unit, char*& o) {
  const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
  o[0] = BigEndian ? high : low;
  o[1] = BigEndian ? low : high;
  o += 2;
}

// Writes the UTF-16 code units of the character at I of the Size bytes of
// UTF-8 at Text at O (at most 4 bytes, never more than twice the bytes read)
// and moves O past them; returns the position after it. A character above
// U+FFFF becomes a surrogate pair. A byte that starts no well-formed
// sequence is left out, or with Replacing becomes U+FFFD and counts in
// Replaced; the next byte is read afresh.
template <bool BigEndian>
inline size_t EncodeUtf16Character(const unsigned char* text, size_t size, size_t i, char*& o, bool replacing,
                                   size_t& replaced) {
  if (text[i] < 0x80) {
    PutUtf16Unit<BigEndian>(text[i], o);
    return i + 1;
  }
  size_t length;
  uint32_t code = ReadUtf8(text + i, size - i, length);
  if (length == 0) {
    if (replacing) {
      PutUtf16Unit<BigEndian>(0xFFFD, o);
      ++replaced;
    }
    return i + 1;
  }
  if (code < 0x10000) {
    PutUtf16Unit<BigEndian>(code, o);
  } else {
    code -= 0x10000;
    PutUtf16Unit<BigEndian>(0xD800 + (code >> 10), o);
    PutUtf16Unit<BigEndian>(0xDC00 + (code & 0x3FF), o);
  }
  return i + length;
}
