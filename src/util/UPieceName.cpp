#include "util/UPieceName.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "util/UPathUtils.h"
#include "util/UTextUtils.h"

namespace {

// The width of a number placeholder ("n" or "n:W"); 0 when Inner is none.
int NumberWidth(std::string_view inner) {
  if (inner == "n") return 1;
  if (!inner.starts_with("n:") || inner.size() < 3 || inner.size() > 4) return 0;
  int width = 0;
  for (char c : inner.substr(2)) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return 0;
    width = width * 10 + (c - '0');
  }
  return width <= TPieceName::kMaxWidth ? width : 0;
}

}  // namespace

bool TPieceName::IsTemplate(std::string_view text) {
  if (text.empty()) return true;
  bool number = false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '/' || text[i] == '\0') return false;
    if (text[i] != '{') continue;
    const size_t close = text.find('}', i);
    if (close == std::string_view::npos) return false;
    const std::string_view inner = text.substr(i + 1, close - i - 1);
    if (NumberWidth(inner) > 0)
      number = true;
    else if (inner != "name" && inner != "ext")
      return false;
    i = close;
  }
  return number;
}

TPieceName::TPieceName(std::string_view text, std::string_view source_path, std::string_view suffix) {
  if (text.empty() || !IsTemplate(text)) text = kDefault;
  const std::string_view file = FileNamePart(source_path);
  const std::string ext = ExtensionOfName(file);
  const std::string_view name = file.substr(0, file.size() - ext.size());
  auto literal = [this](std::string_view part) {
    if (Parts_.empty() || Parts_.back().Width > 0) Parts_.push_back({});
    Parts_.back().Text += part;
  };
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '{') {
      literal(text.substr(i, 1));
      continue;
    }
    const size_t close = text.find('}', i);
    const std::string_view inner = text.substr(i + 1, close - i - 1);
    if (const int width = NumberWidth(inner); width > 0)
      Parts_.push_back({.Text = {}, .Width = width});
    else
      literal(inner == "name" ? name : std::string_view(ext));
    i = close;
  }
  if (!suffix.empty()) literal(suffix);
}

std::string TPieceName::Name(int64_t number) const {
  std::string name;
  AppendName(number, name);
  return name;
}

void TPieceName::AppendName(int64_t number, std::string& out) const {
  char digits[24];
  const size_t size = static_cast<size_t>(std::to_chars(digits, digits + sizeof(digits), number).ptr - digits);
  for (const TPart& part : Parts_) {
    if (part.Width == 0) {
      out += part.Text;
      continue;
    }
    if (static_cast<size_t>(part.Width) > size) out.append(static_cast<size_t>(part.Width) - size, '0');
    out.append(digits, size);
  }
}

bool TPieceName::IsPartName(std::string_view name) const {
  constexpr std::string_view kDot = ".", kPart = ".part";
  return name.size() > kDot.size() + kPart.size() && name.starts_with(kDot) && name.ends_with(kPart) &&
         IsPieceName(name.substr(kDot.size(), name.size() - kDot.size() - kPart.size()));
}

bool TPieceName::IsPieceName(std::string_view name) const {
  // The number follows the literal text that opens the template; each
  // length of the digits there is tried, longest first, since the text
  // after a number may begin with digits too.
  const std::string_view head = Parts_[0].Width == 0 ? std::string_view(Parts_[0].Text) : std::string_view();
  if (!name.starts_with(head)) return false;
  const std::string_view rest = name.substr(head.size());
  const size_t run =
      std::find_if_not(rest.begin(), rest.end(), [](char c) { return c >= '0' && c <= '9'; }) - rest.begin();
  for (size_t size = std::min<size_t>(run, kMaxWidth); size > 0; --size) {
    int64_t number = 0;
    if (TryParseInt64(rest.substr(0, size), number) && number >= 1 && Name(number) == name) return true;
  }
  return false;
}
