// UTF-8 to UTF-16 and back with AVX-512, a block at a time, for processors
// that have it (chosen at run time): the text of most scripts outside East
// Asia is ASCII and characters of two UTF-8 bytes (below U+0800), which it
// converts with masks, shifts and a compression. Other blocks go to the
// SSSE3 kernels, so the result is theirs byte for byte and replacement for
// replacement.
#pragma once

#ifdef __SSE2__

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "text/simd/ULineRun.h"

class TAvx512Kernels {
 public:
  // True when this processor runs the AVX-512 these need (F, BW, VBMI, VBMI2);
  // asked once.
  static bool Supported();

  // As TUtf16Kernels::DecodeUtf16, within the same room.
  template <bool BigEndian>
  static char* DecodeUtf16(const unsigned char* data, size_t units, char* o, size_t& replaced);

  // As TUtf16Kernels::EncodeUtf16, within the same room.
  template <bool BigEndian>
  static char* EncodeUtf16(const unsigned char* text, size_t size, char* o, bool replacing, size_t& replaced);

  // CopyLineRun for a text of Form, its line ends found and its strides
  // copied 64 bytes per instruction: the same lines, bytes and counts.
  // With a Marker, the run stops before the lines it names.
  static TLineRun CopyLineRun(TUnitForm form, std::string_view text, char* out, size_t out_room, int64_t most_lines,
                              std::string_view end, const TRunMarker* marker = nullptr);
  // The lines CopyLineRun would copy with room enough, found only.
  static TLineRun FindLineRun(TUnitForm form, std::string_view text, int64_t most_lines);
};

#endif
