// What the two task kinds share beyond the session base and their split
// settings: the best-effort detection of a source's encoding.
#pragma once

#include <string>

// The display name of the file's encoding, or empty when the file cannot be
// read: the run that follows then reports the unreadable source itself.
std::string DetectEncodingOrEmpty(const std::string& file_name);
