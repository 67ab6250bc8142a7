// The word rules an index was built with, recorded in its index directory: _words.ini
// beside the current files, _newwords.ini beside a new index until the swap renames it.
//
// The file is one text line, "words=international" or "words=ascii". An index directory
// without it is an index of the ASCII rules, so that an index that never had a choice
// stays byte for byte what it always was: the file is written only for the international
// rules or a choice made explicitly. A build writes it with its "_new" files and the swap
// renames it with them (after the words file, before the statistics), so a reader always
// meets the rules its current files were built with: a choice changed for the next build
// changes nothing for readers until that build is swapped in.
#pragma once

#include <string>

#include "index/word_rules_intl.h"

namespace norvel {

extern const char kWordsChoiceFile[];     // "_words.ini"
extern const char kNewWordsChoiceFile[];  // "_newwords.ini"

// The text of a choice on a command line or in the file: "ascii" or "international".
const char* WordRulesName(WordRules rules);
bool ParseWordRules(const std::string& name, WordRules* rules);

// Reads the recorded rules of index_dir (of its new index when new_index): kAscii when no
// file is there. False after a log line of routine when the file is there but cannot be
// read or names no rules known to this program (such an index must not be read).
bool ReadWordRules(const std::string& index_dir, bool new_index, const char* routine,
                   WordRules* rules);

// Writes _newwords.ini with the rules. False after a log line.
bool WriteNewWordRules(const std::string& index_dir, WordRules rules);

}  // namespace norvel
