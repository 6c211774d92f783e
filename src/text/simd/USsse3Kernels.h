// UTF-16 to UTF-8 and back with SSSE3's byte shuffle (pshufb), which
// x86-64 processors have had since 2006 but the x86-64 baseline lacks: the
// functions are compiled for SSSE3 alone and called only where the
// processor reports it (Supported). Each gives what the kernels without
// shuffles give, byte for byte and replacement for replacement.
#pragma once

#ifdef __SSE2__

#include <cstddef>

class TSsse3Kernels {
 public:
  // True when this processor runs SSSE3; asked once.
  static bool Supported();

  // As TUtf16Kernels::DecodeUtf16, within the same room.
  template <bool BigEndian>
  static char* DecodeUtf16(const unsigned char* data, size_t units, char* o, size_t& replaced);

  // As TUtf16Kernels::EncodeUtf16, within the same room.
  template <bool BigEndian>
  static char* EncodeUtf16(const unsigned char* text, size_t size, char* o, bool replacing, size_t& replaced);
};

#endif
