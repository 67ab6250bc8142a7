// Fuzz targets for the text inputs: the settings file, the exclusion list, a document (the
// tokenizer of the build and the excerpt scan) and the query text. NORVEL_FUZZ_TEXT picks one.
#include <cstddef>
#include <cstdint>
#include <string>

#include "export/settings.h"
#include "fuzz_env.h"
#include "index/load.h"
#include "index/word_files.h"
#include "index/word_rules_intl.h"
#include "platform/file.h"
#include "platform/path.h"
#include "query/query.h"
#include "viewer/pages.h"
#include "viewer/search.h"

namespace {

enum Text { kSettings, kExclusions, kDocument, kQuery };

void FuzzSettings(const std::string& input) {
  const auto& env = norvel_fuzz::Env();
  std::string path = platform::JoinPath(env.app_dir, "norvel.ini");
  norvel_fuzz::WriteFile(path, reinterpret_cast<const uint8_t*>(input.data()), input.size());
  norvel::Settings settings;
  norvel::ReadStartupProperties(env.app_dir, &settings);
  norvel::ReadProperties(&settings);
}

void FuzzExclusions(const std::string& input) {
  // A directory of its own: the shared application directory keeps the index's list.
  static const std::string dir = [] {
    std::string d = platform::JoinPath(norvel_fuzz::Env().root, "xclude");
    platform::MakeDirectory(d);
    return d;
  }();
  std::string path = platform::JoinPath(dir, "xcludelist.ini");
  norvel_fuzz::WriteFile(path, reinterpret_cast<const uint8_t*>(input.data()), input.size());
  norvel::WordTable table;
  if (norvel::readXcludeWords(dir, &table) == 0 && table.present()) {
    // The words it holds must obey the word rules.
    for (size_t e = 0; e < table.word_count(); ++e) {
      std::string_view w = table.Text(e);
      if (w.empty() || w.size() > 254 || !norvel::startsWithLetter(w)) __builtin_trap();
    }
  }
}

void FuzzDocument(const std::string& input) {
  const auto& env = norvel_fuzz::Env();
  std::string path = platform::JoinPath(env.data_dir, "fuzz.txt");
  norvel_fuzz::WriteFile(path, reinterpret_cast<const uint8_t*>(input.data()), input.size());
  norvel::WordTable table(1000);  // a small words limit, to reach it as well
  uint32_t distinct = 0;
  norvel::addFileToIndex(1, path, input.size(), &distinct, &table, nullptr, 1000);
  norvel::WordTable query(3);
  norvel::QueryWords words;
  words.all_n_any = {"cat", "printer"};
  words.include = {"x_1"};
  norvel::buildQueryWordTable(words, &query);
  std::string excerpt;
  norvel::GetExcerpt(env.data_dir, "fuzz.txt", query, &excerpt);
  if (excerpt.size() > 512) __builtin_trap();
  // The international rules over the same bytes: words of valid UTF-8, at most 254 bytes.
  norvel::WordTable intl(1000);
  distinct = 0;
  norvel::addFileToIndex(1, path, input.size(), &distinct, &intl, nullptr, 1000,
                         norvel::WordRules::kInternational);
  for (size_t e = 0; e < intl.word_count(); ++e) {
    std::string_view w = intl.Text(e);
    if (w.empty() || w.size() > 254 || norvel::FoldIntlText(w) != w) __builtin_trap();
  }
  norvel::GetExcerpt(env.data_dir, "fuzz.txt", query, &excerpt, norvel::WordRules::kInternational);
  if (excerpt.size() > 512) __builtin_trap();
}

void FuzzQuery(const std::string& input) {
  std::string query = input.substr(0, 255);
  norvel::QueryWords words;
  norvel::WordTable none;
  norvel::parseQuery(query.c_str(), &words, none);
  // The pristine index is never written, so it is loaded once.
  const auto& env = norvel_fuzz::Env();
  static norvel::InMemoryIndex index;
  static bool loaded = [&] {
    bool ok = norvel::readIndexIntoMem(env.pristine_dir, env.app_dir, &index) == 0;
    norvel::RecordIndexTime(env.pristine_dir, &index);
    return ok;
  }();
  if (!loaded) __builtin_trap();
  norvel::PageSources sources{env.data_dir, env.pristine_dir, &index};
  norvel::SearchState state;
  norvel::RunSearch(query.c_str(), sources, &state);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  switch (static_cast<Text>(NORVEL_FUZZ_TEXT)) {
    case kSettings:
      FuzzSettings(input);
      break;
    case kExclusions:
      FuzzExclusions(input);
      break;
    case kDocument:
      FuzzDocument(input);
      break;
    case kQuery:
      FuzzQuery(input);
      break;
  }
  return 0;
}
