// Start-up: settings, swap of a waiting new index, load under the marker.
#include "app/startup.h"

#include "app/messages.h"
#include "index/marker.h"
#include "index/swap.h"

namespace norvel {

void RunStartUp(const std::string& app_dir, Settings* settings, InMemoryIndex* index,
                JobProgress* job) {
  SetLogDirectory(app_dir);
  ReadStartupProperties(app_dir, settings);
  if (settings->index_dir.empty()) return;
  if (!TryLockMarker(app_dir)) return;
  if (NewIndexPending(settings->index_dir)) {
    RenAndReloadNdx(settings->index_dir, app_dir, index, nullptr, job);
  }
  // The start-up load takes the place of whatever the swap loaded.
  if (readIndexIntoMem(settings->index_dir, app_dir, index) != 0) index->Release();
  RecordIndexTime(settings->index_dir, index);
  UnlockMarker();
}

}  // namespace norvel
