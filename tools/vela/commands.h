// The commands of the packaging tool, each in its own cmd_<name>.cpp, listed in
// the command table in main.cpp.
#pragma once
#include <string>
#include <vector>

namespace vela {

extern const char kCheckUsage[];
int RunCheck(const std::vector<std::string>& args);

extern const char kInitUsage[];
int RunInit(const std::vector<std::string>& args);

}  // namespace vela
