#include "tasks/UFileSplitSession.h"

#include "tasks/USessionSupport.h"
#include "text/UBlockTextReader.h"
#include "util/UErrors.h"
#include "util/UIniFile.h"
#include "util/UPathUtils.h"

namespace {
constexpr auto& kSection = TSplitSettings::kSection;
constexpr TSplitSettings::TReading kReading{.MaxLinesIn32Bits = false};
}  // namespace

TFileSplitSession::TFileSplitSession() : TTaskSession("Split File Task (*.sft)|*.sft", "sft", "Split") {}

bool TFileSplitSession::IsSameAs(const TTaskSession& other) const {
  const auto* same = dynamic_cast<const TFileSplitSession*>(&other);
  if (same == nullptr) throw EInvalidCast();
  return SourceFile == same->SourceFile && DestFolder == same->DestFolder && Settings == same->Settings;
}

void TFileSplitSession::WriteToIni(const std::string& file_name) {
  TIniFile ini(file_name);
  ini.WriteString(kSection, "SourceFile", SourceFile);
  Settings.WriteSourceEncoding(ini);
  ini.WriteString(kSection, "DestFolder", DestFolder);
  Settings.WriteRuleKeys(ini);
  ini.UpdateFile();
}

void TFileSplitSession::ReadFromIni(const std::string& file_name) {
  TIniFile ini(file_name);
  SourceFile = ini.ReadString(kSection, "SourceFile", "");
  DestFolder = ini.ReadString(kSection, "DestFolder", "");
  Settings.ReadFromIni(ini, kReading);
  UnknownKeys = UnknownTaskFileKeys(ini);
  DetectSourceEncoding();
}

void TFileSplitSession::DetectSourceEncoding() {
  // Standard input can be read once only: the split looks at its first bytes.
  if (Settings.SourceEncoding.empty() && SourceFile != kStandardInputName && FileExists(SourceFile))
    Settings.SourceEncoding = DetectEncodingOrEmpty(SourceFile);
}

std::unique_ptr<TTaskSession> TFileSplitSession::NewSession() const { return std::make_unique<TFileSplitSession>(); }

std::vector<std::string> TFileSplitSession::InvalidValues() const { return Settings.InvalidValueMessages(); }

void TFileSplitSession::GetDescription(std::string& text) const {
  text = Settings.Describe(SourceDescription(), DestDescription());
}
