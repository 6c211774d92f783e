// The split settings that both task kinds carry and every splitter reads:
// one record, read from and written to the task file's section "Split",
// compared and described in one place.
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "util/UCompression.h"

class TIniFile;

// The rule that cuts a source into pieces; srUnknown for a name of no rule.
enum TSplitRule { srLines, srFileSize, srSymbol, srUnknown };
// How a symbol line cuts the text; stUnknown for a name of no type, which
// makes no line a symbol line.
enum TSymbolType { stSeparator, stStartWith, stEndWith, stUnknown };
// The line end written after each line: CR LF or LF in the output encoding,
// or each line's own end as the source has it (none after a last line
// without one); leUnknown for a name of none.
enum TLineEnd { leCrLf, leLf, leKeep, leUnknown };

// A value of one of the enumerations above as a task file names it. A name
// selects its value whatever its letter case, spaces, "-" and "_" ("start
// with" and "START-WITH" are "Start With"); any other text selects the
// unknown one. The text is kept either way, so that a task is saved with the
// very name it was read with.
template <typename TEnum>
class TNamedChoice {
 public:
  // The empty text: the unknown value.
  TNamedChoice() : TNamedChoice(std::string()) {}
  // The value under its name; the unknown value under the empty text.
  // Implicit: assigning srLines to a setting reads as plainly as comparing.
  TNamedChoice(TEnum value);
  // The value that the text names; the one place where names are compared.
  explicit TNamedChoice(std::string text);

  TEnum Value() const { return Value_; }
  // The text as read.
  const std::string& Text() const { return Text_; }
  // The value's own name ("Start With"); the text as read for the unknown one.
  std::string_view Name() const;

  bool operator==(const TNamedChoice&) const = default;
  bool operator==(TEnum value) const { return Value_ == value; }

 private:
  TEnum Value_;
  std::string Text_;  // names Value_, or anything when Value_ is unknown
};

extern template class TNamedChoice<TSplitRule>;
extern template class TNamedChoice<TSymbolType>;
extern template class TNamedChoice<TLineEnd>;
extern template class TNamedChoice<TCompression>;

// The units a MaxFileSize may carry: powers of 1024 (K is KiB) and of 1000;
// a plain number counts MiB.
enum TSizeUnit : uint8_t { suMiBPlain, suB, suK, suKiB, suM, suMiB, suG, suGiB, suKB, suMB, suGB };
inline constexpr int64_t kSizeUnitBytes[] = {1 << 20, 1,       1 << 10, 1 << 10, 1 << 20,   1 << 20,
                                             1 << 30, 1 << 30, 1000,    1000000, 1000000000};

// A value of a task file that its key does not accept, as the file gave it.
struct TInvalidValue {
  std::string Key;      // as the program spells it: "KeepHeader"
  std::string Value;    // as read, quotes removed
  std::string Accepts;  // what the key accepts, for the message
  bool operator==(const TInvalidValue&) const = default;
};

// Reads a Boolean of a task file: true for a first character "1" and for
// true, yes and on; false for a first character "0" and for false, no and
// off; letter case ignored. A missing or empty value gives Default, and so
// does any other value, which is added to Invalid.
bool ReadTaskBool(const TIniFile& ini, std::string_view key, bool default_value, std::vector<TInvalidValue>& invalid);

// Every member starts at its zero value (empty, 0, false, unknown; LineEnd
// at CR LF and Compress at none, what pieces have always had): the defaults
// of a task file apply only when one is read.
struct TSplitSettings {
  // How a task kind reads the keys: the two kinds' files have always differed
  // in this.
  struct TReading {
    bool MaxLinesIn32Bits;  // a MaxLines outside 32 bits is refused
  };

  // The section that holds these keys and the kind's own.
  static constexpr char kSection[] = "Split";

  // Reads the fourteen keys with their defaults. A value its key does not accept
  // leaves the default and is kept in Invalid, for the run to refuse.
  void ReadFromIni(const TIniFile& ini, const TReading& reading);
  // The kinds write their own keys between these two, where their files have
  // always held them: SourceEncoding, then SplitByType to QuotedFields.
  // QuotedFields and the keys after it are written only when they differ
  // from their defaults or are already in the file, so that a task that
  // never used them keeps the keys it always had. A value that was refused
  // is written back as it was read.
  void WriteSourceEncoding(TIniFile& ini) const;
  void WriteRuleKeys(TIniFile& ini) const;

  // Source + CR LF + Dest + CR LF, then the lines of the rule (none for an
  // unknown one) and a line for each of QuotedFields, Manifest, PieceName,
  // LineEnd, Compress, CompressLevel and OutputEncoding that differs from
  // its default ("Quoted Fields: True", "Manifest: True", "Piece Name:
  // {n:4}{ext}", "Line End: LF", "Compress: gzip", "Compress Level: 9"; a
  // level only with a format; "Output Encoding: UTF-8"). Lines are separated
  // by CR LF; no CR LF follows the last line after the rule's.
  std::string Describe(std::string_view source, std::string_view dest) const;

  // One line 'Invalid value "<value>" for <Key>: <what it accepts>.' for
  // each value in Invalid that takes effect: all but the keys of another rule
  // than SplitByType names, and CompressLevel without a format.
  std::vector<std::string> InvalidValueMessages() const;

  // MaxFileSize in bytes; a limit beyond 64 bits means no limit (or, below
  // zero, the lowest one).
  int64_t MaxFileSizeBytes() const {
    int64_t bytes = 0;
    if (!__builtin_mul_overflow(MaxFileSize, kSizeUnitBytes[MaxFileSizeUnit], &bytes)) return bytes;
    return MaxFileSize < 0 ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
  }

  // The level the pieces are compressed at: CompressLevel, or the format's
  // default (gzip 6, zstd 3).
  int CompressionLevel() const;

  bool operator==(const TSplitSettings&) const = default;

  // Display name or key of an encoding, "Auto Detect", or empty to detect.
  std::string SourceEncoding;
  TNamedChoice<TSplitRule> SplitByType;
  int64_t MaxLines = 0;
  bool KeepHeader = false;
  // The largest piece: this many of MaxFileSizeUnit.
  int64_t MaxFileSize = 0;
  TSizeUnit MaxFileSizeUnit = suMiBPlain;
  TNamedChoice<TSymbolType> SymbolType;
  std::string SymbolValue;
  bool IgnoreCase = false;
  // Records are CSV records: a line whose double quotes leave a field open
  // takes in the lines that follow until the count of quotes is even.
  bool QuotedFields = false;
  // A split that succeeds writes _manifest.tsv last: each piece with its
  // records, bytes and SHA-256.
  bool Manifest = false;
  // The template of the pieces' names (TPieceName); empty for its default.
  std::string PieceName;
  TNamedChoice<TLineEnd> LineEnd = leCrLf;
  // The pieces are compressed as they are written, each named with ".gz" or
  // ".zst" after its name; "none" (the default), "gzip" or "zstd".
  TNamedChoice<TCompression> Compress = cmNone;
  // 1 to 9 for gzip, 1 to 19 for zstd; 0 for the format's default.
  int CompressLevel = 0;
  // The encoding the pieces are written in, by any name SourceEncoding
  // takes; empty: the source's own.
  std::string OutputEncoding;
  // The values read that their keys do not accept, in the order read; the
  // settings they belong to hold their defaults. A kind adds its own.
  std::vector<TInvalidValue> Invalid;
};
