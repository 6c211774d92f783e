#include "tasks/UBatchFileSplitSession.h"

#include "tasks/USessionSupport.h"
#include "util/UErrors.h"
#include "util/UIniFile.h"
#include "util/UPathUtils.h"

namespace {
constexpr auto& kSection = TSplitSettings::kSection;
// Batch files have always held MaxLines in 32 bits.
constexpr TSplitSettings::TReading kReading{.MaxLinesIn32Bits = true};
}  // namespace

TBatchFileSplitSession::TBatchFileSplitSession()
    : TTaskSession("Batch Split File Task (*.bst)|*.bst", "bst", "Split") {}

bool TBatchFileSplitSession::IsSameAs(const TTaskSession& other) const {
  const auto* same = dynamic_cast<const TBatchFileSplitSession*>(&other);
  if (same == nullptr) throw EInvalidCast();
  return SourceFolder == same->SourceFolder && SourceIncludeSub == same->SourceIncludeSub &&
         SourceMask == same->SourceMask && DestFolder == same->DestFolder && Settings == same->Settings;
}

void TBatchFileSplitSession::WriteToIni(const std::string& file_name) {
  TIniFile ini(file_name);
  ini.WriteString(kSection, "SourceFolder", SourceFolder);
  Settings.WriteSourceEncoding(ini);
  ini.WriteBool(kSection, "SourceIncludeSub", SourceIncludeSub);
  ini.WriteString(kSection, "SourceMask", SourceMask);
  ini.WriteString(kSection, "DestFolder", DestFolder);
  Settings.WriteRuleKeys(ini);
  ini.UpdateFile();
}

void TBatchFileSplitSession::ReadFromIni(const std::string& file_name) {
  TIniFile ini(file_name);
  Settings.ReadFromIni(ini, kReading);
  SourceFolder = ini.ReadString(kSection, "SourceFolder", "");
  SourceIncludeSub = ReadTaskBool(ini, "SourceIncludeSub", false, Settings.Invalid);
  SourceMask = ini.ReadString(kSection, "SourceMask", "");
  DestFolder = ini.ReadString(kSection, "DestFolder", "");
  UnknownKeys = UnknownTaskFileKeys(ini);
}

std::unique_ptr<TTaskSession> TBatchFileSplitSession::NewSession() const {
  return std::make_unique<TBatchFileSplitSession>();
}

std::vector<std::string> TBatchFileSplitSession::InvalidValues() const { return Settings.InvalidValueMessages(); }

void TBatchFileSplitSession::GetDescription(std::string& text) const {
  text = Settings.Describe(SourceDescription(), DestDescription());
}
