// Runs the built QuillmereCmd in a sandbox folder and captures what it prints.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

struct TProgramResult {
  int ExitStatus = -1;
  std::string Stdout, Stderr;
};

// Limits the child is started under.
struct TRunLimits {
  // RLIMIT_FSIZE in bytes (-1: inherited). SIGXFSZ is ignored in the child,
  // so a write past the limit fails with EFBIG instead of killing it.
  long long FileSizeLimit = -1;
  // A child still running after this long is killed (its status is then
  // 128 + SIGKILL), so that a hang fails the test instead of stalling it.
  int TimeoutSeconds = 120;
  // When not negative, the child is killed with SIGKILL this many
  // microseconds after it was started, as a crash would end it.
  int64_t KillAfterMicroseconds = -1;
};

// In a child process: changes to Cwd and executes Program with Arguments
// and Env as the whole environment; exits with 126 or 127 when it cannot.
[[noreturn]] void ExecProgram(const std::string& program, const std::vector<std::string>& arguments,
                              const std::string& cwd, const std::map<std::string, std::string>& env);

// Runs Program with Arguments in Cwd; Env replaces the environment entirely.
// Standard input is /dev/null, or a pipe that Input is written into (and
// then closed) while the program runs.
TProgramResult RunProgram(const std::string& program, const std::vector<std::string>& arguments, const std::string& cwd,
                          const std::map<std::string, std::string>& env, const TRunLimits& limits = {},
                          const std::optional<std::string>& input = std::nullopt);
