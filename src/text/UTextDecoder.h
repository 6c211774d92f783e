// Decoding source bytes into the program's UTF-8 text.
#pragma once

#include <iconv.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "text/UCodecBuffer.h"

class TByteBlockDecoder;
class TByteRowDecoder;
class TDoubleByteTable;

// Turns the bytes of one encoding into UTF-8. One decoder is made per source
// (or cached per key by ConvertEncoding) and reused for every block.
//
// Decode is stateless across calls: the reader hands it blocks that end
// after a line end, where no character of any supported encoding can be
// split, so decoding block by block equals decoding the whole text at once.
//
// Rendering of input that does not decode:
// - UTF-8 sources pass through byte for byte, invalid sequences included, so
//   a UTF-8 to UTF-8 split loses nothing.
// - UTF-16: an unpaired surrogate becomes U+FFFD; a last odd byte is ignored.
// - Code pages: every byte that starts no valid character becomes U+FFFD and
//   decoding resumes at the next byte, so line ends after it survive.
// - Single-byte code pages decode one byte to one character, as the
//   published tables define them (no combining of base letter and accent).
class TTextDecoder {
 public:
  // The decoder the reader uses for a source named Name (display name or
  // key): UTF-16 for "ucs2le"/"ucs2be", the locale's character set for
  // "ansi", the code page for a code-page key; UTF-8 names and names without
  // a converter ("koi8", unknown names) pass bytes through.
  explicit TTextDecoder(std::string_view name);
  // A decoder for a glibc iconv character-set name. UTF-8 and ASCII, and
  // names iconv does not know, pass bytes through.
  static std::unique_ptr<TTextDecoder> ForCharset(std::string_view charset);
  // A decoder for Charset that decodes every character through iconv, as
  // code pages were decoded before their tables: the reference the tables
  // are tested against.
  static std::unique_ptr<TTextDecoder> ThroughIconv(std::string_view charset);
  TTextDecoder(const TTextDecoder&) = delete;
  TTextDecoder& operator=(const TTextDecoder&) = delete;
  ~TTextDecoder();

  // True when Decode would hand the bytes back unchanged; callers then use
  // the bytes themselves and skip the copy.
  bool IsPassThrough() const { return Mode_ == TMode::PassThrough; }
  // True for a single-byte code page decoded through a table in which
  // bytes below 0x80 stand for themselves.
  bool IsByteTable() const { return Mode_ == TMode::Table && AsciiIdentity_; }
  // True for a code page of one- and two-byte characters decoded through
  // its table (TDoubleByteTable). Builds the table if it is not yet built.
  bool IsDoubleByteTable() {
    ResolvePending();
    return Mode_ == TMode::DoubleByte;
  }
  // True when every code unit below 0x80 that starts a character decodes to
  // that ASCII character (for UTF-16, the unit's value). Builds the table if
  // it is not yet built.
  bool KeepsAscii();
  // Bytes per code unit of the source: 2 for UTF-16, else 1.
  size_t CodeUnitSize() const { return IsUtf16() ? 2 : 1; }
  bool IsUtf16() const { return Mode_ == TMode::Utf16LE || Mode_ == TMode::Utf16BE; }
  bool IsBigEndian() const { return Mode_ == TMode::Utf16BE; }
  // True when the name has a character set that this machine's iconv
  // cannot open; such a decoder passes bytes through.
  bool ConverterMissing() const { return ConverterMissing_; }

  // The UTF-8 text of Size bytes at Data, written into Buffer (whose former
  // contents are dropped) and valid until Buffer is used again; a decoder
  // that passes through hands back the bytes themselves.
  std::string_view Decode(const char* data, size_t size, TCodecBuffer& buffer);
  // Writes the UTF-8 text of Size bytes at Data into Buffer from offset At
  // on, keeping the bytes before it; returns the offset after the text. Adds
  // to Replaced how many U+FFFD stand for input that did not decode (a byte,
  // a refused pair, an unpaired surrogate). A decoder that passes through
  // copies the bytes.
  size_t DecodeInto(const char* data, size_t size, TCodecBuffer& buffer, size_t at, size_t& replaced);
  // Appends the UTF-8 text of Size bytes at Data to Out.
  void Decode(const char* data, size_t size, std::string& out);
  // The first (with Tail, last) Count bytes of what Decode gives for the
  // Size bytes at Data, all of it when shorter, decoding no more of the
  // input than those need where the encoding allows: a rule that compares
  // the head or tail of a line with a symbol looks at a few characters.
  std::string_view DecodeEdge(const char* data, size_t size, size_t count, bool tail, TCodecBuffer& buffer);
  // The start of the last character that begins at or before Limit (below
  // Size) in the Size bytes at Data, which begin with a character: the bytes
  // before it decode as they do within the whole, and so do the bytes from
  // it on. 0 when the decoder cannot tell (iconv).
  size_t CharacterStartBefore(const char* data, size_t size, size_t limit);
  // The length of the shortest head of the Size bytes at Data, 8 bytes at
  // most, that decodes to U+FEFF alone; 0 when none does.
  size_t ByteOrderMarkLength(const char* data, size_t size);

 private:
  // Pending: a code page that has no byte table; its table of pairs
  // (DoubleByte) or iconv (Iconv, when it has none) is settled by the first
  // call that decodes.
  enum class TMode { PassThrough, Utf16LE, Utf16BE, Table, DoubleByte, Iconv, Pending };
  struct TTableEntry {
    char Bytes[8];
    uint8_t Length;
    uint8_t Invalid;  // 1: the byte does not decode, Bytes hold U+FFFD
  };
  TTextDecoder() = default;
  void InitCharset(std::string_view charset, bool through_iconv = false);
  bool BuildTable(std::string_view charset);
  void ResolvePending() {
    if (Mode_ == TMode::Pending) [[unlikely]]
      Resolve();
  }
  void Resolve();
  // Writes the text at O, which has room for MaxLength_ bytes per byte and
  // 8 more; returns the end.
  char* DecodeTable(const unsigned char* data, size_t size, char* o, size_t& replaced) const;
  void DecodeIconv(const char* data, size_t size, std::string& out, size_t& replaced);
  // Room Decode needs for Size bytes of input (iconv aside).
  size_t MaxDecoded(size_t size) const;

  TMode Mode_ = TMode::PassThrough;
  std::unique_ptr<TTableEntry[]> Table_;
  // The table again where no character takes more than three bytes, packed
  // as DecodePackedBytes takes it. Empty otherwise.
  std::unique_ptr<uint32_t[]> Packed_;
  // Its decoder sixteen bytes at a time, where the processor has one.
  std::unique_ptr<TByteRowDecoder> Rows_;
  std::unique_ptr<TByteBlockDecoder> Blocks_;
  const TDoubleByteTable* DoubleByte_ = nullptr;  // shared, kept by its cache
  size_t MaxLength_ = 1;                          // longest table entry
  bool AsciiIdentity_ = false;                    // bytes below 0x80 decode to themselves
  bool ConverterMissing_ = false;
  iconv_t Cd_ = reinterpret_cast<iconv_t>(-1);
  std::string IconvText_;  // what iconv decodes, before it goes to a buffer
  std::string Charset_;    // the iconv name, while Mode_ is Pending
};

// How glibc's iconv decodes each byte of a single-byte character set alone,
// before any mapping fix. Null when iconv lacks the character set or one of
// its bytes starts a multi-byte character.
struct TByteCharacters {
  struct TEntry {
    char Bytes[8];  // UTF-8; U+FFFD for a byte iconv refuses
    uint8_t Length;
    bool Defined;  // false: iconv refuses the byte
  };
  TEntry Entries[256];
  // glibc holds some letters back to combine them with an accent that may
  // follow; its encoder for such a character set also writes precomposed
  // letters the set lacks as letter and accent.
  bool Composes = false;
};
std::unique_ptr<TByteCharacters> ProbeByteCharacters(std::string_view charset);

// The character set of the environment's locale as the C library names it
// ("UTF-8", "ANSI_X3.4-1968"), from LC_ALL, LC_CTYPE and LANG as the C
// library takes them; empty when that locale is not installed. The
// process's own locale is left alone. "ansi" stands for this character set
// when reading and when writing alike.
std::string LocaleCharset();

// Character sets whose bytes are UTF-8 text already (an empty name too);
// they pass bytes through.
bool IsUtf8Compatible(std::string_view charset);

// Where glibc's table for a single-byte character set departs from the
// character set's published table, the published mapping; decoding and
// encoding both apply it, so text round-trips.
struct TMappingFix {
  unsigned char Byte;
  uint32_t Code;
};
std::span<const TMappingFix> MappingFixesOf(std::string_view iconv_charset);

// Runs iconv over Data, appending to Out (Growth output bytes reserved per
// input byte). At an invalid or cut-off input sequence OnInvalid is called
// with the rest of the input; it may append to Out at Used and returns how
// many input bytes to skip (at least 1).
using TIconvInvalid = std::function<size_t(const char* rest, size_t left, std::string& out, size_t& used)>;
void RunIconv(iconv_t cd, const char* data, size_t size, size_t growth, std::string& out,
              const TIconvInvalid& on_invalid);
