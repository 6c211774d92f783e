// The block reader's line cutting. The input picks an encoding (every one of
// the table, its bare keys for UTF-16, and detection), a small block size and
// whether the file is read from memory or from disk; the rest is the file.
// The lines handed out must equal those of a one-shot cut of the whole
// decoded text, whatever the block size: a difference traps.
#include <unistd.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "text/UBlockTextReader.h"
#include "text/UEncodingConverter.h"
#include "text/UEncodingDetect.h"
#include "text/UEncodings.h"
#include "text/UTextDecoder.h"
#include "util/UFileStream.h"

namespace {

std::string FilePath;
std::vector<std::string> Names;

// The whole text cut at LF, CR and CR LF; a final line end adds no empty
// line; a byte-order mark that opens the text is dropped.
std::vector<std::string> ReferenceLines(const std::string& bytes, const std::string& encoding) {
  std::string text;
  TTextDecoder(encoding).Decode(bytes.data(), bytes.size(), text);
  std::vector<std::string> lines;
  std::string line;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      lines.push_back(line);
      line.clear();
    } else {
      line += text[i];
    }
  }
  if (!line.empty()) lines.push_back(line);
  if (!lines.empty()) {
    for (std::string mark : {"\xFE\xFF", "\xFF\xFE", "\xEF\xBB\xBF"}) {
      if (lines[0].compare(0, mark.size(), mark) == 0) {
        lines[0].erase(0, mark.size());
        break;
      }
    }
  }
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FilePath = "/tmp/quillmere-fuzz-reader-" + std::to_string(getpid());
  for (const TEncodingName& name : EncodingNames()) Names.push_back(name.DisplayName);
  for (const char* extra : {"ucs2le", "ucs2be", "utf8bom", "Auto Detect"}) Names.push_back(extra);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const std::string& encoding = Names[data[0] % Names.size()];
  const int64_t block_size = 1 + data[1] % 32;
  const int64_t memory_limit = data[2] % 2 == 0 ? 0 : int64_t{1} << 30;
  const std::string bytes(reinterpret_cast<const char*>(data) + 3, size - 3);
  // Compressed data is decompressed or refused before any line is read: not
  // what this target tests.
  if (!CompressionFormatOf(bytes).empty()) return 0;
  WriteWholeFile(FilePath, bytes);

  // The third byte's second bit asks for lines kept in the source's bytes:
  // they must lie one after the other in the file, separated by one line
  // end each, and decode to the reference lines.
  const bool keep_source_bytes = data[2] & 2;
  TBlockTextReader reader(block_size, memory_limit);
  reader.Open(FilePath);
  reader.SetEncodingName(encoding);
  if (keep_source_bytes) reader.KeepSourceBytes();
  std::vector<std::string> lines, raw_lines;
  while (reader.HasNext()) {
    reader.Next();
    lines.emplace_back(reader.CurrentText());
    raw_lines.emplace_back(reader.CurrentLine());
  }
  // Detection leaves the name it found; the reference decodes with that.
  const std::string found = reader.EncodingName();
  reader.Close();
  if (lines != ReferenceLines(bytes, found)) __builtin_trap();
  if (keep_source_bytes) {
    TTextDecoder decoder(found);
    const size_t unit = decoder.CodeUnitSize();
    const size_t low = decoder.IsBigEndian() ? 1 : 0;
    auto unit_is = [&](size_t at, char c) {
      return at + unit <= bytes.size() && bytes[at + low] == c && (unit == 1 || bytes[at + 1 - low] == '\0');
    };
    auto lines_from = [&](size_t at) {
      for (const std::string& line : raw_lines) {
        if (bytes.compare(at, line.size(), line) != 0) return false;
        at += line.size();
        if (unit_is(at, '\r') && unit_is(at + unit, '\n'))
          at += 2 * unit;
        else if (unit_is(at, '\r') || unit_is(at, '\n'))
          at += unit;
      }
      return bytes.size() - at < unit;  // no bytes left that no line took
    };
    // The first line may have lost a mark of up to 8 bytes.
    bool found_start = false;
    for (size_t start = 0; start <= 8 && start <= bytes.size() && !found_start; ++start)
      found_start = lines_from(start);
    if (!found_start) __builtin_trap();
  }
  return 0;
}
