#include "text/simd/USsse3Kernels.h"

#ifdef __SSE2__

#include <tmmintrin.h>

#include <bit>
#include <cstdint>

#include "text/simd/USsse3Support.h"
#include "text/simd/UUtf16Character.h"

namespace {

// UTF-16 into UTF-8, four characters of the basic plane, each in a 32-bit
// lane lead first: bit k of the case (low four bits) says that lane k takes
// two bytes or more, bit k + 4 that it takes three.
constexpr TShuffles MakeThreeByteShuffles() {
  TShuffles table{};
  for (int mask = 0; mask < 256; ++mask) {
    int n = 0;
    for (int lane = 0; lane < 4; ++lane) {
      const int length = 1 + (mask >> lane & 1) + (mask >> (lane + 4) & 1);
      for (int k = 0; k < length; ++k) table.Shuffle[mask][n++] = static_cast<uint8_t>(4 * lane + k);
    }
    table.Length[mask] = static_cast<uint8_t>(n);
    for (; n < 16; ++n) table.Shuffle[mask][n] = kZero;
  }
  return table;
}

// UTF-8 into UTF-16, a window of eight bytes of characters of one to three
// bytes: bit p of the case says that byte p ends a character; the window
// takes the characters that end in it. Shuffle gives each character's lane
// its last byte (low) and the one before it if it has one (high); Leads
// gives a three-byte character's lane its first byte.
struct TWindowShuffles {
  TShuffles Pairs;
  alignas(16) uint8_t Leads[256][16];
};

constexpr TWindowShuffles MakeWindowShuffles() {
  TWindowShuffles table{};
  for (int ends = 0; ends < 256; ++ends) {
    int lane = 0, start = 0;
    for (int at = 0; at < 8; ++at) {
      if ((ends >> at & 1) == 0) continue;
      const int length = at - start + 1;  // at most three in the text a window takes
      table.Pairs.Shuffle[ends][2 * lane] = static_cast<uint8_t>(at);
      table.Pairs.Shuffle[ends][2 * lane + 1] = length >= 2 ? static_cast<uint8_t>(at - 1) : kZero;
      table.Leads[ends][2 * lane] = length >= 3 ? static_cast<uint8_t>(at - 2) : kZero;
      table.Leads[ends][2 * lane + 1] = kZero;
      ++lane;
      start = at + 1;
    }
    table.Pairs.Length[ends] = static_cast<uint8_t>(lane);
    for (; lane < 8; ++lane) {
      table.Pairs.Shuffle[ends][2 * lane] = table.Pairs.Shuffle[ends][2 * lane + 1] = kZero;
      table.Leads[ends][2 * lane] = table.Leads[ends][2 * lane + 1] = kZero;
    }
  }
  return table;
}

constexpr TShuffles kThreeByteShuffles = MakeThreeByteShuffles();
constexpr TWindowShuffles kWindowShuffles = MakeWindowShuffles();

QM_SSSE3 inline void Store(void* at, __m128i bytes) { _mm_storeu_si128(static_cast<__m128i*>(at), bytes); }

// The two bytes of each 16-bit lane swapped.
QM_SSSE3 inline __m128i SwapBytes(__m128i units) {
  return _mm_shuffle_epi8(units, _mm_setr_epi8(1, 0, 3, 2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14));
}

template <bool BigEndian>
QM_SSSE3 inline __m128i LoadUnits(const unsigned char* data) {
  const __m128i units = Load(data);
  return BigEndian ? SwapBytes(units) : units;
}

// All ones in the 16-bit lanes of Units that are at most Bound: a
// saturating subtraction leaves zero exactly there.
QM_SSSE3 inline __m128i AtMost(__m128i units, short bound) {
  return _mm_cmpeq_epi16(_mm_subs_epu16(units, _mm_set1_epi16(bound)), _mm_setzero_si128());
}

// 10xxxxxx: the low six bits of each lane as a continuation byte.
QM_SSSE3 inline __m128i LastByte(__m128i units) {
  return _mm_or_si128(_mm_and_si128(units, _mm_set1_epi16(0x3F)), _mm_set1_epi16(0x80));
}

// 110xxxxx 10xxxxxx, lead first, in each lane below U+0800, whose LastByte
// is Last.
QM_SSSE3 inline __m128i TwoBytes(__m128i units, __m128i last) {
  return _mm_or_si128(_mm_or_si128(_mm_srli_epi16(units, 6), _mm_set1_epi16(0xC0)), _mm_slli_epi16(last, 8));
}

// Writes the UTF-8 of eight units of the basic plane (no surrogate), some of
// them U+0800 or above: each character's bytes are worked out in a 32-bit
// lane (lead first), and each half of four is packed by a shuffle. Stores 32
// bytes at most 12 apart, keeps at most 24.
QM_SSSE3 inline char* PutThreeByteUnits(__m128i units, __m128i ascii, __m128i below_800, unsigned from_80,
                                        unsigned from_800, char* o) {
  // Three bytes: 1110xxxx 10xxxxxx 10xxxxxx.
  const __m128i last = LastByte(units);
  const __m128i two = TwoBytes(units, last);
  const __m128i middle = LastByte(_mm_srli_epi16(units, 6));
  const __m128i three =
      _mm_or_si128(_mm_or_si128(_mm_srli_epi16(units, 12), _mm_set1_epi16(0xE0)), _mm_slli_epi16(middle, 8));
  const __m128i head = Select(below_800, Select(ascii, units, two), three);
  const unsigned first = (from_80 & 0xF) | (from_800 & 0xF) << 4;
  const unsigned second = from_80 >> 4 | (from_800 & 0xF0);
  Store(o, _mm_shuffle_epi8(_mm_unpacklo_epi16(head, last), Load(kThreeByteShuffles.Shuffle[first])));
  o += kThreeByteShuffles.Length[first];
  Store(o, _mm_shuffle_epi8(_mm_unpackhi_epi16(head, last), Load(kThreeByteShuffles.Shuffle[second])));
  return o + kThreeByteShuffles.Length[second];
}

// Writes the UTF-16 of the characters of the 16 Bytes that end in the
// eight from At on (Window: bit p set where byte At + p ends one; none takes
// more than three bytes) and stores 16 bytes at O; returns O past the units
// kept (as many as characters, at most as many as their bytes). Three: some
// of them take three bytes.
template <bool BigEndian, bool Three>
QM_SSSE3 inline char* PutWindow(__m128i bytes, unsigned window, unsigned at, char* o) {
  const __m128i shift = _mm_set1_epi8(static_cast<char>(at));
  // Each lane: the last byte low, the one before high. Seven bits of an
  // ASCII byte, six of a continuation byte (its seventh is zero), and six
  // of the byte before, whose seventh is zero after a two-byte lead or
  // being a continuation byte.
  const __m128i pair = _mm_shuffle_epi8(bytes, _mm_add_epi8(Load(kWindowShuffles.Pairs.Shuffle[window]), shift));
  __m128i units = _mm_or_si128(_mm_and_si128(pair, _mm_set1_epi16(0x7F)),
                               _mm_and_si128(_mm_srli_epi16(pair, 2), _mm_set1_epi16(0xFC0)));
  if constexpr (Three) {
    // The lead's four bits, shifted out of the lane but for them.
    const __m128i lead = _mm_shuffle_epi8(bytes, _mm_add_epi8(Load(kWindowShuffles.Leads[window]), shift));
    units = _mm_or_si128(units, _mm_slli_epi16(lead, 12));
  }
  Store(o, BigEndian ? SwapBytes(units) : units);
  return o + 2 * kWindowShuffles.Pairs.Length[window];
}

// The two windows over the characters that end where Ends says.
template <bool BigEndian, bool Three>
QM_SSSE3 inline char* PutWindows(__m128i bytes, unsigned ends, char* o) {
  const unsigned second = static_cast<unsigned>(std::bit_width(ends & 0xFF));
  o = PutWindow<BigEndian, Three>(bytes, ends & 0xFF, 0, o);
  return PutWindow<BigEndian, Three>(bytes, ends >> second & 0xFF, second, o);
}

// Byte k of the array is k below 16 and a zero beyond: the sixteen from S
// on shuffle a vector's bytes down by S, zeros coming in at the top.
alignas(16) constexpr uint8_t kShiftDown[32] = {
    0,     1,     2,     3,     4,     5,     6,     7,     8,     9,     10,    11,    12,    13,    14,    15,
    kZero, kZero, kZero, kZero, kZero, kZero, kZero, kZero, kZero, kZero, kZero, kZero, kZero, kZero, kZero, kZero};

// The last Count of the sixteen bytes before End, moved to the front, with
// zeros after them: a text's last bytes, read without reading past it.
QM_SSSE3 inline __m128i LastBytes(const unsigned char* end, size_t count) {
  return _mm_shuffle_epi8(Load(end - 16), Load(kShiftDown + 16 - count));
}

// Writes the UTF-8 of eight units (stores at most 28 bytes); returns the
// end, or null when one of them is a surrogate.
QM_SSSE3 inline char* PutUnits(__m128i units, char* o) {
  const __m128i ascii = AtMost(units, 0x7F);
  const __m128i below_800 = AtMost(units, 0x7FF);
  const unsigned bounds = static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(ascii, below_800)));
  const unsigned from_80 = ~bounds & 0xFF, from_800 = ~bounds >> 8 & 0xFF;
  if (from_800 == 0) {
    const __m128i two = TwoBytes(units, LastByte(units));
    Store(o, _mm_shuffle_epi8(Select(ascii, units, two), Load(kTwoByteShuffles.Shuffle[from_80])));
    return o + kTwoByteShuffles.Length[from_80];
  }
  const __m128i surrogates = _mm_cmpeq_epi16(_mm_and_si128(units, _mm_set1_epi16(static_cast<short>(0xF800))),
                                             _mm_set1_epi16(static_cast<short>(0xD800)));
  if (_mm_movemask_epi8(surrogates) != 0) return nullptr;
  return PutThreeByteUnits(units, ascii, below_800, from_80, from_800, o);
}

// Writes the UTF-16 of the characters at the front of the sixteen Bytes
// (stores at most 32 bytes at O) and sets Taken to the bytes they take (12
// to 16); returns the end, or null when the bytes are not all well-formed
// characters of up to three bytes (as far as the sixteen go).
template <bool BigEndian>
QM_SSSE3 inline char* PutCharacters(__m128i bytes, char* o, unsigned& taken) {
  const unsigned high = static_cast<unsigned>(_mm_movemask_epi8(bytes));
  if (high == 0) {
    const __m128i zero = _mm_setzero_si128();
    Store(o, BigEndian ? _mm_unpacklo_epi8(zero, bytes) : _mm_unpacklo_epi8(bytes, zero));
    Store(o + 16, BigEndian ? _mm_unpackhi_epi8(zero, bytes) : _mm_unpackhi_epi8(bytes, zero));
    taken = 16;
    return o + 32;
  }
  // Signed, bytes 0x80-0xFF are -128 to -1: the bytes from 0x80 up to
  // Value (ASCII never among them).
  auto below = [&bytes](int8_t value) {
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpgt_epi8(_mm_set1_epi8(value), bytes)));
  };
  const unsigned continuation = below(-64), below_c2 = below(-62), below_e0 = below(-32), below_f0 = below(-16);
  const unsigned leads = below_f0 & ~below_c2, lead_three = below_f0 & ~below_e0;
  // Every lead of two or three bytes followed by its continuation bytes (as
  // far as the sixteen go), and no other continuation byte; no lead of an
  // overlong form (C0, C1) or of four bytes, no byte above F4.
  if (below_c2 != continuation || below_f0 != high || continuation != (((leads << 1) | (lead_three << 2)) & 0xFFFF))
    return nullptr;
  // A byte ends a character where a lead or ASCII follows it. The windows
  // take the characters that end in the first fourteen bytes: the first
  // window's take at least six, so the second reaches the fourteenth. Where
  // they end is then known from the mask alone, not from the windows, and
  // the next sixteen bytes can be loaded sooner.
  const unsigned ends = ~continuation >> 1 & 0x3FFF;
  taken = static_cast<unsigned>(std::bit_width(ends));
  if (lead_three == 0) return PutWindows<BigEndian, false>(bytes, ends, o);
  // E0 takes A0-BF next (no overlong form), ED 80-9F (no surrogate).
  const unsigned from_a0 = continuation & ~below(-96);
  const unsigned e0 = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\xE0'))));
  const unsigned ed = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\xED'))));
  if (((e0 << 1) & continuation & ~from_a0) != 0 || ((ed << 1) & from_a0) != 0) return nullptr;
  return PutWindows<BigEndian, true>(bytes, ends, o);
}

}  // namespace

bool TSsse3Kernels::Supported() {
  static const bool supported = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("ssse3") != 0;
  }();
  return supported;
}

template <bool BigEndian>
QM_SSSE3 char* TSsse3Kernels::DecodeUtf16(const unsigned char* data, size_t units, char* o, size_t& replaced) {
  size_t i = 0;
  // Eight units at a time (PutUnits), sixteen of ASCII packed at once; eight
  // that hold a surrogate go one character at a time. The last one to seven
  // units are read as the end of the last eight, moved down, with zero units
  // after them, whose NUL bytes are then dropped: lines end at every unit,
  // and one character at a time would take as long as the rest of the line.
  while (i + 8 <= units) {
    const __m128i first = LoadUnits<BigEndian>(data + 2 * i);
    if (i + 16 <= units && _mm_movemask_epi8(AtMost(first, 0x7F)) == 0xFFFF) {
      const __m128i second = LoadUnits<BigEndian>(data + 2 * i + 16);
      if (_mm_movemask_epi8(AtMost(second, 0x7F)) == 0xFFFF) {
        Store(o, _mm_packus_epi16(first, second));
        o += 16;
        i += 16;
        continue;
      }
    }
    if (char* end = PutUnits(first, o)) {
      o = end;
      i += 8;
    } else {
      i = DecodeUtf16Characters<BigEndian>(data, units, i, i + 8, o, replaced);
    }
  }
  if (i < units && units >= 8) {
    const size_t left = units - i;
    const __m128i last = LastBytes(data + 2 * units, 2 * left);
    if (char* end = PutUnits(BigEndian ? SwapBytes(last) : last, o)) return end - (8 - left);
  }
  DecodeUtf16Characters<BigEndian>(data, units, i, units, o, replaced);
  return o;
}

template <bool BigEndian>
QM_SSSE3 char* TSsse3Kernels::EncodeUtf16(const unsigned char* text, size_t size, char* o, bool replacing,
                                          size_t& replaced) {
  size_t i = 0;
  // Sixteen bytes at a time (PutCharacters); where they are not all
  // well-formed characters of up to three bytes (four-byte characters,
  // invalid bytes), one character at a time through them. The last one to
  // fifteen bytes are read as the end of the last sixteen, moved down, with
  // zeros after them, whose units are then dropped.
  while (i + 16 <= size) {
    unsigned taken;
    if (char* end = PutCharacters<BigEndian>(Load(text + i), o, taken)) {
      o = end;
      i += taken;
      continue;
    }
    const size_t end = i + 16;
    do {
      i = EncodeUtf16Character<BigEndian>(text, size, i, o, replacing, replaced);
    } while (i < end);
  }
  if (i < size && size >= 16) {
    const unsigned left = static_cast<unsigned>(size - i);
    unsigned taken;
    if (char* end = PutCharacters<BigEndian>(LastBytes(text + size, left), o, taken)) {
      if (taken >= left) return end - 2 * (taken - left);
      o = end;
      i += taken;
    }
  }
  while (i < size) i = EncodeUtf16Character<BigEndian>(text, size, i, o, replacing, replaced);
  return o;
}

template char* TSsse3Kernels::DecodeUtf16<false>(const unsigned char*, size_t, char*, size_t&);
template char* TSsse3Kernels::DecodeUtf16<true>(const unsigned char*, size_t, char*, size_t&);
template char* TSsse3Kernels::EncodeUtf16<false>(const unsigned char*, size_t, char*, bool, size_t&);
template char* TSsse3Kernels::EncodeUtf16<true>(const unsigned char*, size_t, char*, bool, size_t&);

#endif
