// The background job's steps, portable: the Index command's start, IndexJob (directories,
// export of each selected schema, build of the new index), the progress timer's text,
// Cancel, and the directory check with its questions. What touches the main window goes
// through JobWindow (the progress timer) and the message sink (status text and boxes).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/job_progress.h"
#include "export/secret.h"

namespace norvel {

// The progress timer (identifier 4000, every 500 ms) of the main window.
class JobWindow {
 public:
  virtual ~JobWindow() = default;
  virtual void StartProgressTimer() = 0;
  virtual void StopProgressTimer() = 0;
};

// The export settings the dialog hands to the job before it starts.
struct JobSettings {
  std::string server;
  std::string user;
  SecretText password;  // wiped once the export is over
  int32_t max_records = 0;
  std::string query;
  std::string data_dir;
  std::string index_dir;
  std::string app_dir;               // exclusion list and indexing marker
  std::vector<std::string> schemas;  // the selected schemas, released by the job
};

// The job state shared by the user-interface thread and the job thread.
struct JobState {
  JobProgress progress;
  std::atomic<int> wait_animation{0};  // 0 to 13, advanced by the timer
  JobSettings settings;
};

// The Index command before the dialog opens: takes the indexing marker of app_dir and
// resets the counters and the stop flag. False (after "Indexing in progress." with
// "Please try later.") when the marker is held.
bool BeginIndexCommand(JobState* state, const std::string& app_dir);

// The job thread's routine. Always returns 0; its outcome is the index ready flag.
// A build that fails or is stopped leaves no "_new" file behind.
int IndexJob(JobState* state, JobWindow* window);

// "Exported = %u/%u | Indexed = %u/%u | Saved = %u/%u".
std::string ProgressText(const JobProgress& progress);

// One tick of the progress timer: the progress text once something was exported or
// indexed, otherwise the next step of the growing "Please wait...".
std::string ProgressTickText(JobState* state);
void OnProgressTimer(JobState* state);

// Cancel: sets the stop flag, waits for the job (wait_for_job returns at once when none
// runs), discards a finished new index that waits for its swap, releases the marker.
void CancelJob(JobState* state, const std::function<void()>& wait_for_job);

// The data directory, then the index directory (not checked when the first fails).
bool CheckJobDirectories(const std::string& data_dir, const std::string& index_dir);

// True when path is a directory or has been created after the user agreed. Relative paths
// are taken from the current directory, which the check leaves unchanged.
bool CheckDirectory(const std::string& path);

}  // namespace norvel
