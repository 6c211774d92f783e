#include "text/UEncodingDetect.h"

#include "text/UBlockTextReader.h"
#include "text/UEncodings.h"
#include "util/UFileStream.h"
#include "util/UTextUtils.h"

bool IsAutoDetect(std::string_view name) { return AsciiLower(name) == "auto detect"; }

std::string_view ByteOrderMarkKeyOf(std::string_view head) {
  if (head.starts_with("\xEF\xBB\xBF")) return "utf8bom";
  if (head.starts_with("\xFF\xFE")) return "ucs2le";
  if (head.starts_with("\xFE\xFF")) return "ucs2be";
  return {};
}

std::string DetectEncodingOf(std::string_view head) {
  const std::string_view key = ByteOrderMarkKeyOf(head);
  return DisplayNameOf(key.empty() ? "utf8" : key);
}

std::string DetectFileEncoding(const std::string& file_name) {
  // Through the reader, which knows what text a file holds: a compressed
  // file's is what it holds decompressed.
  TBlockTextReader reader(TBlockTextReader::kHeadSize, 0);
  reader.Open(file_name);
  return DetectEncodingOf(reader.Head());
}

TSourceEncoding ChooseSourceEncoding(const std::string& named, std::string_view head) {
  if (named.empty() || IsAutoDetect(named)) return {named};
  const std::string_view mark = ByteOrderMarkKeyOf(head);
  const std::string alias = KeyOfEncodingAlias(named, mark);
  const std::string key = alias.empty() ? NormalizeEncodingName(named) : alias;
  if (mark.empty() || key == mark || (mark == "utf8bom" && key == "utf8")) return {alias.empty() ? named : alias};
  return {std::string(mark), true};
}

std::string_view CompressionFormatOf(std::string_view head) {
  constexpr struct {
    std::string_view Signature, Format;
  } kSignatures[] = {
      {"\x1F\x8B", "gzip"},
      {"\x28\xB5\x2F\xFD", "zstd"},
      {std::string_view("\xFD\x37\x7A\x58\x5A\x00", 6), "xz"},
      {"PK\x03\x04", "zip"},
      {"\x37\x7A\xBC\xAF\x27\x1C", "7z"},
  };
  for (const auto& [signature, format] : kSignatures)
    if (head.starts_with(signature)) return format;
  if (head.size() >= 4 && head.starts_with("BZh") && head[3] >= '0' && head[3] <= '9') return "bzip2";
  return {};
}
