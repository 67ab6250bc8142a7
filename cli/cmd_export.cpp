// norvel-cli schemas and norvel-cli export: the export dialog's "Get Schemas" and the
// job's export step from a command line, with the same routines and log lines. The
// password is read from a file or standard input, never from the command line.
#include "cli/cmd_export.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "cli/cli.h"
#include "core/job_progress.h"
#include "export/ar_connection.h"
#include "export/schema_list.h"
#include "export/secret.h"
#include "job/job.h"
#include "platform/console.h"
#include "platform/file.h"

namespace norvel_cli {

const char kSchemasUsage[] =
    "usage: norvel-cli schemas --server NAME --user NAME [--password-file FILE]\n"
    "                          [--app-dir DIR] [--library FILE]\n"
    "\n"
    "Lists the schema names of an AR System server, one per line, in the server's order.\n"
    "\n"
    "  --server NAME         the AR System server\n"
    "  --user NAME           the AR user\n"
    "  --password-file FILE  the first line of FILE is the password (\"-\": standard input);\n"
    "                        without it the password is read from standard input, with a\n"
    "                        prompt and without echo when that is a terminal. The line\n"
    "                        holds at most 1024 bytes.\n"
    "  --app-dir DIR         where norvel_log.txt is written (default: the program's folder)\n"
    "  --library FILE        the AR client library to load (default: arapi51.dll on\n"
    "                        Windows, libarapi51.so on Linux, beside the program, else\n"
    "                        from the library search path)\n"
    "\n"
    "Exit status: 0 when names were listed, 1 when the connection failed or the server has\n"
    "no schemas (the log's lines are shown), 2 for wrong arguments.\n";

const char kExportUsage[] =
    "usage: norvel-cli export --server NAME --user NAME [--password-file FILE]\n"
    "                         --query QUALIFICATION --max-records N --data-dir DIR\n"
    "                         [--app-dir DIR] [--library FILE] SCHEMA...\n"
    "\n"
    "Writes one text file per matching entry of each SCHEMA into DIR (created when\n"
    "missing), named after the entry's Request ID, as the Index job of the export dialog\n"
    "does. Index DIR afterwards with \"norvel-cli index\".\n"
    "\n"
    "  --server, --user, --password-file, --app-dir, --library  as for \"schemas\"\n"
    "  --query QUALIFICATION  an AR qualification, e.g. \"'Status' = \\\"Closed\\\"\"\n"
    "  --max-records N        the most entries listed per schema (not 0)\n"
    "  --data-dir DIR         where the entry files go\n"
    "\n"
    "Ctrl+C stops the export before the next entry; the files written so far stay.\n"
    "\n"
    "Each schema's line counts the entry files written of the entries listed, and the\n"
    "entries that could not be written (no Request ID, no room for the name, a file that\n"
    "could not be created or written), which the log's lines name.\n"
    "\n"
    "Exit status: 0 when every schema was exported in full, 1 when one failed or an entry\n"
    "was not written (the log's lines are shown), 2 for wrong arguments.\n";

namespace {

const OptionSpec kConnectionOptions = {{"--server", "--user", "--password-file", "--app-dir",
                                        "--library", "--query", "--max-records", "--data-dir"},
                                       {"--help"}};

// The longest password taken, in bytes. AR passwords are far shorter; the bound keeps an
// endless source (/dev/zero, a stream that never ends its line) from being read forever.
constexpr size_t kMaxPasswordBytes = 1024;

enum class LineRead { kOk, kTooLong, kError };

struct CloseStream {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

// Reads one line of at most kMaxPasswordBytes bytes into *out, without its line end.
// Reading stops at the first CR or LF, at the end of the input, or after the bound; a
// line still going on there is too long. Unbuffered, so that no stream buffer keeps a
// copy of the password; the local buffer is wiped.
LineRead ReadBoundedLine(std::FILE* in, norvel::SecretText* out) {
  std::setvbuf(in, nullptr, _IONBF, 0);
  char line[kMaxPasswordBytes];
  size_t n = 0;
  LineRead result = LineRead::kOk;
  for (;;) {
    int c = std::fgetc(in);
    if (c == EOF) {
      if (std::ferror(in)) result = LineRead::kError;
      break;
    }
    if (c == '\n' || c == '\r') break;
    if (n == sizeof line) {
      result = LineRead::kTooLong;
      break;
    }
    line[n++] = static_cast<char>(c);
  }
  if (result == LineRead::kOk) out->Assign(line, n);
  norvel::WipeMemory(line, sizeof line);
  return result;
}

// Reads a line from the terminal without showing it, within the same bound. The echo
// goes off before the prompt shows: turning it off drops what was typed so far, which
// must not be the answer to the prompt.
LineRead ReadHidden(const std::string& prompt, norvel::SecretText* out) {
  LineRead result;
  {
    platform::HiddenTyping hidden;
    std::fprintf(stderr, "%s", prompt.c_str());
    std::fflush(stderr);
    result = ReadBoundedLine(stdin, out);
  }
  std::fprintf(stderr, "\n");
  return result;
}

}  // namespace

bool ReadPassword(const std::string& file, const std::string& who, norvel::SecretText* password) {
  LineRead result;
  if (file.empty() && IsTerminal(0)) {
    result = ReadHidden("Password for " + who + ": ", password);
  } else if (file.empty() || file == "-") {
    result = ReadBoundedLine(stdin, password);
  } else {
    // A stream of the C library rather than platform::File: the password may come from a
    // FIFO or a device, which platform::File refuses.
    std::unique_ptr<std::FILE, CloseStream> in(std::fopen(file.c_str(), "rb"));
    if (!in) {
      Complain("cannot read the password file " + file);
      return false;
    }
    result = ReadBoundedLine(in.get(), password);
  }
  if (result == LineRead::kTooLong) {
    Complain("the password must be one line of at most " + std::to_string(kMaxPasswordBytes) +
             " bytes");
  } else if (result == LineRead::kError) {
    Complain("no password could be read");
  }
  return result == LineRead::kOk;
}

norvel::BoxAnswer AgreeingUi::ShowBox(const std::string& text, const std::string& caption,
                                      norvel::BoxStyle style, bool owned_by_main) {
  if (style == norvel::BoxStyle::kPlainOkCancel) return norvel::BoxAnswer::kOk;
  return ConsoleUi::ShowBox(text, caption, style, owned_by_main);
}

namespace {

// The password of the connection options.
bool ReadConnectionPassword(const ParsedArgs& args, norvel::SecretText* password) {
  return ReadPassword(args.Value("--password-file"),
                      args.Value("--user") + " on " + args.Value("--server"), password);
}

// The connection options every AR command needs; a usage error names the first missing.
bool ConnectionArgs(const Command& self, const ParsedArgs& parsed, int* status) {
  for (const char* option : {"--server", "--user"}) {
    if (parsed.Value(option).empty()) {
      *status = UsageError(self, std::string("missing ") + option);
      return false;
    }
  }
  std::string library = parsed.Value("--library");
  if (!library.empty()) norvel::SetArLibraryPath(library);
  return true;
}

norvel::JobProgress* g_interrupted_progress = nullptr;

extern "C" void StopOnInterrupt(int) {
  if (g_interrupted_progress) g_interrupted_progress->stop = true;
}

// Runs one schema's export, showing the counters on stderr every 200 ms on a terminal.
int ExportWithProgress(const ParsedArgs& parsed, const norvel::SecretText& password,
                       const std::string& schema, int max_records, norvel::JobProgress* progress,
                       norvel::ExportTally* tally) {
  auto run = [&] {
    return norvel::ExportData(parsed.Value("--server"), parsed.Value("--user"), password.str(),
                              schema, max_records, parsed.Value("--query"),
                              parsed.Value("--data-dir"), progress, tally);
  };
  if (!IsTerminal(2)) return run();
  return RunShowingProgress(run, [&] {
    std::fprintf(stderr, "\r%s: Exported = %u/%u ", schema.c_str(), progress->exported.load(),
                 progress->entries_listed.load());
  });
}

}  // namespace

int RunSchemasCommand(const std::vector<std::string>& args) {
  const Command& self = FindCommand("schemas");
  ParsedArgs parsed;
  int start = StartCommand("schemas", args, kConnectionOptions, kNoPositionals, &parsed);
  if (start != kGoOn) return start;
  int status = kExitOk;
  if (!ConnectionArgs(self, parsed, &status)) return status;
  std::string app_dir = AppDirectory(parsed);
  norvel::SecretText password;
  if (!ReadConnectionPassword(parsed, &password)) return UsageError(self, "");
  ConsoleUi ui;
  LogWatch log(app_dir);
  norvel::SchemaListUpdate update;
  if (!norvel::FetchSchemaList(parsed.Value("--server"), parsed.Value("--user"), password.str(), {},
                               &update)) {
    log.PrintNewEntries();
    return kExitNone;
  }
  for (const std::string& name : update.items) std::printf("%s\n", name.c_str());
  return kExitOk;
}

int RunExportCommand(const std::vector<std::string>& args) {
  const Command& self = FindCommand("export");
  ParsedArgs parsed;
  int start = StartCommand("export", args, kConnectionOptions, kAnyPositionals, &parsed);
  if (start != kGoOn) return start;
  int status = kExitOk;
  if (!ConnectionArgs(self, parsed, &status)) return status;
  if (parsed.Value("--query").empty()) return UsageError(self, "missing --query");
  char* end = nullptr;
  std::string max_text = parsed.Value("--max-records");
  long max_records = std::strtol(max_text.c_str(), &end, 10);
  if (max_text.empty() || *end != '\0' || max_records == 0) {
    return UsageError(self, "--max-records needs a number other than 0");
  }
  if (parsed.Value("--data-dir").empty()) return UsageError(self, "missing --data-dir");
  if (parsed.positional.empty()) return UsageError(self, "no SCHEMA given");
  std::string app_dir = AppDirectory(parsed);
  norvel::SecretText password;
  if (!ReadConnectionPassword(parsed, &password)) return UsageError(self, "");

  AgreeingUi ui;
  if (!norvel::CheckDirectory(parsed.Value("--data-dir"))) return kExitNone;
  norvel::JobProgress progress;
  g_interrupted_progress = &progress;
  std::signal(SIGINT, StopOnInterrupt);
  for (const std::string& schema : parsed.positional) {
    if (progress.stop) break;
    LogWatch log(app_dir);
    progress.entries_listed = 0;
    norvel::ExportTally tally;
    int result = ExportWithProgress(parsed, password, schema, static_cast<int>(max_records),
                                    &progress, &tally);
    if (result == -1) {
      norvel::ShowMessage(norvel::kError, 20, "Please check the logs.");
      status = kExitNone;
    }
    log.PrintNewEntries();
    // A listing that failed before any entry was taken up has nothing to count.
    if (result == -1 && tally.written == 0 && tally.not_written == 0 && tally.without_id == 0) {
      continue;
    }
    std::printf("%s: %u of %u listed entries exported", schema.c_str(),
                static_cast<unsigned>(tally.written),
                static_cast<unsigned>(progress.entries_listed));
    if (tally.not_written > 0) {
      std::printf(", %u not written", static_cast<unsigned>(tally.not_written));
    }
    if (tally.without_id > 0) {
      std::printf(", %u without a Request ID", static_cast<unsigned>(tally.without_id));
    }
    std::printf("\n");
  }
  std::signal(SIGINT, SIG_DFL);
  g_interrupted_progress = nullptr;
  if (progress.stop) {
    Complain("stopped; the entry files written so far stay");
    status = kExitNone;
  }
  return status;
}

}  // namespace norvel_cli
