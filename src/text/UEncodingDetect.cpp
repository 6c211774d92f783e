#include "text/UEncodingDetect.h"

#include <algorithm>

#include "util/UFileStream.h"
#include "util/UTextUtils.h"

bool IsAutoDetect(std::string_view name) { return AsciiLower(name) == "auto detect"; }

std::string DetectFileEncoding(const std::string& file_name) {
  TFileStream file = TFileStream::OpenRead(file_name);
  unsigned char head[8] = {};
  size_t count = static_cast<size_t>(std::min<int64_t>(file.Size(), 8));
  file.ReadExact(head, count);
  if (count < 2) return "UTF-8";
  if (count >= 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF) return "UTF-8BOM";
  if (head[0] == 0xFF && head[1] == 0xFE) return "UCS-2LE (Unicode Little Endian)";
  if (head[0] == 0xFE && head[1] == 0xFF) return "UCS-2BE (Unicode Big Endian)";
  return "UTF-8";
}
