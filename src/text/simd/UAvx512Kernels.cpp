#include "text/simd/UAvx512Kernels.h"

#ifdef __SSE2__

#include <bit>
#include <cstdint>

#include "text/simd/UAvx512Support.h"
#include "text/simd/USsse3Kernels.h"

namespace {

// The line scan's masks, a 64-byte chunk per compare.
struct TZmmLineKernels {
  QM_AVX512 static uint64_t LineEndMask64(const char* chunk) {
    const __m512i bytes = _mm512_loadu_si512(chunk);
    return _mm512_cmpeq_epi8_mask(bytes, _mm512_set1_epi8('\n')) |
           _mm512_cmpeq_epi8_mask(bytes, _mm512_set1_epi8('\r'));
  }
  QM_AVX512 static uint64_t ByteMask64(const char* chunk, char byte) {
    return _mm512_cmpeq_epi8_mask(_mm512_loadu_si512(chunk), _mm512_set1_epi8(byte));
  }
};

template <TUnitForm Form, bool Marked = false, bool Copies = true>
QM_AVX512 TLineRun CopyZmmLineRun(std::string_view text, char* out, size_t out_room, int64_t most_lines,
                                  std::string_view end, const TRunMarker& marker = {}) {
  // Inlined here, the run's 64-byte copies are compiled for AVX-512 too.
  return CopyLineRun<TZmmLineKernels, Form, Marked, Copies>(text, out, out_room, most_lines, end, marker);
}

// Each code unit's two bytes the other way round.
QM_AVX512 inline __m512i SwapUnitBytes(__m512i units) {
  return _mm512_shuffle_epi8(
      units, _mm512_broadcast_i32x4(_mm_setr_epi8(1, 0, 3, 2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14)));
}

// Stores the first Count (at most 32) code units of Units at O, in the byte
// order asked, in one 64-byte store; returns the end.
template <bool BigEndian>
QM_AVX512 inline char* PutUnits(__m512i units, uint32_t count, char* o) {
  if (BigEndian) units = SwapUnitBytes(units);
  _mm512_storeu_si512(o, units);
  return o + 2 * count;
}

// Where the next block may start, at most three bytes before Limit (< Size),
// without cutting a character in two: before a byte that continues none, or
// at Limit if it and the three before it all continue something (no
// character is longer than four bytes).
size_t CharacterStartFrom(const unsigned char* text, size_t limit) {
  for (size_t at = limit; at + 4 > limit; --at)
    if ((text[at] & 0xC0) != 0x80) return at;
  return limit;
}

template <bool BigEndian>
QM_AVX512 char* Encode(const unsigned char* text, size_t size, char* o, bool replacing, size_t& replaced) {
  const __m512i two_byte_low = _mm512_set1_epi8(static_cast<char>(0xC2));
  const __m512i two_byte_high = _mm512_set1_epi8(static_cast<char>(0xDF));
  const __m512i continuation_end = _mm512_set1_epi8(static_cast<char>(0xC0));
  size_t i = 0;
  while (i < size) {
    const size_t taken = size - i < 64 ? size - i : 64;
    uint64_t window = LowBits(taken);
    const __m512i block = _mm512_maskz_loadu_epi8(window, text + i);
    const uint64_t high = _mm512_movepi8_mask(block);
    // The room is two bytes per byte and 64 more, and what the bytes before
    // a block wrote fits in theirs: each half's 64-byte store starts within
    // two bytes per byte of the block's text, so both fit wherever the block
    // ends, and no store waits on a branch over how much is left.
    if (high == 0) {
      const uint32_t low = static_cast<uint32_t>(taken < 32 ? taken : 32);
      o = PutUnits<BigEndian>(_mm512_cvtepu8_epi16(_mm512_castsi512_si256(block)), low, o);
      o = PutUnits<BigEndian>(_mm512_cvtepu8_epi16(_mm512_extracti64x4_epi64(block, 1)),
                              static_cast<uint32_t>(taken) - low, o);
      i += taken;
      continue;
    }
    // Bytes 80-BF continue a character; C2-DF start one of two bytes.
    uint64_t continuation = high & _mm512_cmplt_epu8_mask(block, continuation_end);
    uint64_t lead = _mm512_mask_cmple_epu8_mask(_mm512_cmpge_epu8_mask(block, two_byte_low), block, two_byte_high);
    // A lead byte last in the block is left to the next block.
    window &= ~(lead & (uint64_t{1} << 63));
    continuation &= window;
    lead &= window;
    // Only whole characters of one and two bytes: other blocks, and a lead
    // byte that the text ends after, go to the kernel of sixteen bytes.
    if ((high & window & ~continuation & ~lead) != 0 || continuation != (lead << 1)) {
      const size_t end = i + 64 < size ? CharacterStartFrom(text, i + 64) : size;
      o = TSsse3Kernels::EncodeUtf16<BigEndian>(text + i, end - i, o, replacing, replaced);
      i = end;
      continue;
    }
    // Each byte's code unit if it starts a character: a lead byte's low
    // five bits above its next byte's low six.
    const __m512i next = _mm512_permutexvar_epi8(_mm512_load_si512(kNextBytes), block);
    const uint64_t starts = window & ~continuation;
    for (int half = 0; half < 2; ++half) {
      const __m512i first =
          _mm512_cvtepu8_epi16(half == 0 ? _mm512_castsi512_si256(block) : _mm512_extracti64x4_epi64(block, 1));
      const __m512i second =
          _mm512_cvtepu8_epi16(half == 0 ? _mm512_castsi512_si256(next) : _mm512_extracti64x4_epi64(next, 1));
      const __m512i pair = _mm512_or_si512(_mm512_slli_epi16(_mm512_and_si512(first, _mm512_set1_epi16(0x1F)), 6),
                                           _mm512_and_si512(second, _mm512_set1_epi16(0x3F)));
      const __m512i units = _mm512_mask_blend_epi16(static_cast<__mmask32>(lead >> (32 * half)), first, pair);
      const __mmask32 here = static_cast<__mmask32>(starts >> (32 * half));
      o = PutUnits<BigEndian>(_mm512_maskz_compress_epi16(here, units),
                              static_cast<uint32_t>(std::popcount(static_cast<uint32_t>(here))), o);
    }
    // The next block's start from one byte of the text rather than from
    // the masks: the loads of a line's blocks then do not wait on each
    // other's compares, which made long texts twice as slow.
    i += taken == 64 ? 64 - static_cast<size_t>(static_cast<unsigned char>(text[i + 63] - 0xC2) <= 0xDF - 0xC2) : taken;
  }
  return o;
}

// Thirty-two code units at a time: below U+0080 a byte, below U+0800 a
// lead and a trail byte, packed by a compression.
template <bool BigEndian>
QM_AVX512 char* Decode(const unsigned char* data, size_t units, char* o, size_t& replaced) {
  constexpr uint64_t kEvenBytes = 0x5555555555555555ull;
  size_t i = 0;
  while (i < units) {
    const size_t taken = units - i < 32 ? units - i : 32;
    const __mmask32 in_text = static_cast<__mmask32>(LowBits(taken));
    __m512i block = _mm512_maskz_loadu_epi16(in_text, data + 2 * i);
    if (BigEndian) block = SwapUnitBytes(block);
    const __mmask32 ascii = _mm512_cmplt_epu16_mask(block, _mm512_set1_epi16(0x80));
    // The room is three bytes per unit and 64 more, and what the units
    // before wrote fits in theirs: a 64-byte store fits wherever the text
    // ends, and none waits on a branch over how much is left.
    if ((ascii & in_text) == in_text) {
      const __m512i bytes = _mm512_castsi256_si512(_mm512_cvtepi16_epi8(block));
      _mm512_storeu_si512(o, bytes);
      o += taken;
      i += taken;
      continue;
    }
    const __mmask32 small = _mm512_cmplt_epu16_mask(block, _mm512_set1_epi16(0x800));
    if ((small & in_text) != in_text) {
      // Up to a unit that is no high surrogate, so that no pair is cut.
      size_t end = i + 32;
      if (end >= units) {
        end = units;
      } else {
        const size_t high = BigEndian ? 0 : 1;
        if ((data[2 * (end - 1) + high] & 0xFC) == 0xD8) --end;
      }
      o = TSsse3Kernels::DecodeUtf16<BigEndian>(data + 2 * i, end - i, o, replaced);
      i = end;
      continue;
    }
    // Two bytes for every unit, lead first; a unit below U+0080 keeps its
    // one, the zero after it is dropped (no trail byte is zero).
    const __m512i lead = _mm512_or_si512(_mm512_srli_epi16(block, 6), _mm512_set1_epi16(0xC0));
    const __m512i trail = _mm512_or_si512(_mm512_and_si512(block, _mm512_set1_epi16(0x3F)), _mm512_set1_epi16(0x80));
    const __m512i pairs = _mm512_mask_blend_epi16(ascii, _mm512_or_si512(lead, _mm512_slli_epi16(trail, 8)), block);
    const uint64_t kept = (_mm512_test_epi8_mask(pairs, pairs) & ~kEvenBytes) | (LowBits(2 * taken) & kEvenBytes);
    const size_t count = static_cast<size_t>(std::popcount(kept));
    _mm512_storeu_si512(o, _mm512_maskz_compress_epi8(kept, pairs));
    o += count;
    i += taken;
  }
  return o;
}

}  // namespace

TLineRun TAvx512Kernels::CopyLineRun(TUnitForm form, std::string_view text, char* out, size_t out_room,
                                     int64_t most_lines, std::string_view end, const TRunMarker* marker) {
  if (marker != nullptr)
    return WithUnitForm(
        form, [&]<TUnitForm F>() { return CopyZmmLineRun<F, true>(text, out, out_room, most_lines, end, *marker); });
  return WithUnitForm(form, [&]<TUnitForm F>() { return CopyZmmLineRun<F>(text, out, out_room, most_lines, end); });
}

TLineRun TAvx512Kernels::FindLineRun(TUnitForm form, std::string_view text, int64_t most_lines) {
  return WithUnitForm(form, [&]<TUnitForm F>() {
    return CopyZmmLineRun<F, false, false>(text, nullptr, kLineRunAnyRoom, most_lines, kLineRunNoEnd);
  });
}

bool TAvx512Kernels::Supported() {
  static const bool supported = Avx512Supported() && __builtin_cpu_supports("ssse3");
  return supported;
}

template <bool BigEndian>
char* TAvx512Kernels::DecodeUtf16(const unsigned char* data, size_t units, char* o, size_t& replaced) {
  return Decode<BigEndian>(data, units, o, replaced);
}

template <bool BigEndian>
char* TAvx512Kernels::EncodeUtf16(const unsigned char* text, size_t size, char* o, bool replacing, size_t& replaced) {
  return Encode<BigEndian>(text, size, o, replacing, replaced);
}

template char* TAvx512Kernels::DecodeUtf16<false>(const unsigned char*, size_t, char*, size_t&);
template char* TAvx512Kernels::DecodeUtf16<true>(const unsigned char*, size_t, char*, size_t&);
template char* TAvx512Kernels::EncodeUtf16<false>(const unsigned char*, size_t, char*, bool, size_t&);
template char* TAvx512Kernels::EncodeUtf16<true>(const unsigned char*, size_t, char*, bool, size_t&);

#endif
