// norvel-cli schemas and export: an AR System server's schemas and entries, and the
// password and the agreeing console that the AR commands share.
#pragma once

#include <string>
#include <vector>

#include "cli/cli.h"

namespace norvel {
class SecretText;
}  // namespace norvel

namespace norvel_cli {

extern const char kSchemasUsage[];
extern const char kExportUsage[];
int RunSchemasCommand(const std::vector<std::string>& args);
int RunExportCommand(const std::vector<std::string>& args);

// A ConsoleUi that answers yes to the question whether to create a missing directory:
// a command line asks nothing.
class AgreeingUi : public ConsoleUi {
 public:
  norvel::BoxAnswer ShowBox(const std::string& text, const std::string& caption,
                            norvel::BoxStyle style, bool owned_by_main) override;
};

// The AR password: the first line of file ("-" or empty: standard input; empty and a
// terminal: typed without echo after a prompt naming who), at most 1024 bytes. False
// after a message naming the problem.
bool ReadPassword(const std::string& file, const std::string& who, norvel::SecretText* password);

}  // namespace norvel_cli
