#include "tasks/USessionSupport.h"

#include <algorithm>

#include "tasks/USplitSettings.h"
#include "text/UEncodingDetect.h"
#include "util/UErrors.h"
#include "util/UIniFile.h"
#include "util/UTextUtils.h"

namespace {

// A key of one kind in the other kind's file is no mistake worth a warning:
// tasks are often made by editing one of the other kind.
constexpr std::string_view kTaskFileKeys[] = {
    "SourceFile", "SourceFolder", "SourceEncoding", "SourceIncludeSub", "SourceMask",
    "DestFolder", "SplitByType",  "MaxLines",       "KeepHeader",       "MaxFileSize",
    "SymbolType", "SymbolValue",  "IgnoreCase",     "QuotedFields",     "Manifest",
    "PieceName",  "LineEnd",      "Compress",       "CompressLevel",    "OutputEncoding",
};

}  // namespace

std::string DetectEncodingOrEmpty(const std::string& file_name) {
  try {
    return DetectFileEncoding(file_name);
  } catch (const EQuillmereError&) {
    return {};
  }
}

std::span<const std::string_view> TaskFileKeys() { return kTaskFileKeys; }

std::vector<std::string> UnknownTaskFileKeys(const TIniFile& ini) {
  std::vector<std::string> unknown = ini.KeysOf(TSplitSettings::kSection);
  std::erase_if(unknown, [](const std::string& key) {
    return std::any_of(std::begin(kTaskFileKeys), std::end(kTaskFileKeys),
                       [&](std::string_view known) { return SameTextAscii(key, known); });
  });
  return unknown;
}
