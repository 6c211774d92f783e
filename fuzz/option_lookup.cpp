// The command line's option lookup against a plain reading of the rule: the
// first argument whose text before its first "=" equals the name, ASCII
// letter case ignored, gives the text after that "=", stripped of bytes up
// to 0x20 at both ends. The input is the name, then the arguments, each
// ended by a NUL byte (arguments cannot hold one).
#include <cstdint>
#include <string>
#include <vector>

#include "app/UCmdLineProcessor.h"

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

std::string Reference(const std::vector<std::string>& arguments, const std::string& name) {
  for (const std::string& argument : arguments) {
    size_t equals = argument.find('=');
    if (equals == std::string::npos || !SameName(argument.substr(0, equals), name)) continue;
    std::string value = argument.substr(equals + 1);
    while (!value.empty() && static_cast<unsigned char>(value.front()) <= 0x20) value.erase(0, 1);
    while (!value.empty() && static_cast<unsigned char>(value.back()) <= 0x20) value.pop_back();
    return value;
  }
  return "";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> parts(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0)
      parts.emplace_back();
    else
      parts.back() += static_cast<char>(data[i]);
  }
  TCmdLineProcessor processor;
  processor.Params.assign(parts.begin() + 1, parts.end());
  if (processor.OptionValue(parts[0]) != Reference(processor.Params, parts[0])) __builtin_trap();
  return 0;
}
