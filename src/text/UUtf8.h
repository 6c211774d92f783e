// Small UTF-8 primitives shared by the decoders and encoders.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// U+FFFD, what undecodable input becomes.
inline constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";

// The length of the well-formed UTF-8 sequence that starts at Text (1 to 4),
// or 0 when the bytes there are not one (a stray continuation byte, an
// overlong form, a surrogate, a value above U+10FFFF, or a sequence cut off by
// the end of the Available bytes).
size_t Utf8SequenceLength(const unsigned char* text, size_t available);

// The code point of a sequence that Utf8SequenceLength accepted with Length.
uint32_t Utf8CodePoint(const unsigned char* text, size_t length);

// Writes Code (at most U+10FFFF, no surrogate) as UTF-8 at Out; returns the
// position after it. Out must have room for 4 bytes.
char* PutUtf8(uint32_t code, char* out);
