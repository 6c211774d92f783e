#include "support/ConversionReference.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <random>

#include "text/UEncodingConverter.h"
#include "text/UEncodings.h"

const std::vector<std::string> kConvertedKeys = {"utf8",  "utf8bom", "ucs2le", "ucs2be", "cp1251", "cp1252",
                                                 "cp932", "cp936",   "cp949",  "cp950",  "koi8r"};

namespace {

const iconv_t kNoIconv = reinterpret_cast<iconv_t>(-1);
constexpr uint32_t kUndecodable = 0xFFFFFFFF;

struct TIconv {
  iconv_t Cd;
  TIconv(const char* to, const char* from) : Cd(iconv_open(to, from)) {}
  ~TIconv() {
    if (Cd != kNoIconv) iconv_close(Cd);
  }
};

std::string CharsetOf(std::string_view key) { return std::string(IconvCharsetOf(key)); }
bool IsUtf16(std::string_view key) { return key == "ucs2le" || key == "ucs2be"; }

// The characters of Bytes, kUndecodable for each code unit iconv refuses.
std::vector<uint32_t> Decode(std::string_view bytes, std::string_view key) {
  TIconv iconv_cd("UTF-32LE", CharsetOf(key).c_str());
  const size_t unit = IsUtf16(key) ? 2 : 1;
  std::vector<uint32_t> codes;
  char* in = const_cast<char*>(bytes.data());
  size_t in_left = bytes.size() / unit * unit;
  while (in_left > 0) {
    uint32_t code;
    char* out = reinterpret_cast<char*>(&code);
    size_t out_left = sizeof(code);
    // One character at a time: a full output stops iconv after each.
    const size_t result = iconv(iconv_cd.Cd, &in, &in_left, &out, &out_left);
    if (out_left == 0) {
      codes.push_back(code);
      continue;
    }
    if (result == static_cast<size_t>(-1) && errno != E2BIG) {
      codes.push_back(kUndecodable);
      in += unit;
      in_left -= unit;
      iconv(iconv_cd.Cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  return codes;
}

// Code in Key, or false when iconv refuses it.
bool Encode(iconv_t cd, uint32_t code, std::string& out) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* in = reinterpret_cast<char*>(&code);
  size_t in_left = sizeof(code);
  char buffer[16];
  char* o = buffer;
  size_t out_left = sizeof(buffer);
  if (iconv(cd, &in, &in_left, &o, &out_left) == static_cast<size_t>(-1)) return false;
  iconv(cd, nullptr, nullptr, &o, &out_left);
  out.append(buffer, static_cast<size_t>(o - buffer));
  return true;
}

}  // namespace

TReferenceConversion ConvertThroughIconv(std::string_view bytes, std::string_view source, std::string_view output) {
  TIconv encoder(CharsetOf(output).c_str(), "UTF-32LE");
  TReferenceConversion result;
  for (uint32_t code : Decode(bytes, source)) {
    const bool undecodable = code == kUndecodable;
    if (undecodable) ++result.Replaced;
    if (Encode(encoder.Cd, undecodable ? 0xFFFD : code, result.Bytes)) continue;
    if (!undecodable) ++result.Replaced;
    Encode(encoder.Cd, '?', result.Bytes);
  }
  return result;
}

std::string Difference(const std::string& actual, const std::string& expected) {
  size_t at = 0;
  while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
  if (at == actual.size() && at == expected.size()) return "";
  auto window = [at](const std::string& s) {
    std::string hex;
    for (size_t i = at > 4 ? at - 4 : 0; i < std::min(s.size(), at + 8); ++i) {
      static const char digits[] = "0123456789ABCDEF";
      unsigned char c = static_cast<unsigned char>(s[i]);
      hex += {digits[c >> 4], digits[c & 15], ' '};
    }
    return hex;
  };
  return "first difference at byte " + std::to_string(at) + ": got " + window(actual) + "| expected " +
         window(expected);
}

std::string LineEndIn(std::string_view key, std::string_view end) {
  if (!IsUtf16(key)) return std::string(end);
  std::string units;
  for (char c : end) units += key == "ucs2le" ? std::string{c, '\0'} : std::string{'\0', c};
  return units;
}

std::vector<std::string> SampleLines(std::string_view key, uint32_t seed, size_t count) {
  static const char* const kWords[] = {"Москва", "ёлка",  "Ё",    "déjà", "Grüße",  "naïve",   "€",      "™",
                                       "½",      "Ω",     "…",    "—",    "日本語", "ｶﾀｶﾅ",    "東京",   "〜",
                                       "①",      "中文",  "简体", "繁體", "𠮷",     "😀",       "한국어", "\xEF\xBB\xBF",
                                       "plain",  "words", "1234", ",",    "\"",     "a,\"b\"", " ",      "x"};
  // Bytes of the encoding that decode to no character.
  static const std::pair<const char*, std::vector<std::string>> kUndecodable[] = {
      {"utf8", {"\xC3", "\xFF", "\xED\xA0\x80", "\xE2\x82"}},
      {"utf8bom", {"\xC3", "\xF4\x90\x80\x80"}},
      {"ucs2le", {std::string("\x00\xD8", 2), std::string("\x01\xDC", 2)}},
      {"ucs2be", {std::string("\xD8\x00", 2), std::string("\xDC\x01", 2)}},
      {"cp1251", {"\x98"}},
      {"cp1252", {"\x81", "\x8D"}},
      {"cp932", {"\x81 ", "\x81"}},
      {"cp936", {"\x81 ", "\xFF"}},
      {"cp949", {"\x81 ", "\xFF"}},
      {"cp950", {"\x81 ", "\xFF"}},
  };
  const std::vector<std::string>* undecodable = nullptr;
  for (const auto& [name, bytes] : kUndecodable)
    if (key == name) undecodable = &bytes;
  std::unique_ptr<TTextEncoder> encoder = TTextEncoder::ThroughIconv(key);
  std::mt19937 random(seed);
  std::vector<std::string> lines;
  for (size_t i = 0; i < count; ++i) {
    std::string line;
    if (i % 4 == 1) encoder->Encode("# ", line);
    for (uint32_t n = random() % 12; n > 0; --n) {
      encoder->Encode(kWords[random() % std::size(kWords)], line);
      if (undecodable != nullptr && random() % 9 == 0) line += (*undecodable)[random() % undecodable->size()];
    }
    lines.push_back(line);
  }
  return lines;
}
