// Runs the built QuillmereCmd in a sandbox folder and captures what it prints.
#pragma once

#include <map>
#include <string>
#include <vector>

struct TProgramResult {
  int ExitStatus = -1;
  std::string Stdout, Stderr;
};

// Runs Program with Arguments in Cwd; Env replaces the environment entirely.
TProgramResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                          const std::string& cwd, const std::map<std::string, std::string>& env);
