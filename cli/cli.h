// norvel-cli's shared pieces: a command's entry and its start (option parsing, --help, stray
// arguments), the console sink for messages, and what several commands need (the
// application directory, the index load).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/messages.h"

namespace norvel {
struct InMemoryIndex;
class SecretText;
class SwapLock;
}  // namespace norvel

namespace norvel_cli {

// Exit codes shared by the commands (like grep: 1 is "nothing found", not a failure).
constexpr int kExitOk = 0;
constexpr int kExitNone = 1;
constexpr int kExitError = 2;

// One sub-command. run gets the arguments after the command's name.
struct Command {
  const char* name;
  const char* summary;  // one line for the overview
  const char* usage;    // the command's --help text
  int (*run)(const std::vector<std::string>& args);
};

// Options of one command: which take a value, which are flags.
struct OptionSpec {
  std::vector<std::string> with_value;  // e.g. "--app-dir"
  std::vector<std::string> flags;       // e.g. "--help"
};

struct ParsedArgs {
  std::map<std::string, std::string> values;
  std::vector<std::string> flags;
  std::vector<std::string> positional;
  bool Has(const std::string& flag) const;
  std::string Value(const std::string& option, const std::string& fallback = "") const;
};

// "--opt value", "--opt=value", flags, "--" ending the options; an argument with a
// single dash (a query such as "-outlook") is no option. False with a message on stderr
// for an unknown option or a missing value.
bool ParseArgs(const std::vector<std::string>& args, const OptionSpec& spec, ParsedArgs* out);

// Prints "norvel-cli: text" on stderr.
void Complain(const std::string& text);
// Prints the command's usage on stderr and returns kExitError.
int UsageError(const Command& command, const std::string& problem);
const Command& FindCommand(const std::string& name);

// The positional arguments a command takes: exactly count of them, with expected as the
// complaint otherwise (count 0: "unexpected" and the first one); a count below 0 leaves
// them to the command.
struct Positionals {
  int count = -1;
  const char* expected = "";
};
constexpr Positionals kNoPositionals{0, ""};
constexpr Positionals kAnyPositionals{-1, ""};

// What StartCommand returns when the command goes on.
constexpr int kGoOn = -1;

// The start every command shares: its table entry, its options parsed by spec (--help is
// always a flag), the usage on stdout for --help (kExitOk), the usage on stderr for a bad
// option or positional arguments that do not fit (kExitError). kGoOn with *parsed filled
// when the command goes on.
int StartCommand(const char* name, const std::vector<std::string>& args, OptionSpec spec,
                 Positionals positionals, ParsedArgs* parsed);

// True when the stream (1 stdout, 2 stderr) is a terminal.
bool IsTerminal(int fd);
// Makes standard output's terminal show colour escape sequences; false when it cannot.
bool EnableColorOutput();
// text with its control characters (but tab) shown as \xNN, for a terminal, which would
// take escape sequences in document text or file names for commands.
std::string ForTerminal(const std::string& text);

// Runs work on a thread of its own and, while it runs, calls show every 200 ms to put its
// counters on stderr; afterwards clears that line. Returns what work returned.
int RunShowingProgress(const std::function<int()>& work, const std::function<void()>& show);

// Message boxes become "Caption: text" lines on stderr; status texts are ignored.
class ConsoleUi : public norvel::UserInterface {
 public:
  ConsoleUi() { norvel::InstallUserInterface(this); }
  ~ConsoleUi() override { norvel::InstallUserInterface(nullptr); }
  norvel::BoxAnswer ShowBox(const std::string& text, const std::string& caption,
                            norvel::BoxStyle style, bool owned_by_main) override;
  void SetStatusText(const std::string&) override {}
};

// The application directory: --app-dir, else the program's own directory. The log goes
// there too.
std::string AppDirectory(const ParsedArgs& args);

// Remembers where the log ended, to show the entries a failing step wrote.
class LogWatch {
 public:
  explicit LogWatch(const std::string& app_dir);
  // Prints every entry written since construction as "norvel-cli: text" on stderr.
  void PrintNewEntries() const;

 private:
  std::string path_;
  uint64_t start_ = 0;
};

// Loads the index as the application's start-up does: when a new index waits under the
// "_new" names (or a swap was left half done) and the indexing marker and the index
// directory's writer lock can be taken, it is swapped in first; then the index is loaded as a
// reader under *reading, which stays held so that no swap replaces the files while the command
// reads them. A half-swapped index whose writer is still at work is never loaded. True
// when loaded.
bool LoadIndexAtStartup(const std::string& index_dir, const std::string& app_dir,
                        norvel::InMemoryIndex* index, norvel::SwapLock* reading);

}  // namespace norvel_cli
