#include "util/UDebugHelper.h"

#include <sys/sysinfo.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "util/UPathUtils.h"
#include "util/UTextUtils.h"

namespace {
std::string ProgramPath;
}

std::string ProgramFileName() {
  if (!ProgramPath.empty()) return ProgramPath;
  char buffer[4096];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  if (n <= 0) return {};
  return std::string(buffer, static_cast<size_t>(n));
}

void SetProgramFileName(const std::string& path) { ProgramPath = path; }

std::string TDebugHelper::GetPlatformName() { return "Linux"; }

std::string TDebugHelper::GetOSVersion() {
  std::string result = "Unknown OS version";
  result = GetLinuxVersion();
  return result;
}

std::string TDebugHelper::GetLinuxVersion() {
  std::string result = "Unknown Linux version";
  int out[2];
  if (pipe(out) != 0) return result;
  pid_t pid = fork();
  if (pid < 0) {
    close(out[0]);
    close(out[1]);
    return result;
  }
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    close(out[1]);
    execl("/bin/bash", "/bin/bash", "-c", "uname -a", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  std::string captured;
  char buffer[4096];
  for (ssize_t n; (n = read(out[0], buffer, sizeof(buffer))) != 0;) {
    if (n < 0) break;
    captured.append(buffer, static_cast<size_t>(n));
  }
  close(out[0]);
  int status = 0;
  if (waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0) result = captured;
  return result;
}

std::string TDebugHelper::GetAppConfigFolder(const std::string& app_name) {
  std::string base;
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && *xdg != '\0') {
    base = xdg;
    if (base.back() != '/') base += '/';
  } else {
    const char* home = std::getenv("HOME");
    base = home != nullptr ? home : "";
    if (base.empty() || base.back() != '/') base += '/';
    base += ".config/";
  }
  // Only the program's name is mapped to the application's: the base folder
  // may hold the same words and is used as it is.
  std::string name = FileNameWithoutExtension(ProgramFileName());
  size_t cmd = name.find(app_name + "Cmd");
  if (cmd != std::string::npos) name.replace(cmd, app_name.size() + 3, app_name);
  size_t suffix = name.find(app_name + "_");
  if (suffix != std::string::npos) name.resize(suffix + app_name.size());
  // The front door's program is named in lower case, as commands are.
  if (SameTextAscii(name, app_name)) name = app_name;
  return base + name + "/";
}

int64_t TDebugHelper::GetFreeMemory() {
  struct sysinfo info;
  if (sysinfo(&info) != 0) return 0;
  return static_cast<int64_t>(info.freeram) * static_cast<int64_t>(info.mem_unit);
}
