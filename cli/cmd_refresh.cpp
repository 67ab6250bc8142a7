// norvel-cli refresh: what the export dialog's Index button does, headless, from the saved
// settings of an application directory: export every saved schema, build the new index
// and swap it in. For the Windows Task Scheduler and cron.
#include "cli/cmd_refresh.h"

#include <csignal>
#include <cstdio>

#include "cli/cli.h"
#include "cli/cmd_export.h"
#include "export/ar_connection.h"
#include "export/secret.h"
#include "export/settings.h"
#include "index/in_memory_index.h"
#include "index/marker.h"
#include "index/swap.h"
#include "job/export_dialog.h"
#include "job/job.h"
#include "platform/clock.h"

namespace norvel_cli {

const char kRefreshUsage[] =
    "usage: norvel-cli refresh [--app-dir DIR] [--password-file FILE] [--library FILE]\n"
    "\n"
    "Does what the Index button of the export dialog does, from the settings saved in\n"
    "norvel.ini of the application directory: exports the entries of every saved schema\n"
    "(server, user, query and max records as saved) into the data directory, builds a new\n"
    "index of the data directory and swaps it in. Without a saved server or schemas it only\n"
    "rebuilds the index. Open search windows load the new index at their next search.\n"
    "\n"
    "  --app-dir DIR         where norvel.ini, xcludelist.ini, norvel_log.txt and the\n"
    "                        indexing marker live (default: the program's directory)\n"
    "  --password-file FILE  the first line of FILE is the AR password (\"-\": standard\n"
    "                        input); without it the password is read from standard input,\n"
    "                        with a prompt and without echo when that is a terminal. Never\n"
    "                        on the command line, never in the settings.\n"
    "  --library FILE        the AR client library to load (as for \"export\")\n"
    "\n"
    "Ctrl+C stops before the next entry or document; the current index stays.\n"
    "\n"
    "Exit status: 0 when every schema was exported and the new index is in place, 1 when a\n"
    "schema failed (the new index is still swapped in) or the index could not be built (the\n"
    "current index stays; the log's lines are shown), 2 for wrong arguments or settings.\n";

namespace {

norvel::JobProgress* g_interrupted = nullptr;

extern "C" void StopRefreshOnInterrupt(int) {
  if (g_interrupted) g_interrupted->stop = true;
}

// The job's progress timer has no window to tick here; a terminal gets the counters.
class NoTimer : public norvel::JobWindow {
 public:
  void StartProgressTimer() override {}
  void StopProgressTimer() override {}
};

// The saved settings, or a message and false.
bool ReadSettings(const std::string& app_dir, norvel::Settings* settings) {
  settings->app_dir = app_dir;
  if (norvel::ReadProperties(settings) != 0) {
    Complain("cannot read the settings " + norvel::SettingsPath(app_dir) +
             " (the export dialog's Done button writes them)");
    return false;
  }
  if (settings->data_dir.empty() || settings->index_dir.empty()) {
    Complain(norvel::SettingsPath(app_dir) + " names no data_dir or no index_dir");
    return false;
  }
  return true;
}

// The job's settings as the dialog would hand them over with every saved schema selected.
bool PrepareJob(const norvel::Settings& settings, bool export_wanted,
                const norvel::SecretText& password, norvel::JobState* state) {
  norvel::ExportDialogTexts texts = norvel::DialogTextsFromSettings(settings, true);
  norvel::CopyFieldsToJob(texts, password.str(), &state->settings);
  state->settings.app_dir = settings.app_dir;
  if (!export_wanted) return true;
  norvel::FieldProblem problem = norvel::ValidateExportFields(state->settings);
  if (problem) {
    Complain(std::string("the saved settings cannot start an export: ") + problem.message);
    return false;
  }
  state->settings.schemas = settings.schema_names;
  return true;
}

int RunJob(norvel::JobState* state) {
  NoTimer no_timer;
  auto job = [&] { return norvel::IndexJob(state, &no_timer); };
  if (!IsTerminal(2)) return job();
  return RunShowingProgress(
      job, [&] { std::fprintf(stderr, "\r%s ", norvel::ProgressText(state->progress).c_str()); });
}

}  // namespace

int RunRefreshCommand(const std::vector<std::string>& args) {
  ParsedArgs parsed;
  int start = StartCommand("refresh", args, {{"--app-dir", "--password-file", "--library"}, {}},
                           kNoPositionals, &parsed);
  if (start != kGoOn) return start;
  std::string app_dir = AppDirectory(parsed);
  AgreeingUi ui;
  LogWatch log(app_dir);
  norvel::Settings settings;
  if (!ReadSettings(app_dir, &settings)) return kExitError;
  const bool export_wanted = !settings.server.empty() && !settings.schema_names.empty();
  norvel::SecretText password;
  if (export_wanted) {
    if (!ReadPassword(parsed.Value("--password-file"), settings.user + " on " + settings.server,
                      &password)) {
      return kExitError;
    }
    if (!parsed.Value("--library").empty()) norvel::SetArLibraryPath(parsed.Value("--library"));
  }
  norvel::JobState state;
  if (!PrepareJob(settings, export_wanted, password, &state)) return kExitError;
  password.Clear();
  if (!norvel::BeginIndexCommand(&state, app_dir)) return kExitNone;

  uint64_t started = platform::MonotonicMillis();
  g_interrupted = &state.progress;
  std::signal(SIGINT, StopRefreshOnInterrupt);
  RunJob(&state);
  std::signal(SIGINT, SIG_DFL);
  g_interrupted = nullptr;
  if (!state.progress.index_ready) {
    // The job said why and released the marker; the current index stays.
    log.PrintNewEntries();
    Complain(state.progress.stop ? "stopped; the current index is unchanged"
                                 : "refresh failed; the current index is unchanged");
    return kExitNone;
  }
  norvel::InMemoryIndex index;
  norvel::RenAndReloadNdx(settings.index_dir, app_dir, &index, nullptr, &state.progress);
  norvel::UnlockMarker();
  log.PrintNewEntries();
  if (!index.loaded()) {
    Complain("the new index could not be loaded");
    return kExitNone;
  }
  double seconds = static_cast<double>(platform::MonotonicMillis() - started) / 1000;
  unsigned schemas = export_wanted ? static_cast<unsigned>(settings.schema_names.size()) : 0;
  unsigned failed = state.progress.schemas_failed;
  std::printf(
      "Refreshed: %u entries exported from %u of %u schemas, %u documents indexed in "
      "%.2f seconds.\n",
      state.progress.exported.load(), schemas - failed, schemas, index.total_files, seconds);
  return state.progress.schemas_failed > 0 ? kExitNone : kExitOk;
}

}  // namespace norvel_cli
