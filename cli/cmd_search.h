// norvel-cli search: matching names, or a result page with excerpts.
#pragma once

#include <string>
#include <vector>

namespace norvel_cli {

extern const char kSearchUsage[];
int RunSearchCommand(const std::vector<std::string>& args);

}  // namespace norvel_cli
