// The table of norvel-cli's commands. A new command is one line here, its cmd_*.h and
// cmd_*.cpp, and the source in CMakeLists.txt.
#include "cli/commands.h"

#include "cli/cmd_export.h"
#include "cli/cmd_index.h"
#include "cli/cmd_refresh.h"
#include "cli/cmd_search.h"

namespace norvel_cli {

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      {"index", "build the index of a data directory and swap it in", kIndexUsage, RunIndexCommand},
      {"search", "search an index: matching names, or a result page with excerpts", kSearchUsage,
       RunSearchCommand},
      {"schemas", "list the schemas of an AR System server", kSchemasUsage, RunSchemasCommand},
      {"export", "export AR System entries as text files into a data directory", kExportUsage,
       RunExportCommand},
      {"refresh", "export the saved schemas, rebuild the index and swap it in (scheduled)",
       kRefreshUsage, RunRefreshCommand},
  };
  return commands;
}

}  // namespace norvel_cli
