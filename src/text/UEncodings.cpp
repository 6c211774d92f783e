#include "text/UEncodings.h"

#include <memory>

#include "text/UDoubleByteTable.h"
#include "text/UEncodingConverter.h"
#include "util/UTextUtils.h"

namespace {

std::unique_ptr<std::vector<TEncodingName>> Names;

struct TCharset {
  std::string_view Key;
  std::string_view IconvName;
};

// "koi8" is deliberately absent: it names no particular KOI8 variant, so its
// bytes pass through untouched. "ansi" depends on the environment and is
// resolved by its users.
constexpr TCharset Charsets[] = {
    {"utf8", "UTF-8"},          {"utf8bom", "UTF-8"},       {"cp1250", "CP1250"},         {"cp1251", "CP1251"},
    {"cp1252", "CP1252"},       {"cp1253", "CP1253"},       {"cp1254", "CP1254"},         {"cp1255", "CP1255"},
    {"cp1256", "CP1256"},       {"cp1257", "CP1257"},       {"cp1258", "CP1258"},         {"cp437", "IBM437"},
    {"cp850", "IBM850"},        {"cp852", "IBM852"},        {"cp866", "IBM866"},          {"cp874", "CP874"},
    {"cp932", "CP932"},         {"cp936", "CP936"},         {"cp949", "CP949"},           {"cp950", "CP950"},
    {"iso88591", "ISO-8859-1"}, {"iso88592", "ISO-8859-2"}, {"iso885915", "ISO-8859-15"}, {"macintosh", "MACINTOSH"},
    {"ucs2le", "UTF-16LE"},     {"ucs2be", "UTF-16BE"},     {"koi8r", "KOI8-R"},          {"koi8u", "KOI8-U"},
    {"koi8ru", "KOI8-RU"},
};

// The names iconv and most other tools use for the table's character sets.
constexpr TEncodingAlias Aliases[] = {
    {"UTF-16LE", "ucs2le"},
    {"UTF-16BE", "ucs2be"},
    {"UTF-16", ""},
    {"UCS-2", ""},
    {"Unicode", ""},
    {"windows-1250", "cp1250"},
    {"windows-1251", "cp1251"},
    {"windows-1252", "cp1252"},
    {"windows-1253", "cp1253"},
    {"windows-1254", "cp1254"},
    {"windows-1255", "cp1255"},
    {"windows-1256", "cp1256"},
    {"windows-1257", "cp1257"},
    {"windows-1258", "cp1258"},
    {"windows-874", "cp874"},
    {"IBM437", "cp437"},
    {"IBM850", "cp850"},
    {"IBM852", "cp852"},
    {"IBM866", "cp866"},
    {"Shift_JIS", "cp932"},
    {"SJIS", "cp932"},
    {"MS932", "cp932"},
    {"Windows-31J", "cp932"},
    {"GBK", "cp936"},
    {"GB2312", "cp936"},
    {"EUC-CN", "cp936"},
    {"MS936", "cp936"},
    {"Big5", "cp950"},
    {"MS950", "cp950"},
    {"EUC-KR", "cp949"},
    {"UHC", "cp949"},
    {"MS949", "cp949"},
    {"ISO-8859-1", "iso88591"},
    {"Latin1", "iso88591"},
    {"ISO-8859-2", "iso88592"},
    {"Latin2", "iso88592"},
    {"ISO-8859-15", "iso885915"},
    {"Latin9", "iso885915"},
    {"MacRoman", "macintosh"},
    {"US-ASCII", "utf8"},
    {"ASCII", "utf8"},
};

}  // namespace

void StartUpEncodings() {
  if (Names) return;
  Names = std::make_unique<std::vector<TEncodingName>>(std::vector<TEncodingName>{
      {"utf8", "UTF-8"},
      {"utf8bom", "UTF-8BOM"},
      {"ansi", "ANSI"},
      {"cp1250", "CP1250 (Central European)"},
      {"cp1251", "CP1251 (Cyrillic)"},
      {"cp1252", "CP1252 (Western European)"},
      {"cp1253", "CP1253 (Greek)"},
      {"cp1254", "CP1254 (Turkish )"},
      {"cp1255", "CP1255 (Hebrew)"},
      {"cp1256", "CP1256 (Arabic)"},
      {"cp1257", "CP1257 (Baltic)"},
      {"cp1258", "CP1258 (Vietnamese)"},
      {"cp437", "CP437 (United States)"},
      {"cp850", "CP850 (Western European)"},
      {"cp852", "CP852 (Central European)"},
      {"cp866", "CP866 (Cyrillic)"},
      {"cp874", "CP874 (Thai)"},
      {"cp932", "CP932 (Japanese)"},
      {"cp936", "CP936 (Chinese Simplified)"},
      {"cp949", "CP949 (Korean)"},
      {"cp950", "CP950 (Chinese Traditional)"},
      {"iso88591", "ISO-8859-1 (Western European)"},
      {"iso88592", "ISO-8859-2 (Central European)"},
      {"iso885915", "ISO-8859-15 (Latin 9)"},
      {"koi8", "KOI-8 (Cyrillic)"},
      {"macintosh", "Macintosh (Western European)"},
      {"ucs2le", "UCS-2LE (Unicode Little Endian)"},
      {"ucs2be", "UCS-2BE (Unicode Big Endian)"},
  });
}

void ShutDownEncodings() {
  ReleaseCachedConverters();
  ReleaseDoubleByteTables();
  Names.reset();
}

const std::vector<TEncodingName>& EncodingNames() {
  StartUpEncodings();
  return *Names;
}

std::string NormalizeEncodingName(std::string_view name) {
  size_t paren = name.find(" (");
  if (paren != std::string_view::npos) name = name.substr(0, paren);
  std::string key;
  key.reserve(name.size());
  for (char c : name) {
    if (c == '-') continue;
    key += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return key;
}

std::string DisplayNameOf(std::string_view key) {
  for (const TEncodingName& entry : EncodingNames())
    if (SameTextAscii(entry.Key, key)) return entry.DisplayName;
  return std::string(key);
}

std::span<const TEncodingAlias> EncodingAliases() { return Aliases; }

std::string KeyOfEncodingAlias(std::string_view name, std::string_view mark_key) {
  const std::string form = LooseForm(name);
  for (const TEncodingAlias& alias : Aliases) {
    if (LooseForm(alias.Name) != form) continue;
    if (!alias.Key.empty()) return std::string(alias.Key);
    return mark_key == "ucs2be" ? "ucs2be" : "ucs2le";
  }
  return {};
}

bool IsKnownEncodingKey(std::string_view key) {
  for (const TEncodingName& name : EncodingNames())
    if (name.Key == key) return true;
  return !IconvCharsetOf(key).empty();
}

std::string EncodingKeyOf(std::string_view name, std::string_view mark_key) {
  std::string key = KeyOfEncodingAlias(name, mark_key);
  if (key.empty()) key = NormalizeEncodingName(name);
  return IsKnownEncodingKey(key) ? key : std::string();
}

bool IsKnownEncodingName(std::string_view name) { return !EncodingKeyOf(name).empty(); }

TDecoderKind DecoderFor(std::string_view name) {
  std::string key = NormalizeEncodingName(name);
  if (key == "ucs2be") return TDecoderKind::Utf16BE;
  if (key == "ucs2le") return TDecoderKind::Utf16LE;
  if (key == "ansi") return TDecoderKind::Locale;
  return TDecoderKind::Utf8;
}

std::string_view ByteOrderMarkOf(std::string_view key) {
  if (key == "utf8bom") return "\xEF\xBB\xBF";
  if (key == "ucs2le") return "\xFF\xFE";
  if (key == "ucs2be") return "\xFE\xFF";
  return {};
}

std::string_view CrLfOf(std::string_view key) {
  if (key == "ucs2le") return std::string_view("\r\0\n\0", 4);
  if (key == "ucs2be") return std::string_view("\0\r\0\n", 4);
  return "\r\n";
}

std::string_view IconvCharsetOf(std::string_view key) {
  for (const TCharset& charset : Charsets)
    if (charset.Key == key) return charset.IconvName;
  return {};
}
