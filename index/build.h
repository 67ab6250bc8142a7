// The index build: every non-empty .txt document of the data directory into a complete
// new index under the "_new" names of the index directory.
#pragma once

#include <cstddef>
#include <string>

namespace norvel {

struct JobProgress;

// How a build spreads its work over threads. The index files never depend on it.
struct BuildTuning {
  unsigned threads = 0;             // 0: the machine's processors, at most 4
  size_t min_part_documents = 256;  // fewer documents than this per part: one part
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

}  // namespace norvel
