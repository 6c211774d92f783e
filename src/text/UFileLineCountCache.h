// Program-wide cache of line counts: each file is counted once per process
// and again only when its modification time has changed.
#pragma once

#include <cstdint>
#include <string>

#include "text/UTxtFileLineCounter.h"

class TFileLineCountCache {
 public:
  // The cached count of the file, or a fresh one when the file is not in the
  // cache or its modification-time text (GetFileDateText) differs from the
  // one recorded with the count. File names are compared ignoring ASCII
  // letter case. The result is owned by the cache and stays valid until
  // ShutDown; a later recount of the same file updates it in place. A fresh
  // count reads at most ReadLimit bytes before it estimates.
  // Raises what counting raises (EFOpenError for a file that cannot be
  // opened); a failed count adds nothing and keeps any earlier entry.
  static const TCountLineResult& GetLineCount(const std::string& file_name,
                                              int64_t read_limit = TTxtFileLineCounter::DefaultReadLimit);

  // Creates the empty cache at module start-up; GetLineCount creates it on
  // first use when start-up has not run.
  static void StartUp();
  // Releases the cache and every result it handed out.
  static void ShutDown();
};
