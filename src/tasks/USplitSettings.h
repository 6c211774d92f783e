// The split settings that both task kinds carry and every splitter reads:
// one record, read from and written to the task file's section "Split",
// compared and described in one place.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class TIniFile;

// The rule that cuts a source into pieces; srUnknown for a name of no rule.
enum TSplitRule { srLines, srFileSize, srSymbol, srUnknown };
// How a symbol line cuts the text; stUnknown for a name of no type, which
// makes no line a symbol line.
enum TSymbolType { stSeparator, stStartWith, stEndWith, stUnknown };

// A value of one of the enumerations above as a task file names it. Only the
// exact name, letter case included, selects a value; any other text selects
// the unknown one. The text is kept either way, so that a task is saved and
// described with the very name it was read with.
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
  const std::string& Text() const { return Text_; }

  bool operator==(const TNamedChoice&) const = default;
  bool operator==(TEnum value) const { return Value_ == value; }

 private:
  TEnum Value_;
  std::string Text_;  // names Value_, or anything when Value_ is unknown
};

extern template class TNamedChoice<TSplitRule>;
extern template class TNamedChoice<TSymbolType>;

// Every member starts at its zero value (empty, 0, false, unknown): the
// defaults of a task file apply only when one is read.
struct TSplitSettings {
  // How a task kind reads the keys: the two kinds' files have always differed
  // in these.
  struct TReading {
    bool MaxLinesIn32Bits;  // a MaxLines outside 32 bits reads as 0
    std::string_view SymbolTypeDefault;
  };

  // The section that holds these keys and the kind's own.
  static constexpr char kSection[] = "Split";

  // Reads the nine keys with their defaults; nothing is validated.
  void ReadFromIni(const TIniFile& ini, const TReading& reading);
  // The kinds write their own keys between these two, where their files have
  // always held them: SourceEncoding, then SplitByType to QuotedFields.
  // QuotedFields is written only when true or already in the file, so that
  // a task that never used it keeps the keys it always had.
  void WriteSourceEncoding(TIniFile& ini) const;
  void WriteRuleKeys(TIniFile& ini) const;

  // Source + CR LF + Dest + CR LF, then the lines of the rule (none for an
  // unknown one) and, with QuotedFields, "Quoted Fields: True" on a line of
  // its own. Lines are separated by CR LF; no CR LF follows the last rule line.
  std::string Describe(std::string_view source, std::string_view dest) const;

  bool operator==(const TSplitSettings&) const = default;

  // Display name or key of an encoding, "Auto Detect", or empty to detect.
  std::string SourceEncoding;
  TNamedChoice<TSplitRule> SplitByType;
  int64_t MaxLines = 0;
  bool KeepHeader = false;
  // Megabytes of 1048576 bytes.
  int64_t MaxFileSize = 0;
  TNamedChoice<TSymbolType> SymbolType;
  std::string SymbolValue;
  bool IgnoreCase = false;
  // Records are CSV records: a line whose double quotes leave a field open
  // takes in the lines that follow until the count of quotes is even.
  bool QuotedFields = false;
};
