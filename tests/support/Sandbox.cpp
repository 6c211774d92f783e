#include "support/Sandbox.h"

#include <cstdlib>
#include <regex>

std::vector<TLogEntry> ParseLog(const std::string& data) {
  std::vector<TLogEntry> entries;
  if (data.empty()) return entries;
  EXPECT_EQ(data.back(), '\n') << "log does not end with a line feed";
  static const std::regex stamp(R"(^\[\d{4}-\d\d-\d\d \d\d\.\d\d\.\d\d\.\d{3}\] )");
  size_t start = 0;
  while (start < data.size()) {
    size_t end = data.find('\n', start);
    if (end == std::string::npos) end = data.size();
    std::string line = data.substr(start, end - start);
    start = end + 1;
    if (!std::regex_search(line, stamp)) {
      if (entries.empty()) {
        ADD_FAILURE() << "log does not begin with a time stamp: " << line;
        return entries;
      }
      entries.back().Text += "\n" + line;
      continue;
    }
    std::string text = line.substr(26);
    TLogEntry entry;
    for (const char* tag : {"debug", "info", "warn", "error", "fatal"}) {
      std::string prefix = std::string("[") + tag + "]\t";
      if (text.rfind(prefix, 0) == 0) {
        entry.Tag = tag;
        text = text.substr(prefix.size());
        break;
      }
    }
    entry.Text = text;
    entries.push_back(entry);
  }
  return entries;
}

bool IsResultLine(const TLogEntry& entry) {
  return (entry.Tag == "info" || entry.Tag == "error") && entry.Text.starts_with("Result: ");
}

std::vector<TLogEntry> WithoutResults(std::vector<TLogEntry> entries) {
  std::erase_if(entries, IsResultLine);
  return entries;
}

void TSandbox::SetUp() {
  MakeDirs(Dir / "home");
  MakeDirs(Dir / "xdg/Quillmere");
  MakeDirs(Dir / "work");
  Log = Work("run.log");
}

std::map<std::string, std::string> TSandbox::Environment() const {
  std::map<std::string, std::string> env = {
      {"HOME", Dir / "home"}, {"XDG_CONFIG_HOME", Dir / "xdg"}, {"LC_ALL", "C.UTF-8"}, {"PATH", "/usr/bin:/bin"}};
  // A sanitizer build must report in the program too, with the same options.
  for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"})
    if (const char* value = std::getenv(name)) env[name] = value;
  return env;
}

TProgramResult TSandbox::Run(const std::vector<std::string>& args, const std::string& cwd) {
  return Run(args, cwd, Environment());
}

TProgramResult TSandbox::Run(const std::vector<std::string>& args, const std::string& cwd,
                             const std::map<std::string, std::string>& env, const TRunLimits& limits) {
  TProgramResult result = RunProgram(QUILLMERE_BIN, args, cwd.empty() ? Dir / "work" : cwd, env, limits);
  EXPECT_EQ(result.ExitStatus, 0);
  EXPECT_EQ(result.Stdout, "");
  EXPECT_EQ(result.Stderr, "");
  return result;
}

std::vector<TLogEntry> TSandbox::RunTask(const std::string& task, const std::string& log) {
  std::string log_file = log.empty() ? Log : log;
  const size_t before = PathExists(log_file) ? ParseLog(ReadFile(log_file)).size() : 0;
  Run({"task=" + task, "logfile=" + log_file});
  if (!PathExists(log_file)) return {};
  std::vector<TLogEntry> entries = ParseLog(ReadFile(log_file));
  LastResult = {};
  size_t results = 0;
  for (size_t i = before; i < entries.size(); ++i) results += IsResultLine(entries[i]);
  EXPECT_EQ(results, 1u) << "a run adds exactly one Result line";
  if (!entries.empty() && IsResultLine(entries.back()))
    LastResult = entries.back();
  else
    ADD_FAILURE() << "the log does not end with a Result line";
  return WithoutResults(std::move(entries));
}

std::string TSandbox::WriteTask(const std::string& name, const std::vector<std::string>& lines) {
  std::string text = "[Split]\n";
  for (const std::string& line : lines) text += line + "\n";
  WriteFile(Work(name), text);
  return Work(name);
}
