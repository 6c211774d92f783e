#include "text/simd/UByteRowDecoder.h"

#ifdef __SSE2__

#include <tmmintrin.h>

#include "text/simd/USsse3Kernels.h"
#include "text/simd/USsse3Support.h"

namespace {

// A packed entry's UTF-8 bytes, length and flag.
struct TUnpacked {
  unsigned char Bytes[4];
  uint32_t Length;
  bool Invalid;
};

TUnpacked Unpack(uint32_t entry) {
  TUnpacked unpacked;
  std::memcpy(unpacked.Bytes, &entry, sizeof(entry));
  const uint32_t meta = (entry >> kPackedMetaShift) & 0xFF;
  unpacked.Length = meta & 3;
  unpacked.Invalid = (meta & 4) != 0;
  return unpacked;
}

// Loaded from offset 16 - N, the shuffle that moves the last N of sixteen
// bytes to the front and zeros the rest.
alignas(16) constexpr uint8_t kSlide[32] = {0,    1,    2,    3,    4,    5,    6,    7,    8,    9,    10,
                                            11,   12,   13,   14,   15,   0x80, 0x80, 0x80, 0x80, 0x80, 0x80,
                                            0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80};

// Writes the UTF-8 of the sixteen bytes of Block (Bytes: where the first of
// them lie; High: the mask of those above 0x7F) at O, which has room for 32
// bytes; returns the end, or null when one of them is no character of two
// UTF-8 bytes.
QM_SSSE3 inline char* PutRowBlock(const TByteRowDecoder::TRows& rows, __m128i block, uint32_t high,
                                  const unsigned char* bytes, char* o) {
  const __m128i low_four = _mm_set1_epi8(0x0F);
  const __m128i row = _mm_and_si128(_mm_srli_epi16(block, 4), low_four);
  const __m128i column = _mm_and_si128(block, low_four);
  __m128i lead = _mm_shuffle_epi8(Load(rows.Lead), row);
  __m128i trail = _mm_add_epi8(_mm_shuffle_epi8(Load(rows.Trail), row), column);
  const uint32_t contiguous = static_cast<uint32_t>(_mm_movemask_epi8(_mm_shuffle_epi8(Load(rows.Contiguous), row)));
  if (contiguous != 0xFFFF) {
    // The other rows present, each looked up by column.
    uint32_t others = 0;
    for (uint32_t rest = ~contiguous & 0xFFFF; rest != 0; rest &= rest - 1) {
      const unsigned char byte = bytes[std::countr_zero(rest)];
      if (!rows.TwoBytes[byte]) return nullptr;
      others |= 1u << (byte >> 4);
    }
    for (; others != 0; others &= others - 1) {
      const int r = std::countr_zero(others);
      const __m128i in_row = _mm_cmpeq_epi8(row, _mm_set1_epi8(static_cast<char>(r)));
      lead = Select(in_row, _mm_shuffle_epi8(Load(rows.RowLead[r - 8]), column), lead);
      trail = Select(in_row, _mm_shuffle_epi8(Load(rows.RowTrail[r - 8]), column), trail);
    }
  }
  // Each byte as a pair (its first UTF-8 byte, its trail), of which the
  // trails of ASCII bytes are dropped.
  const __m128i first = Select(_mm_cmplt_epi8(block, _mm_setzero_si128()), lead, block);
  const uint32_t front = high & 0xFF, back = high >> 8;
  _mm_storeu_si128(reinterpret_cast<__m128i*>(o),
                   _mm_shuffle_epi8(_mm_unpacklo_epi8(first, trail), Load(kTwoByteShuffles.Shuffle[front])));
  o += kTwoByteShuffles.Length[front];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(o),
                   _mm_shuffle_epi8(_mm_unpackhi_epi8(first, trail), Load(kTwoByteShuffles.Shuffle[back])));
  return o + kTwoByteShuffles.Length[back];
}

QM_SSSE3 char* DecodeRows(const TByteRowDecoder::TRows& rows, const uint32_t* packed, const unsigned char* data,
                          size_t size, char* o, size_t& replaced) {
  size_t i = 0;
  for (; size - i >= 16; i += 16) {
    const __m128i block = Load(data + i);
    const uint32_t high = static_cast<uint32_t>(_mm_movemask_epi8(block));
    if (high == 0) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(o), block);
      o += 16;
      continue;
    }
    char* const end = PutRowBlock(rows, block, high, data + i, o);
    o = end != nullptr ? end : DecodePackedBytes(packed, data + i, 16, o, replaced);
  }
  const size_t rest = size - i;
  if (rest == 0) return o;
  if (size < 16) return DecodePackedBytes(packed, data + i, rest, o, replaced);
  // The last bytes as a block of their own, taken from the last sixteen and
  // followed by zeros, whose output is dropped.
  const __m128i block = _mm_shuffle_epi8(Load(data + size - 16), Load(kSlide + 16 - rest));
  const uint32_t high = static_cast<uint32_t>(_mm_movemask_epi8(block));
  if (high == 0) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o), block);
    return o + rest;
  }
  char* const end = PutRowBlock(rows, block, high, data + i, o);
  return end != nullptr ? end - (16 - rest) : DecodePackedBytes(packed, data + i, rest, o, replaced);
}

}  // namespace

#endif

std::unique_ptr<TByteRowDecoder> TByteRowDecoder::Build(const uint32_t* packed) {
#ifdef __SSE2__
  if (!TSsse3Kernels::Supported()) return nullptr;
  for (int byte = 0; byte < 0x80; ++byte) {
    const TUnpacked entry = Unpack(packed[byte]);
    if (entry.Length != 1 || entry.Invalid || entry.Bytes[0] != byte) return nullptr;
  }
  std::unique_ptr<TByteRowDecoder> decoder(new TByteRowDecoder());
  std::memcpy(decoder->Packed_, packed, sizeof(decoder->Packed_));
  TRows& rows = decoder->Rows_;
  rows = TRows{};
  for (int row = 0; row < 16; ++row) {
    bool contiguous = true;
    const TUnpacked head = Unpack(packed[row * 16]);
    for (int column = 0; column < 16; ++column) {
      const int byte = row * 16 + column;
      const TUnpacked entry = Unpack(packed[byte]);
      const bool two_bytes = byte >= 0x80 && entry.Length == 2 && !entry.Invalid;
      rows.TwoBytes[byte] = two_bytes;
      if (byte < 0x80) continue;
      contiguous = contiguous && two_bytes && entry.Bytes[0] == head.Bytes[0] &&
                   entry.Bytes[1] == static_cast<unsigned char>(head.Bytes[1] + column);
      rows.RowLead[row - 8][column] = two_bytes ? entry.Bytes[0] : 0;
      rows.RowTrail[row - 8][column] = two_bytes ? entry.Bytes[1] : 0;
    }
    rows.Contiguous[row] = contiguous ? 0xFF : 0;
    rows.Lead[row] = contiguous ? head.Bytes[0] : 0;
    rows.Trail[row] = contiguous ? head.Bytes[1] : 0;
  }
  return decoder;
#else
  (void)packed;
  return nullptr;
#endif
}

char* TByteRowDecoder::Decode(const unsigned char* data, size_t size, char* o, size_t& replaced) const {
#ifdef __SSE2__
  return DecodeRows(Rows_, Packed_, data, size, o, replaced);
#else
  return DecodePackedBytes(Packed_, data, size, o, replaced);
#endif
}
