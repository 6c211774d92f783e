// System information and the per-user configuration folder.
#pragma once

#include <cstdint>
#include <string>

class TDebugHelper {
 public:
  static std::string GetPlatformName();
  static std::string GetOSVersion();
  // Output of "uname -a" through /bin/bash, or "Unknown Linux version".
  static std::string GetLinuxVersion();
  // $XDG_CONFIG_HOME/ or $HOME/.config/, then the program file's name without
  // extension, "<AppName>Cmd" and any "<AppName>_..." suffix reduced to
  // AppName and AppName in any letter case spelled as AppName, ending with
  // "/". The folder is not created.
  static std::string GetAppConfigFolder(const std::string& app_name);
  // Free physical memory in bytes (sysinfo's freeram).
  static int64_t GetFreeMemory();
};

// Path of the running program; defaults to /proc/self/exe. Tests may set it.
std::string ProgramFileName();
void SetProgramFileName(const std::string& path);
