// norvel-cli: the search engine's command-line front end.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/commands.h"
#include "platform/memory_pages.h"

#ifndef NORVEL_VERSION
#define NORVEL_VERSION "unknown"
#endif

namespace {

void PrintOverview(std::FILE* out) {
  std::fprintf(out,
               "usage: norvel-cli COMMAND [OPTIONS] ARGUMENTS\n"
               "       norvel-cli COMMAND --help\n"
               "\n"
               "Full-text search over the .txt documents of one directory.\n"
               "\n"
               "Commands:\n");
  for (const norvel_cli::Command& c : norvel_cli::Commands()) {
    std::fprintf(out, "  %-10s %s\n", c.name, c.summary);
  }
  std::fprintf(out,
               "\n"
               "  --help     show this text\n"
               "  --version  show the version\n");
}

}  // namespace

int main(int argc, char** argv) {
  platform::KeepLargeBlocksMapped();
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    PrintOverview(stderr);
    return norvel_cli::kExitError;
  }
  // "help COMMAND" is "COMMAND --help"; "help" alone, like --help, is the overview.
  if (args[0] == "help" && args.size() > 1) {
    args = {args[1], "--help"};
  } else if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    PrintOverview(stdout);
    return norvel_cli::kExitOk;
  }
  if (args[0] == "--version") {
    std::printf("norvel-cli %s\n", NORVEL_VERSION);
    return norvel_cli::kExitOk;
  }
  for (const norvel_cli::Command& c : norvel_cli::Commands()) {
    if (args[0] == c.name) return c.run(std::vector<std::string>(args.begin() + 1, args.end()));
  }
  norvel_cli::Complain("unknown command '" + args[0] + "'");
  PrintOverview(stderr);
  return norvel_cli::kExitError;
}
