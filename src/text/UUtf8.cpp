#include "text/UUtf8.h"

size_t Utf8SequenceLength(const unsigned char* text, size_t available) {
  if (available == 0) return 0;
  unsigned char lead = text[0];
  if (lead < 0x80) return 1;
  size_t length;
  // The second byte's range excludes overlong forms, surrogates and values
  // above U+10FFFF; later bytes are plain continuation bytes.
  unsigned char low = 0x80, high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (available < length) return 0;
  if (text[1] < low || text[1] > high) return 0;
  for (size_t i = 2; i < length; ++i)
    if ((text[i] & 0xC0) != 0x80) return 0;
  return length;
}

uint32_t Utf8CodePoint(const unsigned char* text, size_t length) {
  switch (length) {
    case 1:
      return text[0];
    case 2:
      return (uint32_t{text[0] & 0x1Fu} << 6) | (text[1] & 0x3Fu);
    case 3:
      return (uint32_t{text[0] & 0x0Fu} << 12) | (uint32_t{text[1] & 0x3Fu} << 6) | (text[2] & 0x3Fu);
    default:
      return (uint32_t{text[0] & 0x07u} << 18) | (uint32_t{text[1] & 0x3Fu} << 12) | (uint32_t{text[2] & 0x3Fu} << 6) |
             (text[3] & 0x3Fu);
  }
}

char* PutUtf8(uint32_t code, char* out) {
  if (code < 0x80) {
    *out++ = static_cast<char>(code);
  } else if (code < 0x800) {
    *out++ = static_cast<char>(0xC0 | (code >> 6));
    *out++ = static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    *out++ = static_cast<char>(0xE0 | (code >> 12));
    *out++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (code & 0x3F));
  } else {
    *out++ = static_cast<char>(0xF0 | (code >> 18));
    *out++ = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    *out++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (code & 0x3F));
  }
  return out;
}
