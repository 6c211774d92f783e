// Small stateless operations on byte strings holding UTF-8. Positions and
// counts are in bytes; every comparison is case-sensitive unless its name
// says otherwise.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Strips leading and trailing bytes up to 0x20 (blanks and control characters).
std::string_view TrimView(std::string_view text);
std::string Trim(std::string_view text);

// Parts := Text (trimmed) cut at every Delimiter; always at least one entry,
// empty entries kept.
void SplitText(std::string_view text, std::string_view delimiter, std::vector<std::string>& parts);

// True when Part occurs in Text; an empty Part gives false.
bool ContainsText(std::string_view text, std::string_view part);
// The text after / before the first Delimiter; empty when it does not occur.
std::string TextAfter(std::string_view text, std::string_view delimiter);
std::string TextBefore(std::string_view text, std::string_view delimiter);
// The last Count bytes (the whole text when Count >= its length).
std::string RightText(std::string_view text, int32_t count);
// The text without its last Count bytes (empty when Count >= its length).
std::string DropRight(std::string_view text, int32_t count);

// ASCII-only case mapping: letters outside a-z / A-Z stay as they are.
std::string AsciiLower(std::string_view text);
std::string AsciiUpper(std::string_view text);
bool SameTextAscii(std::string_view a, std::string_view b);
// ASCII lower case without "-", "_" and spaces: the form in which names that
// people spell in many ways are compared ("Start With", "start-with").
std::string LooseForm(std::string_view text);

// Parses a whole decimal integer, optionally signed; false when the text is
// not an integer or does not fit the type.
bool TryParseInt64(std::string_view text, int64_t& value);
bool TryParseInt32(std::string_view text, int32_t& value);
