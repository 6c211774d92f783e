// The task that splits every matching file of a folder with one set of split
// settings (".bst" task files).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "tasks/UTaskSession.h"

class TBatchFileSplitSession : public TTaskSession {
 public:
  TBatchFileSplitSession();

  void SaveToFile(const std::string& file_name) override;
  void LoadFromFile(const std::string& file_name) override;
  bool IsSameAs(const TTaskSession& other) const override;
  void WriteToIni(const std::string& file_name) override;
  // Reads the keys; a MaxLines that is no 32-bit integer reads as 0. With no
  // SourceEncoding, the encoding of the first file that the mask finds in a
  // non-empty, existing SourceFolder is taken.
  void ReadFromIni(const std::string& file_name) override;
  std::unique_ptr<TTaskSession> NewSession() const override;
  void GetDescription(std::string& text) const override;

  // "From : " + SourceFolder.
  std::string SourceDescription() const;
  // "To : " + DestFolder.
  std::string DestDescription() const;

  std::string SourceFolder;
  std::string SourceEncoding;
  // Also take matching files from subfolders, at any depth.
  bool SourceIncludeSub = false;
  // Wildcard mask of the file names to split.
  std::string SourceMask;
  // Each source file gets a piece folder of its own under it.
  std::string DestFolder;
  std::string SplitByType;
  int32_t MaxLines = 0;
  bool KeepHeader = false;
  int64_t MaxFileSize = 0;
  std::string SymbolType;
  std::string SymbolValue;
  bool IgnoreCase = false;
  bool QuotedFields = false;  // as in the split task
};
