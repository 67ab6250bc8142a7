// The table of norvel-cli's commands. A new command is one line here and one source file
// in CMakeLists.txt.
#include "cli/cli.h"

namespace norvel_cli {

extern const char kIndexUsage[];
extern const char kSearchUsage[];
extern const char kSchemasUsage[];
extern const char kExportUsage[];
extern const char kRefreshUsage[];
int RunIndexCommand(const std::vector<std::string>& args);
int RunSearchCommand(const std::vector<std::string>& args);
int RunSchemasCommand(const std::vector<std::string>& args);
int RunExportCommand(const std::vector<std::string>& args);
int RunRefreshCommand(const std::vector<std::string>& args);

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
