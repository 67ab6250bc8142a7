// norvel-cli search: the names of the matching documents, or one result page.
#include "cli/cmd_search.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "cli/cli.h"
#include "export/settings.h"
#include "index/in_memory_index.h"
#include "index/index_lock.h"
#include "index/word_rules.h"
#include "index/word_rules_intl.h"
#include "platform/path.h"
#include "viewer/search.h"

namespace norvel_cli {

const char kSearchUsage[] =
    "usage: norvel-cli search [--app-dir DIR] [--data DATA_DIR [--page N]] [--color=WHEN]\n"
    "                         [--order=index|relevance] INDEX_DIR QUERY\n"
    "\n"
    "Searches the index of INDEX_DIR. QUERY is terms separated by blanks (its first 255\n"
    "characters count): a document with any plain term matches; +term must occur and\n"
    "-term must not. Results come in index order (ascending file number) unless\n"
    "--order=relevance asks for the best first. A term is\n"
    "  word              the word, in any letter case\n"
    "  \"printer jams\"    a phrase: these words one after the other, whatever punctuation\n"
    "                    or line breaks stand between them in the document\n"
    "  licen*            any word beginning with licen\n"
    "  \"printer jam\"~5   a proximity group: these words in any order, all within 2 + 5\n"
    "                    consecutive words (\"out of paper\"~0: side by side, any order)\n"
    "Phrases and groups come from the index's positions. An index built before positions\n"
    "existed has none until its next build: then they are confirmed by reading the\n"
    "documents, from --data, else from the data_dir of the settings file norvel.ini in\n"
    "the application directory.\n"
    "\n"
    "Without --data, prints the names of the matching documents, one per line. With\n"
    "--data, prints result page N (default 1, ten documents a page) as the result view\n"
    "shows it: numbered titles with an excerpt of each document around its first query word.\n"
    "\n"
    "  --app-dir DIR   where xcludelist.ini, norvel_log.txt and isndxng.dat live\n"
    "                  (default: the program's directory)\n"
    "  --data DIR      the data directory the index was built from\n"
    "  --page N        the result page to print (with --data)\n"
    "  --color=WHEN    mark the query words in what is printed: never (the default, as\n"
    "                  grep's), auto (only on a terminal; a pipe gets plain bytes) or always\n"
    "  --order=ORDER   index (the default): ascending file number, as the index holds them;\n"
    "                  relevance: best first, by BM25 over the index's word counts, with\n"
    "                  weight for phrases and for query words standing close together\n"
    "                  (ties by file number; an index without positions orders by the\n"
    "                  number of query terms a document holds)\n"
    "\n"
    "Exit status: 0 when documents were found, 1 when none (\"No results.\"), 2 on an error.\n";

namespace {

constexpr uint32_t kPerPage = 10;

// Whether the query words are marked (grep's colour for a match).
bool g_color = false;
constexpr char kMarkOn[] = "\x1b[01;31m\x1b[K";
constexpr char kMarkOff[] = "\x1b[m\x1b[K";

// Document names and text as they are for a pipe, escaped for a terminal; the words the
// query-word table holds are marked when colour is on, cut by the index's word rules.
class Output {
 public:
  Output(const norvel::SearchState& state, norvel::WordRules rules)
      : terminal_(IsTerminal(1)), state_(state), rules_(rules) {}
  const char* operator()(const std::string& text) {
    shown_.clear();
    size_t i = 0;
    while (i < text.size()) {
      size_t start = i;
      bool word = IsWordAt(text, i, &i);
      for (size_t next; i < text.size() && IsWordAt(text, i, &next) == word;) i = next;
      std::string part = text.substr(start, i - start);
      if (terminal_) part = ForTerminal(part);
      bool mark =
          word && g_color && norvel::IsQueryWord(state_, text.data() + start, i - start, rules_);
      shown_ += mark ? kMarkOn + part + kMarkOff : part;
    }
    return shown_.c_str();
  }

 private:
  // Whether the character at text[i] is a word character; *next: where the one after it
  // begins (a byte on, or with the international rules a UTF-8 sequence or a byte read
  // as Windows-1252).
  bool IsWordAt(const std::string& text, size_t i, size_t* next) const {
    if (rules_ != norvel::WordRules::kInternational) {
      *next = i + 1;
      return norvel::IsWordByte(text[i]);
    }
    uint32_t cp = 0;
    size_t used = norvel::DecodeChar(text.data() + i, text.size() - i, true, &cp);
    *next = i + (used ? used : 1);
    return norvel::IntlCharClass(cp) != 0;
  }

  bool terminal_;
  const norvel::SearchState& state_;
  norvel::WordRules rules_;
  std::string shown_;
};

// A document name as its bytes: one held as UTF-8 (on Windows) without its mark.
std::string Bytes(const std::string& name) {
  return std::string(platform::NameBytes(name));
}

int PrintNames(const char* query, const norvel::PageSources& sources) {
  norvel::SearchState state;
  Output shown(state, sources.index->rules);
  norvel::HeldLock held{sources.reading};
  uint32_t total = norvel::runQuery(query, sources.index_dir, *sources.index, &state.words,
                                    &state.result_list, sources.data_dir, &held);
  if (sources.data_dir.empty() && state.words.HasConfirmed() &&
      sources.index->positions_usable == 0) {
    // The positions turned out damaged during the search, and no documents could be read
    // instead: the phrases were not confirmed.
    Complain(
        "the positions file is damaged, so a phrase is confirmed by reading the documents: "
        "give --data DATA_DIR");
    return kExitError;
  }
  if (held.lost || held.replaced) {
    Complain(held.lost ? "the index is in use; please try later"
                       : "files reindexed; please search again");
    return kExitError;
  }
  if (total == 0) {
    norvel::ShowBox("No results.", "Info", norvel::BoxStyle::kPlainOk);
    return kExitNone;
  }
  state.result_total = total;
  if (sources.order == norvel::ResultOrder::kRelevance) {
    try {
      norvel::OrderByRelevance(sources, &state, norvel::RankOptions(), total);
    } catch (const std::bad_alloc&) {
      norvel::ShowMessage(norvel::kInfo, 10, "Query Ranks");
      return kExitError;
    }
    state.ranking.Extend(total, &state.result_list);  // every name is printed
  }
  if (g_color) {
    state.query_words = norvel::MakeQueryWordTable(state.words, *sources.index);
    state.prefix_marks = norvel::MakePrefixMarks(state.words, *sources.index);
  }
  for (uint32_t start = 0; start < total; start += kPerPage) {
    state.page_start = start;
    state.page_end = total - start < kPerPage ? total : start + kPerPage;
    if (norvel::GetFileName(&state, sources) != 0) return kExitError;
    for (const std::string& name : state.page_file_names) std::printf("%s\n", shown(Bytes(name)));
  }
  return kExitOk;
}

void PrintPage(const norvel::SearchState& state, norvel::WordRules rules) {
  Output shown(state, rules);
  for (size_t j = 0; j < state.page_file_names.size(); ++j) {
    std::printf("%u. %s\n", static_cast<unsigned>(state.page_start + j + 1),
                shown(Bytes(state.page_file_names[j])));
    if (!state.page_excerpts[j].empty()) std::printf("   %s\n", shown(state.page_excerpts[j]));
    std::printf("\n");
  }
  uint32_t pages = (state.result_total + kPerPage - 1) / kPerPage;
  std::printf("Page=%u/%u|Total=%u\n", (state.page_end - 1) / kPerPage + 1, pages,
              state.result_total);
}

int PrintResultPage(const char* query, const norvel::PageSources& sources, uint32_t page) {
  norvel::SearchState state;
  if (norvel::RunSearch(query, sources, &state, std::string(), page) != 0) return kExitNone;
  if (state.result_total == 0) return kExitError;  // the first page failed; it said why
  uint32_t pages = (state.result_total + kPerPage - 1) / kPerPage;
  if (page > pages) {
    Complain("page " + std::to_string(page) + " does not exist; the results fill " +
             std::to_string(pages) + (pages == 1 ? " page" : " pages"));
    return kExitError;
  }
  PrintPage(state, sources.index->rules);
  return kExitOk;
}

bool ParsePageNumber(const std::string& text, uint32_t* page) {
  char* end = nullptr;
  unsigned long v = std::strtoul(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || v == 0 || v > 100000000ul) return false;
  *page = static_cast<uint32_t>(v);
  return true;
}

// A query with phrases or groups: without --data, the documents are where the settings
// file says. They are read to confirm the phrases when the index has no usable positions,
// and when its positions file turns out damaged in the middle of the search. False after a
// message when positions are missing and there is no data directory to read.
bool DataDirForPhrases(const std::string& query, const norvel::PageSources& sources,
                       const std::string& app_dir, std::string* data_dir) {
  norvel::QueryWords words;
  norvel::parseQuery(query.c_str(), &words, sources.index->exclusions, sources.index->rules);
  if (!words.HasConfirmed()) return true;
  norvel::Settings settings;
  if (norvel::ReadStartupProperties(app_dir, &settings) == 0) *data_dir = settings.data_dir;
  if (!data_dir->empty() || !norvel::NeedsDocuments(sources.index_dir, *sources.index, words)) {
    return true;
  }
  Complain(
      "the index has no positions, so a phrase is confirmed by reading the documents: "
      "give --data DATA_DIR");
  return false;
}

}  // namespace

int RunSearchCommand(const std::vector<std::string>& args) {
  const Command& self = FindCommand("search");
  ParsedArgs parsed;
  int start =
      StartCommand("search", args, {{"--app-dir", "--data", "--page", "--color", "--order"}, {}},
                   {2, "expected INDEX_DIR and QUERY"}, &parsed);
  if (start != kGoOn) return start;
  uint32_t page = 1;
  if (parsed.values.count("--page")) {
    if (!parsed.values.count("--data")) return UsageError(self, "--page needs --data");
    if (!ParsePageNumber(parsed.Value("--page"), &page)) {
      return UsageError(self, "--page needs a page number from 1 up");
    }
  }
  std::string color = parsed.Value("--color", "never");
  if (color != "auto" && color != "always" && color != "never") {
    return UsageError(self, "--color takes auto, always or never");
  }
  std::string order = parsed.Value("--order", "index");
  if (order != "index" && order != "relevance") {
    return UsageError(self, "--order takes index or relevance");
  }
  // auto leaves a console that cannot show colour (Windows before 10) plain.
  g_color = color == "always" || (color == "auto" && IsTerminal(1) && EnableColorOutput());
  std::string app_dir = AppDirectory(parsed);
  ConsoleUi ui;
  LogWatch log(app_dir);
  norvel::InMemoryIndex index;
  norvel::PageSources sources{parsed.Value("--data"), parsed.positional[0], &index};
  if (order == "relevance") sources.order = norvel::ResultOrder::kRelevance;
  norvel::SwapLock reading;  // held until the output is complete (let go to read documents)
  sources.reading = &reading;
  if (!LoadIndexAtStartup(sources.index_dir, app_dir, &index, &reading)) {
    norvel::ShowMessage(norvel::kInfo, 1, "Please check the logs");
    log.PrintNewEntries();
    return kExitError;
  }
  std::string query = norvel::QueryFromField(parsed.positional[1]);
  if (sources.data_dir.empty() && !DataDirForPhrases(query, sources, app_dir, &sources.data_dir)) {
    return kExitError;
  }
  int status = parsed.values.count("--data") ? PrintResultPage(query.c_str(), sources, page)
                                             : PrintNames(query.c_str(), sources);
  // A failure the engine only logged (a damaged file list, say) is said here too.
  if (status == kExitError) log.PrintNewEntries();
  return status;
}

}  // namespace norvel_cli
