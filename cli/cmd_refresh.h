// norvel-cli refresh: export the saved schemas, rebuild the index and swap it in.
#pragma once

#include <string>
#include <vector>

namespace norvel_cli {

extern const char kRefreshUsage[];
int RunRefreshCommand(const std::vector<std::string>& args);

}  // namespace norvel_cli
