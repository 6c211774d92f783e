#include "text/simd/UByteBlockDecoder.h"

#include <cstring>

#ifdef __SSE2__

#include <bit>

#include "text/simd/UAvx512Support.h"

namespace {

QM_AVX512 char* DecodeBlocks(const uint8_t (&tables)[4][128], const unsigned char* data, size_t size, char* o,
                             size_t& replaced) {
  __m512i low[4], high[4];
  for (int k = 0; k < 4; ++k) {
    low[k] = _mm512_load_si512(tables[k]);
    high[k] = _mm512_load_si512(tables[k] + 64);
  }
  size_t invalid = 0;
  for (size_t i = 0; i < size;) {
    const size_t taken = size - i < 64 ? size - i : 64;
    const uint64_t in_text = LowBits(taken);
    const __m512i block = _mm512_maskz_loadu_epi8(in_text, data + i);
    const uint64_t above = _mm512_movepi8_mask(block);
    // The room is a byte per byte at least, and kSlack: every 64-byte
    // store fits wherever the text ends, so none waits on a branch over
    // how much is left.
    if (above == 0) {
      _mm512_storeu_si512(o, block);
      o += taken;
      i += taken;
      continue;
    }
    // The low seven bits pick the entry, ASCII keeps its byte and length 1,
    // and bytes past the text get length 0.
    const __m512i first = _mm512_mask_blend_epi8(above, block, _mm512_permutex2var_epi8(low[0], block, high[0]));
    const __m512i second = _mm512_permutex2var_epi8(low[1], block, high[1]);
    const __m512i third = _mm512_permutex2var_epi8(low[2], block, high[2]);
    const __m512i meta = _mm512_maskz_mov_epi8(
        in_text, _mm512_mask_blend_epi8(above, _mm512_set1_epi8(1), _mm512_permutex2var_epi8(low[3], block, high[3])));
    invalid += static_cast<size_t>(std::popcount(_mm512_test_epi8_mask(meta, _mm512_set1_epi8(4))));
    // Entries by byte: the unpacks give byte 16L + 4R + J of lane L in
    // register R, which the lane shuffles then put in order.
    const __m512i first_second_low = _mm512_unpacklo_epi8(first, second);
    const __m512i first_second_high = _mm512_unpackhi_epi8(first, second);
    const __m512i third_meta_low = _mm512_unpacklo_epi8(third, meta);
    const __m512i third_meta_high = _mm512_unpackhi_epi8(third, meta);
    const __m512i r0 = _mm512_unpacklo_epi16(first_second_low, third_meta_low);
    const __m512i r1 = _mm512_unpackhi_epi16(first_second_low, third_meta_low);
    const __m512i r2 = _mm512_unpacklo_epi16(first_second_high, third_meta_high);
    const __m512i r3 = _mm512_unpackhi_epi16(first_second_high, third_meta_high);
    const __m512i a = _mm512_shuffle_i32x4(r0, r1, _MM_SHUFFLE(1, 0, 1, 0));
    const __m512i b = _mm512_shuffle_i32x4(r2, r3, _MM_SHUFFLE(1, 0, 1, 0));
    const __m512i c = _mm512_shuffle_i32x4(r0, r1, _MM_SHUFFLE(3, 2, 3, 2));
    const __m512i d = _mm512_shuffle_i32x4(r2, r3, _MM_SHUFFLE(3, 2, 3, 2));
    // Groups past the text write nothing: their bytes have length 0.
    o = PutEntries(_mm512_shuffle_i32x4(a, b, _MM_SHUFFLE(2, 0, 2, 0)), o);
    o = PutEntries(_mm512_shuffle_i32x4(a, b, _MM_SHUFFLE(3, 1, 3, 1)), o);
    o = PutEntries(_mm512_shuffle_i32x4(c, d, _MM_SHUFFLE(2, 0, 2, 0)), o);
    o = PutEntries(_mm512_shuffle_i32x4(c, d, _MM_SHUFFLE(3, 1, 3, 1)), o);
    i += taken;
  }
  replaced += invalid;
  return o;
}

}  // namespace

std::unique_ptr<TByteBlockDecoder> TByteBlockDecoder::Build(const uint32_t* packed) {
  if (!Avx512Supported()) return nullptr;
  for (uint32_t byte = 0; byte < 0x80; ++byte) {
    const unsigned char ascii[4] = {static_cast<unsigned char>(byte), 0, 0, 1};
    if (std::memcmp(&packed[byte], ascii, sizeof(ascii)) != 0) return nullptr;
  }
  std::unique_ptr<TByteBlockDecoder> decoder(new TByteBlockDecoder());
  for (int byte = 0x80; byte < 0x100; ++byte) {
    unsigned char entry[4];
    std::memcpy(entry, &packed[byte], sizeof(entry));
    for (int k = 0; k < 4; ++k) decoder->Tables_[k][byte - 0x80] = entry[k];
  }
  return decoder;
}

char* TByteBlockDecoder::Decode(const unsigned char* data, size_t size, char* o, size_t& replaced) const {
  return DecodeBlocks(Tables_, data, size, o, replaced);
}

#else

std::unique_ptr<TByteBlockDecoder> TByteBlockDecoder::Build(const uint32_t*) { return nullptr; }

char* TByteBlockDecoder::Decode(const unsigned char*, size_t, char* o, size_t&) const { return o; }

#endif
