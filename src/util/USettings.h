// The key-value settings file "conf.ini" (section "App") in the
// configuration folder. Every call reads or writes the file afresh.
#pragma once

#include <string>

std::string GetSettingsFileName();
// Value of Key, or "" when the file, the section or the key is missing.
std::string ReadSetting(const std::string& key);
// Sets Key and writes the file at once; a missing folder raises EInOutError.
void WriteSetting(const std::string& key, const std::string& value);
