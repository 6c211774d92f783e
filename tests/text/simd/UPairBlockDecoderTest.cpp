#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <string>

#include "text/UDoubleByteTable.h"
#include "text/UEncodings.h"
#include "text/UUtf8.h"
#include "text/simd/UPairBlockDecoder.h"

namespace {

// Which bytes are a pair's second, walking them one at a time.
uint64_t WalkedTrailBytes(uint64_t lead) {
  uint64_t trail = 0;
  for (int i = 0; i < 63; ++i)
    if ((lead >> i & 1) != 0 && (trail >> i & 1) == 0) trail |= uint64_t{1} << (i + 1);
  return trail;
}

struct TDecoded {
  std::string Text;
  size_t Replaced = 0;
};

// Decode (Whole) or one character at a time, in a heap block of exactly
// the room promised, so that the sanitizers see a store beyond it.
TDecoded DecodeIn(const TDoubleByteTable& table, const std::string& bytes, bool whole) {
  auto in = std::make_unique<unsigned char[]>(bytes.size() + 1);
  std::memcpy(in.get(), bytes.data(), bytes.size());
  auto out = std::make_unique<char[]>(bytes.size() * TDoubleByteTable::kMaxGrowth + TDoubleByteTable::kSlack);
  TDecoded decoded;
  char* end = whole ? table.Decode(in.get(), bytes.size(), out.get(), decoded.Replaced)
                    : table.DecodeHead(in.get(), bytes.size(), std::numeric_limits<size_t>::max(), out.get());
  decoded.Text.assign(out.get(), static_cast<size_t>(end - out.get()));
  if (!whole)
    for (size_t at = decoded.Text.find(kReplacementUtf8); at != std::string::npos;
         at = decoded.Text.find(kReplacementUtf8, at + 1))
      ++decoded.Replaced;
  return decoded;
}

}  // namespace

TEST(PairBlockDecoder, TrailBytesAreThoseAWalkFinds) {
  for (uint64_t lead :
       {uint64_t{0}, ~uint64_t{0}, uint64_t{1} << 63, uint64_t{0x5555555555555555}, uint64_t{0xAAAAAAAAAAAAAAAA}})
    EXPECT_EQ(TPairBlockDecoder::TrailBytes(lead), WalkedTrailBytes(lead)) << std::hex << lead;
  // Sparse, even and dense masks: runs of every length at every place.
  std::mt19937_64 random(29);
  for (int round = 0; round < 30000; ++round) {
    uint64_t lead = random();
    if (round % 3 == 1) lead &= random();
    if (round % 3 == 2) lead |= random();
    ASSERT_EQ(TPairBlockDecoder::TrailBytes(lead), WalkedTrailBytes(lead)) << std::hex << lead;
  }
}

// A pair at every place around the ends of the first two blocks, and a lead
// byte that the next byte does not complete or that ends the text, decode
// as one character at a time does, the count of U+FFFD included.
TEST(PairBlockDecoder, BlockEdgesDecodeAsOneCharacterAtATime) {
  const std::pair<const char*, std::string> pages[] = {
      {"cp932", "\x82\xA0"}, {"cp936", "\xB0\xA1"}, {"cp949", "\xB0\xA1"}, {"cp950", "\xA4\x40"}};
  for (const auto& [key, pair] : pages) {
    const TDoubleByteTable* table = TDoubleByteTable::Of(IconvCharsetOf(key));
    ASSERT_NE(table, nullptr) << key;
    DecodeIn(*table, std::string(70000, 'a'), true);  // enough to build the block decoder
    const std::string lead = pair.substr(0, 1);
    for (size_t before = 0; before <= 140; ++before) {
      const std::string ascii(before, 'x');
      for (const std::string& bytes : {ascii + pair, ascii + pair + std::string(70, 'y'), ascii + pair + pair + lead,
                                       ascii + lead, ascii + lead + "\n" + std::string(70, 'y')}) {
        const TDecoded whole = DecodeIn(*table, bytes, true), one = DecodeIn(*table, bytes, false);
        ASSERT_EQ(whole.Text, one.Text) << key << " after " << before;
        ASSERT_EQ(whole.Replaced, one.Replaced) << key << " after " << before;
      }
    }
  }
}

// Random bytes of each kind a double-byte code page meets (ASCII, lead
// bytes, single bytes above ASCII, bytes that decode to nothing), in texts
// of several blocks, decode as one character at a time does.
TEST(PairBlockDecoder, RandomTextsDecodeAsOneCharacterAtATime) {
  std::mt19937 random(20261210);
  for (const char* key : {"cp932", "cp936", "cp949", "cp950"}) {
    const TDoubleByteTable* table = TDoubleByteTable::Of(IconvCharsetOf(key));
    ASSERT_NE(table, nullptr) << key;
    DecodeIn(*table, std::string(70000, 'a'), true);  // enough to build the block decoder
    for (int round = 0; round < 300; ++round) {
      // Mostly ASCII, mostly pairs, or anything.
      const int high_share = round % 3 == 0 ? 10 : round % 3 == 1 ? 90 : 50;
      std::string bytes;
      const size_t size = 1 + random() % 700;
      while (bytes.size() < size)
        bytes +=
            static_cast<char>(static_cast<int>(random() % 100) < high_share ? 0x80 + random() % 128 : random() % 128);
      const TDecoded whole = DecodeIn(*table, bytes, true), one = DecodeIn(*table, bytes, false);
      ASSERT_EQ(whole.Text, one.Text) << key << " round " << round;
      ASSERT_EQ(whole.Replaced, one.Replaced) << key << " round " << round;
    }
  }
}
