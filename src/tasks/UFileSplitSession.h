// The task that splits one source file (".sft" task files). Its settings are
// what every splitter reads.
#pragma once

#include <memory>
#include <string>

#include "tasks/USplitSettings.h"
#include "tasks/UTaskSession.h"

class TFileSplitSession : public TTaskSession {
 public:
  TFileSplitSession();

  bool IsSameAs(const TTaskSession& other) const override;
  void WriteToIni(const std::string& file_name) override;
  void ReadFromIni(const std::string& file_name) override;
  std::unique_ptr<TTaskSession> NewSession() const override;
  void GetDescription(std::string& text) const override;
  std::vector<std::string> InvalidValues() const override;
  // When the settings name no encoding and the source file exists, names
  // the one its first bytes announce, as loading a task file does. Standard
  // input ("-") is left to the split.
  void DetectSourceEncoding();

  // The first two lines of the description.
  std::string SourceDescription() const { return "From : " + SourceFile; }
  std::string DestDescription() const { return "To : " + DestFolder; }

  std::string SourceFile;
  std::string DestFolder;
  TSplitSettings Settings;
};
