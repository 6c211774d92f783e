// What the two task kinds share beyond the session base: the description of
// their split settings and the best-effort detection of a source's encoding.
#pragma once

#include <cstdint>
#include <string>

// Source + CR LF + Dest + CR LF, then the lines of the rule that SplitByType
// names exactly ("Lines", "File Size", "Symbol"); nothing more for any other.
// With QuotedFields a last line "Quoted Fields: True" follows a CR LF.
std::string DescribeSplit(const std::string& source, const std::string& dest, const std::string& split_by_type,
                          int64_t max_lines, bool keep_header, int64_t max_file_size, const std::string& symbol_type,
                          const std::string& symbol_value, bool ignore_case, bool quoted_fields);

// The display name of the file's encoding, or empty when the file cannot be
// read: the run that follows then reports the unreadable source itself.
std::string DetectEncodingOrEmpty(const std::string& file_name);
