// Encoding the program's UTF-8 text into a named encoding, and the general
// conversion between two named encodings.
#pragma once

#include <iconv.h>

#include <span>
#include <string>
#include <string_view>

struct TMappingFix;

// Converts Text from one named encoding into another (display names and keys
// are accepted; "-" and letter case do not matter; an empty name is "utf8").
// "ansi" stands for the character set named by the environment
// (AnsiKeyFromEnvironment). Equal names return the text unchanged; an empty
// text gives an empty result, or EF BB BF into "utf8bom"; a name without a
// converter ("koi8", "auto detect", a misspelt name) returns the text
// unchanged. Into "utf8bom" the result begins with EF BB BF; from it a
// leading EF BB BF is dropped. Characters the target cannot represent and
// invalid UTF-8 are left out. Never fails. Converters are cached per key
// until ShutDownEncodings.
std::string ConvertEncoding(std::string_view text, std::string_view from_name, std::string_view to_name);

// The key "ansi" stands for when writing: the value of the first of LC_ALL,
// LC_MESSAGES and LANG that is set and not empty, its text after the first
// "." (without an "@modifier"), lower case without "-"; "ansi" itself when
// there is no such text.
std::string AnsiKeyFromEnvironment();

// Encodes UTF-8 text into one output encoding, reused for every write of a
// run: the converter is opened once.
//
// "utf8", "utf8bom" and keys without a converter ("koi8", unknown names)
// leave the text as it is. "ucs2le"/"ucs2be" write UTF-16 code units, a
// character above U+FFFF as a surrogate pair. Code pages leave out every
// character they cannot represent and every byte of invalid UTF-8. "ansi" is
// resolved through the environment when the encoder is made. No byte-order
// mark is written: that is the caller's (ByteOrderMarkOf).
class TTextEncoder {
 public:
  explicit TTextEncoder(std::string_view key);
  TTextEncoder(const TTextEncoder&) = delete;
  TTextEncoder& operator=(const TTextEncoder&) = delete;
  ~TTextEncoder();

  // True when Encode appends the text unchanged.
  bool IsIdentity() const { return Mode_ == TMode::Identity; }
  // The key the encoder writes ("ansi" resolved).
  const std::string& Key() const { return Key_; }

  // Appends the encoded form of Utf8 to Out.
  void Encode(std::string_view utf8, std::string& out);

 private:
  enum class TMode { Identity, Utf16LE, Utf16BE, Iconv };
  void EncodeUtf16(const unsigned char* text, size_t size, std::string& out) const;
  void EncodeIconv(std::string_view utf8, std::string& out);
  // Writes a character glibc refused but the published table maps; false when
  // there is none for Code.
  bool PutFixedCharacter(uint32_t code, std::string& out, size_t& used) const;

  std::string Key_;
  TMode Mode_ = TMode::Identity;
  iconv_t Cd_ = reinterpret_cast<iconv_t>(-1);
  std::span<const TMappingFix> Fixes_;
};

// Frees the converters ConvertEncoding keeps (called by ShutDownEncodings).
void ReleaseCachedConverters();
