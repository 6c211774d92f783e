// UTF-8 to UTF-16 with AVX-512, sixty-four bytes at a time, for processors
// that have it (chosen at run time): the text of most scripts outside East
// Asia is ASCII and characters of two bytes, which it converts with masks,
// a shift and a compression. Other blocks go to the SSSE3 kernel, so the
// result is that kernel's byte for byte and replacement for replacement.
#pragma once

#ifdef __SSE2__

#include <cstddef>

class TAvx512Kernels {
 public:
  // True when this processor runs the AVX-512 these need (F, BW, VBMI, VBMI2);
  // asked once.
  static bool Supported();

  // As TUtf16Kernels::EncodeUtf16, within the same room.
  template <bool BigEndian>
  static char* EncodeUtf16(const unsigned char* text, size_t size, char* o, bool replacing, size_t& replaced);
};

#endif
