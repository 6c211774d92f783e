// Every way this build converts UTF-16 into UTF-8 and back, over the same
// texts cut at every offset and length around the blocks' widths: the wide
// kernels must give what one character at a time gives, and that is what
// iconv gives.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "support/ConversionReference.h"
#include "support/TestSupport.h"
#include "text/UUtf8.h"
#include "text/simd/UAvx512Kernels.h"
#include "text/simd/UPlainKernels.h"
#include "text/simd/USse2Kernels.h"
#include "text/simd/USsse3Kernels.h"
#include "text/simd/UUtf16Kernels.h"

namespace {

using TDecode = char* (*)(const unsigned char*, size_t, char*, size_t&);
using TEncode = char* (*)(const unsigned char*, size_t, char*, bool, size_t&);

template <bool BigEndian>
char* DecodeByCharacter(const unsigned char* data, size_t units, char* o, size_t& replaced) {
  for (size_t i = 0; i < units;) i = DecodeUtf16Character<BigEndian>(data, units, i, o, replaced);
  return o;
}

template <bool BigEndian>
char* EncodeByCharacter(const unsigned char* text, size_t size, char* o, bool replacing, size_t& replaced) {
  for (size_t i = 0; i < size;) i = EncodeUtf16Character<BigEndian>(text, size, i, o, replacing, replaced);
  return o;
}

struct TWay {
  const char* Name;
  TDecode Decode[2];  // little-endian, big-endian
  TEncode Encode[2];
};

template <class TKernelSet>
TWay WithoutShuffles(const char* name) {
  return {name,
          {TKernelSet::template DecodeUtf16<false>, TKernelSet::template DecodeUtf16<true>},
          {EncodeUtf16Blocks<TKernelSet, false>, EncodeUtf16Blocks<TKernelSet, true>}};
}

// One character at a time first: the rules the others are held to.
std::vector<TWay> Ways() {
  std::vector<TWay> ways = {{"one character at a time",
                             {DecodeByCharacter<false>, DecodeByCharacter<true>},
                             {EncodeByCharacter<false>, EncodeByCharacter<true>}},
                            WithoutShuffles<TPlainKernels>("plain"),
                            {"chosen",
                             {TUtf16Kernels::DecodeUtf16<false>, TUtf16Kernels::DecodeUtf16<true>},
                             {TUtf16Kernels::EncodeUtf16<false>, TUtf16Kernels::EncodeUtf16<true>}}};
#ifdef __SSE2__
  ways.push_back(WithoutShuffles<TSse2Kernels>("SSE2"));
  if (TSsse3Kernels::Supported())
    ways.push_back({"SSSE3",
                    {TSsse3Kernels::DecodeUtf16<false>, TSsse3Kernels::DecodeUtf16<true>},
                    {TSsse3Kernels::EncodeUtf16<false>, TSsse3Kernels::EncodeUtf16<true>}});
  if (TAvx512Kernels::Supported())
    ways.push_back({"AVX-512",
                    {TAvx512Kernels::DecodeUtf16<false>, TAvx512Kernels::DecodeUtf16<true>},
                    {TAvx512Kernels::EncodeUtf16<false>, TAvx512Kernels::EncodeUtf16<true>}});
#endif
  return ways;
}

// The same characters as UTF-8 and as UTF-16 units, in runs of one kind:
// ASCII, two UTF-8 bytes, three (the edges of the basic plane's ranges among
// them), astral characters; and single pieces of input that does not decode
// (invalid or cut off UTF-8; unpaired and reversed surrogates).
struct TText {
  std::string Utf8;
  std::vector<uint16_t> Units;
};

// With Script, the runs are of ASCII and two-byte characters only, but for
// one piece of another kind in about every thousand bytes: the text of most
// alphabets, which the widest kernels convert a block at a time.
TText RandomText(std::mt19937& random, size_t runs, bool script = false) {
  static const char* const kInvalidUtf8[] = {
      "\x80",         "\xBF",         "\xC0\xAF",         "\xC1\xBF",     "\xC0",
      "\xC1",         "\xC3",         "\xE2\x82",         "\xF0\x9F\x98", "\xF0\x9F",
      "\xED\xA0\x80", "\xE0\x80\xAF", "\xF4\x90\x80\x80", "\xF5\x80\x80", "\xFF",
      "\xE0\x9F\xBF"};
  static const std::vector<uint16_t> kInvalidUnits[] = {{0xD800}, {0xDFFF}, {0xDC00, 0xD83D}, {0xDBFF}};
  static const uint32_t kEdges[] = {0x800, 0xFFF, 0x1000, 0xD7FF, 0xE000, 0xFFFD, 0xFFFF};
  auto pick = [&random](uint32_t low, uint32_t high) {
    return std::uniform_int_distribution<uint32_t>(low, high)(random);
  };
  TText text;
  for (size_t run = 0; run < runs; ++run) {
    const uint32_t kind = !script ? pick(0, 7) : pick(0, 40) == 0 ? pick(3, 7) : pick(1, 2);
    for (uint32_t n = kind < 6 ? pick(1, 24) : 1; n > 0; --n) {
      uint32_t code = 0;
      switch (kind) {
        case 0:
        case 1:
          code = pick(0, 0x7F);
          break;
        case 2:
          code = pick(0, 5) == 0 ? ' ' : pick(0x80, 0x7FF);
          break;
        case 3:
          code = pick(0, 3) == 0 ? kEdges[pick(0, std::size(kEdges) - 1)] : pick(0x3000, 0x9FFF);
          break;
        case 4:
          code = pick(0x10000, 0x10FFFF);
          break;
        default:
          text.Utf8 += kInvalidUtf8[pick(0, std::size(kInvalidUtf8) - 1)];
          for (uint16_t unit : kInvalidUnits[pick(0, std::size(kInvalidUnits) - 1)]) text.Units.push_back(unit);
          continue;
      }
      char bytes[4];
      text.Utf8.append(bytes, PutUtf8(code, bytes));
      if (code < 0x10000) {
        text.Units.push_back(static_cast<uint16_t>(code));
      } else {
        text.Units.push_back(static_cast<uint16_t>(0xD800 + ((code - 0x10000) >> 10)));
        text.Units.push_back(static_cast<uint16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
      }
    }
  }
  return text;
}

// What a conversion wrote and counted. Input and output lie in heap blocks
// of exactly their size, so that the sanitizers see a read or a store beyond.
struct TResult {
  std::string Bytes;
  size_t Replaced = 0;
  bool operator==(const TResult&) const = default;
};

TResult Decode(TDecode decode, const std::string& bytes) {
  const size_t units = bytes.size() / 2;
  auto in = std::make_unique<unsigned char[]>(bytes.size());
  std::copy(bytes.begin(), bytes.end(), in.get());
  auto out = std::make_unique<char[]>(units * 3 + TUtf16Kernels::kUtf16Slack);
  TResult result;
  char* end = decode(in.get(), units, out.get(), result.Replaced);
  result.Bytes.assign(out.get(), static_cast<size_t>(end - out.get()));
  return result;
}

TResult Encode(TEncode encode, const std::string& utf8) {
  auto in = std::make_unique<unsigned char[]>(utf8.size());
  std::copy(utf8.begin(), utf8.end(), in.get());
  auto out = std::make_unique<char[]>(utf8.size() * 2 + TUtf16Kernels::kEncodeSlack);
  TResult result;
  char* end = encode(in.get(), utf8.size(), out.get(), true, result.Replaced);
  result.Bytes.assign(out.get(), static_cast<size_t>(end - out.get()));
  return result;
}

}  // namespace

TEST(Utf16Kernels, EveryWayGivesWhatOneCharacterAtATimeGives) {
  const std::vector<TWay> ways = Ways();
  std::vector<size_t> lengths = {47, 48, 49, 63, 64, 65, 127, 128, 129, 200};
  for (size_t length = 0; length <= 40; ++length) lengths.push_back(length);
  std::mt19937 random(20261209);
  for (int round = 0; round < 40; ++round) {
    const TText text = round < 32 ? RandomText(random, 16) : RandomText(random, 40, true);
    for (int big_endian = 0; big_endian < 2; ++big_endian) {
      const std::string utf16 = Utf16Bytes(text.Units, big_endian);
      for (size_t start = 0; start < 34; ++start) {
        for (size_t length : lengths) {
          const std::string units = start * 2 < utf16.size() ? utf16.substr(start * 2, length * 2) : "";
          const std::string utf8 = start < text.Utf8.size() ? text.Utf8.substr(start, length) : "";
          const TResult decoded = Decode(ways[0].Decode[big_endian], units);
          const TResult encoded = Encode(ways[0].Encode[big_endian], utf8);
          for (const TWay& way : ways) {
            ASSERT_TRUE(Decode(way.Decode[big_endian], units) == decoded)
                << way.Name << " decoding, round " << round << ", units " << start << "+" << length;
            ASSERT_TRUE(Encode(way.Encode[big_endian], utf8) == encoded)
                << way.Name << " encoding, round " << round << ", bytes " << start << "+" << length;
          }
        }
      }
    }
  }
}

TEST(Utf16Kernels, OneCharacterAtATimeConvertsAsIconvDoes) {
  const TWay rules = Ways()[0];
  std::mt19937 random(23);
  for (int round = 0; round < 8; ++round) {
    const TText text = RandomText(random, 60);
    for (int big_endian = 0; big_endian < 2; ++big_endian) {
      const char* key = big_endian ? "ucs2be" : "ucs2le";
      const std::string utf16 = Utf16Bytes(text.Units, big_endian);
      for (const auto& [got, expected] :
           {std::pair{Decode(rules.Decode[big_endian], utf16), ConvertThroughIconv(utf16, key, "utf8")},
            std::pair{Encode(rules.Encode[big_endian], text.Utf8), ConvertThroughIconv(text.Utf8, "utf8", key)}}) {
        EXPECT_EQ(Difference(got.Bytes, expected.Bytes), "") << key << ", round " << round;
        EXPECT_EQ(static_cast<int64_t>(got.Replaced), expected.Replaced) << key << ", round " << round;
      }
    }
  }
}
