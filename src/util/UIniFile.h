// INI files as task files and the settings file use them.
//
// Reading: every line is stripped of bytes up to 0x20; "[name]" opens a
// section; ";" starts a comment; any other line inside a section is split at
// its first "=" into a trimmed key and value. Section and key names ignore
// letter case; the first occurrence of a key wins. A value longer than one
// character enclosed in matching single or double quotes loses the quotes.
//
// Writing keeps every other section, key and line of the file, and its UTF-8
// byte-order mark: an existing
// key is replaced in place, a new key goes to the end of its section, a new
// section to the end of the file. Changes reach the disk on UpdateFile.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TIniFile {
 public:
  // Loads FileName; a missing file reads as an empty one. An existing file
  // that cannot be read raises EFOpenError.
  explicit TIniFile(std::string file_name);

  const std::string& FileName() const { return FileName_; }

  bool ValueExists(std::string_view section, std::string_view key) const;
  // The keys of Section as the file spells them, each once (its first
  // spelling), in file order.
  std::vector<std::string> KeysOf(std::string_view section) const;
  std::string ReadString(std::string_view section, std::string_view key, std::string_view default_value) const;
  // Integers that are not whole numbers or do not fit yield the default.
  int64_t ReadInt64(std::string_view section, std::string_view key, int64_t default_value) const;
  int32_t ReadInteger(std::string_view section, std::string_view key, int32_t default_value) const;
  // Empty yields the default; otherwise true exactly when the first character is "1".
  bool ReadBool(std::string_view section, std::string_view key, bool default_value) const;

  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInt64(std::string_view section, std::string_view key, int64_t value);
  void WriteInteger(std::string_view section, std::string_view key, int32_t value);
  void WriteBool(std::string_view section, std::string_view key, bool value);

  // Writes the file (creating it when missing); raises EInOutError on failure.
  void UpdateFile() const;

 private:
  // Index of the line that holds Key in Section, or -1.
  long FindKeyLine(std::string_view section, std::string_view key) const;
  // Raw (untrimmed, unquoted) value of the key, or false when absent.
  bool FindValue(std::string_view section, std::string_view key, std::string& value) const;

  std::string FileName_;
  bool HasByteOrderMark_ = false;  // the file began with a UTF-8 mark; writing keeps it
  std::vector<std::string> Lines_;
};
