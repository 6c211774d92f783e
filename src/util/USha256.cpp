#include "util/USha256.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__)
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace {

constexpr uint32_t kRoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr std::array<uint32_t, 8> kInitialState = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                                   0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

inline uint32_t Rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

inline uint32_t LoadBigEndian(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

void CompressPlain(uint32_t* state, const uint8_t* blocks, size_t count) {
  for (; count > 0; --count, blocks += 64) {
    uint32_t w[64];
    for (int t = 0; t < 16; ++t) w[t] = LoadBigEndian(blocks + 4 * t);
    for (int t = 16; t < 64; ++t) {
      const uint32_t s0 = Rotr(w[t - 15], 7) ^ Rotr(w[t - 15], 18) ^ (w[t - 15] >> 3);
      const uint32_t s1 = Rotr(w[t - 2], 17) ^ Rotr(w[t - 2], 19) ^ (w[t - 2] >> 10);
      w[t] = w[t - 16] + s0 + w[t - 7] + s1;
    }
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
    for (int t = 0; t < 64; ++t) {
      const uint32_t t1 =
          h + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) + ((e & f) ^ (~e & g)) + kRoundConstants[t] + w[t];
      const uint32_t t2 = (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
      h = g, g = f, f = e, e = d + t1, d = c, c = b, b = a, a = t1 + t2;
    }
    state[0] += a, state[1] += b, state[2] += c, state[3] += d;
    state[4] += e, state[5] += f, state[6] += g, state[7] += h;
  }
}

#if defined(__x86_64__)

bool ProcessorHasShaRounds() {
  unsigned a, b, c, d;
  if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & bit_SSE4_1) || !(c & bit_SSSE3)) return false;
  if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
  return (b & bit_SHA) != 0;
}

// The rounds by the SHA extensions: the state is kept as the register pair
// ABEF / CDGH that the round instruction works on, and each group of four
// message words is scheduled from the four before it.
__attribute__((target("sha,sse4.1,ssse3"))) void CompressSha(uint32_t* state, const uint8_t* blocks, size_t count) {
  const __m128i byte_swap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
  __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state));
  __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4));
  const __m128i cdab = _mm_shuffle_epi32(dcba, 0xB1);
  const __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1B);
  __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
  __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);
  for (; count > 0; --count, blocks += 64) {
    const __m128i abef_before = abef, cdgh_before = cdgh;
    __m128i m[4];
#pragma GCC unroll 16
    for (int group = 0; group < 16; ++group) {
      __m128i& words = m[group % 4];
      if (group < 4) {
        words = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16 * group)), byte_swap);
      } else {
        const __m128i& last = m[(group - 1) % 4];
        const __m128i w7 = _mm_alignr_epi8(last, m[(group - 2) % 4], 4);  // W[t-7 .. t-4]
        words = _mm_sha256msg2_epu32(_mm_add_epi32(_mm_sha256msg1_epu32(words, m[(group - 3) % 4]), w7), last);
      }
      __m128i k = _mm_add_epi32(words, _mm_loadu_si128(reinterpret_cast<const __m128i*>(kRoundConstants + 4 * group)));
      // Each call makes two rounds and returns the new ABEF; the ABEF it was
      // given is the new CDGH.
      cdgh = _mm_sha256rnds2_epu32(cdgh, abef, k);
      k = _mm_shuffle_epi32(k, 0x0E);
      abef = _mm_sha256rnds2_epu32(abef, cdgh, k);
    }
    abef = _mm_add_epi32(abef, abef_before);
    cdgh = _mm_add_epi32(cdgh, cdgh_before);
  }
  const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
  const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(feba, dchg, 0xF0));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(dchg, feba, 8));
}

#endif

}  // namespace

bool TSha256::HasHardwareRounds() {
#if defined(__x86_64__)
  static const bool has = ProcessorHasShaRounds();
  return has;
#else
  return false;
#endif
}

TSha256::TSha256() : Hardware_(HasHardwareRounds()) { Reset(); }

void TSha256::Reset() {
  State_ = kInitialState;
  BlockUsed_ = 0;
  Length_ = 0;
}

void TSha256::Compress(const uint8_t* blocks, size_t count) {
#if defined(__x86_64__)
  if (Hardware_) {
    CompressSha(State_.data(), blocks, count);
    return;
  }
#endif
  CompressPlain(State_.data(), blocks, count);
}

void TSha256::Update(const void* data, size_t size) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  Length_ += size;
  if (BlockUsed_ > 0) {
    const size_t take = std::min(size, 64 - BlockUsed_);
    std::memcpy(Block_ + BlockUsed_, bytes, take);
    BlockUsed_ += take;
    bytes += take;
    size -= take;
    if (BlockUsed_ < 64) return;
    Compress(Block_, 1);
    BlockUsed_ = 0;
  }
  Compress(bytes, size / 64);
  BlockUsed_ = size % 64;
  std::memcpy(Block_, bytes + size / 64 * 64, BlockUsed_);
}

std::array<uint8_t, 32> TSha256::Finish() {
  const uint64_t bits = Length_ * 8;
  uint8_t tail[72] = {0x80};
  const size_t pad = (BlockUsed_ < 56 ? 56 : 120) - BlockUsed_;
  for (int i = 0; i < 8; ++i) tail[pad + i] = static_cast<uint8_t>(bits >> (56 - 8 * i));
  Update(tail, pad + 8);
  std::array<uint8_t, 32> digest;
  for (int i = 0; i < 8; ++i)
    for (int j = 0; j < 4; ++j) digest[4 * i + j] = static_cast<uint8_t>(State_[i] >> (24 - 8 * j));
  Reset();
  return digest;
}

std::string TSha256::FinishHex() {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (uint8_t byte : Finish()) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 15];
  }
  return hex;
}
