// Decoding the double-byte code pages (CP932, CP936, CP949, CP950 and
// locale character sets like them) through a table instead of iconv.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "text/UUtf8.h"
#include "text/simd/UPairBlockDecoder.h"

// How every character of a character set of one- and two-byte characters
// decodes, probed from glibc's iconv once per character set.
//
// Decoding gives what iconv gives for the same bytes, with undecodable input
// rendered as the reader renders it everywhere: a byte that starts no valid
// character becomes U+FFFD and decoding goes on at the next byte (so a line
// end after a lone lead byte survives); a pair that iconv takes whole and
// refuses becomes one U+FFFD. Each character decodes on its own, so the
// text of a line is the same whether the line is decoded alone or within
// its block.
class TDoubleByteTable {
 public:
  // The table of Charset (an iconv name), built on first use and kept until
  // ReleaseDoubleByteTables; null when iconv lacks the character set or it
  // is not made of one- and two-byte characters that decode on their own.
  static const TDoubleByteTable* Of(std::string_view charset);

  // Most bytes of UTF-8 one input byte can yield; room at the output is
  // MaxGrowth x Size + kSlack bytes.
  static constexpr size_t kMaxGrowth = 3;
  static constexpr size_t kSlack = 64;
  // Writes the UTF-8 of the Size bytes at Data at O; returns its end. Adds
  // the U+FFFD that stand for undecodable input to Replaced.
  char* Decode(const unsigned char* data, size_t size, char* o, size_t& replaced) const;
  // Bytes below 0x80 decode to themselves.
  bool AsciiIdentity() const { return AsciiIdentity_; }
  // Decodes whole characters from the start of the Size bytes at Data until
  // at least Count bytes are written or the input ends; returns the end.
  char* DecodeHead(const unsigned char* data, size_t size, size_t count, char* o) const;
  // The offset of the last character that begins at or before Limit (<
  // Size) in the Size bytes at Data, which begin with a character: the text
  // before it decodes as it does within the whole.
  size_t CharacterStartBefore(const unsigned char* data, size_t size, size_t limit) const;
  // Calls Visit(code, bytes, length) for every character a byte or a pair
  // decodes to (U+FFFD for undecodable input aside).
  template <class TVisit>
  void ForEachCharacter(TVisit visit) const;

 private:
  friend class TDoubleByteEncoder;
  // UTF-8 of one character; Length 0 in a pair entry: the lead byte is
  // undecodable before that trail byte.
  struct TEntry {
    char Bytes[3];
    uint8_t Length;
  };
  TDoubleByteTable() = default;
  bool Build(std::string_view charset);
  // The decoder of whole blocks, once Size and the bytes decoded before
  // repay its table (256 KiB); null before and where the processor cannot
  // run it.
  const TPairBlockDecoder* Blocks(size_t size) const;
  // The entries of single bytes; numbers the lead bytes in LeadIndex_ and
  // counts them in Leads. Cd is an iconv descriptor to UTF-8.
  bool BuildSingles(void* cd, const TEntry& replacement, size_t& leads);
  // The entries of every lead byte followed by every byte.
  bool BuildPairs(void* cd, const TEntry& replacement, size_t leads);
  // Decodes the character at Data[I] (I < Size), writing at O; returns the
  // input position after it.
  size_t DecodeOne(const unsigned char* data, size_t size, size_t i, char*& o, size_t& replaced) const {
    const unsigned char byte = data[i];
    const uint8_t lead = LeadIndex_[byte];
    if (lead == kNotLead) {
      Put(Single_[byte], o, replaced);
      return i + 1;
    }
    if (i + 1 < size) {
      const TEntry& pair = Pairs_[size_t{lead} * 256 + data[i + 1]];
      if (pair.Length != 0) {
        Put(pair, o, replaced);
        return i + 2;
      }
    }
    Put(Single_[byte], o, replaced);  // U+FFFD
    return i + 1;
  }
  // The entry is stored whole, its length byte too, in one store: the room
  // at O has slack for it.
  static void Put(const TEntry& entry, char*& o, size_t& replaced) {
    uint32_t word;
    std::memcpy(&word, &entry, sizeof(word));
    std::memcpy(o, &word, sizeof(word));
    o += entry.Length;
    // No character of these sets is U+FFFD: every one stands for undecodable input.
    replaced += word == kReplacementWord;
  }
  static_assert(sizeof(TEntry) == 4);

  static constexpr uint8_t kNotLead = 0xFF;
  // An entry of U+FFFD as it lies in memory.
  static const uint32_t kReplacementWord;
  TEntry Single_[256];      // lead bytes hold U+FFFD
  uint8_t LeadIndex_[256];  // row of a lead byte in Pairs_
  std::unique_ptr<TEntry[]> Pairs_;
  bool AsciiIdentity_ = false;  // bytes below 0x80 decode to themselves
  mutable std::unique_ptr<TPairBlockDecoder> Blocks_;
  mutable bool BlocksTried_ = false;
  mutable size_t Decoded_ = 0;
};

template <class TVisit>
void TDoubleByteTable::ForEachCharacter(TVisit visit) const {
  auto visit_entry = [&](const TEntry& entry, const unsigned char* bytes, size_t length) {
    uint32_t word;
    std::memcpy(&word, &entry, sizeof(word));
    if (entry.Length == 0 || word == kReplacementWord) return;
    size_t utf8_length = entry.Length;
    visit(Utf8CodePoint(reinterpret_cast<const unsigned char*>(entry.Bytes), utf8_length), bytes, length);
  };
  for (int byte = 0; byte < 256; ++byte) {
    const unsigned char single = static_cast<unsigned char>(byte);
    if (LeadIndex_[byte] == kNotLead) {
      visit_entry(Single_[byte], &single, 1);
      continue;
    }
    for (int trail = 0; trail < 256; ++trail) {
      const unsigned char pair[2] = {single, static_cast<unsigned char>(trail)};
      visit_entry(Pairs_[size_t{LeadIndex_[byte]} * 256 + static_cast<size_t>(trail)], pair, 2);
    }
  }
}

// How every character encodes into a character set of one- and two-byte
// characters, as glibc's iconv encodes it: the decoding table turned around,
// each character written as iconv writes it (where several byte sequences
// decode to one character, iconv picks one), and characters that no
// sequence decodes to asked of iconv when first met.
class TDoubleByteEncoder {
 public:
  // The encoder of Charset (an iconv name), built on first use from its
  // TDoubleByteTable and kept until ReleaseDoubleByteTables; null when there
  // is no such table or iconv cannot encode into the character set.
  static TDoubleByteEncoder* Of(std::string_view charset);
  TDoubleByteEncoder(const TDoubleByteEncoder&) = delete;
  TDoubleByteEncoder& operator=(const TDoubleByteEncoder&) = delete;
  ~TDoubleByteEncoder();

  // Room Put needs at O: no character below U+0080 takes more than two
  // bytes, none other more than four.
  static constexpr size_t kMaxLength = 4;
  // Characters below 0x80 are written as themselves.
  bool AsciiIdentity() const { return AsciiIdentity_; }
  // Writes the bytes of Code at O; returns the end, or null when the
  // character set lacks Code.
  char* Put(uint32_t code, char* o) {
    if (code < 0x10000) [[likely]] {
      const uint16_t bytes = Codes_[code];
      if (bytes < 0x100) {
        *o = static_cast<char>(bytes);
        return o + 1;
      }
      if (bytes < kLong) {
        o[0] = static_cast<char>(bytes >> 8);
        o[1] = static_cast<char>(bytes & 0xFF);
        return o + 2;
      }
      if (bytes == kNone) return nullptr;
    }
    return PutRare(code, o);
  }

 private:
  // Codes_ values besides bytes: a pair's lead byte is 0x80 or more and never
  // 0xFF, so these are no pair.
  static constexpr uint16_t kLong = 0xFFFD;     // iconv writes more than two bytes: asked each time
  static constexpr uint16_t kNone = 0xFFFE;     // the character set lacks it
  static constexpr uint16_t kUnknown = 0xFFFF;  // not asked yet

  TDoubleByteEncoder() = default;
  bool Build(const TDoubleByteTable& table);
  // Iconv's bytes for Code into Asked_; false when it refuses Code or writes
  // more than kMaxLength bytes.
  bool Ask(uint32_t code);
  // What Codes_ holds for Code once asked.
  uint16_t Entry(bool encoded) const;
  char* PutRare(uint32_t code, char* o);

  std::unique_ptr<uint16_t[]> Codes_;  // the bytes of each character below U+10000, or one of the above
  void* Cd_ = nullptr;                 // iconv from UTF-8 into the character set
  bool AsciiIdentity_ = false;
  std::string Asked_;  // what iconv wrote when asked last
};

// Frees the tables built so far (module shutdown).
void ReleaseDoubleByteTables();
