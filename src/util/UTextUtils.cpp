#include "util/UTextUtils.h"

#include <charconv>

std::string_view TrimView(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= 0x20) ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 0x20) --end;
  return text.substr(begin, end - begin);
}

std::string Trim(std::string_view text) { return std::string(TrimView(text)); }

void SplitText(std::string_view text, std::string_view delimiter, std::vector<std::string>& parts) {
  parts.clear();
  std::string_view rest = TrimView(text);
  // An empty delimiter would occur everywhere; the whole text is then one part.
  if (!delimiter.empty()) {
    for (size_t pos = rest.find(delimiter); pos != std::string_view::npos; pos = rest.find(delimiter)) {
      parts.emplace_back(rest.substr(0, pos));
      rest.remove_prefix(pos + delimiter.size());
    }
  }
  parts.emplace_back(rest);
}

bool ContainsText(std::string_view text, std::string_view part) {
  return !part.empty() && text.find(part) != std::string_view::npos;
}

std::string TextAfter(std::string_view text, std::string_view delimiter) {
  size_t pos = text.find(delimiter);
  if (pos == std::string_view::npos) return {};
  return std::string(text.substr(pos + delimiter.size()));
}

std::string TextBefore(std::string_view text, std::string_view delimiter) {
  size_t pos = text.find(delimiter);
  if (pos == std::string_view::npos) return {};
  return std::string(text.substr(0, pos));
}

std::string RightText(std::string_view text, int32_t count) {
  if (count <= 0) return {};
  if (static_cast<size_t>(count) >= text.size()) return std::string(text);
  return std::string(text.substr(text.size() - count));
}

std::string DropRight(std::string_view text, int32_t count) {
  if (count <= 0) return std::string(text);
  if (static_cast<size_t>(count) >= text.size()) return {};
  return std::string(text.substr(0, text.size() - count));
}

std::string AsciiLower(std::string_view text) {
  std::string result(text);
  for (char& c : result)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return result;
}

std::string AsciiUpper(std::string_view text) {
  std::string result(text);
  for (char& c : result)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return result;
}

std::string LooseForm(std::string_view text) {
  std::string form;
  form.reserve(text.size());
  for (char c : text)
    if (c != '-' && c != '_' && c != ' ') form += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  return form;
}

bool SameTextAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

template <typename Int>
static bool TryParse(std::string_view text, Int& value) {
  if (text.empty()) return false;
  const char* first = text.data();
  const char* last = first + text.size();
  // from_chars takes no leading '+', which a decimal integer may carry.
  if (*first == '+') {
    ++first;
    if (first == last || *first == '-') return false;
  }
  Int parsed{};
  auto [ptr, ec] = std::from_chars(first, last, parsed, 10);
  if (ec != std::errc() || ptr != last) return false;
  value = parsed;
  return true;
}

bool TryParseInt64(std::string_view text, int64_t& value) { return TryParse(text, value); }
bool TryParseInt32(std::string_view text, int32_t& value) { return TryParse(text, value); }
