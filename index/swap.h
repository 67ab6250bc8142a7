// Replacing the index: the swap of a new index into place with its reload, and the
// discard of a new index.
//
// Both rename or delete the same files in the same order as the command interpreter
// would, directly: words, postings, every file list, and _stats.dat last, so that a
// pending swap is recognised by the presence of _newstats.dat alone, and a swap that
// stops half-way is completed by the next one. A failed rename or delete is reported.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace norvel {

struct InMemoryIndex;
struct JobProgress;

// True when index_dir holds _newstats.dat, the mark of a new index waiting for its swap.
bool NewIndexPending(const std::string& index_dir);

// Renames the "_new" files of index_dir to the current names, shows "Loading index.
// Please wait..." in the status bar, releases *index and result_list (may be null: the
// caller's result list refers to the old index) and loads the index again with the
// exclusion list of app_dir. Failures are shown with ShowMessage (code 5 for a rename,
// code 1 for the reload, which leaves no index). Clears progress->index_ready (progress
// may be null). The caller records the time of _stats.dat afterwards (RecordIndexTime).
void RenAndReloadNdx(const std::string& index_dir, const std::string& app_dir,
                     InMemoryIndex* index, std::vector<uint32_t>* result_list,
                     JobProgress* progress);

// Deletes the "_new" files of index_dir; a failure is shown with ShowMessage (code 5).
// The index in memory is not touched. Clears progress->index_ready (may be null).
void DelNdx(const std::string& index_dir, JobProgress* progress);

}  // namespace norvel
