#include "tasks/UFileSplitSession.h"

#include "tasks/USessionSupport.h"
#include "util/UErrors.h"
#include "util/UIniFile.h"
#include "util/UPathUtils.h"

namespace {
constexpr char kSection[] = "Split";
}

TFileSplitSession::TFileSplitSession() : TTaskSession("Split File Task (*.sft)|*.sft", "sft", "Split") {}

void TFileSplitSession::SaveToFile(const std::string& file_name) {
  TTaskSession::SaveToFile(file_name);
  WriteToIni(file_name);
}

void TFileSplitSession::LoadFromFile(const std::string& file_name) {
  TTaskSession::LoadFromFile(file_name);
  ReadFromIni(file_name);
}

bool TFileSplitSession::IsSameAs(const TTaskSession& other) const {
  const auto* same = dynamic_cast<const TFileSplitSession*>(&other);
  if (same == nullptr) throw EInvalidCast();
  return SourceFile == same->SourceFile && SourceEncoding == same->SourceEncoding && DestFolder == same->DestFolder &&
         SplitByType == same->SplitByType && MaxLines == same->MaxLines && KeepHeader == same->KeepHeader &&
         MaxFileSize == same->MaxFileSize && SymbolType == same->SymbolType && SymbolValue == same->SymbolValue &&
         IgnoreCase == same->IgnoreCase && QuotedFields == same->QuotedFields;
}

void TFileSplitSession::WriteToIni(const std::string& file_name) {
  TIniFile ini(file_name);
  ini.WriteString(kSection, "SourceFile", SourceFile);
  ini.WriteString(kSection, "SourceEncoding", SourceEncoding);
  ini.WriteString(kSection, "DestFolder", DestFolder);
  ini.WriteString(kSection, "SplitByType", SplitByType);
  ini.WriteInt64(kSection, "MaxLines", MaxLines);
  ini.WriteBool(kSection, "KeepHeader", KeepHeader);
  ini.WriteInt64(kSection, "MaxFileSize", MaxFileSize);
  ini.WriteString(kSection, "SymbolType", SymbolType);
  ini.WriteString(kSection, "SymbolValue", SymbolValue);
  ini.WriteBool(kSection, "IgnoreCase", IgnoreCase);
  // A task that never used the key is saved with the keys it always had.
  if (QuotedFields || ini.ValueExists(kSection, "QuotedFields")) ini.WriteBool(kSection, "QuotedFields", QuotedFields);
  ini.UpdateFile();
}

void TFileSplitSession::ReadFromIni(const std::string& file_name) {
  TIniFile ini(file_name);
  SourceFile = ini.ReadString(kSection, "SourceFile", "");
  SourceEncoding = ini.ReadString(kSection, "SourceEncoding", "");
  DestFolder = ini.ReadString(kSection, "DestFolder", "");
  SplitByType = ini.ReadString(kSection, "SplitByType", "Lines");
  MaxLines = ini.ReadInt64(kSection, "MaxLines", 0);
  KeepHeader = ini.ReadBool(kSection, "KeepHeader", false);
  MaxFileSize = ini.ReadInt64(kSection, "MaxFileSize", 100);
  SymbolType = ini.ReadString(kSection, "SymbolType", "Separator");
  SymbolValue = ini.ReadString(kSection, "SymbolValue", "");
  IgnoreCase = ini.ReadBool(kSection, "IgnoreCase", false);
  QuotedFields = ini.ReadBool(kSection, "QuotedFields", false);
  if (SourceEncoding.empty() && FileExists(SourceFile)) SourceEncoding = DetectEncodingOrEmpty(SourceFile);
}

std::unique_ptr<TTaskSession> TFileSplitSession::NewSession() const { return std::make_unique<TFileSplitSession>(); }

void TFileSplitSession::GetDescription(std::string& text) const {
  text = DescribeSplit(SourceDescription(), DestDescription(), SplitByType, MaxLines, KeepHeader, MaxFileSize,
                       SymbolType, SymbolValue, IgnoreCase, QuotedFields);
}

std::string TFileSplitSession::SourceDescription() const { return "From : " + SourceFile; }

std::string TFileSplitSession::DestDescription() const { return "To : " + DestFolder; }
