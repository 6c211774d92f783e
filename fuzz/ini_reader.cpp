// Arbitrary bytes as a task file, loaded as a split task and as a batch task.
// Nothing may crash, and the settings must survive a save and a reload.
//
// A task names files and folders that loading looks into (encoding
// detection, the search for a batch's first file). So that the fuzzer never
// reads a device or walks the machine's folders, inputs that name an
// existing path outside the fuzz folder are skipped. The fuzz folder holds a
// UTF-16 source and a dotted subfolder for the seeds to name:
// /tmp/quillmere-fuzz-ini/src.csv and /tmp/quillmere-fuzz-ini/sub.d/x.csv.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tasks/UBatchFileSplitSession.h"
#include "tasks/UFileSplitSession.h"
#include "util/UFileStream.h"
#include "util/UIniFile.h"
#include "util/UPathUtils.h"

namespace {

const std::string kFolder = "/tmp/quillmere-fuzz-ini";
std::string TaskPath;

bool InsideFuzzFolder(const std::string& path) {
  if (!IsSystemPath(path)) return true;  // names nothing
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return true;  // names nothing that exists
  char real[PATH_MAX];
  if (realpath(path.c_str(), real) == nullptr) return false;
  const std::string resolved = real;
  return resolved == kFolder || resolved.starts_with(kFolder + "/");
}

// A missing MaxLines is 0, which saving writes out and which, read back, is
// an invalid value. Both refuse a split by lines; that one difference is not
// a lost setting.
template <typename TSession>
bool SameAfterReload(const TSession& session, TSession& reloaded) {
  if (session.IsSameAs(reloaded)) return true;
  auto& invalid = reloaded.Settings.Invalid;
  const bool had_max_lines = std::any_of(session.Settings.Invalid.begin(), session.Settings.Invalid.end(),
                                         [](const TInvalidValue& value) { return value.Key == "MaxLines"; });
  if (session.Settings.MaxLines != 0 || had_max_lines) return false;
  std::erase_if(invalid, [](const TInvalidValue& value) { return value.Key == "MaxLines" && value.Value == "0"; });
  return session.IsSameAs(reloaded);
}

template <typename TSession>
void LoadSaveReload(const std::string& bytes) {
  WriteWholeFile(TaskPath, bytes);
  TSession session;
  session.LoadFromFile(TaskPath);
  std::string description;
  session.GetDescription(description);
  // Saving writes every key into the same file, keeping its other lines;
  // reading it back must give the same settings.
  session.SaveToFile(TaskPath);
  TSession reloaded;
  reloaded.LoadFromFile(TaskPath);
  if (!SameAfterReload(session, reloaded)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  mkdir(kFolder.c_str(), 0755);
  mkdir((kFolder + "/sub.d").c_str(), 0755);
  WriteWholeFile(kFolder + "/src.csv", std::string("\xFF\xFE"
                                                   "a\0,\0b\0\n\0",
                                                   10));
  WriteWholeFile(kFolder + "/sub.d/x.csv", "x\n");
  TaskPath = kFolder + "/task-" + std::to_string(getpid());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  {
    WriteWholeFile(TaskPath, bytes);
    TIniFile ini(TaskPath);
    if (!InsideFuzzFolder(ini.ReadString("Split", "SourceFile", "")) ||
        !InsideFuzzFolder(ini.ReadString("Split", "SourceFolder", "")))
      return 0;
  }
  LoadSaveReload<TFileSplitSession>(bytes);
  LoadSaveReload<TBatchFileSplitSession>(bytes);
  unlink((TaskPath + ".bak").c_str());
  return 0;
}
