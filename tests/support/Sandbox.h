// A sandbox for running the built program: home, configuration and working
// folders under a temporary folder, and a reader for the log file's entries.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/ProgramRunner.h"
#include "support/TestSupport.h"

struct TLogEntry {
  std::string Tag;  // "info", "error", ... or "" for the outputer's lines
  std::string Text;
};

// Parses "[yyyy-mm-dd hh.nn.ss.zzz] " + tag + text lines; a line without a
// stamp continues the previous entry. Fails the test on a malformed file.
std::vector<TLogEntry> ParseLog(const std::string& data);
// The Result line that ends every run of a task file.
bool IsResultLine(const TLogEntry& entry);
// The entries without their Result lines.
std::vector<TLogEntry> WithoutResults(std::vector<TLogEntry> entries);

class TSandbox : public ::testing::Test {
 protected:
  void SetUp() override;
  // Runs the program and expects it to exit 0 and print nothing.
  TProgramResult Run(const std::vector<std::string>& args, const std::string& cwd = "");
  TProgramResult Run(const std::vector<std::string>& args, const std::string& cwd,
                     const std::map<std::string, std::string>& env, const TRunLimits& limits = {});
  // The sandbox's environment: its own home and configuration folders.
  std::map<std::string, std::string> Environment() const;
  // Runs task= and logfile= and returns the log file's entries without the
  // Result lines. It expects the run to have added exactly one, as the last
  // line, and keeps it in LastResult.
  std::vector<TLogEntry> RunTask(const std::string& task, const std::string& log = "");
  std::string Work(const std::string& relative) const { return Dir / ("work/" + relative); }
  std::string ConfigFolder() const { return Dir / "xdg/Quillmere"; }
  // Writes a ".sft" task with the given key=value lines under [Split].
  std::string WriteTask(const std::string& name, const std::vector<std::string>& lines);

  TTempDir Dir;
  std::string Log;
  TLogEntry LastResult;
};
