// norvel-cli search: the names of the matching documents, or one result page.
#include "cli/cmd_search.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "cli/cli.h"
#include "index/in_memory_index.h"
#include "index/index_lock.h"
#include "viewer/search.h"

namespace norvel_cli {

const char kSearchUsage[] =
    "usage: norvel-cli search [--app-dir DIR] [--data DATA_DIR [--page N]] INDEX_DIR QUERY\n"
    "\n"
    "Searches the index of INDEX_DIR. QUERY is words separated by blanks (its first 255\n"
    "characters count): a document with any plain word matches; +word must occur and\n"
    "-word must not. Results come in index order.\n"
    "\n"
    "Without --data, prints the names of the matching documents, one per line. With\n"
    "--data, prints result page N (default 1, ten documents a page) as the result view\n"
    "shows it: numbered titles with an excerpt of each document around its first query word.\n"
    "\n"
    "  --app-dir DIR   where xcludelist.ini, norvel_log.txt and isndxng.dat live\n"
    "                  (default: the program's directory)\n"
    "  --data DIR      the data directory the index was built from\n"
    "  --page N        the result page to print (with --data)\n"
    "\n"
    "Exit status: 0 when documents were found, 1 when none (\"No results.\"), 2 on an error.\n";

namespace {

constexpr uint32_t kPerPage = 10;

// Document names and text as they are for a pipe, escaped for a terminal.
class Output {
 public:
  Output() : terminal_(IsTerminal(1)) {}
  const char* operator()(const std::string& text) {
    shown_ = terminal_ ? ForTerminal(text) : text;
    return shown_.c_str();
  }

 private:
  bool terminal_;
  std::string shown_;
};

int PrintNames(const char* query, const norvel::PageSources& sources) {
  Output shown;
  norvel::SearchState state;
  uint32_t total =
      norvel::runQuery(query, sources.index_dir, *sources.index, &state.words, &state.result_list);
  if (total == 0) {
    norvel::ShowBox("No results.", "Info", norvel::BoxStyle::kPlainOk);
    return kExitNone;
  }
  state.result_total = total;
  for (uint32_t start = 0; start < total; start += kPerPage) {
    state.page_start = start;
    state.page_end = total - start < kPerPage ? total : start + kPerPage;
    if (norvel::GetFileName(&state, sources) != 0) return kExitError;
    for (const std::string& name : state.page_file_names) std::printf("%s\n", shown(name));
  }
  return kExitOk;
}

void PrintPage(const norvel::SearchState& state) {
  Output shown;
  for (size_t j = 0; j < state.page_file_names.size(); ++j) {
    std::printf("%u. %s\n", static_cast<unsigned>(state.page_start + j + 1),
                shown(state.page_file_names[j]));
    if (!state.page_excerpts[j].empty()) std::printf("   %s\n", shown(state.page_excerpts[j]));
    std::printf("\n");
  }
  uint32_t pages = (state.result_total + kPerPage - 1) / kPerPage;
  std::printf("Page=%u/%u|Total=%u\n", (state.page_end - 1) / kPerPage + 1, pages,
              state.result_total);
}

int PrintResultPage(const char* query, const norvel::PageSources& sources, uint32_t page) {
  norvel::SearchState state;
  if (norvel::RunSearch(query, sources, &state) != 0) return kExitNone;
  if (state.result_total == 0) return kExitError;  // the first page failed; it said why
  uint32_t pages = (state.result_total + kPerPage - 1) / kPerPage;
  if (page > pages) {
    Complain("page " + std::to_string(page) + " does not exist; the results fill " +
             std::to_string(pages) + (pages == 1 ? " page" : " pages"));
    return kExitError;
  }
  if (page > 1) {
    state.page_start = (page - 1) * kPerPage;
    state.page_end = std::min(state.page_start + kPerPage, state.result_total);
    if (norvel::GetNextPage(&state, sources) != 0) return kExitError;
  }
  PrintPage(state);
  return kExitOk;
}

bool ParsePageNumber(const std::string& text, uint32_t* page) {
  char* end = nullptr;
  unsigned long v = std::strtoul(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || v == 0 || v > 100000000ul) return false;
  *page = static_cast<uint32_t>(v);
  return true;
}

}  // namespace

int RunSearchCommand(const std::vector<std::string>& args) {
  const Command& self = FindCommand("search");
  ParsedArgs parsed;
  int start = StartCommand("search", args, {{"--app-dir", "--data", "--page"}, {}},
                           {2, "expected INDEX_DIR and QUERY"}, &parsed);
  if (start != kGoOn) return start;
  uint32_t page = 1;
  if (parsed.values.count("--page")) {
    if (!parsed.values.count("--data")) return UsageError(self, "--page needs --data");
    if (!ParsePageNumber(parsed.Value("--page"), &page)) {
      return UsageError(self, "--page needs a page number from 1 up");
    }
  }
  std::string app_dir = AppDirectory(parsed);
  ConsoleUi ui;
  LogWatch log(app_dir);
  norvel::InMemoryIndex index;
  norvel::PageSources sources{parsed.Value("--data"), parsed.positional[0], &index};
  norvel::SwapLock reading;  // held until the output is complete
  if (!LoadIndexAtStartup(sources.index_dir, app_dir, &index, &reading)) {
    norvel::ShowMessage(norvel::kInfo, 1, "Please check the logs");
    log.PrintNewEntries();
    return kExitError;
  }
  std::string query = norvel::QueryFromField(parsed.positional[1]);
  int status = parsed.values.count("--data") ? PrintResultPage(query.c_str(), sources, page)
                                             : PrintNames(query.c_str(), sources);
  // A failure the engine only logged (a damaged file list, say) is said here too.
  if (status == kExitError) log.PrintNewEntries();
  return status;
}

}  // namespace norvel_cli
