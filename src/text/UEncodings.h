// The vocabulary of text encodings: the table of keys and display names, the
// rule that turns any accepted spelling into a key, the decoder kind used for
// reading, the byte-order marks and the platform converter's name per key.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

struct TEncodingName {
  std::string Key;          // lower case, no "-": "utf8", "cp1251", "ucs2le"
  std::string DisplayName;  // as users see it: "CP1251 (Cyrillic)"
};

// The 28 encodings in table order. Built on first use or by StartUpEncodings.
const std::vector<TEncodingName>& EncodingNames();
// Module start-up: builds the table.
void StartUpEncodings();
// Module shutdown: releases the table and the converters cached by
// ConvertEncoding. Later calls rebuild what they need.
void ShutDownEncodings();

// Display name or key to key: the text before the first " (", ASCII lower
// case, every "-" removed. "Auto Detect" gives "auto detect", which is no key.
std::string NormalizeEncodingName(std::string_view name);
// The display name of Key (letter case ignored); Key itself when not listed.
std::string DisplayNameOf(std::string_view key);

// A name that other tools and users give a character set of the table.
struct TEncodingAlias {
  std::string_view Name;  // "windows-1251", "Shift_JIS"
  std::string_view Key;   // "cp1251"; empty for UTF-16 in no byte order of its own
};
// Every alias, in the order the manual page lists them.
std::span<const TEncodingAlias> EncodingAliases();
// The key an alias stands for, letter case, "-", "_" and spaces ignored
// ("WINDOWS 1251" is "cp1251"); empty when Name is no alias. UTF-16, UCS-2
// and Unicode take the byte order of MarkKey, the key of the source's
// byte-order mark: "ucs2be" for "ucs2be", "ucs2le" for anything else.
std::string KeyOfEncodingAlias(std::string_view name, std::string_view mark_key);

// True when Key (normalised) names an encoding: a key of the table, or one
// the conversion knows besides them ("koi8r").
bool IsKnownEncodingKey(std::string_view key);
// The key a task's encoding name stands for: an alias's (KeyOfEncodingAlias,
// with MarkKey), else the name normalised; empty when that names no
// encoding (IsKnownEncodingKey).
std::string EncodingKeyOf(std::string_view name, std::string_view mark_key = {});
// True when Name names an encoding the program can read: a display name or
// key of the table, an alias, or a name the conversion knows besides them
// ("KOI8-R"). The empty name and "Auto Detect" are no encoding's.
bool IsKnownEncodingName(std::string_view name);

enum class TDecoderKind { Utf8, Utf16BE, Utf16LE, Locale };
// The decoder kind the reader uses for a name (normalised first). Code pages
// and unknown names read with the UTF-8 kind and are converted from there.
TDecoderKind DecoderFor(std::string_view name);

// The byte-order mark a piece in encoding Key begins with; empty for most.
std::string_view ByteOrderMarkOf(std::string_view key);
// CR LF in encoding Key: four bytes in UCS-2LE and UCS-2BE, else two.
std::string_view CrLfOf(std::string_view key);

// The glibc iconv name of the character set behind a key ("cp850" ->
// "IBM850"); empty when the key has no converter ("koi8", "ansi", unknown
// names). Besides the table's keys, "koi8r", "koi8u" and "koi8ru" are known.
std::string_view IconvCharsetOf(std::string_view key);
