// The background job: its sequence, the progress timer's text, Cancel and the directory
// check.
#include "job/job.h"

#include <cstdio>

#include "core/messages.h"
#include "export/ar_connection.h"
#include "index/build.h"
#include "index/index_files.h"
#include "index/index_lock.h"
#include "index/marker.h"
#include "index/positions.h"
#include "index/swap.h"
#include "platform/dir.h"
#include "platform/file.h"
#include "platform/path.h"

namespace norvel {

namespace {

const char kWaitText[] = "Please wait...";
constexpr int kWaitSteps = 14;  // the length of kWaitText

// Creates every missing level of path, from its root on.
bool CreateLevels(const std::string& path) {
  size_t root = platform::PathRootLength(path);
  std::string prefix = path.substr(0, root);
  size_t i = root;
  while (i < path.size()) {
    size_t end = i;
    while (end < path.size() && !platform::IsPathSeparator(path[end])) ++end;
    if (end > i) {
      prefix += path.substr(i, end - i);
      if (!platform::IsDirectory(prefix) && !platform::MakeDirectory(prefix)) {
        ShowSystemError();
        return false;
      }
    }
    if (end < path.size()) prefix += path[end];
    i = end + 1;
  }
  return true;
}

// True when a lock was taken; otherwise says why: another instance at work ("Indexing in
// progress."), or a lock file that cannot exist where it must ("File open error." with
// its path).
bool Locked(LockResult result, const std::string& lock_file) {
  switch (result) {
    case LockResult::kLocked:
      return true;
    case LockResult::kBusy:
      ShowMessage(kInfo, 0, "Please try later.");
      return false;
    case LockResult::kCannotOpen:
      ShowMessage(kInfo, 3, lock_file.c_str());
      return false;
  }
  return false;
}

// The index directory's writer lock, held with the marker until the new index is swapped
// in or discarded; then a swap that an earlier run left half done is completed, so that
// whatever "_new" files a failed build leaves are its own. Says why when it fails.
bool TakeIndexDirectory(const std::string& index_dir) {
  if (!Locked(LockIndexWriter(index_dir), platform::JoinPath(index_dir, kIndexLockFile))) {
    return false;
  }
  if (PrepareForBuild(index_dir)) return true;
  ShowMessage(kError, 21, "Please check the logs.");
  return false;
}

void ReleaseSchemasAndPassword(JobSettings* settings) {
  std::vector<std::string>().swap(settings->schemas);
  settings->password.Clear();
}

}  // namespace

bool BeginIndexCommand(JobState* state, const std::string& app_dir) {
  if (!Locked(LockMarker(app_dir), platform::JoinPath(app_dir, "isndxng.dat"))) return false;
  state->progress.ResetForNewJob();
  return true;
}

int IndexJob(JobState* state, JobWindow* window) {
  JobSettings& settings = state->settings;
  JobProgress& progress = state->progress;
  state->wait_animation = 0;
  if (!CheckJobDirectories(settings.data_dir, settings.index_dir) ||
      !TakeIndexDirectory(settings.index_dir)) {
    progress.index_ready = false;
    UnlockMarker();
    ReleaseSchemasAndPassword(&settings);
    return 0;
  }
  window->StartProgressTimer();
  for (const std::string& schema : settings.schemas) {
    if (ExportData(settings.server, settings.user, settings.password.str(), schema,
                   settings.max_records, settings.query, settings.data_dir, &progress) == -1) {
      ++progress.schemas_failed;
      ShowMessage(kError, 20, "Please check the logs.");
    }
  }
  ReleaseSchemasAndPassword(&settings);
  if (doIndex(settings.data_dir, settings.index_dir, settings.app_dir, &progress) < 0) {
    // A partial index must never be swapped in over the complete one at the next start.
    RemoveNewIndexFiles(settings.index_dir);
    progress.index_ready = false;
    UnlockMarker();
    window->StopProgressTimer();
    SetStatusText("");
    ShowMessage(kError, 21, "Please check the logs.");
  } else {
    progress.index_ready = true;
    window->StopProgressTimer();
    if (progress.exported > 0 || progress.files_indexed > 0) {
      SetStatusText(ProgressText(progress));
    }
  }
  return 0;
}

std::string ProgressText(const JobProgress& progress) {
  char text[256];
  unsigned listed = progress.entries_listed;
  std::snprintf(text, sizeof text, "Exported = %u/%u | Indexed = %u/%u | Saved = %u/%u",
                static_cast<unsigned>(progress.exported), listed,
                static_cast<unsigned>(progress.files_indexed), listed,
                static_cast<unsigned>(progress.words_saved),
                static_cast<unsigned>(progress.distinct_words));
  return text;
}

std::string ProgressTickText(JobState* state) {
  if (state->progress.exported > 0 || state->progress.files_indexed > 0) {
    return ProgressText(state->progress);
  }
  int step = state->wait_animation + 1;
  if (step >= kWaitSteps) step = 0;
  state->wait_animation = step;
  return std::string(kWaitText, static_cast<size_t>(step) + 1);
}

void OnProgressTimer(JobState* state) {
  SetStatusText(ProgressTickText(state));
}

void CancelJob(JobState* state, const std::function<void()>& wait_for_job) {
  state->progress.stop = true;
  if (wait_for_job) wait_for_job();
  if (state->progress.index_ready) DelNdx(state->settings.index_dir, &state->progress);
  UnlockMarker();
}

bool CheckJobDirectories(const std::string& data_dir, const std::string& index_dir) {
  return CheckDirectory(data_dir) && CheckDirectory(index_dir);
}

bool CheckDirectory(const std::string& path) {
  if (!platform::DriveExists(path)) {
    ShowBox("Illegal drive letter", "Error", BoxStyle::kInfoOk);
    return false;
  }
  if (platform::IsDirectory(path)) return true;
  if (ShowBox(path + " doesn't exist. Create it ?", "Info", BoxStyle::kPlainOkCancel) ==
      BoxAnswer::kCancel) {
    return false;
  }
  return CreateLevels(path);
}

void RemoveNewIndexFiles(const std::string& index_dir) {
  // The statistics first, on the disk before the rest: they mark a waiting swap.
  platform::RemoveFile(platform::JoinPath(index_dir, kNewStatsFile));
  platform::SyncDirectory(index_dir);
  platform::RemoveFile(platform::JoinPath(index_dir, kNewStatsTempFile));
  platform::RemoveFile(platform::JoinPath(index_dir, kNewWordsFile));
  platform::RemoveFile(platform::JoinPath(index_dir, kNewPostingsFile));
  platform::RemoveFile(platform::JoinPath(index_dir, kNewPositionsFile));
  std::vector<std::string> lists, spills;
  platform::ListDirectory(index_dir, "_newfile*.dat", &lists);
  platform::ListDirectory(index_dir, "_newpositions*.tmp", &spills);
  lists.insert(lists.end(), spills.begin(), spills.end());
  for (const std::string& name : lists) platform::RemoveFile(platform::JoinPath(index_dir, name));
}

}  // namespace norvel
