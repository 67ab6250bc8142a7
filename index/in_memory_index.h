// The index held in memory: the load-time word table, the exclusion table, the file-name
// offset tables and the total of files, with the loader that fills them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "index/word_rules_intl.h"
#include "index/word_table.h"

namespace norvel {

struct InMemoryIndex {
  WordTable words;       // load-time word table; absent when nothing is loaded
  WordTable exclusions;  // exclusion table; absent when there is no exclusion list
  // One table per file list: entry i is the offset of record i's length byte.
  std::vector<std::vector<uint32_t>> name_offsets;
  uint32_t total_files = 0;
  // Modification time of _stats.dat when the index was loaded (RecordIndexTime); the
  // result pages compare it to notice an index replaced by another instance.
  int64_t stats_mtime = 0;
  // The rules its words were made with (recorded in the index directory); queries, the
  // exclusion table and the viewer's marking follow them.
  WordRules rules = WordRules::kAscii;

  bool loaded() const { return words.present(); }
  void Release();
};

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
