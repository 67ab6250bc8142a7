// The result pages: document names through the file lists, excerpts from the documents.
#include "viewer/pages.h"

#include <algorithm>
#include <new>

#include "core/messages.h"
#include "index/index_files.h"
#include "index/name_reader.h"
#include "index/tokenizer.h"
#include "index/word_rules_intl.h"
#include "platform/file.h"
#include "platform/path.h"
#include "viewer/search.h"

namespace norvel {

namespace {

void ClearPageLists(SearchState* state) {
  std::vector<std::string>().swap(state->page_file_names);
  std::vector<std::string>().swap(state->page_excerpts);
}

int ShowWithPath(int code, const std::string& prefix, const std::string& path) {
  ShowMessage(kInfo, code, (prefix + path).c_str());
  return -1;
}

// Reads the name of file number n into *name. -1 after the message of what failed.
int ReadName(uint32_t n, NameReader* names, std::string* name) {
  switch (names->Read(n, name)) {
    case NameReader::Result::kOk:
      return 0;
    case NameReader::Result::kNoRecord:
      return ShowWithPath(4, "", names->ListPathOf(n));
    case NameReader::Result::kCannotOpen:
      return ShowWithPath(3, "GetFileName():", names->list_path());
    case NameReader::Result::kCannotSeek:
      return ShowWithPath(4, "", names->list_path());
    case NameReader::Result::kCannotRead:
      WriteLog("GetFileName():Cannot read name record.");
      return -1;
    case NameReader::Result::kBadName:
      // One that would lead out of the data directory can only come from a damaged list.
      WriteLog("GetFileName():Bad file name.");
      return -1;
  }
  return -1;
}

}  // namespace

int GetFileName(SearchState* state, const PageSources& src) {
  std::string stats = platform::JoinPath(src.index_dir, kStatsFile);
  platform::FileStatus st;
  if (!platform::GetFileStatus(stats, &st)) return ShowWithPath(3, "GetFileName():", stats);
  if (st.mtime != src.index->stats_mtime) {
    ShowMessage(kInfo, 14, "Please restart application.");
    return -1;
  }
  NameReader names(src.index_dir, *src.index);
  if (!names.OpenList(0)) return ShowWithPath(3, "GetFileName():", names.list_path());
  uint32_t count = state->page_end - state->page_start;
  state->page_file_names.resize(count);
  // A ranked page's numbers come in any order: its names are read list by list, so each
  // list file is opened once. An ascending page is read in its own order.
  const uint32_t* numbers = state->result_list.data() + state->page_start;
  std::vector<uint32_t> reading(count);
  for (uint32_t j = 0; j < count; ++j) reading[j] = j;
  std::stable_sort(reading.begin(), reading.end(), [&](uint32_t a, uint32_t b) {
    return ListOfFile(numbers[a]) < ListOfFile(numbers[b]);
  });
  for (uint32_t j : reading) {
    std::string name;
    if (ReadName(numbers[j], &names, &name) != 0) return -1;
    try {
      state->page_file_names[j] = std::move(name);
    } catch (const std::bad_alloc&) {
      ShowMessage(kInfo, 10, "GetFileName():Document Extra data");
      return -1;
    }
  }
  return 0;
}

int GetNextPage(SearchState* state, const PageSources& src) {
  ClearPageLists(state);
  if (!src.index || state->page_start > state->page_end ||
      state->page_end > state->result_list.size()) {
    WriteLog("GetNextPage():Bad page.");
    return -1;
  }
  uint32_t count = state->page_end - state->page_start;
  try {
    if (!state->ranking.Covers(state->page_end)) {
      OrderByRelevance(src, state, RankOptions(), state->result_list.size());  // every one
    }
    if (!state->ranking.empty()) state->ranking.Extend(state->page_end, &state->result_list);
    state->page_excerpts.resize(count);
  } catch (const std::bad_alloc&) {
    ShowMessage(kInfo, 10, "GetNextPage():Document Data.");
    return -1;
  }
  try {
    state->page_file_names.resize(count);
  } catch (const std::bad_alloc&) {
    ClearPageLists(state);
    ShowMessage(kInfo, 10, "GetNextPage():Document Extra Data.");
    return -1;
  }
  if (count == 0) return 0;
  if (GetFileName(state, src) != 0) {
    ClearPageLists(state);
    return -1;
  }
  for (uint32_t j = 0; j < count; ++j) {
    std::string excerpt;
    if (GetExcerpt(src.data_dir, state->page_file_names[j], state->query_words, &excerpt,
                   src.index->rules, &state->prefix_marks) != 0) {
      ClearPageLists(state);
      return -1;
    }
    try {
      state->page_excerpts[j] = excerpt;
    } catch (const std::bad_alloc&) {
      ClearPageLists(state);
      ShowMessage(kInfo, 10, "GetNextPage():Document Data items.");
      return -1;
    }
  }
  return 0;
}

namespace {

// A word the query marks: one of the table's or, with prefixes given, one they begin.
// `word` comes folded with the international rules, raw with the ASCII ones.
bool TableHolds(const WordTable& table, const char* word, size_t len,
                const PrefixMarks* prefixes = nullptr) {
  if (!table.present() || len == 0 || len > kMaxWordLength) return false;
  char folded[kMaxWordLength];
  for (size_t i = 0; i < len; ++i) folded[i] = FoldChar(word[i]);
  if (table.Find(folded, len) >= 0) return true;
  return prefixes && !prefixes->prefixes.empty() && prefixes->Marks(std::string_view(folded, len));
}

// The excerpt's text: no line ends or tabs, and nothing after a NUL byte (the excerpt is
// a C string for the layout).
void Clean(std::string* text) {
  size_t nul = text->find('\0');
  if (nul != std::string::npos) text->resize(nul);
  for (char& c : *text) {
    if (c == '\r' || c == '\n' || c == '\t') c = ' ';
  }
}

}  // namespace

int GetExcerpt(const std::string& data_dir, const std::string& name, const WordTable& table,
               std::string* out, WordRules rules, const PrefixMarks* prefixes) {
  out->clear();
  std::string path = platform::JoinPath(data_dir, name);
  platform::FileStatus st;
  if (!platform::GetFileStatus(path, &st)) return ShowWithPath(3, "", path);
  size_t block_size = static_cast<size_t>(std::min<uint64_t>(st.size, 1024));
  platform::TextReader reader;
  if (!reader.Open(path)) return ShowWithPath(3, "", path);
  char block[1024];
  size_t n = 0;
  bool hit = false;
  // The scan is continuous over the blocks; it stops at the first word the table holds.
  auto on_token = [&](const char* word, size_t len, size_t sep) {
    if (!TableHolds(table, word, len, prefixes)) return true;
    hit = true;
    if (sep == TokenScanner::kEndOfText) {
      size_t keep = std::min<size_t>(256, n);
      out->assign(block + n - keep, keep);
    } else {
      size_t start = sep > 256 ? sep - 256 : 0;
      out->assign(block + start, std::min(kMaxExcerptLength, n - start));
    }
    return false;
  };
  // The international scanner delivers words folded already, which TableHolds keeps.
  TokenScanner scanner;
  IntlTokenScanner intl_scanner;
  const bool intl = rules == WordRules::kInternational;
  while (block_size > 0 && !hit) {
    size_t got = reader.Read(block, block_size);
    if (got == 0) {
      // n still holds the last block's length
      intl ? intl_scanner.Finish(on_token) : scanner.Finish(on_token);
      break;
    }
    n = got;
    intl ? intl_scanner.Feed(block, n, on_token) : scanner.Feed(block, n, on_token);
  }
  bool read_error = reader.Error();
  reader.Close();
  Clean(out);
  return read_error ? -1 : 0;
}

bool IsQueryWord(const SearchState& state, const char* word, size_t len, WordRules rules) {
  if (rules == WordRules::kInternational) {
    std::string folded = FoldIntlText(std::string_view(word, len));
    return state.query_words.present() && folded.size() <= kMaxWordLength &&
           (state.query_words.Find(folded.data(), folded.size()) >= 0 ||
            state.prefix_marks.Marks(folded));
  }
  return TableHolds(state.query_words, word, len, &state.prefix_marks);
}

}  // namespace norvel
