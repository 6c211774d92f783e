// Severity levels of log messages, in rising order.
#pragma once

#include <cstdint>
#include <string_view>

enum TLogLevel : uint32_t { llDebug = 0, llInfo = 1, llWarn = 2, llError = 3, llFatal = 4 };

// The tag that precedes every message of the level; unknown values are tagged as debug.
std::string_view LogLevelTag(uint32_t level);
