// The table decoders' byte classes against plain statements of them.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "text/simd/UTableKernels.h"

namespace {

// The rule walked byte by byte: a lead byte that starts a character takes
// the next byte.
uint64_t SecondBytesWalked(uint32_t leads, uint32_t carry) {
  uint64_t seconds = carry;
  for (uint32_t p = carry; p < 32; ++p) {
    if ((leads >> p & 1) == 0) continue;
    seconds |= uint64_t{1} << (p + 1);
    ++p;
  }
  return seconds;
}

}  // namespace

TEST(TableKernels, SecondBytesFollowEveryLeadThatStartsACharacter) {
  // Every mask of sixteen bits, and random ones of 32 (runs of every length
  // up to 32 among them).
  std::mt19937 rng(29);
  for (uint32_t round = 0; round < 0x30000; ++round) {
    const uint32_t leads = round < 0x10000 ? round : round % 2 ? ~0u << rng() % 32 >> rng() % 32 : rng() | rng();
    for (uint32_t carry : {0u, 1u})
      ASSERT_EQ(SecondBytesOf(leads, carry), SecondBytesWalked(leads, carry)) << leads << " " << carry;
  }
}

TEST(TableKernels, EverySetTellsTheHighBytesAndTheBytesInTheRanges) {
  const TByteRanges cases[] = {
      {{0x81, 0xE0}, {0x1E, 0x1C}},  // CP932's lead bytes
      {{0x81, 0x81}, {0x7D, 0x7D}},  // one range given twice
      {{0x80, 0xFF}, {0, 0}},        // the ends of the high half
      {{0x00, 0x80}, {0x7F, 0x7F}},  // every byte
  };
  std::mt19937 rng(23);
  for (const TByteRanges& ranges : cases) {
    for (int round = 0; round < 200; ++round) {
      unsigned char bytes[16];
      for (unsigned char& byte : bytes) byte = static_cast<unsigned char>(rng() % 2 ? rng() : 0x7E + rng() % 4);
      uint32_t expected = 0, high = 0;
      for (int i = 0; i < 16; ++i) {
        for (int k = 0; k < 2; ++k)
          if (bytes[i] >= ranges.Low[k] && bytes[i] <= ranges.Low[k] + ranges.Span[k]) expected |= 1u << i;
        if (bytes[i] >= 0x80) high |= 1u << i;
      }
      EXPECT_EQ(TPlainTableKernels::InRanges16(bytes, TPlainTableKernels::Prepare(ranges)), expected)
          << "plain, round " << round;
      EXPECT_EQ(TTableKernels::InRanges16(bytes, TTableKernels::Prepare(ranges)), expected)
          << "this build's, round " << round;
      EXPECT_EQ(TPlainTableKernels::HighMask16(bytes), high) << "plain, round " << round;
      EXPECT_EQ(TTableKernels::HighMask16(bytes), high) << "this build's, round " << round;
    }
  }
}
