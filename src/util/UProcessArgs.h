// The process arguments, recorded once by the entry point.
#pragma once

#include <string>
#include <vector>

void SetProcessArguments(int argc, const char* const* argv);
void SetProcessArguments(std::vector<std::string> arguments);
// The arguments after the program path, verbatim, in order.
const std::vector<std::string>& ProcessArguments();
