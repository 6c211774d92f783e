#include "tasks/USplitSettings.h"

#include <iterator>
#include <span>
#include <utility>

#include "util/UIniFile.h"

namespace {

// The names of each enumeration's values, in its order; the unknown value
// comes right after the last name.
constexpr std::string_view kRuleNames[] = {"Lines", "File Size", "Symbol"};
constexpr std::string_view kSymbolTypeNames[] = {"Separator", "Start With", "End With"};
static_assert(std::size(kRuleNames) == srUnknown);
static_assert(std::size(kSymbolTypeNames) == stUnknown);

std::span<const std::string_view> NamesOf(TSplitRule) { return kRuleNames; }
std::span<const std::string_view> NamesOf(TSymbolType) { return kSymbolTypeNames; }

constexpr char kCrLf[] = "\r\n";
const char* TrueFalse(bool value) { return value ? "True" : "False"; }

}  // namespace

template <typename TEnum>
TNamedChoice<TEnum>::TNamedChoice(TEnum value) : Value_(value) {
  const auto names = NamesOf(value);
  if (static_cast<size_t>(value) < names.size()) Text_ = names[value];
}

template <typename TEnum>
TNamedChoice<TEnum>::TNamedChoice(std::string text) : Text_(std::move(text)) {
  // Exact and case-sensitive: "lines" names no rule.
  const auto names = NamesOf(TEnum{});
  size_t i = 0;
  while (i < names.size() && names[i] != Text_) ++i;
  Value_ = static_cast<TEnum>(i);
}

template class TNamedChoice<TSplitRule>;
template class TNamedChoice<TSymbolType>;

void TSplitSettings::ReadFromIni(const TIniFile& ini, const TReading& reading) {
  SourceEncoding = ini.ReadString(kSection, "SourceEncoding", "");
  SplitByType = TNamedChoice<TSplitRule>(ini.ReadString(kSection, "SplitByType", "Lines"));
  // Outside 32 bits reads as 0 like any non-integer, which the run refuses.
  MaxLines =
      reading.MaxLinesIn32Bits ? ini.ReadInteger(kSection, "MaxLines", 0) : ini.ReadInt64(kSection, "MaxLines", 0);
  KeepHeader = ini.ReadBool(kSection, "KeepHeader", false);
  MaxFileSize = ini.ReadInt64(kSection, "MaxFileSize", 100);
  SymbolType = TNamedChoice<TSymbolType>(ini.ReadString(kSection, "SymbolType", reading.SymbolTypeDefault));
  SymbolValue = ini.ReadString(kSection, "SymbolValue", "");
  IgnoreCase = ini.ReadBool(kSection, "IgnoreCase", false);
  QuotedFields = ini.ReadBool(kSection, "QuotedFields", false);
}

void TSplitSettings::WriteSourceEncoding(TIniFile& ini) const {
  ini.WriteString(kSection, "SourceEncoding", SourceEncoding);
}

void TSplitSettings::WriteRuleKeys(TIniFile& ini) const {
  ini.WriteString(kSection, "SplitByType", SplitByType.Text());
  ini.WriteInt64(kSection, "MaxLines", MaxLines);
  ini.WriteBool(kSection, "KeepHeader", KeepHeader);
  ini.WriteInt64(kSection, "MaxFileSize", MaxFileSize);
  ini.WriteString(kSection, "SymbolType", SymbolType.Text());
  ini.WriteString(kSection, "SymbolValue", SymbolValue);
  ini.WriteBool(kSection, "IgnoreCase", IgnoreCase);
  if (QuotedFields || ini.ValueExists(kSection, "QuotedFields")) ini.WriteBool(kSection, "QuotedFields", QuotedFields);
}

std::string TSplitSettings::Describe(std::string_view source, std::string_view dest) const {
  std::string text = std::string(source) + kCrLf + std::string(dest) + kCrLf;
  switch (SplitByType.Value()) {
    case srLines:
      text += "Max Lines per Split File: " + std::to_string(MaxLines) + kCrLf + "Keep Header: " + TrueFalse(KeepHeader);
      break;
    case srFileSize:
      text += "Max File Size per Split File: " + std::to_string(MaxFileSize) + " MB";
      break;
    case srSymbol:
      text += SymbolType.Text() + ": " + SymbolValue + kCrLf + "Ignore Case: " + TrueFalse(IgnoreCase);
      break;
    case srUnknown:
      break;
  }
  // Only tasks that use it say so: every other description stays as it was.
  if (QuotedFields) {
    if (!text.ends_with(kCrLf)) text += kCrLf;  // an unknown rule already ends with one
    text += "Quoted Fields: True";
  }
  return text;
}
