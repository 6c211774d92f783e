// Decoding the double-byte code pages (CP932, CP936, CP949, CP950 and
// locale character sets like them) through a table instead of iconv.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

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
  static constexpr size_t kSlack = 16;
  // Writes the UTF-8 of the Size bytes at Data at O; returns its end.
  char* Decode(const unsigned char* data, size_t size, char* o) const;
  // Decodes whole characters from the start of the Size bytes at Data until
  // at least Count bytes are written or the input ends; returns the end.
  char* DecodeHead(const unsigned char* data, size_t size, size_t count, char* o) const;

 private:
  // UTF-8 of one character; Length 0 in a pair entry: the lead byte is
  // undecodable before that trail byte.
  struct TEntry {
    char Bytes[3];
    uint8_t Length;
  };
  TDoubleByteTable() = default;
  bool Build(std::string_view charset);
  // The entries of single bytes; numbers the lead bytes in LeadIndex_ and
  // counts them in Leads. Cd is an iconv descriptor to UTF-8.
  bool BuildSingles(void* cd, const TEntry& replacement, size_t& leads);
  // The entries of every lead byte followed by every byte.
  bool BuildPairs(void* cd, const TEntry& replacement, size_t leads);
  // Decodes the character at Data[I] (I < Size), writing at O; returns the
  // input position after it.
  size_t DecodeOne(const unsigned char* data, size_t size, size_t i, char*& o) const {
    const unsigned char byte = data[i];
    const uint8_t lead = LeadIndex_[byte];
    if (lead == kNotLead) {
      Put(Single_[byte], o);
      return i + 1;
    }
    if (i + 1 < size) {
      const TEntry& pair = Pairs_[size_t{lead} * 256 + data[i + 1]];
      if (pair.Length != 0) {
        Put(pair, o);
        return i + 2;
      }
    }
    Put(Single_[byte], o);  // U+FFFD
    return i + 1;
  }
  static void Put(const TEntry& entry, char*& o) {
    std::memcpy(o, entry.Bytes, sizeof(entry.Bytes));
    o += entry.Length;
  }

  static constexpr uint8_t kNotLead = 0xFF;
  TEntry Single_[256];      // lead bytes hold U+FFFD
  uint8_t LeadIndex_[256];  // row of a lead byte in Pairs_
  std::unique_ptr<TEntry[]> Pairs_;
  bool AsciiIdentity_ = false;  // bytes below 0x80 decode to themselves
};

// Frees the tables built so far (module shutdown).
void ReleaseDoubleByteTables();
