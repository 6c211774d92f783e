// Byte classes of sixteen bytes at once for the table decoders: plain C++
// for every processor, SSE2 where the compiler targets it (every x86-64
// processor). Both give the same results.
#pragma once

#include <cstddef>
#include <cstdint>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

// Two ranges of byte values, each from Low[k] to Low[k] + Span[k]; a range
// given twice stands for one.
struct TByteRanges {
  uint8_t Low[2];
  uint8_t Span[2];
};

class TPlainTableKernels {
 public:
  // Ranges as InRanges16 takes them, made once for many calls.
  using TRanges = TByteRanges;
  static TRanges Prepare(const TByteRanges& ranges) { return ranges; }
  // Bit i set where byte i of the 16 at In is above 0x7F.
  static uint32_t HighMask16(const unsigned char* in) {
    uint32_t mask = 0;
    for (int i = 0; i < 16; ++i) mask |= static_cast<uint32_t>(in[i] >> 7) << i;
    return mask;
  }
  // Bit i set where byte i of the 16 at In lies in one of the Ranges.
  static uint32_t InRanges16(const unsigned char* in, const TRanges& ranges) {
    uint32_t mask = 0;
    for (int i = 0; i < 16; ++i) {
      const bool in_range = static_cast<uint8_t>(in[i] - ranges.Low[0]) <= ranges.Span[0] ||
                            static_cast<uint8_t>(in[i] - ranges.Low[1]) <= ranges.Span[1];
      mask |= static_cast<uint32_t>(in_range) << i;
    }
    return mask;
  }
};

#ifdef __SSE2__
class TSse2TableKernels {
 public:
  static uint32_t HighMask16(const unsigned char* in) {
    return static_cast<uint32_t>(_mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in))));
  }
  struct TRanges {
    __m128i Low[2], Span[2];
  };
  static TRanges Prepare(const TByteRanges& ranges) {
    TRanges prepared;
    for (int k = 0; k < 2; ++k) {
      prepared.Low[k] = _mm_set1_epi8(static_cast<char>(ranges.Low[k]));
      prepared.Span[k] = _mm_set1_epi8(static_cast<char>(ranges.Span[k]));
    }
    return prepared;
  }

  static uint32_t InRanges16(const unsigned char* in, const TRanges& ranges) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    // Below or at the span once the low end is taken off, without wrapping.
    auto in_range = [bytes](__m128i low, __m128i span) {
      const __m128i from_low = _mm_sub_epi8(bytes, low);
      return _mm_cmpeq_epi8(_mm_min_epu8(from_low, span), from_low);
    };
    return static_cast<uint32_t>(_mm_movemask_epi8(
        _mm_or_si128(in_range(ranges.Low[0], ranges.Span[0]), in_range(ranges.Low[1], ranges.Span[1]))));
  }
};
using TTableKernels = TSse2TableKernels;
#else
using TTableKernels = TPlainTableKernels;
#endif

// For a block of up to 32 bytes of a character set of one- and two-byte
// characters, the bytes that are the second of a pair: bit p set where byte
// p (p <= 32, byte 32 being the next block's first) follows a byte that
// starts a pair. Leads has bit p set where byte p is a lead byte; Carry (0
// or 1) says that byte 0 is the second of a pair begun before the block.
// A lead byte that starts a character takes the next byte whatever it is,
// so in a run of lead bytes that begins with a character, every other one
// starts a pair: runs that begin on an even bit take the odd bits after
// them, those that begin on an odd bit the even ones.
inline uint64_t SecondBytesOf(uint32_t block_leads, uint32_t carry) {
  constexpr uint64_t kOddBits = 0xAAAAAAAAAAAAAAAA, kEvenBits = 0x5555555555555555;
  const uint64_t leads = block_leads & ~carry;  // byte 0 then starts nothing
  const uint64_t odd_run_starts = leads & ~(leads << 1) & kOddBits;
  // Adding a run's lowest bit clears the run (and sets the byte after it,
  // which is no lead).
  const uint64_t even_runs = (leads + odd_run_starts) & leads;
  const uint64_t odd_runs = leads & ~even_runs;
  return ((even_runs << 1) & kOddBits) | ((odd_runs << 1) & kEvenBits) | carry;
}
