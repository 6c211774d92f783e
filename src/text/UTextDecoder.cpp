#include "text/UTextDecoder.h"

#include <langinfo.h>
#include <locale.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "text/UEncodings.h"
#include "text/UUtf8.h"

namespace {

const iconv_t kNoIconv = reinterpret_cast<iconv_t>(-1);

// Apple's Mac OS Roman table maps 0xC6 to INCREMENT and 0xF0 to the Apple
// logo in the private use area; glibc uses GREEK CAPITAL DELTA and U+E01E.
constexpr TMappingFix MacintoshFixes[] = {{0xC6, 0x2206}, {0xF0, 0xF8FF}};

// Character sets whose bytes are UTF-8 text already. ASCII counts too: its
// bytes above 0x7F are undefined, and passing them through loses nothing.
bool IsUtf8Compatible(std::string_view charset) {
  std::string name;
  for (char c : charset) {
    if (c == '-' || c == '_') continue;
    name += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  }
  return name.empty() || name == "UTF8" || name == "ANSIX3.41968" || name == "ASCII" || name == "USASCII";
}

}  // namespace

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

TTextDecoder::~TTextDecoder() {
  if (Cd_ != kNoIconv) iconv_close(Cd_);
}

void TTextDecoder::InitCharset(std::string_view charset) {
  Mode_ = TMode::PassThrough;
  if (IsUtf8Compatible(charset)) return;
  Cd_ = iconv_open("UTF-8", std::string(charset).c_str());
  if (Cd_ == kNoIconv) return;
  if (BuildTable(charset)) {
    Mode_ = TMode::Table;
    iconv_close(Cd_);
    Cd_ = kNoIconv;
  } else {
    Mode_ = TMode::Iconv;
  }
}

// A single-byte character set decodes through a 256-entry table, which is
// much faster than iconv. The table is built byte by byte from iconv; a byte
// that iconv finds incomplete on its own starts a multi-byte character, and
// such a character set keeps decoding through iconv.
bool TTextDecoder::BuildTable(std::string_view charset) {
  auto table = std::make_unique<TTableEntry[]>(256);
  for (int byte = 0; byte < 256; ++byte) {
    TTableEntry& entry = table[byte];
    iconv(Cd_, nullptr, nullptr, nullptr, nullptr);
    char in_byte = static_cast<char>(byte);
    char* in = &in_byte;
    size_t in_left = 1;
    char buffer[32];
    char* out = buffer;
    size_t out_left = sizeof(buffer);
    if (iconv(Cd_, &in, &in_left, &out, &out_left) == static_cast<size_t>(-1)) {
      if (errno != EILSEQ) return false;
      out = std::copy(kReplacementUtf8.begin(), kReplacementUtf8.end(), buffer);
    } else {
      // Some converters hold a base letter back to combine it with an accent
      // that may follow; flushing hands it out.
      iconv(Cd_, nullptr, nullptr, &out, &out_left);
    }
    size_t length = static_cast<size_t>(out - buffer);
    if (length == 0 || length > sizeof(entry.Bytes)) return false;
    std::memcpy(entry.Bytes, buffer, length);
    entry.Length = static_cast<uint8_t>(length);
  }
  for (const TMappingFix& fix : MappingFixesOf(charset)) {
    TTableEntry& entry = table[fix.Byte];
    entry.Length = static_cast<uint8_t>(PutUtf8(fix.Code, entry.Bytes) - entry.Bytes);
  }
  MaxLength_ = 1;
  for (int byte = 0; byte < 256; ++byte) MaxLength_ = std::max<size_t>(MaxLength_, table[byte].Length);
  Table_ = std::move(table);
  return true;
}

void TTextDecoder::Decode(const char* data, size_t size, std::string& out) {
  switch (Mode_) {
    case TMode::PassThrough:
      out.append(data, size);
      return;
    case TMode::Utf16LE:
    case TMode::Utf16BE:
      DecodeUtf16(reinterpret_cast<const unsigned char*>(data), size, out);
      return;
    case TMode::Table:
      DecodeTable(reinterpret_cast<const unsigned char*>(data), size, out);
      return;
    case TMode::Iconv:
      DecodeIconv(data, size, out);
      return;
  }
}

void TTextDecoder::DecodeUtf16(const unsigned char* data, size_t size, std::string& out) const {
  const size_t units = size / 2;  // a last odd byte is ignored
  const int high = IsBigEndian() ? 0 : 1;
  const int low = 1 - high;
  const size_t start = out.size();
  out.resize(start + units * 3);  // no unit yields more than 3 bytes
  char* o = out.data() + start;
  for (size_t i = 0; i < units; ++i) {
    const unsigned char* p = data + 2 * i;
    uint32_t unit = (uint32_t{p[high]} << 8) | p[low];
    if (unit < 0x80) {
      *o++ = static_cast<char>(unit);
      continue;
    }
    if (unit < 0xD800 || unit > 0xDFFF) {
      o = PutUtf8(unit, o);
      continue;
    }
    if (unit <= 0xDBFF && i + 1 < units) {
      const unsigned char* q = p + 2;
      uint32_t next = (uint32_t{q[high]} << 8) | q[low];
      if (next >= 0xDC00 && next <= 0xDFFF) {
        o = PutUtf8(0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00), o);
        ++i;
        continue;
      }
    }
    o = std::copy(kReplacementUtf8.begin(), kReplacementUtf8.end(), o);
  }
  out.resize(static_cast<size_t>(o - out.data()));
}

void TTextDecoder::DecodeTable(const unsigned char* data, size_t size, std::string& out) const {
  const size_t start = out.size();
  // Every entry is copied whole (8 bytes) and the cursor advanced by its
  // length, so the buffer needs room for the last entry's full copy.
  out.resize(start + size * MaxLength_ + sizeof(TTableEntry::Bytes));
  char* o = out.data() + start;
  for (size_t i = 0; i < size; ++i) {
    const TTableEntry& entry = Table_[data[i]];
    std::memcpy(o, entry.Bytes, sizeof(entry.Bytes));
    o += entry.Length;
  }
  out.resize(static_cast<size_t>(o - out.data()));
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

void TTextDecoder::DecodeIconv(const char* data, size_t size, std::string& out) {
  // EILSEQ (invalid) or EINVAL (cut off by the end): the byte becomes U+FFFD
  // and decoding goes on with the next one.
  RunIconv(Cd_, data, size, 3, out, [](const char*, size_t left, std::string& text, size_t& used) -> size_t {
    if (text.size() - used < kReplacementUtf8.size()) text.resize(used + left * 3 + 16);
    std::memcpy(text.data() + used, kReplacementUtf8.data(), kReplacementUtf8.size());
    used += kReplacementUtf8.size();
    return 1;
  });
}
