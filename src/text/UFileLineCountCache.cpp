#include "text/UFileLineCountCache.h"

#include <memory>
#include <unordered_map>

#include "util/UTextUtils.h"
#include "util/UTimeUtils.h"

namespace {

struct TCountEntry {
  TCountLineResult Result;
  std::string Stamp;  // Modification-time text of the file when it was counted.
};

// Keyed by the lower-cased file name. Node-based, so references to results
// stay valid while other files are added.
using TCountTable = std::unordered_map<std::string, TCountEntry>;

std::unique_ptr<TCountTable> CountTable;

}  // namespace

const TCountLineResult& TFileLineCountCache::GetLineCount(const std::string& file_name, int64_t read_limit) {
  if (!CountTable) StartUp();
  std::string stamp = GetFileDateText(file_name);
  std::string key = AsciiLower(file_name);
  auto found = CountTable->find(key);
  if (found != CountTable->end() && found->second.Stamp == stamp) return found->second.Result;

  // Count before touching the table, so that a failure leaves it as it was.
  TCountLineResult result = TTxtFileLineCounter(file_name, read_limit).Count();
  if (found == CountTable->end()) found = CountTable->emplace(std::move(key), TCountEntry{}).first;
  found->second.Result = result;
  found->second.Stamp = std::move(stamp);
  return found->second.Result;
}

void TFileLineCountCache::StartUp() { CountTable = std::make_unique<TCountTable>(); }

void TFileLineCountCache::ShutDown() { CountTable.reset(); }
