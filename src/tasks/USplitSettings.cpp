#include "tasks/USplitSettings.h"

#include <algorithm>
#include <iterator>
#include <span>
#include <utility>

#include "text/UEncodings.h"
#include "util/UIniFile.h"
#include "util/UPieceName.h"
#include "util/UTextUtils.h"

namespace {

// The names of each enumeration's values, in its order; the unknown value
// comes right after the last name.
constexpr std::string_view kRuleNames[] = {"Lines", "File Size", "Symbol"};
constexpr std::string_view kSymbolTypeNames[] = {"Separator", "Start With", "End With"};
constexpr std::string_view kLineEndNames[] = {"CRLF", "LF", "Keep"};
constexpr std::string_view kCompressionNames[] = {"none", "gzip", "zstd"};
static_assert(std::size(kRuleNames) == srUnknown);
static_assert(std::size(kSymbolTypeNames) == stUnknown);
static_assert(std::size(kLineEndNames) == leUnknown);
static_assert(std::size(kCompressionNames) == cmUnknown);

std::span<const std::string_view> NamesOf(TSplitRule) { return kRuleNames; }
std::span<const std::string_view> NamesOf(TSymbolType) { return kSymbolTypeNames; }
std::span<const std::string_view> NamesOf(TLineEnd) { return kLineEndNames; }
std::span<const std::string_view> NamesOf(TCompression) { return kCompressionNames; }

// The levels of the formats that compress: the highest, and the one taken
// when a task names none.
struct TLevels {
  int Highest, Default;
};
constexpr TLevels LevelsOf(TCompression format) { return format == cmZstd ? TLevels{19, 3} : TLevels{9, 6}; }
bool Compresses(TCompression format) { return format == cmGzip || format == cmZstd; }

// The spellings of the units, in their order; a plain number has none.
constexpr std::string_view kSizeUnitNames[] = {"", "B", "K", "KiB", "M", "MiB", "G", "GiB", "KB", "MB", "GB"};
static_assert(std::size(kSizeUnitNames) == std::size(kSizeUnitBytes));

// The keys that only their rule reads: a value of another rule's key is not
// looked at.
constexpr struct {
  std::string_view Key;
  TSplitRule Rule;
} kRuleKeys[] = {{"MaxLines", srLines},    {"KeepHeader", srLines},   {"MaxFileSize", srFileSize},
                 {"SymbolType", srSymbol}, {"SymbolValue", srSymbol}, {"IgnoreCase", srSymbol}};

constexpr char kCrLf[] = "\r\n";
const char* TrueFalse(bool value) { return value ? "True" : "False"; }

// Appends Line to a description on a line of its own.
void AddLine(std::string& text, std::string_view line) {
  if (!text.ends_with(kCrLf)) text += kCrLf;  // an unknown rule already ends with one
  text += line;
}

constexpr auto& kSection = TSplitSettings::kSection;

template <typename TEnum>
TNamedChoice<TEnum> ReadChoice(const TIniFile& ini, std::string_view key, std::string_view default_value,
                               std::string_view accepts, std::vector<TInvalidValue>& invalid) {
  TNamedChoice<TEnum> choice(ini.ReadString(kSection, key, default_value));
  if (choice.Value() == static_cast<TEnum>(NamesOf(TEnum{}).size()))
    invalid.push_back({std::string(key), choice.Text(), std::string(accepts)});
  return choice;
}

// A whole number, then optionally spaces and a unit (any letter case).
bool ParseMaxFileSize(std::string_view text, int64_t& count, TSizeUnit& unit) {
  size_t digits = text.find_first_not_of("+-0123456789");
  if (digits == std::string_view::npos) digits = text.size();
  std::string_view rest = text.substr(digits);
  while (rest.starts_with(' ')) rest.remove_prefix(1);
  if (!TryParseInt64(text.substr(0, digits), count)) return false;
  for (size_t i = 0; i < std::size(kSizeUnitNames); ++i) {
    if (SameTextAscii(rest, kSizeUnitNames[i])) {
      unit = static_cast<TSizeUnit>(i);
      return true;
    }
  }
  return false;
}

}  // namespace

template <typename TEnum>
TNamedChoice<TEnum>::TNamedChoice(TEnum value) : Value_(value) {
  const auto names = NamesOf(value);
  if (static_cast<size_t>(value) < names.size()) Text_ = names[value];
}

template <typename TEnum>
TNamedChoice<TEnum>::TNamedChoice(std::string text) : Text_(std::move(text)) {
  const auto names = NamesOf(TEnum{});
  const std::string form = LooseForm(Text_);
  size_t i = 0;
  while (i < names.size() && (Text_.empty() || LooseForm(names[i]) != form)) ++i;
  Value_ = static_cast<TEnum>(i);
}

template <typename TEnum>
std::string_view TNamedChoice<TEnum>::Name() const {
  const auto names = NamesOf(Value_);
  return static_cast<size_t>(Value_) < names.size() ? names[Value_] : std::string_view(Text_);
}

template class TNamedChoice<TSplitRule>;
template class TNamedChoice<TSymbolType>;
template class TNamedChoice<TLineEnd>;
template class TNamedChoice<TCompression>;

bool ReadTaskBool(const TIniFile& ini, std::string_view key, bool default_value, std::vector<TInvalidValue>& invalid) {
  const std::string text = ini.ReadString(kSection, key, "");
  if (text.empty()) return default_value;
  // The first character decides, as it always has; the words are new.
  if (text[0] == '1') return true;
  if (text[0] == '0') return false;
  const std::string word = AsciiLower(text);
  if (word == "true" || word == "yes" || word == "on") return true;
  if (word == "false" || word == "no" || word == "off") return false;
  invalid.push_back({std::string(key), text, "1, true, yes or on; 0, false, no or off"});
  return default_value;
}

void TSplitSettings::ReadFromIni(const TIniFile& ini, const TReading& reading) {
  Invalid.clear();
  SourceEncoding = ini.ReadString(kSection, "SourceEncoding", "");
  SplitByType = ReadChoice<TSplitRule>(ini, "SplitByType", "Lines", "Lines, File Size or Symbol", Invalid);

  // Missing or empty, MaxLines is 0, which the rule refuses with its own message.
  const std::string max_lines = ini.ReadString(kSection, "MaxLines", "");
  int64_t wide = 0;
  int32_t narrow = 0;
  const bool whole = reading.MaxLinesIn32Bits ? TryParseInt32(max_lines, narrow) : TryParseInt64(max_lines, wide);
  MaxLines = !whole ? 0 : reading.MaxLinesIn32Bits ? narrow : wide;
  if (!max_lines.empty() && (!whole || MaxLines < 1))
    Invalid.push_back(
        {"MaxLines", max_lines,
         std::string("a whole number from 1 to ") + (reading.MaxLinesIn32Bits ? "2147483647" : "9223372036854775807")});

  KeepHeader = ReadTaskBool(ini, "KeepHeader", false, Invalid);

  MaxFileSize = 100;
  MaxFileSizeUnit = suMiBPlain;
  const std::string max_file_size = ini.ReadString(kSection, "MaxFileSize", "");
  if (!max_file_size.empty() && !ParseMaxFileSize(max_file_size, MaxFileSize, MaxFileSizeUnit)) {
    MaxFileSize = 100;
    MaxFileSizeUnit = suMiBPlain;
    Invalid.push_back({"MaxFileSize", max_file_size,
                       "a whole number of MiB, or one followed by B, K, KiB, M, MiB, G, GiB, KB, MB or GB"});
  }

  SymbolType = ReadChoice<TSymbolType>(ini, "SymbolType", "Separator", "Separator, Start With or End With", Invalid);
  SymbolValue = ini.ReadString(kSection, "SymbolValue", "");
  IgnoreCase = ReadTaskBool(ini, "IgnoreCase", false, Invalid);
  QuotedFields = ReadTaskBool(ini, "QuotedFields", false, Invalid);
  Manifest = ReadTaskBool(ini, "Manifest", false, Invalid);
  PieceName = ini.ReadString(kSection, "PieceName", "");
  if (!TPieceName::IsTemplate(PieceName)) {
    Invalid.push_back({"PieceName", PieceName,
                       "a file name holding {n} (or {n:W}, the number zero-padded to W digits) and optionally {name} "
                       "and {ext}, without \"/\""});
    PieceName.clear();
  }
  LineEnd = ReadChoice<TLineEnd>(ini, "LineEnd", "CRLF", "CRLF, LF or Keep", Invalid);
  Compress = ReadChoice<TCompression>(ini, "Compress", "none", "none, gzip or zstd", Invalid);
  // Checked against the format named, or against every format's levels.
  CompressLevel = 0;
  const std::string level = ini.ReadString(kSection, "CompressLevel", "");
  const int highest = LevelsOf(Compress == cmGzip ? cmGzip : cmZstd).Highest;
  int32_t value = 0;
  if (TryParseInt32(level, value) && value >= 1 && value <= highest)
    CompressLevel = value;
  else if (!level.empty())
    Invalid.push_back({"CompressLevel", level,
                       "a whole number from 1 to " + std::to_string(highest) +
                           (Compresses(Compress.Value()) ? " for " + std::string(Compress.Name()) : "")});
  OutputEncoding = ini.ReadString(kSection, "OutputEncoding", "");
  if (!OutputEncoding.empty() && EncodingKeyOf(OutputEncoding).empty()) {
    Invalid.push_back(
        {"OutputEncoding", OutputEncoding, "an encoding of the table in QuillmereCmd(1) or one of its other names"});
    OutputEncoding.clear();
  }
}

int TSplitSettings::CompressionLevel() const {
  return CompressLevel > 0 ? CompressLevel : LevelsOf(Compress.Value()).Default;
}

void TSplitSettings::WriteSourceEncoding(TIniFile& ini) const {
  ini.WriteString(kSection, "SourceEncoding", SourceEncoding);
}

void TSplitSettings::WriteRuleKeys(TIniFile& ini) const {
  ini.WriteString(kSection, "SplitByType", SplitByType.Text());
  ini.WriteInt64(kSection, "MaxLines", MaxLines);
  ini.WriteBool(kSection, "KeepHeader", KeepHeader);
  ini.WriteString(kSection, "MaxFileSize", std::to_string(MaxFileSize) + std::string(kSizeUnitNames[MaxFileSizeUnit]));
  ini.WriteString(kSection, "SymbolType", SymbolType.Text());
  ini.WriteString(kSection, "SymbolValue", SymbolValue);
  ini.WriteBool(kSection, "IgnoreCase", IgnoreCase);
  // Keys that tasks have lived without: kept out of a file that never used them.
  auto used = [&](std::string_view key, bool changed) {
    return changed || ini.ValueExists(kSection, key) ||
           std::any_of(Invalid.begin(), Invalid.end(), [&](const TInvalidValue& value) { return value.Key == key; });
  };
  if (used("QuotedFields", QuotedFields)) ini.WriteBool(kSection, "QuotedFields", QuotedFields);
  if (used("Manifest", Manifest)) ini.WriteBool(kSection, "Manifest", Manifest);
  if (used("PieceName", !PieceName.empty())) ini.WriteString(kSection, "PieceName", PieceName);
  if (used("LineEnd", LineEnd != leCrLf)) ini.WriteString(kSection, "LineEnd", LineEnd.Text());
  if (used("Compress", Compress != cmNone)) ini.WriteString(kSection, "Compress", Compress.Text());
  if (used("CompressLevel", CompressLevel != 0)) ini.WriteInt64(kSection, "CompressLevel", CompressLevel);
  if (used("OutputEncoding", !OutputEncoding.empty())) ini.WriteString(kSection, "OutputEncoding", OutputEncoding);
  // Replaced in place: the keys keep their order.
  for (const TInvalidValue& value : Invalid) ini.WriteString(kSection, value.Key, value.Value);
}

std::string TSplitSettings::Describe(std::string_view source, std::string_view dest) const {
  std::string text = std::string(source) + kCrLf + std::string(dest) + kCrLf;
  switch (SplitByType.Value()) {
    case srLines:
      text += "Max Lines per Split File: " + std::to_string(MaxLines) + kCrLf + "Keep Header: " + TrueFalse(KeepHeader);
      break;
    case srFileSize:
      text += "Max File Size per Split File: " + std::to_string(MaxFileSize);
      if (MaxFileSizeUnit == suMiBPlain)
        text += " MB";
      else
        text +=
            " " + std::string(kSizeUnitNames[MaxFileSizeUnit]) + " (" + std::to_string(MaxFileSizeBytes()) + " bytes)";
      break;
    case srSymbol:
      text += std::string(SymbolType.Name()) + ": " + SymbolValue + kCrLf + "Ignore Case: " + TrueFalse(IgnoreCase);
      break;
    case srUnknown:
      break;
  }
  // Only tasks that use them say so: every other description stays as it was.
  if (QuotedFields) AddLine(text, "Quoted Fields: True");
  if (Manifest) AddLine(text, "Manifest: True");
  if (!PieceName.empty() && PieceName != TPieceName::kDefault) AddLine(text, "Piece Name: " + PieceName);
  if (LineEnd == leLf || LineEnd == leKeep) AddLine(text, "Line End: " + std::string(LineEnd.Name()));
  if (Compresses(Compress.Value())) {
    AddLine(text, "Compress: " + std::string(Compress.Name()));
    if (CompressionLevel() != LevelsOf(Compress.Value()).Default)
      AddLine(text, "Compress Level: " + std::to_string(CompressLevel));
  }
  if (!OutputEncoding.empty()) AddLine(text, "Output Encoding: " + OutputEncoding);
  return text;
}

std::vector<std::string> TSplitSettings::InvalidValueMessages() const {
  std::vector<std::string> messages;
  for (const TInvalidValue& value : Invalid) {
    bool takes_effect = true;
    for (const auto& [key, rule] : kRuleKeys)
      if (key == value.Key) takes_effect = rule == SplitByType.Value();
    if (value.Key == "CompressLevel") takes_effect = Compresses(Compress.Value());
    if (takes_effect)
      messages.push_back("Invalid value \"" + value.Value + "\" for " + value.Key + ": " + value.Accepts + ".");
  }
  return messages;
}
