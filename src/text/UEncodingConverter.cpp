#include "text/UEncodingConverter.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "text/UDoubleByteTable.h"
#include "text/UEncodings.h"
#include "text/UTextDecoder.h"
#include "text/UUtf8.h"
#include "text/simd/UUtf16Kernels.h"

namespace {

const iconv_t kNoIconv = reinterpret_cast<iconv_t>(-1);
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// The program is single-threaded; these caches need no lock.
std::map<std::string, std::unique_ptr<TTextDecoder>, std::less<>> CachedDecoders;
std::map<std::string, std::unique_ptr<TTextEncoder>, std::less<>> CachedEncoders;

std::string ResolveKey(std::string_view name) {
  std::string key = NormalizeEncodingName(name);
  if (key.empty()) key = "utf8";
  return key;
}

// "ansi" converts through the locale's character set, or passes through.
bool HasConverter(std::string_view key) { return key == "ansi" || !IconvCharsetOf(key).empty(); }

// Converters are cached per key; "ansi" per locale character set, which the
// environment may change between calls.
std::string CacheKey(const std::string& key) { return key == "ansi" ? "ansi:" + LocaleCharset() : key; }

template <class TCodec>
TCodec& Cached(std::map<std::string, std::unique_ptr<TCodec>, std::less<>>& cache, const std::string& key) {
  const std::string cache_key = CacheKey(key);
  auto it = cache.find(cache_key);
  if (it == cache.end()) it = cache.emplace(cache_key, std::make_unique<TCodec>(key)).first;
  return *it->second;
}

}  // namespace

std::string ConvertEncoding(std::string_view text, std::string_view from_name, std::string_view to_name) {
  const std::string from = ResolveKey(from_name);
  const std::string to = ResolveKey(to_name);
  if (from == to) return std::string(text);
  if (text.empty()) return to == "utf8bom" ? std::string(kUtf8Bom) : std::string();
  if (!HasConverter(from) || !HasConverter(to)) return std::string(text);

  std::string decoded;
  std::string_view utf8 = text;
  if (from == "utf8bom") {
    if (utf8.starts_with(kUtf8Bom)) utf8.remove_prefix(kUtf8Bom.size());
  } else if (from != "utf8") {
    Cached(CachedDecoders, from).Decode(text.data(), text.size(), decoded);
    utf8 = decoded;
  }
  if (to == "utf8") return std::string(utf8);
  if (to == "utf8bom") return std::string(kUtf8Bom) + std::string(utf8);
  std::string encoded;
  Cached(CachedEncoders, to).Encode(utf8, encoded);
  return encoded;
}

void ReleaseCachedConverters() {
  CachedDecoders.clear();
  CachedEncoders.clear();
}

TTextEncoder::TTextEncoder(std::string_view key, TUnrepresentable policy) : TTextEncoder(key, policy, false) {}

std::unique_ptr<TTextEncoder> TTextEncoder::ThroughIconv(std::string_view key, TUnrepresentable policy) {
  return std::unique_ptr<TTextEncoder>(new TTextEncoder(key, policy, true));
}

TTextEncoder::TTextEncoder(std::string_view key, TUnrepresentable policy, bool through_iconv)
    : Key_(NormalizeEncodingName(key)), Replacing_(policy == TUnrepresentable::Replaced) {
  InvalidAs_ = "?";
  if ((Key_ == "ucs2le" || Key_ == "ucs2be") && !through_iconv) {
    Mode_ = Key_ == "ucs2le" ? TMode::Utf16LE : TMode::Utf16BE;
    HasReplacement_ = true;
    return;
  }
  // "ansi" writes what it reads: the locale's character set.
  std::string charset = Key_ == "ansi" ? LocaleCharset() : std::string(IconvCharsetOf(Key_));
  if (IsUtf8Compatible(charset) || Key_ == "utf8" || Key_ == "utf8bom") {
    if (charset.empty() && Key_ != "ansi" && Key_ != "utf8" && Key_ != "utf8bom") return;  // no converter
    HasReplacement_ = true;
    InvalidAs_ = kReplacementUtf8;
    if (!Replacing_) return;
    if (!through_iconv) {
      Mode_ = TMode::Utf8;
      return;
    }
    charset = "UTF-8";  // iconv checks it
  }
  Cd_ = iconv_open(charset.c_str(), "UTF-8");
  if (Cd_ == kNoIconv) return;
  Mode_ = TMode::Iconv;
  Fixes_ = MappingFixesOf(charset);
  // Invalid bytes become U+FFFD where the encoding has it.
  std::string replacement;
  size_t ignored = 0;
  const bool was_replacing = Replacing_;
  Replacing_ = false;
  EncodeIconv(kReplacementUtf8, replacement, ignored);
  Replacing_ = was_replacing;
  if (!replacement.empty()) {
    HasReplacement_ = true;
    InvalidAs_ = replacement;
  }
  if (through_iconv) return;
  if (BuildTable(charset))
    Mode_ = TMode::Table;
  else if ((DoubleByte_ = TDoubleByteEncoder::Of(charset)) != nullptr && DoubleByte_->AsciiIdentity() &&
           InvalidAs_ == "?")
    Mode_ = TMode::DoubleByte;
}

// A single-byte character set encodes through a table of the characters its
// bytes decode to (mapping fixes included), each entry being what iconv
// writes for that character, so the table gives iconv's result without its
// cost. Characters no byte decodes to have no byte in iconv either (the tests
// hold every character to iconv), except in the character sets that compose,
// where they still go through iconv.
bool TTextEncoder::BuildTable(std::string_view charset) {
  std::unique_ptr<TByteCharacters> characters = ProbeByteCharacters(charset);
  if (!characters) return false;
  std::vector<uint32_t> codes;
  for (const TByteCharacters::TEntry& entry : characters->Entries) {
    if (!entry.Defined) continue;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(entry.Bytes);
    if (Utf8SequenceLength(bytes, entry.Length) != entry.Length) return false;  // not one character
    codes.push_back(Utf8CodePoint(bytes, entry.Length));
  }
  for (const TMappingFix& fix : Fixes_) codes.push_back(fix.Code);

  std::vector<uint16_t> table(256, kNoByte);  // page 0: no bytes
  uint8_t page_of[256] = {};
  for (uint32_t code : codes) {
    if (code >= 0x10000) return false;
    char utf8[4];
    std::string encoded;
    size_t ignored = 0;
    EncodeIconv(std::string_view(utf8, static_cast<size_t>(PutUtf8(code, utf8) - utf8)), encoded, ignored);
    if (encoded.size() > 1) return false;
    if (encoded.empty()) continue;
    uint8_t& page = page_of[code >> 8];
    if (page == 0) {
      if (table.size() / 256 > 255) return false;
      page = static_cast<uint8_t>(table.size() / 256);
      table.resize(table.size() + 256, kNoByte);
    }
    table[size_t{page} * 256 + (code & 0xFF)] = static_cast<unsigned char>(encoded[0]);
  }
  Table_ = std::make_unique<uint16_t[]>(table.size());
  std::copy(table.begin(), table.end(), Table_.get());
  std::copy(std::begin(page_of), std::end(page_of), PageOf_);
  AsciiIdentity_ = true;
  for (uint32_t code = 0; code < 0x80; ++code) AsciiIdentity_ = AsciiIdentity_ && ByteOf(code) == code;
  Composes_ = characters->Composes;
  // A table writes each replacement as one byte.
  return InvalidAs_.size() == 1;
}

TTextEncoder::~TTextEncoder() {
  if (Cd_ != kNoIconv) iconv_close(Cd_);
}

std::string_view TTextEncoder::Encode(std::string_view utf8, TCodecBuffer& buffer) {
  if (Mode_ == TMode::Identity) return utf8;
  size_t replaced = 0;
  const size_t end = EncodeInto(utf8, buffer, 0, replaced);
  return {buffer.Data(), end};
}

void TTextEncoder::Encode(std::string_view utf8, std::string& out) {
  size_t replaced = 0;
  switch (Mode_) {
    case TMode::Identity:
      out.append(utf8);
      return;
    case TMode::Iconv:
      EncodeIconv(utf8, out, replaced);
      return;
    default:
      TCodecBuffer buffer;
      out.append(Encode(utf8, buffer));
      return;
  }
}

size_t TTextEncoder::EncodeInto(std::string_view utf8, TCodecBuffer& buffer, size_t at, size_t& replaced) {
  const unsigned char* text = reinterpret_cast<const unsigned char*>(utf8.data());
  const size_t size = utf8.size();
  char* o = buffer.Data() + at;
  char* end;
  switch (Mode_) {
    case TMode::Identity:
      o = buffer.Reserve(o, size);
      end = std::copy(utf8.begin(), utf8.end(), o);
      break;
    case TMode::Utf8:
      // An invalid byte becomes three; sixteen bytes are copied at a time.
      end = CheckUtf8(text, size, buffer.Reserve(o, size * 3 + 16), replaced);
      break;
    case TMode::Utf16LE:
      end = TUtf16Kernels::EncodeUtf16<false>(text, size, buffer.Reserve(o, size * 2 + TUtf16Kernels::kEncodeSlack),
                                              Replacing_, replaced);
      break;
    case TMode::Utf16BE:
      end = TUtf16Kernels::EncodeUtf16<true>(text, size, buffer.Reserve(o, size * 2 + TUtf16Kernels::kEncodeSlack),
                                             Replacing_, replaced);
      break;
    case TMode::Table:
      end = EncodeTable(text, size, buffer, o, replaced);
      break;
    case TMode::DoubleByte:
      end = EncodeDoubleByte(text, size, buffer.Reserve(o, size * 2 + TDoubleByteEncoder::kMaxLength), replaced);
      break;
    case TMode::Iconv:
    default:
      Scratch_.clear();
      EncodeIconv(utf8, Scratch_, replaced);
      end = std::copy(Scratch_.begin(), Scratch_.end(), buffer.Reserve(o, Scratch_.size()));
      break;
  }
  return static_cast<size_t>(end - buffer.Data());
}

char* TTextEncoder::CheckUtf8(const unsigned char* text, size_t size, char* o, size_t& replaced) const {
  // Copies the character (or replaces the invalid byte) at I; returns the
  // position after it.
  auto check_one = [&](size_t i) -> size_t {
    size_t length = 1;
    if (text[i] >= 0x80) ReadUtf8(text + i, size - i, length);
    if (length == 0) {
      o = std::copy(kReplacementUtf8.begin(), kReplacementUtf8.end(), o);
      ++replaced;
      return i + 1;
    }
    std::memcpy(o, text + i, 4 <= size - i ? 4 : length);
    o += length;
    return i + length;
  };
  ConvertByCharacter(text, size, o, true, check_one);
  return o;
}

char* TTextEncoder::EncodeTable(const unsigned char* text, size_t size, TCodecBuffer& buffer, char* o,
                                size_t& replaced) {
  // A character yields at most one byte, so output never passes the input
  // read (a character that composing iconv writes longer makes room first).
  o = buffer.Reserve(o, size);
  const char invalid = InvalidAs_[0];
  // Encodes the character (or the invalid byte) at I; returns the position
  // after it.
  auto encode_one = [&](size_t i) -> size_t {
    uint32_t code = text[i];
    size_t length = 1;
    if (code >= 0x80) {
      code = ReadUtf8(text + i, size - i, length);
      if (length == 0) {
        if (Replacing_) {
          *o++ = invalid;
          ++replaced;
        }
        return i + 1;
      }
    }
    const uint16_t byte = ByteOf(code);
    if (byte != kNoByte) {
      *o++ = static_cast<char>(byte);
    } else if (Composes_) {
      o = EncodeOutsideTable(std::string_view(reinterpret_cast<const char*>(text + i), length), size - i - length,
                             buffer, o, replaced);
    } else if (Replacing_) {
      *o++ = '?';
      ++replaced;
    }
    return i + length;
  };

  ConvertByCharacter(text, size, o, AsciiIdentity_, encode_one);
  return o;
}

char* TTextEncoder::EncodeDoubleByte(const unsigned char* text, size_t size, char* o, size_t& replaced) const {
  // Encodes the character (or the invalid byte) at I; returns the position
  // after it. No character is written longer than twice its UTF-8 bytes.
  auto encode_one = [&](size_t i) -> size_t {
    size_t length;
    const uint32_t code = ReadUtf8(text + i, size - i, length);
    if (length != 0) {
      if (char* end = DoubleByte_->Put(code, o)) {
        o = end;
        return i + length;
      }
    }
    if (Replacing_) {
      *o++ = '?';
      ++replaced;
    }
    return i + (length == 0 ? 1 : length);
  };
  ConvertByCharacter(text, size, o, true, encode_one);
  return o;
}

char* TTextEncoder::EncodeOutsideTable(std::string_view character, size_t left, TCodecBuffer& buffer, char* o,
                                       size_t& replaced) {
  Scratch_.clear();
  EncodeIconv(character, Scratch_, replaced);
  return std::copy(Scratch_.begin(), Scratch_.end(), buffer.Reserve(o, Scratch_.size() + left));
}

void TTextEncoder::EncodeIconv(std::string_view utf8, std::string& out, size_t& replaced) {
  // None of the supported code pages needs more bytes than UTF-8 does.
  RunIconv(Cd_, utf8.data(), utf8.size(), 1, out,
           [this, &replaced](const char* rest, size_t left, std::string& text, size_t& used) -> size_t {
             // EILSEQ: a character the target lacks, or invalid UTF-8; EINVAL:
             // UTF-8 cut off at the end. Either way that one sequence (or
             // byte) is left out or replaced, unless a mapping fix supplies
             // its byte.
             const unsigned char* bad = reinterpret_cast<const unsigned char*>(rest);
             const size_t length = Utf8SequenceLength(bad, left);
             if (length != 0 && PutFixedCharacter(Utf8CodePoint(bad, length), text, used)) return length;
             if (Replacing_) {
               const std::string_view with = length == 0 ? std::string_view(InvalidAs_) : "?";
               if (text.size() - used < with.size()) text.resize(used + with.size() + left + 16);
               std::memcpy(text.data() + used, with.data(), with.size());
               used += with.size();
               ++replaced;
             }
             return length == 0 ? 1 : length;
           });
}

bool TTextEncoder::PutFixedCharacter(uint32_t code, std::string& out, size_t& used) const {
  for (const TMappingFix& fix : Fixes_) {
    if (fix.Code != code) continue;
    if (used == out.size()) out.resize(out.size() + 16);
    out[used++] = static_cast<char>(fix.Byte);
    return true;
  }
  return false;
}
