// The text kernels with SSE2, part of every x86-64 processor: sixteen bytes
// per instruction. Compiled only where the compiler targets SSE2; each
// kernel gives what its namesake in TPlainKernels gives.
#pragma once

#ifdef __SSE2__

#include <emmintrin.h>

#include <bit>
#include <cstddef>
#include <cstdint>

class TSse2Kernels {
 public:
  static constexpr size_t kUtf16Slack = 8;  // the last character of eight is stored as four bytes

  static uint64_t LineEndMask64(const char* chunk) {
    const __m128i line_feed = _mm_set1_epi8('\n');
    const __m128i carriage_return = _mm_set1_epi8('\r');
    uint64_t mask = 0;
    for (int i = 0; i < 4; ++i) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(chunk + 16 * i));
      const uint32_t hits = static_cast<uint32_t>(
          _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, line_feed), _mm_cmpeq_epi8(bytes, carriage_return))));
      mask |= static_cast<uint64_t>(hits) << (16 * i);
    }
    return mask;
  }

  static uint64_t ByteMask64(const char* chunk, char byte) {
    const __m128i wanted = _mm_set1_epi8(byte);
    uint64_t mask = 0;
    for (int i = 0; i < 4; ++i) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(chunk + 16 * i));
      mask |= static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, wanted))))
              << (16 * i);
    }
    return mask;
  }

  static size_t CopyAscii16(const unsigned char* in, char* out) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), block);
    // Bit 16 stands for "all ASCII".
    return static_cast<size_t>(std::countr_zero(static_cast<unsigned>(_mm_movemask_epi8(block)) | 0x10000u));
  }

  template <bool BigEndian>
  static size_t WidenAscii16(const unsigned char* in, char* out) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                     BigEndian ? _mm_unpacklo_epi8(zero, block) : _mm_unpacklo_epi8(block, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16),
                     BigEndian ? _mm_unpackhi_epi8(zero, block) : _mm_unpackhi_epi8(block, zero));
    return static_cast<size_t>(std::countr_zero(static_cast<unsigned>(_mm_movemask_epi8(block)) | 0x10000u));
  }

  static int64_t CountLineFeeds(const char* data, size_t size);

  template <bool BigEndian>
  static char* DecodeUtf16(const unsigned char* data, size_t units, char* o, size_t& replaced);
};

#endif
