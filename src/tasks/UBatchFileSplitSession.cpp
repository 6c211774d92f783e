#include "tasks/UBatchFileSplitSession.h"

#include "tasks/USessionSupport.h"
#include "util/UErrors.h"
#include "util/UIniFile.h"
#include "util/UPathUtils.h"

namespace {
constexpr char kSection[] = "Split";
}

TBatchFileSplitSession::TBatchFileSplitSession()
    : TTaskSession("Batch Split File Task (*.bst)|*.bst", "bst", "Split") {}

void TBatchFileSplitSession::SaveToFile(const std::string& file_name) {
  TTaskSession::SaveToFile(file_name);
  WriteToIni(file_name);
}

void TBatchFileSplitSession::LoadFromFile(const std::string& file_name) {
  TTaskSession::LoadFromFile(file_name);
  ReadFromIni(file_name);
}

bool TBatchFileSplitSession::IsSameAs(const TTaskSession& other) const {
  const auto* same = dynamic_cast<const TBatchFileSplitSession*>(&other);
  if (same == nullptr) throw EInvalidCast();
  return SourceFolder == same->SourceFolder && SourceEncoding == same->SourceEncoding &&
         SourceIncludeSub == same->SourceIncludeSub && SourceMask == same->SourceMask &&
         DestFolder == same->DestFolder && SplitByType == same->SplitByType && MaxLines == same->MaxLines &&
         KeepHeader == same->KeepHeader && MaxFileSize == same->MaxFileSize && SymbolType == same->SymbolType &&
         SymbolValue == same->SymbolValue && IgnoreCase == same->IgnoreCase &&
         QuotedFields == same->QuotedFields;
}

void TBatchFileSplitSession::WriteToIni(const std::string& file_name) {
  TIniFile ini(file_name);
  ini.WriteString(kSection, "SourceFolder", SourceFolder);
  ini.WriteString(kSection, "SourceEncoding", SourceEncoding);
  ini.WriteBool(kSection, "SourceIncludeSub", SourceIncludeSub);
  ini.WriteString(kSection, "SourceMask", SourceMask);
  ini.WriteString(kSection, "DestFolder", DestFolder);
  ini.WriteString(kSection, "SplitByType", SplitByType);
  ini.WriteInteger(kSection, "MaxLines", MaxLines);
  ini.WriteBool(kSection, "KeepHeader", KeepHeader);
  ini.WriteInt64(kSection, "MaxFileSize", MaxFileSize);
  ini.WriteString(kSection, "SymbolType", SymbolType);
  ini.WriteString(kSection, "SymbolValue", SymbolValue);
  ini.WriteBool(kSection, "IgnoreCase", IgnoreCase);
  // A task that never used the key is saved with the keys it always had.
  if (QuotedFields || ini.ValueExists(kSection, "QuotedFields")) ini.WriteBool(kSection, "QuotedFields", QuotedFields);
  ini.UpdateFile();
}

void TBatchFileSplitSession::ReadFromIni(const std::string& file_name) {
  TIniFile ini(file_name);
  SourceFolder = ini.ReadString(kSection, "SourceFolder", "");
  SourceEncoding = ini.ReadString(kSection, "SourceEncoding", "");
  SourceIncludeSub = ini.ReadBool(kSection, "SourceIncludeSub", false);
  SourceMask = ini.ReadString(kSection, "SourceMask", "");
  DestFolder = ini.ReadString(kSection, "DestFolder", "");
  SplitByType = ini.ReadString(kSection, "SplitByType", "Lines");
  // Outside 32 bits reads as 0 like any non-integer, which the run refuses.
  MaxLines = ini.ReadInteger(kSection, "MaxLines", 0);
  KeepHeader = ini.ReadBool(kSection, "KeepHeader", false);
  MaxFileSize = ini.ReadInt64(kSection, "MaxFileSize", 100);
  SymbolType = ini.ReadString(kSection, "SymbolType", "");
  SymbolValue = ini.ReadString(kSection, "SymbolValue", "");
  IgnoreCase = ini.ReadBool(kSection, "IgnoreCase", false);
  QuotedFields = ini.ReadBool(kSection, "QuotedFields", false);
  // An empty SourceFolder names no folder: the batch never searches the root.
  if (SourceEncoding.empty() && !SourceFolder.empty() && DirectoryExists(SourceFolder)) {
    std::string first = FindFirstMatch(SourceFolder, SourceMask, SourceIncludeSub);
    if (!first.empty()) SourceEncoding = DetectEncodingOrEmpty(first);
  }
}

std::unique_ptr<TTaskSession> TBatchFileSplitSession::NewSession() const {
  return std::make_unique<TBatchFileSplitSession>();
}

void TBatchFileSplitSession::GetDescription(std::string& text) const {
  text = DescribeSplit(SourceDescription(), DestDescription(), SplitByType, MaxLines, KeepHeader, MaxFileSize,
                       SymbolType, SymbolValue, IgnoreCase, QuotedFields);
}

std::string TBatchFileSplitSession::SourceDescription() const { return "From : " + SourceFolder; }

std::string TBatchFileSplitSession::DestDescription() const { return "To : " + DestFolder; }
