// Collecting the token positions of one build part's documents, compactly coded as the
// positions file codes them (index/positions.h), in runs of bounded memory that go to a
// spill file of the part, for the writer to merge.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "index/positions_format.h"
#include "platform/file.h"
#include "platform/memory_pages.h"

namespace norvel {

// A part's spill file holds its runs back to back. A run holds, for each token met in
// its documents, in byte order of the tokens: varint length, the folded token, varint
// documents, varint bytes, then those bytes: per document the distance of its number from
// the token's document before in the run (the first from 0), its occurrences and the bytes
// of their positions, as varints, then the positions coded as the positions file codes
// them (the first as it is, then the gaps, as varints), so that they are copied whole.
struct PositionsRun {
  uint64_t begin, end;
};

// A token record of a run, noted every kRunMarkBytes or so of the run: where the writer
// may cut the runs into token ranges that it merges at the same time.
struct PositionsRunMark {
  uint32_t run;    // in runs()
  uint64_t at;     // the record's first byte in the spill file
  uint64_t bytes;  // of the run from it to the next mark (or the run's end)
  std::string token;
};
constexpr uint64_t kRunMarkBytes = uint64_t{64} << 10;

// The tokens of one part's documents with their positions. Documents come in ascending
// number (1, 2, ... within the part); a document's tokens in text order. Running short of
// memory or of disk drops the positions (failed()), never the build: the index does
// without them.
class PositionsCollector {
 public:
  // Runs go to spill_path once the memory held passes budget bytes.
  PositionsCollector(std::string spill_path, size_t budget);
  ~PositionsCollector();
  PositionsCollector(const PositionsCollector&) = delete;
  PositionsCollector& operator=(const PositionsCollector&) = delete;

  // bytes: the document's size, where known.
  void BeginDocument(uint32_t number, uint64_t bytes = 0);
  // The document's next token: raw text that the ASCII rules fold here, or text folded
  // already. Only its first kPositionsKeyBytes bytes are kept (and need be valid).
  void AddRaw(const char* text, size_t len);
  void AddFolded(const char* text, size_t len);
  // A folded word of at most kMaxWordLength bytes with its WordKey, followed by at least
  // kTokenSlack readable bytes (as FoldToken leaves it).
  void AddFolded(const char* text, size_t len, uint32_t key);
  // The document's next token is a word that the part's word table enters later, in a
  // batch: SetWords names the entries of the words added since it was called before, in
  // their order. A token's entry stands for its text: the token met again as that entry
  // is found without a lookup of its text. A word's text must never come through AddRaw
  // or AddFolded (they take the tokens that are not words of the table): a run that met
  // one text both ways is dropped, not written.
  void AddWord() {
    if (open_ && doc_.size() < doc_.capacity()) {
      doc_.push_back(kWordMark);
      ++words_waiting_;
    } else {
      AddWordGrowing();
    }
  }
  struct Word {
    uint32_t entry;    // in the word table
    uint32_t len;      // of the folded word: at most kMaxWordLength bytes, followed by
    const char* text;  // at least 8 readable bytes
    uint32_t key;      // its WordKey
  };
  void SetWords(const Word* words, size_t n);
  void EndDocument();
  // Spills what is held and closes the spill file.
  void Finish();
  // Removes the spill file (the destructor does too).
  void RemoveSpill();

  bool failed() const { return failed_; }
  const std::vector<uint32_t>& token_counts() const { return token_counts_; }
  const std::vector<PositionsRun>& runs() const { return runs_; }
  const std::vector<PositionsRunMark>& marks() const { return marks_; }
  const std::string& spill_path() const { return spill_path_; }

 private:
  struct Token {
    uint32_t text;  // in texts_
    uint32_t len;
    uint32_t docs;      // documents in the chain
    uint32_t last_doc;  // the last of them
    uint32_t bytes;     // in the chain
    uint32_t head;      // chain: first slice, write position, end of the slice's bytes
    uint32_t tail;
    uint32_t end;  // (0: no slice yet)
    uint32_t level;
    uint32_t word;  // the word table's entry + 1 that names it (0: none)
  };
  // What a token of a run takes: its entry, its count in the open document and its two
  // places in the spill's sort.
  static constexpr size_t kTokenBytes =
      sizeof(Token) + sizeof(uint32_t) + 2 * sizeof(std::pair<uint64_t, uint32_t>);
  struct Pending {
    uint32_t at;  // in pending_text_
    uint32_t len;
    uint32_t hash;
    uint32_t place;  // in doc_
  };
  class Chain;
  class SpillWriter;

  // A folded text to look up (slack: followed by at least 8 readable bytes).
  void Take(const char* text, size_t len, uint32_t key, bool slack);
  void Await(size_t at, size_t len, uint32_t key);  // a text at pending_text_[at]
  void AddWordGrowing();
  void Resolve();
  // The token of a text, made (and given a slot) when new.
  uint32_t Lookup(const char* folded, size_t len, uint32_t hash);
  uint32_t NewToken(const char* folded, size_t len);
  size_t RunTokens() const;  // the tokens a run holds at most, about
  void ReserveRun();         // room for them
  void Grow();
  void Encode();
  void Append(Token& t, const unsigned char* p, size_t n);
  uint32_t NewSlice(unsigned level);
  unsigned char* At(uint32_t address);
  const unsigned char* At(uint32_t address) const;
  size_t bytes_held() const;
  void Spill();
  void FreeRunTables();  // the memory of the runs, kept from one to the next till then
  void Drop();

  std::string spill_path_;
  size_t budget_;
  std::unique_ptr<SpillWriter> spill_;
  std::vector<PositionsRun> runs_;
  std::vector<PositionsRunMark> marks_;
  std::vector<Token> tokens_;
  // By token: its occurrences in the open document, then where they go in scratch_ (apart
  // from the tokens, so that the passes over a document read a small table).
  platform::LargePageVector<uint32_t> in_doc_;
  platform::LargePageVector<char> texts_;
  platform::LargePageVector<uint64_t> slots_;  // hash << 32 | token id + 1; 0 for empty
  size_t looked_up_ = 0;                       // tokens with a slot
  std::vector<platform::PageBlock> blocks_;
  size_t blocks_used_ = 0;  // blocks of the present run (the others wait for reuse)
  size_t block_used_;
  std::vector<Pending> pending_;
  std::vector<char> pending_text_;
  platform::LargePageVector<uint32_t> doc_;  // the open document's token ids, in order
  // A word's place in doc_ until SetWords names it: those named come first, in order.
  static constexpr uint32_t kWordMark = 0xFFFFFFFEu;
  size_t words_waiting_ = 0;   // words added and not named yet
  size_t words_named_to_ = 0;  // in doc_: the places before hold no word still waiting
  platform::LargePageVector<uint32_t>
      by_word_;  // word table entry -> token id of this run (0xFFFFFFFF: none)
  platform::LargePageVector<uint32_t> touched_;  // ids met in the open document
  platform::LargePageVector<uint32_t> scratch_;  // its positions grouped by token
  std::vector<uint32_t> token_counts_;
  platform::LargePageVector<std::pair<uint64_t, uint32_t>> order_,
      sort_room_;  // a spill's, kept for the next
  uint32_t number_ = 0;
  bool open_ = false;
  bool failed_ = false;
  bool spilled_ = false;  // the spill file was made
};

// Reads the runs of a spill file back, one token record after another. Readers of the
// same file may read at the same time (each reads at its own offsets). The bytes Held
// gives are followed by at least kRunReadSlack readable bytes.
constexpr size_t kRunReadSlack = 16;
class PositionsRunReader {
 public:
  // Reads through a buffer of buffer_bytes (the more runs, the smaller).
  PositionsRunReader(const platform::File* file, PositionsRun run, size_t buffer_bytes);
  // To the next token record; false at the end of the run or on a read error (error()).
  bool NextToken();
  std::string_view token() const { return std::string_view(token_, token_len_); }
  uint32_t documents() const { return docs_; }
  // The next varint of the record's bytes.
  bool Varint(uint64_t* v);
  // Hands the next n bytes of the record to put(p, bytes), a piece at a time.
  template <typename Put>
  bool Copy(uint64_t n, Put&& put) {
    while (n > 0) {
      const unsigned char* p;
      size_t got;
      if (!Piece(n, &p, &got)) return false;
      put(p, got);
      n -= got;
    }
    return true;
  }
  // The record's next bytes that the buffer holds (at most those left of the record), to
  // be read in place and passed over with Consume.
  size_t Held(const unsigned char** p) const {
    *p = buf_.data() + at_;
    return static_cast<size_t>(std::min<uint64_t>(left_, len_ - at_));
  }
  void Consume(size_t n) {
    at_ += n;
    left_ -= n;
  }
  // Passes over what is left of the record's bytes.
  bool SkipRest();
  bool error() const { return error_; }
  // Where the next token record begins (after NextToken: where the one read ends).
  uint64_t next_record() const { return next_ - (len_ - at_) + left_; }

 private:
  bool Byte(unsigned char* b);
  bool Refill();
  // Up to n of the record's next bytes from the buffer (refilled when empty).
  bool Piece(uint64_t n, const unsigned char** p, size_t* got);
  const platform::File* file_;
  uint64_t next_, end_;  // file offsets: next to read into the buffer, end of the run
  std::vector<unsigned char> buf_;
  size_t at_ = 0, len_ = 0;
  char token_[kPositionsKeyBytes];  // (a record's token is read for every record of a run)
  size_t token_len_ = 0;
  uint32_t docs_ = 0;
  uint64_t left_ = 0;  // bytes of the record not read yet
  bool error_ = false;
};

}  // namespace norvel
