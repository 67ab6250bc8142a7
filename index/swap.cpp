// Swapping a new index in, and discarding one.
#include "index/swap.h"

#include "app/job_progress.h"
#include "app/messages.h"
#include "index/in_memory_index.h"
#include "index/index_files.h"
#include "platform/dir.h"
#include "platform/file.h"
#include "platform/path.h"

namespace norvel {

bool NewIndexPending(const std::string& index_dir) {
  return platform::FileExists(platform::JoinPath(index_dir, kNewStatsFile));
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

// Renames words, postings, the lists, and the statistics last; stops at the first file
// that stays, so that _newstats.dat still marks the swap as pending.
bool RenameNewFiles(const std::string& index_dir) {
  std::vector<std::string> lists;
  platform::ListDirectory(index_dir, "_newfile*.dat", &lists);
  if (!MoveIfPresent(index_dir, kNewWordsFile, kWordsFile)) return false;
  if (!MoveIfPresent(index_dir, kNewPostingsFile, kPostingsFile)) return false;
  for (uint32_t k = 0; k < lists.size(); ++k) {
    if (!MoveIfPresent(index_dir, ListFileName(k, true), ListFileName(k))) return false;
  }
  return MoveIfPresent(index_dir, kNewStatsFile, kStatsFile);
}

bool DeleteIfPresent(const std::string& dir, const std::string& name) {
  std::string path = platform::JoinPath(dir, name);
  if (!platform::FileExists(path) || platform::RemoveFile(path)) return true;
  WriteLog("DelNdx():Cannot delete " + name + ".");
  return false;
}

}  // namespace

void RenAndReloadNdx(const std::string& index_dir, const std::string& app_dir,
                     InMemoryIndex* index, std::vector<uint32_t>* result_list,
                     JobProgress* progress) {
  if (!RenameNewFiles(index_dir)) ShowMessage(kInfo, 5, "RenAndReloadNdx():Renaming files.");
  SetStatusText("Loading index. Please wait...");
  index->Release();
  if (result_list) std::vector<uint32_t>().swap(*result_list);
  if (readIndexIntoMem(index_dir, app_dir, index) != 0) {
    ShowMessage(kInfo, 1, "RenAndReloadNdx().");
  }
  if (progress) progress->index_ready = false;
}

void DelNdx(const std::string& index_dir, JobProgress* progress) {
  bool deleted = DeleteIfPresent(index_dir, kNewWordsFile);
  deleted = DeleteIfPresent(index_dir, kNewPostingsFile) && deleted;
  std::vector<std::string> lists;
  platform::ListDirectory(index_dir, "_newfile*.dat", &lists);
  for (const std::string& name : lists) deleted = DeleteIfPresent(index_dir, name) && deleted;
  deleted = DeleteIfPresent(index_dir, kNewStatsFile) && deleted;
  if (!deleted) ShowMessage(kInfo, 5, "DelNdx():Deleting files.");
  if (progress) progress->index_ready = false;
}

}  // namespace norvel
