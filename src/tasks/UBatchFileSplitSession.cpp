#include "tasks/UBatchFileSplitSession.h"

#include "tasks/USessionSupport.h"
#include "util/UErrors.h"
#include "util/UIniFile.h"
#include "util/UPathUtils.h"

namespace {
constexpr auto& kSection = TSplitSettings::kSection;
// Batch files have always held MaxLines in 32 bits and named no symbol type
// by default.
constexpr TSplitSettings::TReading kReading{.MaxLinesIn32Bits = true, .SymbolTypeDefault = ""};
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
  SourceFolder = ini.ReadString(kSection, "SourceFolder", "");
  SourceIncludeSub = ini.ReadBool(kSection, "SourceIncludeSub", false);
  SourceMask = ini.ReadString(kSection, "SourceMask", "");
  DestFolder = ini.ReadString(kSection, "DestFolder", "");
  Settings.ReadFromIni(ini, kReading);
  // An empty SourceFolder names no folder: the batch never searches the root.
  if (Settings.SourceEncoding.empty() && !SourceFolder.empty() && DirectoryExists(SourceFolder)) {
    std::string first = FindFirstMatch(SourceFolder, SourceMask, SourceIncludeSub);
    if (!first.empty()) Settings.SourceEncoding = DetectEncodingOrEmpty(first);
  }
}

std::unique_ptr<TTaskSession> TBatchFileSplitSession::NewSession() const {
  return std::make_unique<TBatchFileSplitSession>();
}

void TBatchFileSplitSession::GetDescription(std::string& text) const {
  text = Settings.Describe(SourceDescription(), DestDescription());
}
