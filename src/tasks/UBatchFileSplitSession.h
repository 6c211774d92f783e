// The task that splits every matching file of a folder with one set of split
// settings (".bst" task files).
#pragma once

#include <memory>
#include <string>

#include "tasks/USplitSettings.h"
#include "tasks/UTaskSession.h"

class TBatchFileSplitSession : public TTaskSession {
 public:
  TBatchFileSplitSession();

  bool IsSameAs(const TTaskSession& other) const override;
  void WriteToIni(const std::string& file_name) override;
  // Reads the keys; a MaxLines that is no 32-bit integer is refused. An
  // empty SourceEncoding stays empty: the batch detects each file's own.
  void ReadFromIni(const std::string& file_name) override;
  std::unique_ptr<TTaskSession> NewSession() const override;
  void GetDescription(std::string& text) const override;
  std::vector<std::string> InvalidValues() const override;

  // The first two lines of the description.
  std::string SourceDescription() const { return "From : " + SourceFolder; }
  std::string DestDescription() const { return "To : " + DestFolder; }

  std::string SourceFolder;
  // Also take matching files from the subfolders that are not hidden, at any
  // depth, except the destination folder.
  bool SourceIncludeSub = false;
  // Wildcard mask of the file names to split.
  std::string SourceMask;
  // Each source file gets a piece folder of its own under it.
  std::string DestFolder;
  // Handed to the split of each file as they are.
  TSplitSettings Settings;
};
