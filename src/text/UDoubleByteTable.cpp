#include "text/UDoubleByteTable.h"

#include <iconv.h>

#include <cerrno>
#include <map>
#include <string>

#include "text/UUtf8.h"

namespace {

std::map<std::string, std::unique_ptr<TDoubleByteTable>, std::less<>>& Tables() {
  static std::map<std::string, std::unique_ptr<TDoubleByteTable>, std::less<>> tables;
  return tables;
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

const TDoubleByteTable* TDoubleByteTable::Of(std::string_view charset) {
  auto& tables = Tables();
  auto found = tables.find(charset);
  if (found != tables.end()) return found->second.get();
  std::unique_ptr<TDoubleByteTable> table(new TDoubleByteTable());
  if (!table->Build(charset)) table.reset();
  return tables.emplace(std::string(charset), std::move(table)).first->second.get();
}

void ReleaseDoubleByteTables() { Tables().clear(); }

namespace {

// The table's entry for a character's UTF-8; false when it has none (held
// back by iconv, or longer than any character of the basic plane).
bool EntryOf(const std::string& utf8, char (&bytes)[3], uint8_t& length) {
  if (utf8.empty() || utf8.size() > sizeof(bytes)) return false;
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

bool TDoubleByteTable::BuildPairs(iconv_t cd, const TEntry& replacement, size_t leads) {
  std::string utf8;
  Pairs_ = std::make_unique<TEntry[]>(leads * 256);
  for (int lead = 0; lead < 256; ++lead) {
    if (LeadIndex_[lead] == kNotLead) continue;
    for (int trail = 0; trail < 256; ++trail) {
      const unsigned char pair[2] = {static_cast<unsigned char>(lead), static_cast<unsigned char>(trail)};
      TEntry& entry = Pairs_[size_t{LeadIndex_[lead]} * 256 + static_cast<size_t>(trail)];
      entry = TEntry{};
      switch (Probe(cd, pair, 2, utf8)) {
        case TProbe::Decoded:
          if (!EntryOf(utf8, entry.Bytes, entry.Length)) return false;
          break;
        case TProbe::Refused:
          break;  // Length 0: the lead byte alone is undecodable
        case TProbe::RefusedWhole:
          entry = replacement;
          break;
        default:
          return false;  // three-byte and longer characters: iconv decodes them
      }
    }
  }
  return true;
}

char* TDoubleByteTable::Decode(const unsigned char* data, size_t size, char* o) const {
  size_t i = 0;
  if (AsciiIdentity_) {
    // ASCII runs are copied in blocks; from the first other byte on,
    // characters go through the table until an ASCII byte starts a block.
    while (CopyAsciiBlocks(data, size, i, o)) {
      do {
        i = DecodeOne(data, size, i, o);
      } while (i < size && data[i] >= 0x80);
    }
  }
  while (i < size) i = DecodeOne(data, size, i, o);
  return o;
}

char* TDoubleByteTable::DecodeHead(const unsigned char* data, size_t size, size_t count, char* o) const {
  char* const start = o;
  for (size_t i = 0; i < size && static_cast<size_t>(o - start) < count;) i = DecodeOne(data, size, i, o);
  return o;
}
