// What converting text between two encodings must give: glibc's iconv, one
// character at a time, with the replacements the program makes where iconv
// refuses. The transcoder and converting splits are held to it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The encodings every pair of which must convert.
extern const std::vector<std::string> kConvertedKeys;

struct TReferenceConversion {
  std::string Bytes;
  int64_t Replaced = 0;
};

// Bytes in the encoding Source (a key), decoded by iconv: a code unit iconv
// refuses (one byte, two in UTF-16) stands for U+FFFD; then encoded into
// Output character by character: a character iconv refuses is "?", U+FFFD
// for refused input is "?" where Output lacks it too. Each is one
// replacement.
TReferenceConversion ConvertThroughIconv(std::string_view bytes, std::string_view source, std::string_view output);

// Lines of text in Key (without line ends): characters of many scripts, as
// far as Key has them, double quotes, a line in every fourth that starts with
// "#", and bytes that do not decode in Key (unless every byte does). Seed
// varies them.
std::vector<std::string> SampleLines(std::string_view key, uint32_t seed, size_t count);

// "" when equal, else where and how the texts part (in hex).
std::string Difference(const std::string& actual, const std::string& expected);

// CR LF, LF or CR in Key.
std::string LineEndIn(std::string_view key, std::string_view end);
