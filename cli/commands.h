// The table of norvel-cli's commands.
#pragma once

#include <vector>

#include "cli/cli.h"

namespace norvel_cli {

// The commands in the order --help lists them.
const std::vector<Command>& Commands();

}  // namespace norvel_cli
