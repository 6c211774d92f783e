#include "text/UTextDecoder.h"

#include <langinfo.h>
#include <locale.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>

#include "text/UDoubleByteTable.h"
#include "text/UEncodings.h"
#include "text/UUtf8.h"
#include "text/simd/UByteBlockDecoder.h"
#include "text/simd/UByteRowDecoder.h"
#include "text/simd/UKernels.h"
#include "text/simd/UUtf16Kernels.h"

namespace {

const iconv_t kNoIconv = reinterpret_cast<iconv_t>(-1);

// Apple's Mac OS Roman table maps 0xC6 to INCREMENT and 0xF0 to the Apple
// logo in the private use area; glibc uses GREEK CAPITAL DELTA and U+E01E.
constexpr TMappingFix MacintoshFixes[] = {{0xC6, 0x2206}, {0xF0, 0xF8FF}};

}  // namespace

// ASCII counts too: its bytes above 0x7F are undefined, and passing them
// through loses nothing.
bool IsUtf8Compatible(std::string_view charset) {
  std::string name;
  for (char c : charset) {
    if (c == '-' || c == '_') continue;
    name += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  }
  return name.empty() || name == "UTF8" || name == "ANSIX3.41968" || name == "ASCII" || name == "USASCII";
}

std::span<const TMappingFix> MappingFixesOf(std::string_view iconv_charset) {
  if (iconv_charset == "MACINTOSH") return MacintoshFixes;
  return {};
}

std::string LocaleCharset() {
  locale_t locale = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
  if (locale == static_cast<locale_t>(0)) return {};
  std::string charset = nl_langinfo_l(CODESET, locale);
  freelocale(locale);
  return charset;
}

TTextDecoder::TTextDecoder(std::string_view name) {
  switch (DecoderFor(name)) {
    case TDecoderKind::Utf16BE:
      Mode_ = TMode::Utf16BE;
      return;
    case TDecoderKind::Utf16LE:
      Mode_ = TMode::Utf16LE;
      return;
    case TDecoderKind::Locale:
      InitCharset(LocaleCharset());
      return;
    case TDecoderKind::Utf8:
      break;
  }
  std::string key = NormalizeEncodingName(name);
  if (key == "utf8" || key == "utf8bom") return;
  InitCharset(IconvCharsetOf(key));
}

std::unique_ptr<TTextDecoder> TTextDecoder::ForCharset(std::string_view charset) {
  std::unique_ptr<TTextDecoder> decoder(new TTextDecoder());
  decoder->InitCharset(charset);
  return decoder;
}

std::unique_ptr<TTextDecoder> TTextDecoder::ThroughIconv(std::string_view charset) {
  std::unique_ptr<TTextDecoder> decoder(new TTextDecoder());
  decoder->InitCharset(charset, true);
  return decoder;
}

TTextDecoder::~TTextDecoder() {
  if (Cd_ != kNoIconv) iconv_close(Cd_);
}

void TTextDecoder::InitCharset(std::string_view charset, bool through_iconv) {
  Mode_ = TMode::PassThrough;
  if (IsUtf8Compatible(charset)) return;
  if (!through_iconv && BuildTable(charset)) {
    Mode_ = TMode::Table;
    return;
  }
  Cd_ = iconv_open("UTF-8", std::string(charset).c_str());
  if (Cd_ == kNoIconv) {
    ConverterMissing_ = true;
    return;
  }
  Mode_ = TMode::Iconv;
  if (!through_iconv) {
    // The table of pairs waits for the first text decoded: a split that
    // writes the source's bytes decodes nothing (0.4 to 1 ms saved a run).
    Mode_ = TMode::Pending;
    Charset_ = charset;
  }
}

void TTextDecoder::Resolve() {
  DoubleByte_ = TDoubleByteTable::Of(Charset_);
  Mode_ = DoubleByte_ != nullptr ? TMode::DoubleByte : TMode::Iconv;
}

size_t TTextDecoder::ByteOrderMarkLength(const char* data, size_t size) {
  // Tables decode a character as iconv does, so before a table is built
  // iconv alone tells.
  std::string iconv_text;
  TCodecBuffer buffer;
  for (size_t length = 1; length <= std::min<size_t>(size, 8); ++length) {
    std::string_view text;
    if (Mode_ == TMode::Pending) {
      size_t replaced = 0;
      iconv_text.clear();
      DecodeIconv(data, length, iconv_text, replaced);
      text = iconv_text;
    } else {
      text = Decode(data, length, buffer);
    }
    if (text == "\xEF\xBB\xBF") return length;
  }
  return 0;
}

// The table is built byte by byte from iconv; a byte that iconv finds
// incomplete on its own starts a multi-byte character, and such a character
// set has no table.
std::unique_ptr<TByteCharacters> ProbeByteCharacters(std::string_view charset) {
  iconv_t cd = iconv_open("UTF-8", std::string(charset).c_str());
  if (cd == kNoIconv) return nullptr;
  auto characters = std::make_unique<TByteCharacters>();
  bool complete = true;
  for (int byte = 0; byte < 256 && complete; ++byte) {
    TByteCharacters::TEntry& entry = characters->Entries[byte];
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char in_byte = static_cast<char>(byte);
    char* in = &in_byte;
    size_t in_left = 1;
    char buffer[32];
    char* out = buffer;
    size_t out_left = sizeof(buffer);
    entry.Defined = iconv(cd, &in, &in_left, &out, &out_left) != static_cast<size_t>(-1);
    if (!entry.Defined) {
      if (errno != EILSEQ) complete = false;
      out = std::copy(kReplacementUtf8.begin(), kReplacementUtf8.end(), buffer);
    } else {
      // Some converters hold a base letter back to combine it with an accent
      // that may follow; flushing hands it out.
      if (out == buffer) characters->Composes = true;
      iconv(cd, nullptr, nullptr, &out, &out_left);
    }
    size_t length = static_cast<size_t>(out - buffer);
    if (length == 0 || length > sizeof(entry.Bytes)) complete = false;
    if (!complete) break;
    std::memcpy(entry.Bytes, buffer, length);
    entry.Length = static_cast<uint8_t>(length);
  }
  iconv_close(cd);
  if (!complete) return nullptr;
  return characters;
}

// A single-byte character set decodes through a 256-entry table, which is
// much faster than iconv.
bool TTextDecoder::BuildTable(std::string_view charset) {
  std::unique_ptr<TByteCharacters> characters = ProbeByteCharacters(charset);
  if (!characters) return false;
  auto table = std::make_unique<TTableEntry[]>(256);
  for (int byte = 0; byte < 256; ++byte) {
    const TByteCharacters::TEntry& probed = characters->Entries[byte];
    std::memcpy(table[byte].Bytes, probed.Bytes, sizeof(probed.Bytes));
    table[byte].Length = probed.Length;
    table[byte].Invalid = probed.Defined ? 0 : 1;
  }
  for (const TMappingFix& fix : MappingFixesOf(charset)) {
    TTableEntry& entry = table[fix.Byte];
    entry.Length = static_cast<uint8_t>(PutUtf8(fix.Code, entry.Bytes) - entry.Bytes);
    entry.Invalid = 0;
  }
  MaxLength_ = 1;
  AsciiIdentity_ = true;
  for (int byte = 0; byte < 256; ++byte) {
    MaxLength_ = std::max<size_t>(MaxLength_, table[byte].Length);
    if (byte < 0x80 && (table[byte].Length != 1 || table[byte].Bytes[0] != static_cast<char>(byte)))
      AsciiIdentity_ = false;
  }
  Packed_.reset();
  Rows_.reset();
  Blocks_.reset();
  if (MaxLength_ <= 3) {
    Packed_ = std::make_unique<uint32_t[]>(256);
    for (int byte = 0; byte < 256; ++byte) {
      const TTableEntry& entry = table[byte];
      // In memory order: the character's bytes, then its length and flag.
      unsigned char bytes[4] = {};
      std::memcpy(bytes, entry.Bytes, entry.Length);
      bytes[3] = static_cast<unsigned char>(entry.Length | entry.Invalid << 2);
      std::memcpy(&Packed_[byte], bytes, sizeof(bytes));
    }
    Rows_ = TByteRowDecoder::Build(Packed_.get());
    Blocks_ = TByteBlockDecoder::Build(Packed_.get());
  }
  Table_ = std::move(table);
  return true;
}

std::string_view TTextDecoder::Decode(const char* data, size_t size, TCodecBuffer& buffer) {
  if (Mode_ == TMode::PassThrough) return {data, size};
  size_t replaced = 0;
  const size_t end = DecodeInto(data, size, buffer, 0, replaced);
  return {buffer.Data(), end};
}

size_t TTextDecoder::MaxDecoded(size_t size) const {
  switch (Mode_) {
    case TMode::Utf16LE:
    case TMode::Utf16BE:
      return size / 2 * 3 + TUtf16Kernels::kUtf16Slack;
    case TMode::Table:
      // Every entry is copied whole (8 bytes) and the cursor advanced by its
      // length, so the buffer needs room for the last entry's full copy; the
      // decoder of sixteen bytes stores whole blocks.
      return size * MaxLength_ +
             std::max({sizeof(TTableEntry::Bytes), TByteRowDecoder::kSlack, TByteBlockDecoder::kSlack});
    case TMode::DoubleByte:
      return size * TDoubleByteTable::kMaxGrowth + TDoubleByteTable::kSlack;
    default:
      return size;
  }
}

bool TTextDecoder::KeepsAscii() {
  ResolvePending();
  switch (Mode_) {
    case TMode::PassThrough:
    case TMode::Utf16LE:
    case TMode::Utf16BE:
      return true;
    case TMode::Table:
      return AsciiIdentity_;
    case TMode::DoubleByte:
      return DoubleByte_->AsciiIdentity();
    default:
      return false;
  }
}

size_t TTextDecoder::DecodeInto(const char* data, size_t size, TCodecBuffer& buffer, size_t at, size_t& replaced) {
  ResolvePending();
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(data);
  const size_t units = size / 2;  // a last odd byte is ignored
  if (Mode_ == TMode::Iconv) {
    IconvText_.clear();
    DecodeIconv(data, size, IconvText_, replaced);
    char* o = buffer.Reserve(buffer.Data() + at, IconvText_.size());
    return static_cast<size_t>(std::copy(IconvText_.begin(), IconvText_.end(), o) - buffer.Data());
  }
  char* const begin = buffer.Reserve(buffer.Data() + at, MaxDecoded(size));
  char* end;
  switch (Mode_) {
    case TMode::Utf16LE:
      end = TUtf16Kernels::DecodeUtf16<false>(bytes, units, begin, replaced);
      break;
    case TMode::Utf16BE:
      end = TUtf16Kernels::DecodeUtf16<true>(bytes, units, begin, replaced);
      break;
    case TMode::Table:
      end = DecodeTable(bytes, size, begin, replaced);
      break;
    case TMode::DoubleByte:
      end = DoubleByte_->Decode(bytes, size, begin, replaced);
      break;
    case TMode::PassThrough:
    default:
      end = std::copy(data, data + size, begin);
      break;
  }
  return static_cast<size_t>(end - buffer.Data());
}

void TTextDecoder::Decode(const char* data, size_t size, std::string& out) {
  ResolvePending();
  switch (Mode_) {
    case TMode::PassThrough:
      out.append(data, size);
      return;
    case TMode::Iconv: {
      size_t replaced = 0;
      DecodeIconv(data, size, out, replaced);
      return;
    }
    default:
      TCodecBuffer buffer;
      out.append(Decode(data, size, buffer));
      return;
  }
}

std::string_view TTextDecoder::DecodeEdge(const char* data, size_t size, size_t count, bool tail,
                                          TCodecBuffer& buffer) {
  // How many code units at the edge to decode: enough that the Count bytes
  // wanted come from characters decoded as in the whole text.
  ResolvePending();
  size_t unit = 1, taken = size;
  switch (Mode_) {
    case TMode::Utf16LE:
    case TMode::Utf16BE:
      // Every unit yields at least a byte; the one unit more settles a
      // surrogate at the inner end.
      unit = 2;
      taken = std::min(size / 2, count + 1);
      break;
    case TMode::Table:
      taken = std::min(size, count);  // a byte yields a character
      break;
    case TMode::DoubleByte:
      if (!tail) {
        char* begin = buffer.Reserve(count + TDoubleByteTable::kSlack);
        char* end = DoubleByte_->DecodeHead(reinterpret_cast<const unsigned char*>(data), size, count, begin);
        return std::string_view(begin, static_cast<size_t>(end - begin)).substr(0, count);
      }
      break;  // a trail byte may pass for a lead: only decoding from the start tells
    case TMode::PassThrough:
    case TMode::Iconv:
    case TMode::Pending:
      break;
  }
  const char* from = tail ? data + size / unit * unit - taken * unit : data;
  const std::string_view text = Decode(from, taken * unit, buffer);
  return tail ? text.substr(text.size() - std::min(count, text.size())) : text.substr(0, count);
}

size_t TTextDecoder::CharacterStartBefore(const char* data, size_t size, size_t limit) {
  ResolvePending();
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(data);
  switch (Mode_) {
    case TMode::Utf16LE:
    case TMode::Utf16BE: {
      // Between two units, but not inside a pair.
      size_t start = limit / 2 * 2;
      const size_t high = Mode_ == TMode::Utf16BE ? 0 : 1;
      if (start >= 2 && (bytes[start - 2 + high] & 0xFC) == 0xD8) start -= 2;
      return start;
    }
    case TMode::Table:
      return limit;
    case TMode::DoubleByte:
      return DoubleByte_->CharacterStartBefore(bytes, size, limit);
    case TMode::PassThrough: {
      // UTF-8, valid or not: no sequence takes in a byte that is no
      // continuation byte, nor one three continuation bytes follow.
      for (size_t start = limit; start > 0 && start + 3 >= limit; --start)
        if ((bytes[start] & 0xC0) != 0x80) return start;
      return limit;
    }
    case TMode::Iconv:
    case TMode::Pending:
      break;
  }
  return 0;
}

char* TTextDecoder::DecodeTable(const unsigned char* data, size_t size, char* o, size_t& replaced) const {
  if (Blocks_) return Blocks_->Decode(data, size, o, replaced);
  if (Rows_) return Rows_->Decode(data, size, o, replaced);
  if (Packed_) return DecodePackedBytes(Packed_.get(), data, size, o, replaced);
  auto decode_one = [&](unsigned char byte) {
    const TTableEntry& entry = Table_[byte];
    std::memcpy(o, entry.Bytes, sizeof(entry.Bytes));
    o += entry.Length;
    replaced += entry.Invalid;
  };
  ConvertByCharacter(data, size, o, AsciiIdentity_, [&](size_t i) {
    decode_one(data[i]);
    return i + 1;
  });
  return o;
}

void RunIconv(iconv_t cd, const char* data, size_t size, size_t growth, std::string& out,
              const TIconvInvalid& on_invalid) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* in = const_cast<char*>(data);
  size_t in_left = size;
  size_t used = out.size();
  out.resize(used + size * growth + 16);
  for (bool flushed = false; !flushed;) {
    char* o = out.data() + used;
    size_t out_left = out.size() - used;
    size_t result;
    if (in_left > 0) {
      result = iconv(cd, &in, &in_left, &o, &out_left);
    } else {
      result = iconv(cd, nullptr, nullptr, &o, &out_left);
      flushed = result != static_cast<size_t>(-1) || errno != E2BIG;
    }
    used = static_cast<size_t>(o - out.data());
    if (result != static_cast<size_t>(-1)) continue;
    if (errno == E2BIG) {
      out.resize(out.size() + in_left * growth + 16);
      continue;
    }
    if (in_left == 0) continue;  // a flush that failed otherwise has ended the loop
    size_t skip = on_invalid(in, in_left, out, used);
    in += skip;
    in_left -= skip;
  }
  out.resize(used);
}

void TTextDecoder::DecodeIconv(const char* data, size_t size, std::string& out, size_t& replaced) {
  // EILSEQ (invalid) or EINVAL (cut off by the end): the byte becomes U+FFFD
  // and decoding goes on with the next one.
  RunIconv(Cd_, data, size, 3, out, [&replaced](const char*, size_t left, std::string& text, size_t& used) -> size_t {
    if (text.size() - used < kReplacementUtf8.size()) text.resize(used + left * 3 + 16);
    std::memcpy(text.data() + used, kReplacementUtf8.data(), kReplacementUtf8.size());
    used += kReplacementUtf8.size();
    ++replaced;
    return 1;
  });
}
