// Reading words from files into word tables: one document into a build's table, and the
// exclusion list of the application directory.
#pragma once

#include <cstdint>
#include <string>

#include "index/word_rules_intl.h"
#include "index/word_table.h"

namespace norvel {

// Adds every word of one text file to the table under the file number. table_size is the
// words limit; distinct_words is the caller's running count of word entries.
// 0, or -1 after a log line (cannot open, no memory, words limit passed, read error).
int addFileToIndex(uint32_t file_number, const std::string& path, uint64_t file_size,
                   uint32_t* distinct_words, WordTable* table, const WordTable* exclusions,
                   uint32_t table_size, WordRules rules = WordRules::kAscii);

// Reads xcludelist.ini of the application directory into *out. 0 with a table, 0 with an
// absent table (no file, empty file, no tokens), or -1 after a log line. The words are
// made by the rules of the index they are for.
int readXcludeWords(const std::string& app_dir, WordTable* out,
                    WordRules rules = WordRules::kAscii);

}  // namespace norvel
