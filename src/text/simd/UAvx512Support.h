// What the units compiled for AVX-512 share: the attribute, the processor
// check, and the packing of four-byte entries of up to three UTF-8 bytes.
// Included only where the compiler targets SSE2.
#pragma once

// GCC 12's AVX-512 headers start some intrinsics from an uninitialised
// value on purpose.
#pragma GCC diagnostic push
#ifndef __clang__
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>
#pragma GCC diagnostic pop

#include <bit>
#include <cstddef>
#include <cstdint>

// Every function that uses AVX-512 is compiled for it alone, so that the
// rest of the program still runs on any x86-64 processor.
#define QM_AVX512 __attribute__((target("avx512f,avx512bw,avx512vbmi,avx512vbmi2,popcnt")))

// True when this processor runs what QM_AVX512 compiles for; asked once.
inline bool Avx512Supported() {
  static const bool supported = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512vbmi2") &&
           __builtin_cpu_supports("popcnt");
  }();
  return supported;
}

// The mask of the first Count of 64 bytes.
inline uint64_t LowBits(size_t count) { return count >= 64 ? ~uint64_t{0} : (uint64_t{1} << count) - 1; }

// The bytes of sixteen four-byte entries that are UTF-8: each entry's first
// bytes, as many as bits 0-1 of its last byte say.
QM_AVX512 inline uint64_t Utf8BytesOf(__m512i entries) {
  // Each entry's length byte into all four of its bytes, against each
  // byte's place.
  const __m512i length_bytes =
      _mm512_broadcast_i32x4(_mm_setr_epi8(3, 3, 3, 3, 7, 7, 7, 7, 11, 11, 11, 11, 15, 15, 15, 15));
  const __m512i places = _mm512_broadcast_i32x4(_mm_setr_epi8(0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3));
  const __m512i lengths = _mm512_and_si512(_mm512_shuffle_epi8(entries, length_bytes), _mm512_set1_epi8(3));
  return _mm512_cmplt_epu8_mask(places, lengths);
}

// Packs sixteen entries as UTF-8 at O in one 64-byte store, which the room
// at O must take whole (a masked store takes several times as long);
// returns the end of the UTF-8.
QM_AVX512 inline char* PutEntries(__m512i entries, char* o) {
  const uint64_t kept = Utf8BytesOf(entries);
  _mm512_storeu_si512(o, _mm512_maskz_compress_epi8(kept, entries));
  return o + std::popcount(kept);
}

// Byte K + 1 of 64 for each byte K, the last one's from the second operand
// of a two-table permutation (or the last itself for one table).
alignas(64) inline constexpr uint8_t kNextBytes[64] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16,
                                                       17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32,
                                                       33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47, 48,
                                                       49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63, 64};
