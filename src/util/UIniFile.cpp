#include "util/UIniFile.h"

#include "util/UFileStream.h"
#include "util/UTextUtils.h"

namespace {

bool IsSectionLine(std::string_view trimmed) {
  return trimmed.size() >= 2 && trimmed.front() == '[' && trimmed.back() == ']';
}

std::string_view SectionName(std::string_view trimmed) { return trimmed.substr(1, trimmed.size() - 2); }

bool IsCommentLine(std::string_view trimmed) { return !trimmed.empty() && trimmed.front() == ';'; }

// A value that would change when read back (blanks at either end, or a
// quoted text) is written inside double quotes, which reading removes.
std::string QuoteForWriting(std::string_view value) {
  if (value.empty()) return {};
  bool padded = static_cast<unsigned char>(value.front()) <= 0x20 || static_cast<unsigned char>(value.back()) <= 0x20;
  bool quoted = value.size() > 1 && (value.front() == '"' || value.front() == '\'') && value.front() == value.back();
  if (!padded && !quoted) return std::string(value);
  return "\"" + std::string(value) + "\"";
}

}  // namespace

TIniFile::TIniFile(std::string file_name) : FileName_(std::move(file_name)) {
  std::string content;
  if (!ReadWholeFileIfExists(FileName_, content)) return;
  // A UTF-8 byte-order mark written by an editor is not part of the first line.
  std::string_view text = content;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") {
    text.remove_prefix(3);
    HasByteOrderMark_ = true;
  }
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      Lines_.emplace_back(text.substr(start));
      break;
    }
    Lines_.emplace_back(text.substr(start, end - start));
    start = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
  }
}

long TIniFile::FindKeyLine(std::string_view section, std::string_view key) const {
  bool in_section = false;
  for (size_t i = 0; i < Lines_.size(); ++i) {
    std::string_view line = TrimView(Lines_[i]);
    if (line.empty() || IsCommentLine(line)) continue;
    if (IsSectionLine(line)) {
      in_section = SameTextAscii(SectionName(line), section);
      continue;
    }
    if (!in_section) continue;
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    if (SameTextAscii(TrimView(line.substr(0, eq)), key)) return static_cast<long>(i);
  }
  return -1;
}

bool TIniFile::FindValue(std::string_view section, std::string_view key, std::string& value) const {
  long index = FindKeyLine(section, key);
  if (index < 0) return false;
  std::string_view line = TrimView(Lines_[index]);
  std::string_view raw = TrimView(line.substr(line.find('=') + 1));
  if (raw.size() > 1 && (raw.front() == '"' || raw.front() == '\'') && raw.front() == raw.back())
    raw = raw.substr(1, raw.size() - 2);
  value.assign(raw);
  return true;
}

std::vector<std::string> TIniFile::KeysOf(std::string_view section) const {
  std::vector<std::string> keys;
  for (size_t i = 0; i < Lines_.size(); ++i) {
    std::string_view line = TrimView(Lines_[i]);
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    const std::string_view key = TrimView(line.substr(0, eq));
    // Only the line where each key is found counts.
    if (FindKeyLine(section, key) == static_cast<long>(i)) keys.emplace_back(key);
  }
  return keys;
}

bool TIniFile::ValueExists(std::string_view section, std::string_view key) const {
  return FindKeyLine(section, key) >= 0;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key, std::string_view default_value) const {
  std::string value;
  if (!FindValue(section, key, value)) return std::string(default_value);
  return value;
}

int64_t TIniFile::ReadInt64(std::string_view section, std::string_view key, int64_t default_value) const {
  std::string text;
  int64_t value = 0;
  if (!FindValue(section, key, text) || !TryParseInt64(text, value)) return default_value;
  return value;
}

int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key, int32_t default_value) const {
  std::string text;
  int32_t value = 0;
  if (!FindValue(section, key, text) || !TryParseInt32(text, value)) return default_value;
  return value;
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool default_value) const {
  std::string text;
  if (!FindValue(section, key, text) || text.empty()) return default_value;
  return text[0] == '1';
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  std::string line = std::string(key) + "=" + QuoteForWriting(value);
  long index = FindKeyLine(section, key);
  if (index >= 0) {
    Lines_[index] = line;
    return;
  }
  // Find the section; the new key goes after its last non-blank line.
  long header = -1;
  for (size_t i = 0; i < Lines_.size(); ++i) {
    std::string_view trimmed = TrimView(Lines_[i]);
    if (IsSectionLine(trimmed) && SameTextAscii(SectionName(trimmed), section)) {
      header = static_cast<long>(i);
      break;
    }
  }
  if (header < 0) {
    if (!Lines_.empty() && !TrimView(Lines_.back()).empty()) Lines_.emplace_back();
    Lines_.push_back("[" + std::string(section) + "]");
    Lines_.push_back(line);
    return;
  }
  size_t last = header;
  for (size_t i = header + 1; i < Lines_.size(); ++i) {
    std::string_view trimmed = TrimView(Lines_[i]);
    if (IsSectionLine(trimmed)) break;
    if (!trimmed.empty()) last = i;
  }
  Lines_.insert(Lines_.begin() + static_cast<long>(last) + 1, line);
}

void TIniFile::WriteInt64(std::string_view section, std::string_view key, int64_t value) {
  WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
  WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void TIniFile::UpdateFile() const {
  // The mark goes back where it was: without it, a second mark that opened
  // the first line would open the file, and reading would drop it.
  std::string content = HasByteOrderMark_ ? "\xEF\xBB\xBF" : "";
  for (const std::string& line : Lines_) {
    content += line;
    content += '\n';
  }
  WriteWholeFile(FileName_, content);
}
