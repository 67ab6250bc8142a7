// Start-up: settings, swap of a waiting new index, load under the marker.
#include "app/startup.h"

#include "core/messages.h"
#include "index/index_lock.h"
#include "index/marker.h"
#include "index/swap.h"

namespace norvel {

void RunStartUp(const std::string& app_dir, Settings* settings, InMemoryIndex* index,
                JobProgress* job) {
  SetLogDirectory(app_dir);
  ReadStartupProperties(app_dir, settings);
  if (settings->index_dir.empty()) return;
  if (!TryLockMarker(app_dir)) return;
  // Another application directory's build of the same index directory keeps its own
  // waiting index; this one only reads.
  if (LockIndexWriter(settings->index_dir) == LockResult::kLocked &&
      NewIndexPending(settings->index_dir)) {
    RenAndReloadNdx(settings->index_dir, app_dir, index, nullptr, job);
  }
  // The start-up load takes the place of whatever the swap loaded.
  SwapLock reading;
  ReadIndexAsReader(settings->index_dir, app_dir, index, &reading);
  UnlockMarker();
}

}  // namespace norvel
