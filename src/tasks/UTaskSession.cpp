#include "tasks/UTaskSession.h"

#include <utility>

#include "util/UFileStream.h"
#include "util/UPathUtils.h"

TTaskSession::TTaskSession(std::string file_filter, std::string default_ext, std::string category)
    : FileFilter(std::move(file_filter)), DefaultExt(std::move(default_ext)), Category(std::move(category)) {}

void TTaskSession::SaveToFile(const std::string& file_name) {
  FileName = file_name;
  // The backup is a courtesy: a save must not fail because it could not be made.
  if (FileExists(file_name)) CopyFileContent(file_name, file_name + ".bak");
  WriteToIni(file_name);
}

void TTaskSession::LoadFromFile(const std::string& file_name) {
  FileName = file_name;
  ReadFromIni(file_name);
}
