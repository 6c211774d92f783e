#include "text/UEncodingConverter.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>

#include "text/UEncodings.h"
#include "text/UTextDecoder.h"
#include "text/UUtf8.h"

namespace {

const iconv_t kNoIconv = reinterpret_cast<iconv_t>(-1);
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// The program is single-threaded; these caches need no lock.
std::map<std::string, std::unique_ptr<TTextDecoder>, std::less<>> CachedDecoders;
std::map<std::string, std::unique_ptr<TTextEncoder>, std::less<>> CachedEncoders;

std::string LowerWithoutDashes(std::string_view name) {
  std::string key;
  for (char c : name) {
    if (c == '-') continue;
    key += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return key;
}

std::string ResolveKey(std::string_view name) {
  std::string key = NormalizeEncodingName(name);
  if (key == "ansi") key = AnsiKeyFromEnvironment();
  if (key.empty()) key = "utf8";
  return key;
}

bool HasConverter(std::string_view key) { return !IconvCharsetOf(key).empty(); }

TTextDecoder& CachedDecoder(const std::string& key) {
  auto it = CachedDecoders.find(key);
  if (it == CachedDecoders.end()) it = CachedDecoders.emplace(key, std::make_unique<TTextDecoder>(key)).first;
  return *it->second;
}

TTextEncoder& CachedEncoder(const std::string& key) {
  auto it = CachedEncoders.find(key);
  if (it == CachedEncoders.end()) it = CachedEncoders.emplace(key, std::make_unique<TTextEncoder>(key)).first;
  return *it->second;
}

}  // namespace

std::string AnsiKeyFromEnvironment() {
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value == nullptr || *value == '\0') continue;
    std::string_view locale = value;
    size_t dot = locale.find('.');
    if (dot == std::string_view::npos) return "ansi";
    std::string_view charset = locale.substr(dot + 1);
    charset = charset.substr(0, charset.find('@'));
    std::string key = LowerWithoutDashes(charset);
    return key.empty() ? "ansi" : key;
  }
  return "ansi";
}

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
    CachedDecoder(from).Decode(text.data(), text.size(), decoded);
    utf8 = decoded;
  }
  if (to == "utf8") return std::string(utf8);
  if (to == "utf8bom") return std::string(kUtf8Bom) + std::string(utf8);
  std::string encoded;
  CachedEncoder(to).Encode(utf8, encoded);
  return encoded;
}

void ReleaseCachedConverters() {
  CachedDecoders.clear();
  CachedEncoders.clear();
}

TTextEncoder::TTextEncoder(std::string_view key) : Key_(NormalizeEncodingName(key)) {
  if (Key_ == "ansi") Key_ = AnsiKeyFromEnvironment();
  if (Key_ == "ucs2le") {
    Mode_ = TMode::Utf16LE;
    return;
  }
  if (Key_ == "ucs2be") {
    Mode_ = TMode::Utf16BE;
    return;
  }
  std::string_view charset = IconvCharsetOf(Key_);
  if (charset.empty() || Key_ == "utf8" || Key_ == "utf8bom") return;
  Cd_ = iconv_open(std::string(charset).c_str(), "UTF-8");
  if (Cd_ == kNoIconv) return;
  Mode_ = TMode::Iconv;
  Fixes_ = MappingFixesOf(charset);
}

TTextEncoder::~TTextEncoder() {
  if (Cd_ != kNoIconv) iconv_close(Cd_);
}

void TTextEncoder::Encode(std::string_view utf8, std::string& out) {
  switch (Mode_) {
    case TMode::Identity:
      out.append(utf8);
      return;
    case TMode::Utf16LE:
    case TMode::Utf16BE:
      EncodeUtf16(reinterpret_cast<const unsigned char*>(utf8.data()), utf8.size(), out);
      return;
    case TMode::Iconv:
      EncodeIconv(utf8, out);
      return;
  }
}

void TTextEncoder::EncodeUtf16(const unsigned char* text, size_t size, std::string& out) const {
  const bool big_endian = Mode_ == TMode::Utf16BE;
  const size_t start = out.size();
  out.resize(start + size * 2);  // no UTF-8 byte yields more than two output bytes
  char* o = out.data() + start;
  auto put = [&o, big_endian](uint32_t unit) {
    char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
    *o++ = big_endian ? high : low;
    *o++ = big_endian ? low : high;
  };
  for (size_t i = 0; i < size;) {
    if (text[i] < 0x80) {
      put(text[i++]);
      continue;
    }
    size_t length = Utf8SequenceLength(text + i, size - i);
    if (length == 0) {  // invalid UTF-8 is left out
      ++i;
      continue;
    }
    uint32_t code = Utf8CodePoint(text + i, length);
    i += length;
    if (code < 0x10000) {
      put(code);
    } else {
      code -= 0x10000;
      put(0xD800 + (code >> 10));
      put(0xDC00 + (code & 0x3FF));
    }
  }
  out.resize(static_cast<size_t>(o - out.data()));
}

void TTextEncoder::EncodeIconv(std::string_view utf8, std::string& out) {
  // None of the supported code pages needs more bytes than UTF-8 does.
  RunIconv(Cd_, utf8.data(), utf8.size(), 1, out,
           [this](const char* rest, size_t left, std::string& text, size_t& used) -> size_t {
             // EILSEQ: a character the target lacks, or invalid UTF-8; EINVAL:
             // UTF-8 cut off at the end. Either way that one sequence (or
             // byte) is left out, unless a mapping fix supplies its byte.
             const unsigned char* bad = reinterpret_cast<const unsigned char*>(rest);
             size_t length = Utf8SequenceLength(bad, left);
             if (length == 0) return 1;
             PutFixedCharacter(Utf8CodePoint(bad, length), text, used);
             return length;
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
