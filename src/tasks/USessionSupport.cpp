#include "tasks/USessionSupport.h"

#include "text/UEncodingDetect.h"
#include "util/UErrors.h"

namespace {
constexpr char kCrLf[] = "\r\n";
const char* TrueFalse(bool value) { return value ? "True" : "False"; }
}  // namespace

std::string DescribeSplit(const std::string& source, const std::string& dest, const std::string& split_by_type,
                          int64_t max_lines, bool keep_header, int64_t max_file_size, const std::string& symbol_type,
                          const std::string& symbol_value, bool ignore_case, bool quoted_fields) {
  std::string text = source + kCrLf + dest + kCrLf;
  if (split_by_type == "Lines") {
    text += "Max Lines per Split File: " + std::to_string(max_lines) + kCrLf + "Keep Header: " + TrueFalse(keep_header);
  } else if (split_by_type == "File Size") {
    text += "Max File Size per Split File: " + std::to_string(max_file_size) + " MB";
  } else if (split_by_type == "Symbol") {
    text += symbol_type + ": " + symbol_value + kCrLf + "Ignore Case: " + TrueFalse(ignore_case);
  }
  // Only tasks that use it say so: every other description stays as it was.
  if (quoted_fields) {
    if (!text.ends_with(kCrLf)) text += kCrLf;  // an unknown rule already ends with one
    text += "Quoted Fields: True";
  }
  return text;
}

std::string DetectEncodingOrEmpty(const std::string& file_name) {
  try {
    return DetectFileEncoding(file_name);
  } catch (const EQuillmereError&) {
    return {};
  }
}
