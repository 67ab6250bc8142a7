// The start-up sequence of the search window, without the window: the settings, the swap
// of a new index left by an earlier job, and the load of the index under the indexing
// marker.
#pragma once

#include <string>

#include "core/job_progress.h"
#include "export/settings.h"
#include "index/in_memory_index.h"

namespace norvel {

// Reads the settings of app_dir and records app_dir as the log's directory, whether or
// not an index directory is set, so the log never lands at the root of a drive. With an
// index directory whose marker can be locked: swaps a waiting new index in (when the
// index directory's writer lock is free too), loads the index (an empty index on failure,
// logged) as a reader, so never a half-swapped one, records the time of _stats.dat and
// unlocks the marker. Without the marker (another instance builds or swaps) no index is
// loaded.
void RunStartUp(const std::string& app_dir, Settings* settings, InMemoryIndex* index,
                JobProgress* job);

}  // namespace norvel
