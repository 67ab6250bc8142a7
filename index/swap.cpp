// Swapping a new index in, discarding one, and reading around a swap.
#include "index/swap.h"

#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "core/job_progress.h"
#include "core/messages.h"
#include "index/in_memory_index.h"
#include "index/index_files.h"
#include "index/index_lock.h"
#include "index/load.h"
#include "index/new_files.h"
#include "index/parallel.h"
#include "index/positions.h"
#include "index/word_choice.h"
#include "platform/dir.h"
#include "platform/file.h"
#include "platform/path.h"

namespace norvel {

bool NewIndexPending(const std::string& index_dir) {
  return platform::FileExists(platform::JoinPath(index_dir, kNewStatsFile));
}

bool SwapInterrupted(const std::string& index_dir) {
  // Every build writes the words file before the statistics, and a swap renames it first.
  return NewIndexPending(index_dir) &&
         !platform::FileExists(platform::JoinPath(index_dir, kNewWordsFile));
}

bool IndexReplacedSinceLoad(const std::string& index_dir, const InMemoryIndex& index) {
  if (SwapInterrupted(index_dir)) return true;
  // Statistics without a status are not a new index: the page's file-name lookup, which
  // takes the same status, says what is missing.
  platform::FileStatus st;
  return platform::GetFileStatus(platform::JoinPath(index_dir, kStatsFile), &st) &&
         st.mtime != index.stats_mtime;
}

namespace {

// Renames one file of the new index unless it is missing (the rest of a swap goes on
// without it, as a "move" of a missing file would). False when it is there and stays.
bool MoveIfPresent(const std::string& dir, const std::string& from, const std::string& to) {
  std::string source = platform::JoinPath(dir, from);
  if (!platform::FileExists(source)) return true;
  if (platform::RenameReplace(source, platform::JoinPath(dir, to))) return true;
  WriteLog("RenAndReloadNdx():Cannot rename " + from + ".");
  return false;
}

// Holds the files of the index in place that the swap replaces or deletes: their blocks
// are freed once they are let go, not while readers are kept out.
void HoldReplaced(const std::string& index_dir, size_t lists,
                  std::vector<platform::HeldFile>* replaced) {
  try {
    for (const NewIndexFile& file : NewIndexFiles()) {
      replaced->emplace_back(platform::JoinPath(index_dir, file.current_name));
    }
    for (uint32_t k = 0; k < lists; ++k) {
      replaced->emplace_back(platform::JoinPath(index_dir, ListFileName(k)));
    }
    replaced->emplace_back(platform::JoinPath(index_dir, kPositionsFile));
  } catch (const std::bad_alloc&) {
    // Those not held are freed as they are replaced.
  }
}

// Renames words, postings, the lists, and the statistics last, while no reader reads;
// stops at the first file that stays, so that _newstats.dat still marks the swap as
// pending. The files replaced go to *replaced, held.
bool RenameNewFiles(const std::string& index_dir, std::vector<platform::HeldFile>* replaced) {
  SwapLock readers_out;
  if (!readers_out.AcquireExclusive(index_dir)) {
    WriteLog("RenAndReloadNdx():Index in use.");
    return false;
  }
  std::vector<std::string> lists;
  platform::ListDirectory(index_dir, "_newfile*.dat", &lists);
  HoldReplaced(index_dir, lists.size(), replaced);
  // A new index without positions must not keep the old ones beside it. Only before the
  // words move: once they have, a missing _newpositions.dat may be one renamed already.
  if (platform::FileExists(platform::JoinPath(index_dir, kNewWordsFile)) &&
      !platform::FileExists(platform::JoinPath(index_dir, kNewPositionsFile)) &&
      !RemoveNewIndexFile(index_dir, kPositionsFile, "RenAndReloadNdx():")) {
    return false;
  }
  // The words first: from here on the swap counts as interrupted until _stats.dat is
  // renamed, so no reader meets words and recorded rules that do not belong together.
  for (const NewIndexFile& file : NewIndexFiles()) {
    if (!MoveIfPresent(index_dir, file.new_name, file.current_name)) return false;
  }
  for (uint32_t k = 0; k < lists.size(); ++k) {
    if (!MoveIfPresent(index_dir, ListFileName(k, true), ListFileName(k))) return false;
  }
  if (!MoveIfPresent(index_dir, kNewPositionsFile, kPositionsFile)) return false;
  // After a power cut the new statistics must never stand beside old words: the other
  // renames reach the disk before the statistics are renamed, and that rename before the
  // swap is taken as done.
  platform::SyncDirectory(index_dir);
  if (!MoveIfPresent(index_dir, kNewStatsFile, kStatsFile)) return false;
  platform::SyncDirectory(index_dir);
  return true;
}

}  // namespace

void RenAndReloadNdx(const std::string& index_dir, const std::string& app_dir, InMemoryIndex* index,
                     std::vector<uint32_t>* result_list, JobProgress* progress) {
  std::vector<platform::HeldFile> replaced;
  if (!RenameNewFiles(index_dir, &replaced)) {
    ShowMessage(kInfo, 5, "RenAndReloadNdx():Renaming files.");
  }
  // The replaced files' blocks are freed beside the loading.
  std::thread release;
  try {
    release = std::thread([&replaced] { replaced.clear(); });
  } catch (const std::system_error&) {
    replaced.clear();
  }
  JoinOnExit join_on_exit(release);
  SetStatusText("Loading index. Please wait...");
  index->Release();
  if (result_list) std::vector<uint32_t>().swap(*result_list);
  if (readIndexIntoMem(index_dir, app_dir, index) != 0) {
    ShowMessage(kInfo, 1, "RenAndReloadNdx().");
  }
  if (progress) progress->index_ready = false;
}

void DelNdx(const std::string& index_dir, JobProgress* progress) {
  if (!DiscardNewIndex(index_dir, "DelNdx():")) {
    ShowMessage(kInfo, 5, "DelNdx():Deleting files.");
  }
  if (progress) progress->index_ready = false;
}

bool PrepareForBuild(const std::string& index_dir) {
  std::vector<platform::HeldFile> replaced;
  if (NewIndexPending(index_dir) && !RenameNewFiles(index_dir, &replaced)) {
    WriteLog("doIndex():Cannot complete the waiting swap.");
    return false;
  }
  // A leftover that stays (it has been logged) does not stop the build: the build writes
  // every "_new" name it needs again, its statistics last.
  DiscardNewIndex(index_dir, "doIndex():");
  return true;
}

int ReadIndexAsReader(const std::string& index_dir, const std::string& app_dir,
                      InMemoryIndex* index, SwapLock* lock) {
  index->Release();
  if (!lock->AcquireShared(index_dir)) {
    WriteLog("readIndexIntoMem():Index in use.");
    return -1;
  }
  if (SwapInterrupted(index_dir)) {
    WriteLog("readIndexIntoMem():Swap not completed.");
    return -1;
  }
  if (readIndexIntoMem(index_dir, app_dir, index) != 0) return -1;
  RecordIndexTime(index_dir, index);
  return 0;
}

}  // namespace norvel
