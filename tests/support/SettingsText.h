// Split settings in tests: as one line of text, so that a failed comparison
// shows every value (gtest prints TSplitSettings through PrintTo), and one
// change of each setting, for the tests of every comparison that holds them.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "tasks/USplitSettings.h"

inline std::string SettingsText(const TSplitSettings& s) {
  std::string text = "SourceEncoding=" + s.SourceEncoding + "|SplitByType=" + s.SplitByType.Text() +
                     "|MaxLines=" + std::to_string(s.MaxLines) + "|KeepHeader=" + std::to_string(s.KeepHeader) +
                     "|MaxFileSize=" + std::to_string(s.MaxFileSize) + "|Unit=" + std::to_string(s.MaxFileSizeUnit) +
                     "|SymbolType=" + s.SymbolType.Text() + "|SymbolValue=" + s.SymbolValue +
                     "|IgnoreCase=" + std::to_string(s.IgnoreCase) + "|QuotedFields=" + std::to_string(s.QuotedFields) +
                     "|Manifest=" + std::to_string(s.Manifest) + "|PieceName=" + s.PieceName +
                     "|LineEnd=" + s.LineEnd.Text();
  text += "|Compress=" + s.Compress.Text() + "|CompressLevel=" + std::to_string(s.CompressLevel);
  text += "|OutputEncoding=" + s.OutputEncoding;
  for (const TInvalidValue& value : s.Invalid) text += "|invalid " + value.Key + "=" + value.Value;
  return text;
}

inline void PrintTo(const TSplitSettings& s, std::ostream* out) { *out << SettingsText(s); }

// One function per setting, each moving it away from its zero value. The
// rule and the symbol type get a name of none, which must still differ from
// the empty one.
inline std::vector<std::function<void(TSplitSettings&)>> SettingChanges() {
  return {
      [](TSplitSettings& s) { s.SourceEncoding = "x"; },
      [](TSplitSettings& s) { s.SplitByType = TNamedChoice<TSplitRule>("x"); },
      [](TSplitSettings& s) { s.MaxLines = 1; },
      [](TSplitSettings& s) { s.KeepHeader = true; },
      [](TSplitSettings& s) { s.MaxFileSize = 1; },
      [](TSplitSettings& s) { s.MaxFileSizeUnit = suKB; },
      [](TSplitSettings& s) { s.SymbolType = TNamedChoice<TSymbolType>("x"); },
      [](TSplitSettings& s) { s.SymbolValue = "x"; },
      [](TSplitSettings& s) { s.IgnoreCase = true; },
      [](TSplitSettings& s) { s.QuotedFields = true; },
      [](TSplitSettings& s) { s.Manifest = true; },
      [](TSplitSettings& s) { s.PieceName = "{n:2}"; },
      [](TSplitSettings& s) { s.LineEnd = leKeep; },
      [](TSplitSettings& s) { s.Compress = cmZstd; },
      [](TSplitSettings& s) { s.CompressLevel = 1; },
      [](TSplitSettings& s) { s.OutputEncoding = "UTF-8"; },
      [](TSplitSettings& s) {
        s.Invalid.push_back({"KeepHeader", "x", ""});
      },
  };
}
