// Entering one document's words into a build's word table: the document is opened and
// read with as few system calls as its size allows (where the listing tells the size: an
// open, one read, a close), cut into tokens, and every token that
// passes the word rules and the exclusion table is entered under the document's number.
// Every token, word or not, goes to the positions collector when one is given.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "index/positions_collector.h"
#include "index/word_rules_intl.h"
#include "index/word_table.h"
#include "platform/dir.h"

namespace norvel {

// What became of a document, in the order the build checks: its size, its opening, its
// words.
enum class DocumentEnd {
  kEntered,   // every word entered
  kNoStatus,  // the size could not be taken
  kCannotOpen,
  kReadError,   // the words before the error are entered
  kNoMemory,    // the table's failure_line(), else "addNode():Malloc failure for Word node"
  kWordsLimit,  // the limit was passed at a token: the words before it are entered
};

// The log line of a document that ended otherwise than kEntered (kNoMemory: none, as
// it depends on what ran short).
const char* DocumentEndLog(DocumentEnd end);

// Reads documents of one data directory; one reader per thread (it keeps its buffer).
class DocumentWordReader {
 public:
  DocumentWordReader(const std::string& data_dir, const WordTable* exclusions,
                     WordRules rules = WordRules::kAscii);

  // Opens a listed document and takes its size; kEntered when it is open (or empty).
  DocumentEnd Open(const platform::DirListing& listing, size_t i, uint64_t* size);
  // Closes the open document unread.
  void Skip() { files_.Close(); }
  // Enters the open document's words under file_number, checking the words limit at
  // every accepted token as addFileToIndex does: distinct_words is the running count.
  // positions (may be null) receives the document's every token, for a document entered
  // whole.
  DocumentEnd EnterWords(uint32_t file_number, uint64_t size, WordTable* table, uint32_t limit,
                         uint32_t* distinct_words, PositionsCollector* positions = nullptr);

 private:
  // Words waiting to be entered: the table's slots of those a little further on are
  // fetched while one is entered, as the table is far larger than the caches.
  struct Pending {
    uint32_t key;
    uint32_t at;  // in folded_
    uint32_t len;
  };
  DocumentEnd EnterPending(uint32_t file_number, WordTable* table, uint32_t limit,
                           uint32_t* distinct_words, PositionsCollector* positions);
  // Reads the open document and feeds it to scanner; on_token enters the words.
  template <typename Scanner, typename OnToken>
  DocumentEnd ReadTokens(uint64_t size, Scanner& scanner, OnToken& on_token);

  platform::ListedFileReader files_;
  const WordTable* exclusions_;
  WordRules rules_;
  std::vector<char> buf_;
  size_t first_want_ = 0, first_got_ = 0;  // the read made with the opening, if any
  std::vector<Pending> pending_;
  std::vector<char> folded_;
  std::vector<PositionsCollector::Word> words_;  // the pending words' entries, for positions
  size_t folded_used_ = 0;
};

}  // namespace norvel
