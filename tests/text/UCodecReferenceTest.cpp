// The codecs' table and ASCII block paths against slower references: every
// character and mixed random text must come out exactly as the reference
// writes it, from every alignment of the blocks.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "support/ConversionReference.h"
#include "support/TestSupport.h"
#include "text/UEncodingConverter.h"
#include "text/UEncodings.h"
#include "text/UTextDecoder.h"
#include "text/UUtf8.h"
#include "text/simd/UByteBlockDecoder.h"
#include "text/simd/UByteRowDecoder.h"

namespace {

// The keys whose decoders go through the 256-entry table.
const char* const SingleByteKeys[] = {"cp1250",   "cp1251",   "cp1252",    "cp1253",    "cp1254", "cp1255", "cp1256",
                                      "cp1257",   "cp1258",   "cp437",     "cp850",     "cp852",  "cp866",  "cp874",
                                      "iso88591", "iso88592", "iso885915", "macintosh", "koi8r",  "koi8u",  "koi8ru"};

// The keys whose decoders go through a table of one- and two-byte characters.
const char* const DoubleByteKeys[] = {"cp932", "cp936", "cp949", "cp950"};

std::string Utf8(uint32_t code) {
  char buffer[4];
  return std::string(buffer, PutUtf8(code, buffer));
}

std::string Encode(TTextEncoder& encoder, const std::string& utf8) {
  std::string out = "<";  // Encode appends
  encoder.Encode(utf8, out);
  return out.substr(1);
}

std::string Decode(TTextDecoder& decoder, const std::string& bytes) {
  std::string out = "<";  // Decode appends
  decoder.Decode(bytes.data(), bytes.size(), out);
  return out.substr(1);
}

// Through a buffer kept from call to call, as the reader and the splitter
// use the codecs.
std::string Encode(TTextEncoder& encoder, const std::string& utf8, TCodecBuffer& buffer) {
  return std::string(encoder.Encode(utf8, buffer));
}

std::string Decode(TTextDecoder& decoder, const std::string& bytes, TCodecBuffer& buffer) {
  return std::string(decoder.Decode(bytes.data(), bytes.size(), buffer));
}

// Every character of the BMP, the tag characters glibc drops, and a sample
// of the other planes, in pieces of 32 characters.
std::vector<std::string> EveryCharacter() {
  std::vector<std::string> pieces(1);
  for (uint32_t code = 0; code < 0x110000; ++code) {
    const bool sampled = code < 0x10000 || (code >= 0xE0000 && code < 0xE0080) || code % 0x3FF == 0;
    if (!sampled || (code >= 0xD800 && code <= 0xDFFF)) continue;
    if (pieces.back().size() >= 32 * 3) pieces.emplace_back();
    pieces.back() += Utf8(code);
  }
  return pieces;
}

// Encodes the pieces whole with Key's encoder and piece by piece through
// iconv (which redoes much work after each character it refuses, so it is
// given little at a time); "" when the results agree.
std::string EncodeEveryCharacter(const char* key) {
  std::string whole, expected;
  std::unique_ptr<TTextEncoder> reference = TTextEncoder::ThroughIconv(key);
  for (const std::string& piece : EveryCharacter()) {
    whole += piece;
    reference->Encode(piece, expected);
  }
  TTextEncoder encoder(key);
  TCodecBuffer buffer;
  return Difference(Encode(encoder, whole, buffer), expected);
}

// UTF-8 text for Key: ASCII runs of every length up to 47 (so runs end at
// every position of an 8- or 16-byte block) between characters the page has
// (alone or in runs up to 40), characters it lacks, combining accents, astral
// characters and invalid or cut-off UTF-8.
std::string MixedText(TTextDecoder& page, uint32_t seed) {
  std::mt19937 random(seed);
  auto pick = [&random](uint32_t low, uint32_t high) {
    return std::uniform_int_distribution<uint32_t>(low, high)(random);
  };
  static const char* const invalid[] = {
      "\x80",         "\xBF",         "\xC0\xAF",         "\xC1\xBF",         "\xC3", "\xE2\x82", "\xF0\x9F\x98",
      "\xED\xA0\x80", "\xE0\x80\xAF", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xFF", "\xFE"};
  std::string text;
  for (int piece = 0; text.size() < 24000; ++piece) {
    const size_t run = static_cast<size_t>(piece % 48);
    for (size_t i = 0; i < run; ++i) text += static_cast<char>(pick(0, 0x7F));
    switch (pick(0, 7)) {
      case 0:
      case 1: {  // a character of the page
        const std::string byte(1, static_cast<char>(pick(0x80, 0xFF)));
        text += Decode(page, byte);
        break;
      }
      case 2:
        for (uint32_t n = pick(1, 40); n > 0; --n)
          text += Decode(page, std::string(1, static_cast<char>(pick(0x80, 0xFF))));
        break;
      case 3:
        text += Utf8(pick(0x80, 0xD7FF));
        break;
      case 4:
        text += Utf8(pick(0x300, 0x36F));  // accents, which composing pages treat apart
        break;
      case 5:
        text += Utf8(pick(0x10000, 0x10FFFF));
        break;
      default:
        text += invalid[pick(0, std::size(invalid) - 1)];
        break;
    }
  }
  return text;
}

// The UTF-16 decoding rule stated plainly: pairs join, any other surrogate
// becomes U+FFFD.
std::string DecodeUtf16Plainly(const std::vector<uint16_t>& units) {
  std::string text;
  for (size_t i = 0; i < units.size(); ++i) {
    const uint32_t unit = units[i];
    if (unit < 0xD800 || unit > 0xDFFF) {
      text += Utf8(unit);
    } else if (unit <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      text += Utf8(0x10000 + ((unit - 0xD800) << 10) + (units[i + 1] - 0xDC00u));
      ++i;
    } else {
      text += kReplacementUtf8;
    }
  }
  return text;
}

// A decoder's text of some bytes and the replacements it counted.
struct TDecoded {
  std::string Text;
  size_t Replaced = 0;
  bool operator==(const TDecoded&) const = default;
};

TDecoded DecodeCounting(TTextDecoder& decoder, std::string_view bytes, TCodecBuffer& buffer) {
  TDecoded decoded;
  const size_t size = decoder.DecodeInto(bytes.data(), bytes.size(), buffer, 0, decoded.Replaced);
  decoded.Text.assign(buffer.Data(), size);
  return decoded;
}

// Decode and Reference over every part of Bytes from each start up to 17
// that is at most 140 bytes long, so that parts begin and end at every
// position of the decoder's blocks (16 bytes) and take several; ""
// when they agree on all.
template <class TDecode, class TReference>
std::string CompareEveryPart(const std::string& bytes, TDecode decode, TReference reference) {
  for (size_t start = 0; start <= 17; ++start) {
    for (size_t length = 0; length <= 140 && start + length <= bytes.size(); ++length) {
      const std::string_view part = std::string_view(bytes).substr(start, length);
      const TDecoded got = decode(part), expected = reference(part);
      if (got == expected) continue;
      return "from " + std::to_string(start) + ", " + std::to_string(length) +
             " bytes: " + Difference(got.Text, expected.Text) + " replaced " + std::to_string(got.Replaced) + " for " +
             std::to_string(expected.Replaced);
    }
  }
  return "";
}

// Random bytes in runs: ASCII, words of the top rows (where the letters of
// most code pages lie, contiguous or not), and bytes of any value.
std::string RandomPageBytes(std::mt19937& random, size_t size) {
  std::string bytes;
  while (bytes.size() < size) {
    const uint32_t kind = random() % 4, run = 1 + random() % (kind == 3 ? 3 : 16);
    for (uint32_t i = 0; i < run; ++i) {
      const uint32_t value = kind == 0 ? random() % 0x80 : kind == 3 ? random() % 0x100 : 0xC0 + random() % 0x40;
      bytes += static_cast<char>(value);
    }
  }
  return bytes;
}

}  // namespace

TEST(EncoderTables, WriteEveryCharacterAsIconvDoes) {
  for (const char* key : SingleByteKeys) EXPECT_EQ(EncodeEveryCharacter(key), "") << key;
}

TEST(EncoderTables, WriteMixedTextAsIconvDoesFromEveryAlignment) {
  TCodecBuffer buffer;
  for (const char* key : SingleByteKeys) {
    TTextDecoder page(key);
    const std::string text = MixedText(page, 7);
    TTextEncoder encoder(key);
    std::unique_ptr<TTextEncoder> reference = TTextEncoder::ThroughIconv(key);
    for (size_t offset = 0; offset < 16; ++offset) {
      const std::string part = text.substr(offset);
      EXPECT_EQ(Difference(Encode(encoder, part, buffer), Encode(*reference, part)), "") << key << " from " << offset;
    }
  }
}

TEST(DecoderTables, DecodeMixedBytesAsByteByByteFromEveryAlignment) {
  std::mt19937 random(11);
  std::string bytes;
  for (int byte = 0; byte < 256; ++byte) bytes += static_cast<char>(byte);
  for (int piece = 0; bytes.size() < 24000; ++piece) {
    bytes.append(static_cast<size_t>(piece % 48), static_cast<char>('a' + piece % 26));
    for (uint32_t others = random() % (piece % 5 == 0 ? 40 : 4); others > 0; --others)
      bytes += static_cast<char>(random() % 256);
  }
  TCodecBuffer buffer;
  for (const char* key : SingleByteKeys) {
    TTextDecoder decoder(key);
    std::vector<std::string> one_byte(256);
    for (int byte = 0; byte < 256; ++byte) one_byte[byte] = Decode(decoder, std::string(1, static_cast<char>(byte)));
    for (size_t offset = 0; offset < 16; ++offset) {
      std::string expected;
      for (size_t i = offset; i < bytes.size(); ++i) expected += one_byte[static_cast<unsigned char>(bytes[i])];
      EXPECT_EQ(Difference(Decode(decoder, bytes.substr(offset), buffer), expected), "") << key << " from " << offset;
    }
  }
}

TEST(Utf16Codecs, MatchTheReferencesInBothByteOrdersFromEveryAlignment) {
  // Units: ASCII runs of every length up to 47 between other characters
  // (alone or in runs up to 40, two-byte ones also among spaces), pairs,
  // lone and reversed surrogates, and a high surrogate at the end.
  std::mt19937 random(5);
  std::vector<uint16_t> units;
  for (int piece = 0; units.size() < 12000; ++piece) {
    for (int i = 0; i < piece % 48; ++i) units.push_back(static_cast<uint16_t>(random() % 0x80));
    switch (random() % 8) {
      case 0:
        units.push_back(static_cast<uint16_t>(0x80 + random() % 0x780));
        break;
      case 7:  // words of two-byte letters between spaces
        for (uint32_t n = 1 + random() % 40; n > 0; --n)
          units.push_back(random() % 6 == 0 ? uint16_t{' '} : static_cast<uint16_t>(0x80 + random() % 0x780));
        break;
      case 6:
        for (uint32_t n = 1 + random() % 40; n > 0; --n)
          units.push_back(static_cast<uint16_t>(0x800 + random() % 0xD000));
        break;
      case 1:
        units.push_back(static_cast<uint16_t>(0xE000 + random() % 0x2000));
        break;
      case 2:
        units.push_back(static_cast<uint16_t>(0xD800 + random() % 0x400));
        units.push_back(static_cast<uint16_t>(0xDC00 + random() % 0x400));
        break;
      case 3:
        units.push_back(static_cast<uint16_t>(0xD800 + random() % 0x800));  // alone
        break;
      case 4:
        units.push_back(static_cast<uint16_t>(0xDC00 + random() % 0x400));
        units.push_back(static_cast<uint16_t>(0xD800 + random() % 0x400));
        break;
      default:
        units.push_back(static_cast<uint16_t>(0x800 + random() % 0xD000));
        break;
    }
  }
  units.push_back(0xD83D);

  TCodecBuffer buffer;
  for (bool big_endian : {false, true}) {
    const char* key = big_endian ? "ucs2be" : "ucs2le";
    TTextDecoder decoder(key);
    TTextEncoder encoder(key);
    std::unique_ptr<TTextEncoder> reference = TTextEncoder::ThroughIconv(key);
    for (size_t offset = 0; offset < 16; ++offset) {
      const std::vector<uint16_t> part(units.begin() + static_cast<ptrdiff_t>(offset), units.end());
      const std::string bytes = Utf16Bytes(part, big_endian);
      const std::string text = DecodeUtf16Plainly(part);
      EXPECT_EQ(Difference(Decode(decoder, bytes + "x", buffer), text), "")
          << key << " from " << offset;  // odd byte ignored
      const std::string utf8 = text + MixedText(decoder, static_cast<uint32_t>(offset));
      EXPECT_EQ(Difference(Encode(encoder, utf8.substr(offset), buffer), Encode(*reference, utf8.substr(offset))), "")
          << key << " from " << offset;
    }
  }
  EXPECT_EQ(EncodeEveryCharacter("ucs2le"), "");
}

// Every lead byte before every byte decodes as iconv decodes it, but for a
// pair that iconv takes whole and refuses: that becomes one U+FFFD, where
// iconv's refusal would take the byte after it down too. Returns how many
// pairs did so.
namespace {

int ExpectEveryPairAsIconv(TTextDecoder& table, const std::string& charset) {
  std::unique_ptr<TTextDecoder> reference = TTextDecoder::ThroughIconv(charset);
  int refused_whole = 0;
  for (int lead = 0x80; lead < 0x100; ++lead) {
    for (int trail = 0; trail < 0x100; ++trail) {
      const std::string bytes = {static_cast<char>(lead), static_cast<char>(trail), '\n'};
      const std::string got = Decode(table, bytes), expected = Decode(*reference, bytes);
      if (got == expected) continue;
      EXPECT_EQ(got, std::string(kReplacementUtf8) + "\n") << charset << " " << lead << " " << trail;
      ++refused_whole;
    }
  }
  return refused_whole;
}

}  // namespace

TEST(DoubleByteTables, DecodeEveryPairAsIconvDoes) {
  for (const char* key : DoubleByteKeys) {
    TTextDecoder table(key);
    ASSERT_TRUE(table.IsDoubleByteTable()) << key;
    EXPECT_LE(ExpectEveryPairAsIconv(table, std::string(IconvCharsetOf(key))), 2) << key;
  }
}

// The table is probed from iconv a lead byte's pairs at a time: character
// sets beyond ours show that it takes what decodes in two bytes and leaves
// to iconv those with longer characters (or shift states).
TEST(DoubleByteTables, AreBuiltForTwoByteCharacterSetsOnly) {
  for (const char* charset : {"EUC-KR", "BIG5", "SHIFT_JIS", "JOHAB"}) {
    std::unique_ptr<TTextDecoder> table = TTextDecoder::ForCharset(charset);
    ASSERT_TRUE(table->IsDoubleByteTable()) << charset;
    EXPECT_LE(ExpectEveryPairAsIconv(*table, charset), 2) << charset;
  }
  for (const char* charset : {"EUC-JP", "GB18030", "BIG5-HKSCS", "EUC-TW", "ISO-2022-JP", "ISO-2022-KR"})
    EXPECT_FALSE(TTextDecoder::ForCharset(charset)->IsDoubleByteTable()) << charset;
}

TEST(DoubleByteTables, EncodeEveryCharacterAsIconvDoes) {
  for (const char* key : DoubleByteKeys) {
    ASSERT_TRUE(TTextEncoder(key).IsDoubleByteTable()) << key;
    EXPECT_EQ(EncodeEveryCharacter(key), "") << key;
  }
}

// Long enough for the decoder of whole blocks, which must divide them into
// characters as decoding one at a time does.
TEST(DoubleByteTables, DecodeMixedBytesAsIconvDoesFromEveryAlignment) {
  std::mt19937 random(13);
  TCodecBuffer buffer;
  for (const char* key : DoubleByteKeys) {
    // ASCII runs of every length up to 47, and some over a block, between
    // pairs of lead and trail bytes (alone or in runs, most of them
    // characters of the page) and random bytes.
    std::string bytes;
    for (int piece = 0; bytes.size() < 80000; ++piece) {
      const size_t ascii = piece % 9 == 0 ? static_cast<size_t>(60 + piece % 80) : static_cast<size_t>(piece % 48);
      bytes.append(ascii, static_cast<char>('a' + piece % 26));
      for (uint32_t n = 1 + random() % (piece % 5 == 0 ? 30 : 3); n > 0; --n) {
        const char lead = static_cast<char>(0x81 + random() % 0x7E);
        bytes += random() % 4 == 0 ? std::string(1, static_cast<char>(random() % 256))
                                   : std::string{lead, static_cast<char>(0x40 + random() % 0xBF)};
      }
    }
    // glibc's CP949 takes A2 E8 whole and refuses it (see above).
    for (size_t at = bytes.find("\xA2\xE8"); at != std::string::npos; at = bytes.find("\xA2\xE8", at))
      bytes[at + 1] = 'x';
    TTextDecoder table(key);
    std::unique_ptr<TTextDecoder> reference = TTextDecoder::ThroughIconv(IconvCharsetOf(key));
    for (size_t offset = 0; offset < 16; ++offset) {
      const std::string part = bytes.substr(offset);
      const TDecoded got = DecodeCounting(table, part, buffer);
      EXPECT_EQ(Difference(got.Text, Decode(*reference, part)), "") << key << " from " << offset;
      // No character of these pages is U+FFFD: each one stands for input
      // that does not decode.
      size_t marks = 0;
      for (size_t at = got.Text.find(kReplacementUtf8); at != std::string::npos;
           at = got.Text.find(kReplacementUtf8, at + 1))
        ++marks;
      EXPECT_EQ(got.Replaced, marks) << key << " from " << offset;
      // Once it is built, lines of every length take it too.
      for (size_t length = 1; length <= 140; ++length) {
        const std::string line = bytes.substr(offset * 997, length);
        EXPECT_EQ(Difference(Decode(table, line, buffer), Decode(*reference, line)), "")
            << key << " from " << offset * 997 << " for " << length;
      }
    }
  }
}

// The decoder each page gets, and each block kernel this processor runs
// over a packed table of the page, against decoding byte by byte, counts
// included.
TEST(DecoderTables, DecodeEveryPartAsByteByByte) {
  std::mt19937 random(17);
  TCodecBuffer buffer, one_buffer;
  for (const char* key : SingleByteKeys) {
    TTextDecoder decoder(key);
    std::vector<TDecoded> one_byte(256);
    uint32_t packed[256];
    bool packs = true;
    size_t max_length = 1;
    // Each byte as iconv decodes it alone, but for the bytes the program
    // maps otherwise on purpose.
    std::unique_ptr<TTextDecoder> reference = TTextDecoder::ThroughIconv(IconvCharsetOf(key));
    for (int byte = 0; byte < 256; ++byte)
      one_byte[byte] = DecodeCounting(*reference, std::string(1, static_cast<char>(byte)), one_buffer);
    for (const TMappingFix& fix : MappingFixesOf(IconvCharsetOf(key))) {
      char utf8[4];
      one_byte[fix.Byte] = {std::string(utf8, PutUtf8(fix.Code, utf8)), 0};
    }
    for (int byte = 0; byte < 256; ++byte) {
      const TDecoded& one = one_byte[byte];
      unsigned char entry[4] = {};
      packs = packs && one.Text.size() <= 3;
      max_length = std::max(max_length, one.Text.size());
      std::memcpy(entry, one.Text.data(), std::min<size_t>(one.Text.size(), 3));
      entry[3] = static_cast<unsigned char>(one.Text.size() | (one.Replaced != 0 ? 4 : 0));
      std::memcpy(&packed[byte], entry, sizeof(entry));
    }
    const auto byte_by_byte = [&](std::string_view part) {
      TDecoded expected;
      for (char byte : part) {
        expected.Text += one_byte[static_cast<unsigned char>(byte)].Text;
        expected.Replaced += one_byte[static_cast<unsigned char>(byte)].Replaced;
      }
      return expected;
    };
    std::vector<std::pair<const char*, std::function<TDecoded(std::string_view)>>> ways = {
        {"chosen", [&](std::string_view part) { return DecodeCounting(decoder, part, buffer); }}};
    // Each kernel in heap blocks of exactly the room it is promised.
    const auto through = [max_length](auto& kernel, size_t slack) {
      return [&kernel, slack, max_length](std::string_view part) {
        auto in = std::make_unique<unsigned char[]>(part.size() + 1);
        std::memcpy(in.get(), part.data(), part.size());
        auto out = std::make_unique<char[]>(part.size() * max_length + slack);
        TDecoded got;
        char* end = kernel->Decode(in.get(), part.size(), out.get(), got.Replaced);
        got.Text.assign(out.get(), static_cast<size_t>(end - out.get()));
        return got;
      };
    };
    std::unique_ptr<TByteRowDecoder> rows = packs ? TByteRowDecoder::Build(packed) : nullptr;
    std::unique_ptr<TByteBlockDecoder> blocks = packs ? TByteBlockDecoder::Build(packed) : nullptr;
    if (rows) ways.emplace_back("sixteen bytes", through(rows, TByteRowDecoder::kSlack));
    if (blocks) ways.emplace_back("sixty-four bytes", through(blocks, TByteBlockDecoder::kSlack));
    // Besides random bytes, the page's longest byte alone: its text fills
    // the room a kernel is promised to the end.
    int widest = 0;
    for (int byte = 0; byte < 256; ++byte)
      if (one_byte[byte].Text.size() > one_byte[widest].Text.size()) widest = byte;
    for (int round = 0; round < 3; ++round) {
      const std::string bytes = round < 2 ? RandomPageBytes(random, 160) : std::string(160, static_cast<char>(widest));
      for (const auto& [name, decode] : ways)
        EXPECT_EQ(CompareEveryPart(bytes, decode, byte_by_byte), "") << key << " " << name;
    }
  }
}
