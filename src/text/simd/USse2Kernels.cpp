#include "text/simd/USse2Kernels.h"

#ifdef __SSE2__

#include <algorithm>
#include <cstring>

#include "text/simd/UUtf16Character.h"

namespace {

// The bytes come from scattered page-cache pages, where the processor's own
// prefetching stops at every page: they are asked for well ahead (a
// prefetch never faults, even past a mapping).
constexpr size_t kCountPrefetchDistance = 65536;

// Eight UTF-16 code units in host order, loaded from Data.
template <bool BigEndian>
__m128i LoadUnits(const unsigned char* data) {
  __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data));
  if constexpr (BigEndian) units = _mm_or_si128(_mm_slli_epi16(units, 8), _mm_srli_epi16(units, 8));
  return units;
}

// Lanes of Units whose bits under Mask are not all zero: all ones there.
__m128i AnyBits(__m128i units, uint16_t mask) {
  return _mm_xor_si128(
      _mm_cmpeq_epi16(_mm_and_si128(units, _mm_set1_epi16(static_cast<short>(mask))), _mm_setzero_si128()),
      _mm_set1_epi32(-1));
}

// Mask ? A : B, lane by lane.
__m128i Select(__m128i mask, __m128i a, __m128i b) {
  return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
}

// Writes the UTF-8 of eight units that hold no surrogate at O (room for 28
// bytes); returns the end. Each character's bytes are worked out for all
// eight at once: one, two or three bytes, the first two in a 16-bit lane
// and the third in another. Eight of one or two bytes are stored at once;
// otherwise each character is stored as four bytes and O moves by its length.
char* PutBmpUnits(__m128i units, char* o) {
  const __m128i from_80 = AnyBits(units, 0xFF80);
  const __m128i from_800 = AnyBits(units, 0xF800);
  const __m128i low_six = _mm_set1_epi16(0x3F);
  const __m128i continuation = _mm_set1_epi16(0x80);
  // Two bytes: 110xxxxx 10xxxxxx; three: 1110xxxx 10xxxxxx 10xxxxxx.
  const __m128i last = _mm_or_si128(_mm_and_si128(units, low_six), continuation);
  const __m128i two =
      _mm_or_si128(_mm_or_si128(_mm_srli_epi16(units, 6), _mm_set1_epi16(0xC0)), _mm_slli_epi16(last, 8));
  const __m128i middle = _mm_or_si128(_mm_and_si128(_mm_srli_epi16(units, 6), low_six), continuation);
  const __m128i three =
      _mm_or_si128(_mm_or_si128(_mm_srli_epi16(units, 12), _mm_set1_epi16(0xE0)), _mm_slli_epi16(middle, 8));
  if (_mm_movemask_epi8(from_800) == 0 && _mm_movemask_epi8(from_80) == 0xFFFF) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o), two);
    return o + 16;
  }
  const __m128i head = Select(from_800, three, Select(from_80, two, units));
  alignas(16) uint32_t words[8];
  alignas(16) uint16_t lengths[8];
  _mm_store_si128(reinterpret_cast<__m128i*>(words), _mm_unpacklo_epi16(head, last));
  _mm_store_si128(reinterpret_cast<__m128i*>(words + 4), _mm_unpackhi_epi16(head, last));
  _mm_store_si128(reinterpret_cast<__m128i*>(lengths),
                  _mm_sub_epi16(_mm_sub_epi16(_mm_set1_epi16(1), from_80), from_800));
  for (int k = 0; k < 8; ++k) {
    std::memcpy(o, &words[k], 4);
    o += lengths[k];
  }
  return o;
}

}  // namespace

int64_t TSse2Kernels::CountLineFeeds(const char* data, size_t size) {
  // 64 bytes per step. Each byte lane of an accumulator gains at most two per
  // step, so lanes are summed (psadbw) every 127 steps.
  const __m128i line_feed = _mm_set1_epi8('\n');
  auto matches = [&](size_t at) {
    __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
    return _mm_cmpeq_epi8(bytes, line_feed);
  };
  int64_t count = 0;
  size_t i = 0;
  while (size - i >= 64) {
    size_t rounds = std::min<size_t>((size - i) / 64, 127);
    __m128i acc0 = _mm_setzero_si128(), acc1 = _mm_setzero_si128();
    for (size_t r = 0; r < rounds; ++r, i += 64) {
      __builtin_prefetch(data + i + kCountPrefetchDistance);
      acc0 = _mm_sub_epi8(acc0, _mm_add_epi8(matches(i), matches(i + 16)));
      acc1 = _mm_sub_epi8(acc1, _mm_add_epi8(matches(i + 32), matches(i + 48)));
    }
    __m128i sums = _mm_add_epi64(_mm_sad_epu8(acc0, _mm_setzero_si128()), _mm_sad_epu8(acc1, _mm_setzero_si128()));
    count += _mm_cvtsi128_si64(sums) + _mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums));
  }
  for (; i < size; ++i) count += data[i] == '\n';
  return count;
}

template <bool BigEndian>
char* TSse2Kernels::DecodeUtf16(const unsigned char* data, size_t units, char* o, size_t& replaced) {
  size_t i = 0;
  // Eight units at a time: ASCII packed into bytes; any other characters
  // of the basic plane worked out together (PutBmpUnits); eight that hold
  // a surrogate go one character at a time. Sixteen ASCII units are packed
  // at once, as they are most of most text.
  while (i + 8 <= units) {
    const __m128i first = LoadUnits<BigEndian>(data + 2 * i);
    const __m128i first_beyond_ascii = AnyBits(first, 0xFF80);
    if (_mm_movemask_epi8(first_beyond_ascii) == 0) {
      if (i + 16 <= units) {
        const __m128i second = LoadUnits<BigEndian>(data + 2 * i + 16);
        if (_mm_movemask_epi8(AnyBits(second, 0xFF80)) == 0) {
          _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_packus_epi16(first, second));
          o += 16;
          i += 16;
          continue;
        }
      }
      _mm_storel_epi64(reinterpret_cast<__m128i*>(o), _mm_packus_epi16(first, first));
      o += 8;
      i += 8;
      continue;
    }
    const __m128i surrogates = _mm_cmpeq_epi16(_mm_and_si128(first, _mm_set1_epi16(static_cast<short>(0xF800))),
                                               _mm_set1_epi16(static_cast<short>(0xD800)));
    if (_mm_movemask_epi8(surrogates) == 0) {
      o = PutBmpUnits(first, o);
      i += 8;
      continue;
    }
    i = DecodeUtf16Characters<BigEndian>(data, units, i, i + 8, o, replaced);
  }
  DecodeUtf16Characters<BigEndian>(data, units, i, units, o, replaced);
  return o;
}

template char* TSse2Kernels::DecodeUtf16<false>(const unsigned char*, size_t, char*, size_t&);
template char* TSse2Kernels::DecodeUtf16<true>(const unsigned char*, size_t, char*, size_t&);

#endif
