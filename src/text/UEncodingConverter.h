// Encoding the program's UTF-8 text into a named encoding, and the general
// conversion between two named encodings.
#pragma once

#include <iconv.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "text/UCodecBuffer.h"

struct TMappingFix;

// Converts Text from one named encoding into another (display names and keys
// are accepted; "-" and letter case do not matter; an empty name is "utf8").
// "ansi" stands for the character set of the locale as the C library
// reports it (LocaleCharset), in both directions. Equal names return the text unchanged; an empty
// text gives an empty result, or EF BB BF into "utf8bom"; a name without a
// converter ("koi8", "auto detect", a misspelt name) returns the text
// unchanged. Into "utf8bom" the result begins with EF BB BF; from it a
// leading EF BB BF is dropped. Characters the target cannot represent and
// invalid UTF-8 are left out. Never fails. Converters are cached per key
// until ShutDownEncodings.
std::string ConvertEncoding(std::string_view text, std::string_view from_name, std::string_view to_name);

// What an encoder makes of a character its encoding cannot represent and of
// bytes that are not UTF-8.
enum class TUnrepresentable : uint8_t {
  LeftOut,   // both are left out
  Replaced,  // the character is written as "?", each invalid byte as U+FFFD where the encoding has it, else "?"
};

class TDoubleByteEncoder;

// Encodes UTF-8 text into one output encoding, reused for every write of a
// run: the converter is opened once.
//
// "utf8", "utf8bom" and keys without a converter ("koi8", unknown names)
// leave the text as it is (with Replaced, UTF-8 is checked: invalid bytes
// become U+FFFD). "ucs2le"/"ucs2be" write UTF-16 code units, a character
// above U+FFFF as a surrogate pair. Code pages write what they cannot
// represent and invalid UTF-8 as the policy says. "ansi" is the locale's
// character set (LocaleCharset) when the encoder is made. No byte-order
// mark is written: that is the caller's (ByteOrderMarkOf).
class TTextEncoder {
 public:
  explicit TTextEncoder(std::string_view key, TUnrepresentable policy = TUnrepresentable::LeftOut);
  // An encoder for Key that converts every character through iconv, as
  // encoders did before their own tables and loops: the reference the faster
  // paths are tested against.
  static std::unique_ptr<TTextEncoder> ThroughIconv(std::string_view key,
                                                    TUnrepresentable policy = TUnrepresentable::LeftOut);
  TTextEncoder(const TTextEncoder&) = delete;
  TTextEncoder& operator=(const TTextEncoder&) = delete;
  ~TTextEncoder();

  // True when Encode appends the text unchanged.
  bool IsIdentity() const { return Mode_ == TMode::Identity; }
  // True for a single-byte code page that encodes each character through a
  // table on its own (none composes), characters below 0x80 as themselves.
  bool IsByteTable() const { return Mode_ == TMode::Table && AsciiIdentity_ && !Composes_; }
  // True for a code page of one- and two-byte characters encoded through
  // its table (TDoubleByteEncoder).
  bool IsDoubleByteTable() const { return Mode_ == TMode::DoubleByte; }
  // True when the output is UTF-8 that a replacing encoder only checks.
  bool ChecksUtf8() const { return Mode_ == TMode::Utf8; }
  // True for UCS-2LE and UCS-2BE, which encode each character on its own.
  bool IsUtf16() const { return Mode_ == TMode::Utf16LE || Mode_ == TMode::Utf16BE; }
  bool IsBigEndian() const { return Mode_ == TMode::Utf16BE; }
  // True when the encoding has U+FFFD (a Unicode one), which a replacing
  // encoder then writes for invalid UTF-8.
  bool HasReplacementCharacter() const { return HasReplacement_; }

  // The encoded form of Utf8, written into Buffer (whose former contents
  // are dropped) and valid until Buffer is used again; an identity encoder
  // hands back Utf8 itself.
  std::string_view Encode(std::string_view utf8, TCodecBuffer& buffer);
  // Appends the encoded form of Utf8 to Out.
  void Encode(std::string_view utf8, std::string& out);
  // Writes the encoded form of Utf8 into Buffer from offset At on, keeping
  // the bytes before it; returns the offset after it. With Replaced, adds
  // the replacements written to Replaced.
  size_t EncodeInto(std::string_view utf8, TCodecBuffer& buffer, size_t at, size_t& replaced);

 private:
  enum class TMode { Identity, Utf8, Utf16LE, Utf16BE, Table, DoubleByte, Iconv };
  // A byte of the table for a character, or none.
  static constexpr uint16_t kNoByte = 0x100;

  TTextEncoder(std::string_view key, TUnrepresentable policy, bool through_iconv);
  bool BuildTable(std::string_view charset);
  uint16_t ByteOf(uint32_t code) const {
    return code < 0x10000 ? Table_[size_t{PageOf_[code >> 8]} * 256 + (code & 0xFF)] : kNoByte;
  }
  // The encoders of each mode: write at O, with the room each reserves
  // (Utf16 and Utf8 with O reserved by the caller); return the end.
  char* EncodeTable(const unsigned char* text, size_t size, TCodecBuffer& buffer, char* o, size_t& replaced);
  char* EncodeDoubleByte(const unsigned char* text, size_t size, char* o, size_t& replaced) const;
  char* CheckUtf8(const unsigned char* text, size_t size, char* o, size_t& replaced) const;
  // Encodes one Character outside the table of a composing character set
  // through iconv, at O in Buffer, keeping room for Left more input bytes;
  // returns the position after it.
  char* EncodeOutsideTable(std::string_view character, size_t left, TCodecBuffer& buffer, char* o, size_t& replaced);
  void EncodeIconv(std::string_view utf8, std::string& out, size_t& replaced);
  // Writes a character glibc refused but the published table maps; false when
  // there is none for Code.
  bool PutFixedCharacter(uint32_t code, std::string& out, size_t& used) const;

  std::string Key_;
  TMode Mode_ = TMode::Identity;
  bool Replacing_ = false;       // the policy is Replaced
  bool HasReplacement_ = false;  // see HasReplacementCharacter
  std::string InvalidAs_;        // what an invalid byte is written as when replacing
  iconv_t Cd_ = reinterpret_cast<iconv_t>(-1);
  std::span<const TMappingFix> Fixes_;
  TDoubleByteEncoder* DoubleByte_ = nullptr;  // shared, kept by its cache
  // Single-byte character sets: the byte of each character below U+10000 as
  // iconv writes it (or kNoByte), in pages of 256 characters; PageOf_ gives
  // the page of each code >> 8, page 0 being all kNoByte.
  std::unique_ptr<uint16_t[]> Table_;
  uint8_t PageOf_[256] = {};
  bool AsciiIdentity_ = false;  // characters below 0x80 encode to themselves
  bool Composes_ = false;       // characters outside the table still go to iconv
  std::string Scratch_;         // what iconv encodes, before it goes to a buffer
};

// Frees the converters ConvertEncoding keeps (called by ShutDownEncodings).
void ReleaseCachedConverters();
