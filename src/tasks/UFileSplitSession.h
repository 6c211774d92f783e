// The task that splits one source file (".sft" task files), and the settings
// record that every splitter reads.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "tasks/UTaskSession.h"

class TFileSplitSession : public TTaskSession {
 public:
  TFileSplitSession();

  void SaveToFile(const std::string& file_name) override;
  void LoadFromFile(const std::string& file_name) override;
  bool IsSameAs(const TTaskSession& other) const override;
  void WriteToIni(const std::string& file_name) override;
  void ReadFromIni(const std::string& file_name) override;
  std::unique_ptr<TTaskSession> NewSession() const override;
  void GetDescription(std::string& text) const override;

  // "From : " + SourceFile.
  std::string SourceDescription() const;
  // "To : " + DestFolder.
  std::string DestDescription() const;

  std::string SourceFile;
  // Display name or key of an encoding, "Auto Detect", or empty to detect.
  std::string SourceEncoding;
  std::string DestFolder;
  // "Lines", "File Size" or "Symbol", compared exactly; anything else names no rule.
  std::string SplitByType;
  int64_t MaxLines = 0;
  bool KeepHeader = false;
  // Megabytes of 1048576 bytes.
  int64_t MaxFileSize = 0;
  // "Separator", "Start With" or "End With", compared exactly.
  std::string SymbolType;
  std::string SymbolValue;
  bool IgnoreCase = false;
  // Records are CSV records: a line whose double quotes leave a field open
  // takes in the lines that follow until the count of quotes is even.
  bool QuotedFields = false;
};
