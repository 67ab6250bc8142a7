// The background job's window side: the File menu's Index and Cancel, the progress timer
// of the main window, the job's thread, and the wait for it at shutdown.
#pragma once

#include <windows.h>

#include "job/job.h"

namespace norvel {

// Plugs the job and the export dialog into the main window (TheJobHooks). WinMain calls it
// before the window is made.
void InstallJobWindow();

// This instance's job state, shared by the user-interface thread and the job thread.
JobState& TheJobState();

// Starts IndexJob on a thread of its own; false when the thread could not be created.
// Only while no earlier job thread runs.
bool StartJobThread();

}  // namespace norvel
