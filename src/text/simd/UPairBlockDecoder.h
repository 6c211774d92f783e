// Decoding a double-byte code page into UTF-8 sixty-four bytes at a time
// with AVX-512, on processors that have it (chosen at run time).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// Where each character of a block starts follows from which bytes may lead
// a pair: a byte that cannot lead always ends a character, and a run of
// bytes that can starts a character at every other byte. The characters'
// UTF-8 is then looked up sixteen at a time in a table of every byte pair
// and packed by a byte compression.
class TPairBlockDecoder {
 public:
  // An entry of the table of byte pairs, indexed by first byte x 256 + next
  // byte: the UTF-8 of the character the first byte starts, its bytes in
  // bits 0-23 in memory order, its length in bits 24-25, and flags.
  static constexpr int kLengthShift = 24;
  // The first byte leads a pair that does not decode: decoding goes on at
  // the next byte, which the block's division into characters did not
  // foresee. A lead byte before a zero byte is one, in every code page.
  static constexpr uint32_t kUndecodable = 0x40000000;
  // The entry is U+FFFD standing for undecodable input.
  static constexpr uint32_t kReplacement = 0x80000000;
  static constexpr size_t kEntries = 256 * 256;
  static constexpr size_t kBlock = 64;

  // Bit I set when byte I of a block is the second byte of a pair, given
  // bit I of Lead set for the bytes that can lead one, and a character
  // starting at byte 0. Within each run of lead bytes the pairs start at its
  // first byte and every other one after it: subtracting the run from its
  // bits shifted up among a pattern of odd bits, and taking out the pattern
  // and the run again, leaves those bytes' successors.
  static constexpr uint64_t TrailBytes(uint64_t lead) {
    constexpr uint64_t kOdd = 0xAAAAAAAAAAAAAAAAull;
    return (((lead << 1) | kOdd) - lead) ^ kOdd ^ lead;
  }

  // True when this processor runs the AVX-512 this needs; asked once.
  static bool Supported();
  // The decoder of Entries, whose lead bytes (those that can start a pair)
  // are flagged in IsLead, none of them below 0x80, and whose bytes below
  // 0x80 stand for themselves; null where Supported is false or the build
  // is not for x86-64.
  static std::unique_ptr<TPairBlockDecoder> Build(std::unique_ptr<uint32_t[]> entries, const bool (&is_lead)[256]);

  // Decodes the Size bytes at Data from I, which starts a character, a
  // block at a time to their end, writing at O. Stops early before a block
  // holding a lead byte that does not decode before its next byte or that
  // ends the text. Returns where it stopped (a character start), moves O
  // past what it wrote and adds the U+FFFD it wrote to Replaced. O needs
  // room for three bytes per byte decoded and 64 more.
  size_t Decode(const unsigned char* data, size_t size, size_t i, char*& o, size_t& replaced) const;

 private:
  TPairBlockDecoder() = default;

  std::unique_ptr<uint32_t[]> Entries_;
  // For each low four bits of a byte, bit k set when the byte with high
  // four bits 8 + k leads pairs.
  alignas(16) uint8_t LeadColumns_[16] = {};
};
