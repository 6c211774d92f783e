#include "text/UDoubleByteTable.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <string>

#include "text/UUtf8.h"

namespace {

std::map<std::string, std::unique_ptr<TDoubleByteTable>, std::less<>>& Tables() {
  static std::map<std::string, std::unique_ptr<TDoubleByteTable>, std::less<>> tables;
  return tables;
}

std::map<std::string, std::unique_ptr<TDoubleByteEncoder>, std::less<>>& Encoders() {
  static std::map<std::string, std::unique_ptr<TDoubleByteEncoder>, std::less<>> encoders;
  return encoders;
}

uint32_t ReplacementWord() {
  const char entry[4] = {kReplacementUtf8[0], kReplacementUtf8[1], kReplacementUtf8[2], 3};
  uint32_t word;
  std::memcpy(&word, entry, sizeof(word));
  return word;
}

enum class TProbe { Decoded, Refused, RefusedWhole, Incomplete, Other };

// What iconv makes of Size bytes alone, from its initial state: the UTF-8 of
// the whole input, a refusal at its first byte, a refusal after taking it
// whole, or input cut short.
TProbe Probe(iconv_t cd, const unsigned char* bytes, size_t size, std::string& utf8) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* in = reinterpret_cast<char*>(const_cast<unsigned char*>(bytes));
  size_t in_left = size;
  char buffer[32];
  char* out = buffer;
  size_t out_left = sizeof(buffer);
  const size_t result = iconv(cd, &in, &in_left, &out, &out_left);
  const int error = errno;
  if (result != static_cast<size_t>(-1)) {
    if (in_left != 0 || iconv(cd, nullptr, nullptr, &out, &out_left) == static_cast<size_t>(-1)) return TProbe::Other;
    utf8.assign(buffer, static_cast<size_t>(out - buffer));
    return TProbe::Decoded;
  }
  if (out != buffer) return TProbe::Other;
  if (error == EILSEQ && in_left == size) return TProbe::Refused;
  if (error == EILSEQ && in_left == 0) return TProbe::RefusedWhole;
  if (error == EINVAL && in_left == size) return TProbe::Incomplete;
  return TProbe::Other;
}

}  // namespace

const uint32_t TDoubleByteTable::kReplacementWord = ReplacementWord();

const TDoubleByteTable* TDoubleByteTable::Of(std::string_view charset) {
  auto& tables = Tables();
  auto found = tables.find(charset);
  if (found != tables.end()) return found->second.get();
  std::unique_ptr<TDoubleByteTable> table(new TDoubleByteTable());
  if (!table->Build(charset)) table.reset();
  return tables.emplace(std::string(charset), std::move(table)).first->second.get();
}

void ReleaseDoubleByteTables() {
  Encoders().clear();
  Tables().clear();
}

namespace {

// The table's entry for a character's UTF-8; false when it has none (held
// back by iconv, or longer than any character of the basic plane).
bool EntryOf(std::string_view utf8, char (&bytes)[3], uint8_t& length) {
  // U+FFFD stands for undecodable input alone (it is counted as such).
  if (utf8.empty() || utf8.size() > sizeof(bytes) || utf8 == kReplacementUtf8) return false;
  std::memcpy(bytes, utf8.data(), utf8.size());
  length = static_cast<uint8_t>(utf8.size());
  return true;
}

}  // namespace

bool TDoubleByteTable::Build(std::string_view charset) {
  iconv_t cd = iconv_open("UTF-8", std::string(charset).c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  struct TCloser {
    iconv_t Cd;
    ~TCloser() { iconv_close(Cd); }
  } closer{cd};

  TEntry replacement{};
  std::memcpy(replacement.Bytes, kReplacementUtf8.data(), 3);
  replacement.Length = 3;
  size_t leads = 0;
  if (!BuildSingles(cd, replacement, leads) || leads == 0) return false;  // none: a single-byte character set
  if (!BuildPairs(cd, replacement, leads)) return false;
  AsciiIdentity_ = true;
  for (int byte = 0; byte < 0x80; ++byte)
    if (LeadIndex_[byte] != kNotLead || Single_[byte].Length != 1 || Single_[byte].Bytes[0] != static_cast<char>(byte))
      AsciiIdentity_ = false;
  return true;
}

bool TDoubleByteTable::BuildSingles(iconv_t cd, const TEntry& replacement, size_t& leads) {
  std::string utf8;
  for (int byte = 0; byte < 256; ++byte) {
    const unsigned char b = static_cast<unsigned char>(byte);
    LeadIndex_[byte] = kNotLead;
    Single_[byte] = replacement;
    switch (Probe(cd, &b, 1, utf8)) {
      case TProbe::Decoded:
        if (!EntryOf(utf8, Single_[byte].Bytes, Single_[byte].Length)) return false;
        break;
      case TProbe::Refused:
        break;
      case TProbe::Incomplete:
        if (leads == kNotLead) return false;
        LeadIndex_[byte] = static_cast<uint8_t>(leads++);
        break;
      default:
        return false;
    }
  }
  return true;
}

// A lead's 256 pairs go to iconv in one call, each followed by LF, which
// these character sets decode to itself and which continues no character:
// what comes out is the pairs' UTF-8 in order, an LF after each. iconv
// stops at a pair it does not decode; that pair, and the pairs after it
// until one decodes, are probed alone (refused, taken whole, or the start
// of a longer character), and the batch goes on. Probing every pair alone
// cost 1.3 to 3.8 ms a table, a tenth of a 20 MiB split of a double-byte
// source. Where the LFs out are not the LFs taken, the rest of the lead's
// pairs are probed alone.
bool TDoubleByteTable::BuildPairs(iconv_t cd, const TEntry& replacement, size_t leads) {
  constexpr size_t kPairs = 256;
  constexpr size_t kStride = 3;  // the pair and its LF
  std::string utf8;
  Pairs_ = std::make_unique<TEntry[]>(leads * kPairs);
  unsigned char input[kPairs * kStride];
  char output[kPairs * 8];
  for (int lead = 0; lead < 256; ++lead) {
    if (LeadIndex_[lead] == kNotLead) continue;
    TEntry* row = &Pairs_[size_t{LeadIndex_[lead]} * kPairs];
    for (size_t trail = 0; trail < kPairs; ++trail) {
      input[trail * kStride] = static_cast<unsigned char>(lead);
      input[trail * kStride + 1] = static_cast<unsigned char>(trail);
      input[trail * kStride + 2] = '\n';
    }
    // The entry of one pair probed alone; false where the table cannot be.
    auto probe_alone = [&](size_t trail, bool& decoded) {
      TEntry& entry = row[trail];
      entry = TEntry{};
      const TProbe probe = Probe(cd, &input[trail * kStride], 2, utf8);
      decoded = probe == TProbe::Decoded;
      switch (probe) {
        case TProbe::Decoded:
          return EntryOf(utf8, entry.Bytes, entry.Length);
        case TProbe::Refused:
          return true;  // Length 0: the lead byte alone is undecodable
        case TProbe::RefusedWhole:
          entry = replacement;
          return true;
        default:
          return false;  // three-byte and longer characters: iconv decodes them
      }
    };
    for (size_t trail = 0; trail < kPairs;) {
      bool decoded = false;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      char* in = reinterpret_cast<char*>(&input[trail * kStride]);
      const size_t offered = (kPairs - trail) * kStride;
      size_t in_left = offered;
      char* out = output;
      size_t out_left = sizeof(output);
      iconv(cd, &in, &in_left, &out, &out_left);
      const size_t done = (offered - in_left) / kStride;
      if (static_cast<size_t>(std::count(output, out, '\n')) != done) {
        for (; trail < kPairs; ++trail)
          if (!probe_alone(trail, decoded)) return false;
        break;
      }
      const char* segment = output;
      for (size_t k = 0; k < done; ++k) {
        const char* lf = static_cast<const char*>(std::memchr(segment, '\n', static_cast<size_t>(out - segment)));
        TEntry& entry = row[trail + k];
        entry = TEntry{};
        if (!EntryOf(std::string_view(segment, static_cast<size_t>(lf - segment)), entry.Bytes, entry.Length))
          return false;
        segment = lf + 1;
      }
      trail += done;
      // The pair iconv stopped at, and those after it that do not decode.
      while (trail < kPairs && !decoded)
        if (!probe_alone(trail++, decoded)) return false;
    }
  }
  return true;
}

char* TDoubleByteTable::Decode(const unsigned char* data, size_t size, char* o, size_t& replaced) const {
  const TPairBlockDecoder* blocks = Blocks(size);
  if (blocks == nullptr) {
    ConvertByCharacter(data, size, o, AsciiIdentity_, [&](size_t i) { return DecodeOne(data, size, i, o, replaced); });
    return o;
  }
  for (size_t i = 0; (i = blocks->Decode(data, size, i, o, replaced)) < size;) {
    // A lead byte that its next byte does not complete, or that ends the
    // text: this block by character.
    for (const size_t end = std::min(size, i + TPairBlockDecoder::kBlock); i < end;)
      i = DecodeOne(data, size, i, o, replaced);
  }
  return o;
}

const TPairBlockDecoder* TDoubleByteTable::Blocks(size_t size) const {
  // A few lines (a header, a short source) are not worth the table.
  constexpr size_t kBlocksFrom = 64 * 1024;
  if (BlocksTried_) return Blocks_.get();
  Decoded_ += size;
  if (Decoded_ < kBlocksFrom) return nullptr;
  BlocksTried_ = true;
  if (!AsciiIdentity_ || !TPairBlockDecoder::Supported()) return nullptr;
  auto entries = std::make_unique_for_overwrite<uint32_t[]>(TPairBlockDecoder::kEntries);
  bool is_lead[256];
  for (int byte = 0; byte < 256; ++byte) {
    const uint8_t lead = LeadIndex_[byte];
    is_lead[byte] = lead != kNotLead;
    for (int next = 0; next < 256; ++next) {
      const TEntry& entry = is_lead[byte] ? Pairs_[size_t{lead} * 256 + static_cast<size_t>(next)] : Single_[byte];
      uint32_t word;
      std::memcpy(&word, &entry, sizeof(word));
      uint32_t packed = uint32_t{static_cast<unsigned char>(entry.Bytes[0])} |
                        uint32_t{static_cast<unsigned char>(entry.Bytes[1])} << 8 |
                        uint32_t{static_cast<unsigned char>(entry.Bytes[2])} << 16 |
                        uint32_t{entry.Length} << TPairBlockDecoder::kLengthShift;
      if (entry.Length == 0) packed = TPairBlockDecoder::kUndecodable;
      if (word == kReplacementWord) packed |= TPairBlockDecoder::kReplacement;
      entries[static_cast<size_t>(byte) * 256 + static_cast<size_t>(next)] = packed;
    }
  }
  Blocks_ = TPairBlockDecoder::Build(std::move(entries), is_lead);
  return Blocks_.get();
}

char* TDoubleByteTable::DecodeHead(const unsigned char* data, size_t size, size_t count, char* o) const {
  char* const start = o;
  size_t replaced = 0;
  for (size_t i = 0; i < size && static_cast<size_t>(o - start) < count;) i = DecodeOne(data, size, i, o, replaced);
  return o;
}

size_t TDoubleByteTable::CharacterStartBefore(const unsigned char* data, size_t size, size_t limit) const {
  // A trail byte may pass for a lead: only walking from the start tells.
  size_t start = 0;
  for (size_t i = 0; i <= limit;) {
    start = i;
    const uint8_t lead = LeadIndex_[data[i]];
    i += lead != kNotLead && i + 1 < size && Pairs_[size_t{lead} * 256 + data[i + 1]].Length != 0 ? 2 : 1;
  }
  return start;
}

TDoubleByteEncoder* TDoubleByteEncoder::Of(std::string_view charset) {
  auto& encoders = Encoders();
  auto found = encoders.find(charset);
  if (found != encoders.end()) return found->second.get();
  std::unique_ptr<TDoubleByteEncoder> encoder(new TDoubleByteEncoder());
  const TDoubleByteTable* table = TDoubleByteTable::Of(charset);
  encoder->Cd_ = iconv_open(std::string(charset).c_str(), "UTF-8");
  if (table == nullptr || encoder->Cd_ == reinterpret_cast<iconv_t>(-1) || !encoder->Build(*table)) encoder.reset();
  return encoders.emplace(std::string(charset), std::move(encoder)).first->second.get();
}

TDoubleByteEncoder::~TDoubleByteEncoder() {
  if (Cd_ != nullptr && Cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(static_cast<iconv_t>(Cd_));
}

bool TDoubleByteEncoder::Ask(uint32_t code) {
  iconv_t cd = static_cast<iconv_t>(Cd_);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char utf8[4];
  char* in = utf8;
  size_t in_left = static_cast<size_t>(PutUtf8(code, utf8) - utf8);
  char buffer[16];
  char* out = buffer;
  size_t out_left = sizeof(buffer);
  if (iconv(cd, &in, &in_left, &out, &out_left) == static_cast<size_t>(-1) ||
      iconv(cd, nullptr, nullptr, &out, &out_left) == static_cast<size_t>(-1))
    return false;
  Asked_.assign(buffer, static_cast<size_t>(out - buffer));
  return !Asked_.empty() && Asked_.size() <= kMaxLength;
}

uint16_t TDoubleByteEncoder::Entry(bool encoded) const {
  if (!encoded) return kNone;
  const auto* bytes = reinterpret_cast<const unsigned char*>(Asked_.data());
  if (Asked_.size() == 1) return bytes[0];
  if (Asked_.size() == 2 && bytes[0] >= 0x80 && bytes[0] != 0xFF)
    return static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
  return kLong;
}

bool TDoubleByteEncoder::Build(const TDoubleByteTable& table) {
  Codes_ = std::make_unique<uint16_t[]>(0x10000);
  std::fill(Codes_.get(), Codes_.get() + 0x10000, kUnknown);
  // The characters the table decodes to are asked at once: the text a split
  // writes holds mostly those.
  bool fits = true;
  table.ForEachCharacter([&](uint32_t code, const unsigned char*, size_t) {
    if (code >= 0x10000 || Codes_[code] != kUnknown) return;
    Codes_[code] = Entry(Ask(code));
    if (code < 0x80 && Codes_[code] == kLong) fits = false;
  });
  AsciiIdentity_ = true;
  for (uint32_t code = 0; code < 0x80; ++code) {
    if (Codes_[code] == kUnknown) Codes_[code] = Entry(Ask(code));
    AsciiIdentity_ = AsciiIdentity_ && Codes_[code] == code;
  }
  return fits;
}

char* TDoubleByteEncoder::PutRare(uint32_t code, char* o) {
  if (code < 0x10000 && Codes_[code] == kUnknown) {
    Codes_[code] = Entry(Ask(code));
    return Put(code, o);
  }
  // Beyond U+FFFF, or written longer than a pair: asked each time.
  if (!Ask(code)) return nullptr;
  return std::copy(Asked_.begin(), Asked_.end(), o);
}
