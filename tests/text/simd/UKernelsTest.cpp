// Every kernel set over the same random chunks, against plain statements of
// what the kernels compute: the plain kernels are what other processors run,
// and the SSE2 ones must give exactly what they give.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "support/TestSupport.h"
#include "text/simd/UKernels.h"
#include "text/simd/UPlainKernels.h"
#include "text/simd/USse2Kernels.h"
#include "text/simd/UUtf16Character.h"

namespace {

// Bytes that the kernels tell apart, among others of every value.
std::string RandomBytes(std::mt19937& rng, size_t size) {
  static const char kSpecial[] = {'\n', '\r', '"', '\0', 'a', '\x7F', '\x80', '\xFF', '\xD8', '\xDC'};
  std::string bytes(size, '\0');
  for (char& byte : bytes) byte = rng() % 3 == 0 ? static_cast<char>(rng()) : kSpecial[rng() % sizeof(kSpecial)];
  return bytes;
}

// UTF-16 code units in runs of one kind: ASCII runs long enough for the wide
// paths, characters of two and three UTF-8 bytes, pairs, lone and reversed
// surrogates.
std::vector<uint16_t> RandomUnits(std::mt19937& rng, size_t count) {
  std::vector<uint16_t> units;
  while (units.size() < count) {
    const uint32_t kind = rng() % 6, run = 1 + rng() % 20;
    for (uint32_t i = 0; i < run; ++i) {
      switch (kind) {
        case 0:
        case 1:
          units.push_back(static_cast<uint16_t>(rng() % 0x80));
          break;
        case 2:
          units.push_back(static_cast<uint16_t>(0x80 + rng() % 0x780));
          break;
        case 3:
          units.push_back(static_cast<uint16_t>(0x800 + rng() % 0xF800));  // surrogates too, alone
          break;
        case 4:
          units.push_back(static_cast<uint16_t>(0xD800 + rng() % 0x400));
          units.push_back(static_cast<uint16_t>(0xDC00 + rng() % 0x400));
          break;
        default:
          units.push_back(static_cast<uint16_t>(0xDC00 + rng() % 0x400));
          break;
      }
    }
  }
  units.resize(count);
  return units;
}

// What each kernel gives for one input, so that the sets compare in one go.
struct TResults {
  std::vector<uint64_t> Masks;  // line ends, quotes, zeros, per 64-byte chunk
  std::vector<size_t> AsciiPrefixes;
  std::string Copied;  // by CopyAscii16, WidenAscii16 in both orders
  int64_t LineFeeds = 0;
  std::string Utf8;  // DecodeUtf16 in both orders
  bool operator==(const TResults&) const = default;
};

template <class TKernelSet>
TResults RunKernels(const std::string& bytes) {
  TResults results;
  for (size_t at = 0; at + 64 <= bytes.size(); at += 64) {
    results.Masks.push_back(TKernelSet::LineEndMask64(bytes.data() + at));
    results.Masks.push_back(TKernelSet::ByteMask64(bytes.data() + at, '"'));
    results.Masks.push_back(TKernelSet::ByteMask64(bytes.data() + at, '\0'));
  }
  const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
  for (size_t at = 0; at + 16 <= bytes.size(); at += 16) {
    char out[32];
    results.AsciiPrefixes.push_back(TKernelSet::CopyAscii16(in + at, out));
    results.Copied.append(out, 16);
    results.AsciiPrefixes.push_back(TKernelSet::template WidenAscii16<false>(in + at, out));
    results.Copied.append(out, 32);
    results.AsciiPrefixes.push_back(TKernelSet::template WidenAscii16<true>(in + at, out));
    results.Copied.append(out, 32);
  }
  results.LineFeeds = TKernelSet::CountLineFeeds(bytes.data(), bytes.size());
  for (bool big_endian : {false, true}) {
    const size_t units = bytes.size() / 2;
    std::string out(units * 3 + TKernelSet::kUtf16Slack, '\0');
    size_t replaced = 0;
    char* end = big_endian ? TKernelSet::template DecodeUtf16<true>(in, units, out.data(), replaced)
                           : TKernelSet::template DecodeUtf16<false>(in, units, out.data(), replaced);
    results.Utf8 += out.substr(0, static_cast<size_t>(end - out.data())) + "|" + std::to_string(replaced) + "|";
  }
  return results;
}

// The same, stated byte by byte and character by character.
TResults Reference(const std::string& bytes) {
  TResults results;
  auto mask = [&](size_t at, auto is) {
    uint64_t bits = 0;
    for (size_t i = 0; i < 64; ++i)
      if (is(bytes[at + i])) bits |= uint64_t{1} << i;
    return bits;
  };
  for (size_t at = 0; at + 64 <= bytes.size(); at += 64) {
    results.Masks.push_back(mask(at, [](char c) { return c == '\n' || c == '\r'; }));
    results.Masks.push_back(mask(at, [](char c) { return c == '"'; }));
    results.Masks.push_back(mask(at, [](char c) { return c == '\0'; }));
  }
  for (size_t at = 0; at + 16 <= bytes.size(); at += 16) {
    size_t ascii = 0;
    while (ascii < 16 && static_cast<unsigned char>(bytes[at + ascii]) < 0x80) ++ascii;
    results.AsciiPrefixes.insert(results.AsciiPrefixes.end(), {ascii, ascii, ascii});
    results.Copied += bytes.substr(at, 16);
    for (bool big_endian : {false, true})
      for (size_t i = 0; i < 16; ++i)
        results.Copied += big_endian ? std::string{'\0', bytes[at + i]} : std::string{bytes[at + i], '\0'};
  }
  for (char c : bytes) results.LineFeeds += c == '\n';
  const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
  const size_t units = bytes.size() / 2;
  for (bool big_endian : {false, true}) {
    std::string out(units * 3 + 4, '\0');
    char* o = out.data();
    size_t replaced = 0;
    for (size_t i = 0; i < units;)
      i = big_endian ? DecodeUtf16Character<true>(in, units, i, o, replaced)
                     : DecodeUtf16Character<false>(in, units, i, o, replaced);
    results.Utf8 += out.substr(0, static_cast<size_t>(o - out.data())) + "|" + std::to_string(replaced) + "|";
  }
  return results;
}

}  // namespace

TEST(Kernels, EverySetGivesWhatThePlainStatementsGive) {
  std::mt19937 rng(20261209);
  for (int round = 0; round < 400; ++round) {
    const size_t size = rng() % 300;
    // Odd rounds: UTF-16 text, whose decoding takes the wide paths.
    const std::string bytes =
        round % 2 == 0 ? RandomBytes(rng, size) : Utf16Bytes(RandomUnits(rng, size / 2), round % 4 == 1);
    const TResults expected = Reference(bytes);
    EXPECT_TRUE(RunKernels<TPlainKernels>(bytes) == expected) << "plain, round " << round;
#ifdef __SSE2__
    EXPECT_TRUE(RunKernels<TSse2Kernels>(bytes) == expected) << "SSE2, round " << round;
    static_assert(std::is_same_v<TKernels, TSse2Kernels>);
#else
    static_assert(std::is_same_v<TKernels, TPlainKernels>);
#endif
  }
}
