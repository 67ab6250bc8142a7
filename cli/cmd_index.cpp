// norvel-cli index: builds a new index, swaps it in and loads it to prove it.
#include "cli/cmd_index.h"

#include <atomic>
#include <cstdio>
#include <optional>

#include "cli/cli.h"
#include "core/job_progress.h"
#include "index/build.h"
#include "index/in_memory_index.h"
#include "index/marker.h"
#include "index/swap.h"
#include "index/word_choice.h"
#include "platform/clock.h"
#include "platform/file.h"

namespace norvel_cli {

const char kIndexUsage[] =
    "usage: norvel-cli index [--app-dir DIR] [--words=RULES] DATA_DIR INDEX_DIR\n"
    "\n"
    "Indexes the .txt documents of DATA_DIR into INDEX_DIR (created when missing), swaps\n"
    "the new index in place of the current one and loads it. Words listed in\n"
    "xcludelist.ini of the application directory are not indexed.\n"
    "\n"
    "  --app-dir DIR  where xcludelist.ini, norvel_log.txt and the indexing marker\n"
    "                 isndxng.dat live (default: the program's directory)\n"
    "  --words=RULES  the word rules of this index, recorded in INDEX_DIR (_words.ini) so\n"
    "                 that every later build and every reader follows them:\n"
    "                 ascii          letters A-Z only; other bytes separate words\n"
    "                 international  letters of any script, case and accents folded,\n"
    "                                documents read as UTF-8 or Windows-1252\n"
    "                 (default: the rules INDEX_DIR records; ascii when it records none)\n"
    "\n"
    "Exit status: 0 when the new index is in place, 1 when indexing failed (the reason is\n"
    "shown; the current index stays), 2 for wrong arguments.\n";

namespace {

// Runs the build, showing its counters on stderr every 200 ms while it is a terminal.
int BuildWithProgress(const std::string& data_dir, const std::string& index_dir,
                      const std::string& app_dir, norvel::JobProgress* progress,
                      std::optional<norvel::WordRules> words) {
  auto build = [&] {
    return norvel::doIndex(data_dir, index_dir, app_dir, progress, norvel::BuildTuning(), words);
  };
  if (!IsTerminal(2)) return build();
  return RunShowingProgress(build, [&] {
    std::fprintf(stderr, "\rIndexed = %u | Words = %u | Saved = %u ",
                 progress->files_indexed.load(), progress->distinct_words.load(),
                 progress->words_saved.load());
  });
}

// Takes the marker of app_dir and the writer lock of index_dir, or says why not.
bool LockForBuild(const std::string& app_dir, const std::string& index_dir) {
  norvel::LockResult marker = norvel::LockMarker(app_dir);
  norvel::LockResult writer = norvel::LockResult::kBusy;
  if (marker == norvel::LockResult::kLocked) writer = norvel::LockIndexWriter(index_dir);
  if (marker == norvel::LockResult::kLocked && writer == norvel::LockResult::kLocked) return true;
  norvel::UnlockMarker();
  if (marker == norvel::LockResult::kCannotOpen) {
    Complain("cannot create the indexing marker isndxng.dat in the application directory " +
             app_dir);
  } else if (writer == norvel::LockResult::kCannotOpen) {
    Complain("cannot create the lock file ndxlock.dat in the index directory " + index_dir);
  } else {
    norvel::ShowMessage(norvel::kInfo, 0, "Please try later.");
  }
  return false;
}

int IndexAndSwap(const std::string& data_dir, const std::string& index_dir,
                 const std::string& app_dir, std::optional<norvel::WordRules> words) {
  LogWatch log(app_dir);
  norvel::JobProgress progress;
  uint64_t started = platform::MonotonicMillis();
  // A swap that an earlier command left half done is completed first, never discarded.
  if (!norvel::PrepareForBuild(index_dir)) {
    log.PrintNewEntries();
    Complain("a waiting new index could not be swapped in; the index directory is unchanged");
    return kExitNone;
  }
  if (BuildWithProgress(data_dir, index_dir, app_dir, &progress, words) != 0) {
    // A failed command leaves the current index as it was, with nothing waiting to be
    // swapped in later: every "_new" file is this build's own.
    norvel::DelNdx(index_dir, nullptr);
    log.PrintNewEntries();
    Complain("indexing failed; the current index is unchanged");
    return kExitNone;
  }
  norvel::InMemoryIndex index;
  norvel::RenAndReloadNdx(index_dir, app_dir, &index, nullptr, nullptr);
  if (!index.loaded()) {
    log.PrintNewEntries();
    Complain("the new index could not be loaded");
    return kExitNone;
  }
  double seconds = static_cast<double>(platform::MonotonicMillis() - started) / 1000;
  std::printf("Indexed %u documents, %u distinct words in %.2f seconds.\n", index.total_files,
              progress.distinct_words.load(), seconds);
  return kExitOk;
}

}  // namespace

int RunIndexCommand(const std::vector<std::string>& args) {
  const Command& self = FindCommand("index");
  ParsedArgs parsed;
  int start = StartCommand("index", args, {{"--app-dir", "--words"}, {}},
                           {2, "expected DATA_DIR and INDEX_DIR"}, &parsed);
  if (start != kGoOn) return start;
  const std::string& data_dir = parsed.positional[0];
  const std::string& index_dir = parsed.positional[1];
  std::string app_dir = AppDirectory(parsed);
  std::optional<norvel::WordRules> words;
  if (parsed.values.count("--words")) {
    norvel::WordRules rules;
    std::string name = parsed.Value("--words");
    if (!norvel::ParseWordRules(name, &rules)) {
      return UsageError(self, "--words takes ascii or international, not '" + name + "'");
    }
    words = rules;
  }
  if (!platform::IsDirectory(data_dir)) return UsageError(self, data_dir + " is not a directory");
  if (!platform::IsDirectory(index_dir) && !platform::MakeDirectory(index_dir)) {
    Complain("cannot create the index directory " + index_dir);
    return kExitNone;
  }
  ConsoleUi ui;
  if (!LockForBuild(app_dir, index_dir)) return kExitNone;
  int status = IndexAndSwap(data_dir, index_dir, app_dir, words);
  norvel::UnlockMarker();
  return status;
}

}  // namespace norvel_cli
