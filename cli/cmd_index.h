// norvel-cli index: build the index of a data directory and swap it in.
#pragma once

#include <string>
#include <vector>

namespace norvel_cli {

extern const char kIndexUsage[];
int RunIndexCommand(const std::vector<std::string>& args);

}  // namespace norvel_cli
