// What a source file's first bytes say: the encoding its byte-order mark
// announces, the encoding a task's name comes to for it, and whether it is
// compressed.
#pragma once

#include <string>
#include <string_view>

// True when Name equals "Auto Detect" ignoring ASCII letter case.
bool IsAutoDetect(std::string_view name);

// The key of the byte-order mark that Head begins with: "utf8bom" (EF BB BF),
// "ucs2le" (FF FE), "ucs2be" (FE FF); empty without one.
std::string_view ByteOrderMarkKeyOf(std::string_view head);

// The display name of the encoding that a text's first bytes announce:
// "UTF-8BOM", "UCS-2LE (Unicode Little Endian)", "UCS-2BE (Unicode Big
// Endian)", or "UTF-8" for anything else (an empty text included).
std::string DetectEncodingOf(std::string_view head);
// DetectEncodingOf the file's text: its first bytes, or for a gzip or zstd
// file its first bytes decompressed. Raises what opening it for reading
// raises (TBlockTextReader::Open): EFOpenError when the file cannot be
// opened, EReadError when reading fails.
std::string DetectFileEncoding(const std::string& file_name);

// The encoding a source is read and its pieces written in.
struct TSourceEncoding {
  // The task's name, or the key it stands for (an alias such as
  // "windows-1251"), or the key of the source's byte-order mark.
  std::string Name;
  // The source's mark overrode a name that says otherwise.
  bool MarkWins = false;
};
// For the encoding a task names and the first bytes of its source: a
// byte-order mark wins over any name but "Auto Detect" and the empty one
// (which detect it anyway), except that "utf8" keeps a UTF-8 mark off the
// pieces. An alias gives its key; any other name stays as it is.
TSourceEncoding ChooseSourceEncoding(const std::string& named, std::string_view head);

// The compressed format whose signature Head begins with: "gzip", "zstd",
// "xz", "bzip2", "zip" or "7z"; empty for anything else.
std::string_view CompressionFormatOf(std::string_view head);
