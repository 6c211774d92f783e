#include "text/simd/UPairBlockDecoder.h"

#include <array>
#include <bit>

#ifdef __SSE2__

#include "text/simd/UAvx512Support.h"

namespace {

// For each character of part K of a block (its bytes 16 K to 16 K + 15),
// the table index of the pair it starts: the byte after it, then itself,
// as a little-endian word (byte 64 is the byte after the block).
constexpr auto kPairIndices = [] {
  std::array<std::array<uint8_t, 64>, 4> indices{};
  for (int part = 0; part < 4; ++part)
    for (int k = 0; k < 16; ++k) {
      indices[part][4 * k] = static_cast<uint8_t>(16 * part + k + 1);
      indices[part][4 * k + 1] = static_cast<uint8_t>(16 * part + k);
    }
  return indices;
}();
alignas(64) constexpr std::array<std::array<uint8_t, 64>, 4> kPairIndexTable = kPairIndices;

// The entries of the characters that start in bytes 16 x Part to 16 x Part
// + 15 of the block (Here: their bits), gathered by pair, packed as UTF-8
// at At. ORs the entries into Seen.
template <int Part>
QM_AVX512 inline void PutPart(const int* table, __m512i block, __m512i after, uint64_t starts, char*& at,
                              __m512i& seen) {
  const __mmask16 here = static_cast<__mmask16>(starts >> (16 * Part));
  if (here == 0) return;
  const __m512i index = _mm512_load_si512(kPairIndexTable[Part].data());
  const __m512i pairs = _mm512_maskz_permutex2var_epi8(0x3333333333333333ull, block, index, after);
  // Only the characters' entries: the others stay zero, of length 0.
  const __m512i entries = _mm512_mask_i32gather_epi32(_mm512_setzero_si512(), here, pairs, table, 4);
  seen = _mm512_or_si512(seen, entries);
  // The room is a byte's three and 64 more.
  at = PutEntries(entries, at);
}

// The U+FFFD among the characters of part Part.
template <int Part>
QM_AVX512 inline uint32_t ReplacedIn(const int* table, __m512i block, __m512i after, uint64_t starts) {
  const __mmask16 here = static_cast<__mmask16>(starts >> (16 * Part));
  const __m512i index = _mm512_load_si512(kPairIndexTable[Part].data());
  const __m512i pairs = _mm512_maskz_permutex2var_epi8(0x3333333333333333ull, block, index, after);
  const __m512i entries = _mm512_mask_i32gather_epi32(_mm512_setzero_si512(), here, pairs, table, 4);
  return static_cast<uint32_t>(std::popcount(static_cast<uint32_t>(
      _mm512_test_epi32_mask(entries, _mm512_set1_epi32(static_cast<int>(TPairBlockDecoder::kReplacement))))));
}

QM_AVX512 size_t DecodeBlocks(const int* table, const uint8_t* lead_columns, const unsigned char* data, size_t size,
                              size_t i, char*& o, size_t& replaced) {
  const __m512i columns = _mm512_broadcast_i32x4(_mm_load_si128(reinterpret_cast<const __m128i*>(lead_columns)));
  const __m512i row_bits = _mm512_broadcast_i32x4(_mm_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 4, 8, 16, 32, 64, -128));
  const __m512i low_four = _mm512_set1_epi8(0x0F);
  char* out = o;
  size_t found = 0;
  while (i < size) {
    // The last block is loaded as far as the text goes, zeros after it: a
    // zero is no lead byte, and no byte a lead byte pairs with.
    const size_t left = size - i;
    const size_t taken = left < 64 ? left : 64;
    const uint64_t in_text = taken == 64 ? ~uint64_t{0} : (uint64_t{1} << taken) - 1;
    const __m512i block = _mm512_maskz_loadu_epi8(in_text, data + i);
    if (_mm512_movepi8_mask(block) == 0) {
      _mm512_storeu_si512(out, block);
      out += taken;
      i += taken;
      continue;
    }
    const __m512i rows = _mm512_and_si512(_mm512_srli_epi16(block, 4), low_four);
    const uint64_t lead = _mm512_test_epi8_mask(_mm512_shuffle_epi8(columns, _mm512_and_si512(block, low_four)),
                                                _mm512_shuffle_epi8(row_bits, rows));
    const uint64_t starts = ~TPairBlockDecoder::TrailBytes(lead) & in_text;
    const __m512i after = _mm512_set1_epi8(left > 64 ? static_cast<char>(data[i + 64]) : 0);
    char* at = out;
    __m512i seen = _mm512_setzero_si512();
    PutPart<0>(table, block, after, starts, at, seen);
    PutPart<1>(table, block, after, starts, at, seen);
    PutPart<2>(table, block, after, starts, at, seen);
    PutPart<3>(table, block, after, starts, at, seen);
    // Also a lead byte that the text ends after: it pairs with a zero.
    if (_mm512_test_epi32_mask(seen, _mm512_set1_epi32(static_cast<int>(TPairBlockDecoder::kUndecodable))) != 0) break;
    out = at;
    // Rare: counted by looking the block up again.
    if (_mm512_test_epi32_mask(seen, _mm512_set1_epi32(static_cast<int>(TPairBlockDecoder::kReplacement))) != 0)
      found += ReplacedIn<0>(table, block, after, starts) + ReplacedIn<1>(table, block, after, starts) +
               ReplacedIn<2>(table, block, after, starts) + ReplacedIn<3>(table, block, after, starts);
    // A pair that starts at the block's last byte ends in the next block.
    i += taken + ((lead & starts) >> 63);
  }
  o = out;
  replaced += found;
  return i;
}

}  // namespace

bool TPairBlockDecoder::Supported() { return Avx512Supported(); }

std::unique_ptr<TPairBlockDecoder> TPairBlockDecoder::Build(std::unique_ptr<uint32_t[]> entries,
                                                            const bool (&is_lead)[256]) {
  if (!Supported()) return nullptr;
  std::unique_ptr<TPairBlockDecoder> decoder(new TPairBlockDecoder());
  for (int byte = 0; byte < 256; ++byte) {
    if (!is_lead[byte]) continue;
    if (byte < 0x80) return nullptr;
    decoder->LeadColumns_[byte & 0x0F] |= static_cast<uint8_t>(1u << ((byte >> 4) - 8));
  }
  decoder->Entries_ = std::move(entries);
  return decoder;
}

size_t TPairBlockDecoder::Decode(const unsigned char* data, size_t size, size_t i, char*& o, size_t& replaced) const {
  return DecodeBlocks(reinterpret_cast<const int*>(Entries_.get()), LeadColumns_, data, size, i, o, replaced);
}

#else

bool TPairBlockDecoder::Supported() { return false; }

std::unique_ptr<TPairBlockDecoder> TPairBlockDecoder::Build(std::unique_ptr<uint32_t[]>, const bool (&)[256]) {
  return nullptr;
}

size_t TPairBlockDecoder::Decode(const unsigned char*, size_t, size_t i, char*&, size_t&) const { return i; }

#endif
