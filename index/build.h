// The index build: every non-empty .txt document of the data directory into a complete
// new index under the "_new" names of the index directory.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "index/word_rules_intl.h"

namespace norvel {

struct JobProgress;

// How a build spreads its work over threads. The index files never depend on it.
struct BuildTuning {
  unsigned threads = 0;             // 0: the machine's processors, at most 4
  size_t min_part_documents = 256;  // fewer documents than this per part: one part
  // The parts cut at the start, at most one per thread (0: one per thread). A thread
  // without a part takes over the later share of one that is running.
  size_t cut_parts = 0;
  bool positions = true;        // false: no positions file (the benchmark's reference)
  size_t positions_memory = 0;  // bytes the parts' positions hold before they spill (0: 8 MB)
};

// Builds the new index. The exclusion list is read from app_dir. progress (may be null)
// receives the files indexed, words saved and distinct words counters while it runs, and
// its stop flag is read between documents. 0 when a complete new index was written; -1
// after a log line otherwise (a build ended early by the stop flag, a document that failed
// or a missing size still saves the documents before it, which the next start swaps in).
int doIndex(const std::string& data_dir, const std::string& index_dir, const std::string& app_dir,
            JobProgress* progress);
int doIndex(const std::string& data_dir, const std::string& index_dir, const std::string& app_dir,
            JobProgress* progress, const BuildTuning& tuning);
// The same with the word rules of the new index: without a choice, the rules recorded in
// index_dir (index/word_choice.h). The new index records a choice when one was made or
// when its rules are the international ones.
int doIndex(const std::string& data_dir, const std::string& index_dir, const std::string& app_dir,
            JobProgress* progress, const BuildTuning& tuning, std::optional<WordRules> choice);

}  // namespace norvel
