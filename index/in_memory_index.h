// The index held in memory: the load-time word table, the exclusion table, the file-name
// offset tables and the total of files (index/load.h fills it).
#pragma once

#include <cstdint>
#include <memory>
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

  // Made by the query layer on first use and dropped with the index: the word entries in
  // byte order of their text (prefixes are looked up in it), and whether the positions
  // file was found to belong to this index (-1: not asked yet, 0: no, 1: yes).
  mutable std::vector<uint32_t> words_in_order;
  mutable int positions_usable = -1;
  // The words' part of the fingerprint that ties a positions file to these index files,
  // hashed by the first search that opens the positions (index/positions_format.h).
  mutable uint64_t words_fingerprint = 0;
  mutable bool words_fingerprinted = false;
  // The positions file's tables that every search reads at its opening (the checks of its
  // chunks of token counts, its dictionary's index), kept from the first search on with
  // the header they were read under; type-erased, as only index/positions.cpp knows them.
  mutable std::shared_ptr<const void> positions_tables;
  // Every document's token count from the positions file (file n at n - 1), read whole by
  // the first relevance search: ranking needs the count of each document it scores, and a
  // query held by most documents would otherwise read and check them all at every search.
  // Dropped when the positions file's tables are read under another header.
  mutable std::vector<uint32_t> document_tokens;

  bool loaded() const { return words.present(); }
  void Release();
};

}  // namespace norvel
