// Collecting the token positions of one build part's documents in memory, compactly
// coded as the positions file codes them (index/positions.h), for the writer to merge.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace norvel {

// The tokens of one part's documents with their positions. Documents come in ascending
// number (1, 2, ... within the part); a document's tokens in text order. Memory that runs
// short drops the positions (failed()), never the build: the index does without them.
class PositionsCollector {
 public:
  PositionsCollector();
  ~PositionsCollector();
  PositionsCollector(const PositionsCollector&) = delete;
  PositionsCollector& operator=(const PositionsCollector&) = delete;

  void BeginDocument(uint32_t number);
  // The document's next token: raw text that the ASCII rules fold here, or text folded
  // already. Only its first kPositionsKeyBytes bytes are kept (and need be valid).
  void AddRaw(const char* text, size_t len);
  void AddFolded(const char* text, size_t len);
  void EndDocument();

  bool failed() const { return failed_; }
  uint32_t last_document() const { return static_cast<uint32_t>(token_counts_.size()); }
  size_t bytes_held() const;  // memory taken, roughly

  struct Token {
    uint32_t text;  // in texts_
    uint32_t hash;
    uint32_t len;
    uint32_t docs = 0;      // documents in the chain
    uint32_t last_doc = 0;  // the last of them
    uint32_t head = 0;      // chain: first slice, write position, end of the slice's bytes
    uint32_t tail = 0;      // (end 0: no slice yet)
    uint32_t end = 0;
    uint32_t level = 0;
    uint32_t in_doc = 0;  // occurrences in the open document, then where they go in scratch_
  };
  class Chain;
  // Token ids in byte order of their text.
  std::vector<uint32_t> SortedTokens() const;
  std::string_view Text(uint32_t id) const {
    return std::string_view(&texts_[tokens_[id].text], tokens_[id].len);
  }
  const Token& token(uint32_t id) const { return tokens_[id]; }
  const std::vector<uint32_t>& token_counts() const { return token_counts_; }
  size_t token_count() const { return tokens_.size(); }

 private:
  friend class Chain;
  void Add(const char* folded, size_t len, uint32_t hash);
  void Encode();
  void Drop();
  uint32_t NewToken(const char* folded, size_t len, uint32_t hash, size_t slot);
  void Grow();
  void Append(Token& t, const unsigned char* p, size_t n);
  uint32_t NewSlice(unsigned level);
  unsigned char* At(uint32_t address);
  const unsigned char* At(uint32_t address) const;

  std::vector<Token> tokens_;
  std::vector<char> texts_;
  std::vector<uint32_t> slots_;  // token id + 1, 0 for empty
  std::vector<std::unique_ptr<unsigned char[]>> blocks_;
  size_t block_used_;
  std::vector<uint32_t> doc_;      // the open document's token ids, in order
  std::vector<uint32_t> touched_;  // ids met in the open document
  std::vector<uint32_t> scratch_;  // its positions grouped by token
  std::vector<uint32_t> token_counts_;
  uint32_t number_ = 0;
  bool open_ = false;
  bool failed_ = false;
};

// Reads a token's chain back, varint by varint.
class PositionsCollector::Chain {
 public:
  Chain(const PositionsCollector& c, uint32_t id);
  uint64_t Varint() {
    uint64_t v = 0;
    for (unsigned shift = 0;; shift += 7) {
      if (pos_ == end_) NextSlice();
      unsigned char b = *pos_++;
      v |= uint64_t{b & 0x7Fu} << shift;
      if (b < 0x80) return v;
    }
  }

 private:
  void NextSlice();
  const PositionsCollector& c_;
  const unsigned char* pos_;
  const unsigned char* end_;
  unsigned level_ = 0;
};

}  // namespace norvel
