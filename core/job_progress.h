// The background job's shared state: the stop and index-ready flags and the counters that
// the progress text shows. Written by one thread, read by the other, hence atomics.
#pragma once

#include <atomic>
#include <cstdint>

namespace norvel {

struct JobProgress {
  std::atomic<bool> stop{false};            // set by Cancel; read between entries and documents
  std::atomic<bool> index_ready{false};     // a complete new index waits under the "_new" names
  std::atomic<uint32_t> exported{0};        // entry files written by the export
  std::atomic<uint32_t> entries_listed{0};  // entries listed by the export
  std::atomic<uint32_t> files_indexed{0};   // documents added by the build
  std::atomic<uint32_t> words_saved{0};     // word records written by saveIndex
  std::atomic<uint32_t> distinct_words{0};  // word entries in the build-time table
  std::atomic<uint32_t> schemas_failed{0};  // schemas whose export failed in this job

  // What the Index command does before a job starts.
  void ResetForNewJob() {
    exported = 0;
    files_indexed = 0;
    words_saved = 0;
    distinct_words = 0;
    schemas_failed = 0;
    stop = false;
  }
};

}  // namespace norvel
