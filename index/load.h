// Loading an index into memory, and noting the time of the index that was loaded.
#pragma once

#include <string>

#include "index/in_memory_index.h"

namespace norvel {

// Loads the index of index_dir and the exclusion list of app_dir into *out, replacing what
// it held. 0 when loaded; -1 after a log line with *out released. A damaged or inconsistent
// index is refused: a table size of 0 beside a non-empty words file, a truncated record, a
// file list longer than 500,000 records or than total files, file lists too short to name
// every file number that total files claims, a posting offset beyond the postings file.
int readIndexIntoMem(const std::string& index_dir, const std::string& app_dir, InMemoryIndex* out);

// Records the modification time of index_dir's _stats.dat in index->stats_mtime, as
// start-up and the search command do after loading or swapping. False when it has none.
bool RecordIndexTime(const std::string& index_dir, InMemoryIndex* index);

}  // namespace norvel
