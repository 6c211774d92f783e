#include "util/UProcessArgs.h"

#include <utility>

namespace {
std::vector<std::string> Arguments;
}

void SetProcessArguments(int argc, const char* const* argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
  SetProcessArguments(std::move(arguments));
}

void SetProcessArguments(std::vector<std::string> arguments) { Arguments = std::move(arguments); }

const std::vector<std::string>& ProcessArguments() { return Arguments; }
