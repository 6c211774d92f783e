// Detecting a source file's encoding from its byte-order mark.
#pragma once

#include <string>
#include <string_view>

// True when Name equals "Auto Detect" ignoring ASCII letter case.
bool IsAutoDetect(std::string_view name);

// The display name of the encoding that the file's first bytes announce:
// "UTF-8BOM", "UCS-2LE (Unicode Little Endian)", "UCS-2BE (Unicode Big
// Endian)", or "UTF-8" for anything else (an empty file included). Raises
// EFOpenError when the file cannot be opened, EReadError when reading fails.
std::string DetectFileEncoding(const std::string& file_name);
