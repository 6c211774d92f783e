// What the two task kinds share beyond the session base and their split
// settings: the best-effort detection of a source's encoding, and the keys
// a task file may hold.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

class TIniFile;

// The display name of the file's encoding, or empty when the file cannot be
// read: the run that follows then reports the unreadable source itself.
std::string DetectEncodingOrEmpty(const std::string& file_name);

// Every key that a task kind reads from section "Split".
std::span<const std::string_view> TaskFileKeys();
// The keys of the file's section "Split" that no task kind reads (letter
// case ignored), as the file spells them, in file order.
std::vector<std::string> UnknownTaskFileKeys(const TIniFile& ini);
