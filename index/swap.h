// Replacing the index: the swap of a new index into place with its reload, the discard
// of a new index, and the rules that keep readers and the next build away from a swap
// that stopped half-way.
//
// The swap renames the same files in the same order as the command interpreter would,
// directly: words, postings, every file list, and _stats.dat last (the positions file,
// which the interpreter never knew, goes just before it), so that a pending swap
// is recognised by the presence of _newstats.dat alone, and a swap that stops half-way is
// completed by the next one. The discard deletes _newstats.dat first, so that one stopped
// half-way never looks like a waiting swap. Every file renamed into place was synced to
// the disk when it was written, and the directory is synced around the last rename, so a
// power cut leaves the old index or the new one. A failed rename or delete is reported.
// Renames happen under the swap lock of the index directory (index/index_lock.h), and
// only a holder of its writer lock (index/marker.h) swaps or discards.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace norvel {

struct InMemoryIndex;
struct JobProgress;
class SwapLock;

// True when index_dir holds _newstats.dat, the mark of a new index waiting for its swap.
bool NewIndexPending(const std::string& index_dir);

// True when a swap began renaming and did not finish (its process ended, or a rename
// failed): the current files are a mixture that only completing the swap mends.
bool SwapInterrupted(const std::string& index_dir);

// True when the index files of index_dir are no longer the ones *index was loaded from:
// the time of _stats.dat differs from the recorded one, or a swap was interrupted. A
// _stats.dat whose status cannot be taken is not taken for a replaced one.
bool IndexReplacedSinceLoad(const std::string& index_dir, const InMemoryIndex& index);

// Renames the "_new" files of index_dir to the current names, shows "Loading index.
// Please wait..." in the status bar, releases *index and result_list (may be null: the
// caller's result list refers to the old index) and loads the index again with the
// exclusion list of app_dir. Failures are shown with ShowMessage (code 5 for a rename,
// code 1 for the reload, which leaves no index). Clears progress->index_ready (progress
// may be null). The caller records the time of _stats.dat afterwards (RecordIndexTime).
void RenAndReloadNdx(const std::string& index_dir, const std::string& app_dir, InMemoryIndex* index,
                     std::vector<uint32_t>* result_list, JobProgress* progress);

// Deletes the "_new" files of index_dir; a failure is shown with ShowMessage (code 5).
// The index in memory is not touched. Clears progress->index_ready (may be null).
void DelNdx(const std::string& index_dir, JobProgress* progress);

// Readies index_dir for a build by the holder of its writer lock: a waiting or
// interrupted swap is completed, never discarded, and the "_new" files that remain (a
// build that never finished) are removed, so that whatever "_new" files a failed build
// leaves are its own; one that cannot be removed is logged and left to the build, which
// writes every "_new" name it needs again. False after a log line when the swap cannot
// be completed; then nothing was removed.
bool PrepareForBuild(const std::string& index_dir);

// Loads the index of index_dir for a reader that does not hold the writer lock: under the
// shared swap lock *lock (kept held on return, so the caller may go on reading the index
// files; release it to let a swap proceed), and never an index whose swap was
// interrupted. 0 when loaded; -1 after a log line otherwise.
int ReadIndexAsReader(const std::string& index_dir, const std::string& app_dir,
                      InMemoryIndex* index, SwapLock* lock);

}  // namespace norvel
