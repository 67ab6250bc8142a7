// The positions file beside the four index files, and its reader.
//
// _positions.dat (_newpositions.dat) records, for every document, where each of its tokens
// stands: every run of word characters that a phrase counts (words, excluded words, tokens
// beginning with a digit, '-' or '_', tokens of any length), cut and folded by the index's
// word rules (ASCII or international) exactly as a phrase's tokens are. Positions are
// 0-based token indexes in the document. A token is kept by its first 255 folded bytes: a
// key of 255 bytes stands for every token of 255 bytes or more that begins with it.
// All numbers are little-endian; "varint" is 7 bits a byte, low first, high bit = more.
//
//   Header, 128 bytes:
//     0   8 bytes "NVPOSITS"
//     8   u32 version (2; a file of version 1 is read too: it has no blocks' bounds)
//     12  u32 word rules (0 ASCII, 1 international)
//     16  u64 fingerprint of the four index files (index/positions_format.h)
//     24  u32 documents D (the index's total files)
//     28  u32 dictionary blocks B
//     32  u64 distinct tokens
//     40  u64 total tokens (every document's count added up)
//     48  u64 offset of the token counts    56  u64 offset of the count checks
//     64  u64 offset of the dictionary      72  u64 offset of the dictionary index
//     80  u64 length of the dictionary index
//     88  u32 check of the dictionary index  92  u32 0
//     96  u64 file size                     104 16 bytes 0
//     120 u64 check of bytes 0 to 119 (its u32 check, zero-extended)
//   The header is written last: a file cut short or never finished has none that holds.
//
//   Token regions, from byte 128, one per token in byte order of the tokens:
//     positions  for each of the token's documents in turn, its occurrences' positions:
//                the first as a varint, then the gaps to the next (>= 1) as varints
//     skip table one entry per block of 128 documents (the last block may hold fewer):
//                varint last document of the block minus that of the block before (0 first),
//                varint bytes of the block's documents, varint bytes of its positions,
//                u32 check of those document bytes, u32 check of those position bytes;
//                then, where the token has more than one block, the block's bounds:
//                varint n (1 to 8), n pairs of varint occurrences, varint document tokens,
//                such that every document of the block has at most the occurrences and
//                at least the tokens of one of the pairs (so a block's best BM25 score,
//                whatever the parameters, is that of a pair, and a ranked search passes
//                over blocks that cannot reach its first page)
//     documents  per document: varint its number minus the one before (0 before the
//                first), varint its occurrences (>= 1)
//   So the documents and occurrences of a token are read, block by block and skipping by
//   the skip table, without reading any of its positions.
//
//   Token counts: u32 per file number 1 to D (its tokens); then u32 checks, one per
//   chunk of 1,024 counts (the last chunk may hold fewer). Any count is read alone.
//
//   Dictionary: blocks of up to 64 tokens in byte order; per token:
//     varint bytes shared with the token before in the block (0 for the first), varint
//     bytes that follow, those bytes, varint documents, varint bytes of its positions,
//     varint bytes of its skip table, varint bytes of its documents, u32 check of its
//     skip table. A block's first region begins where its index entry says; each next
//     token's region follows the one before.
//   Dictionary index, one entry per block: u64 block offset, u32 block bytes, u32 block
//     check, u64 offset of the block's first region, u8 length of its first token, that
//     token. The reader loads this index (a few bytes per 64 tokens) and reads a block
//     per lookup.
//
// Checks are BlockCheck of index/positions_format.h. A reader uses a file only if its
// header holds, its version, rules, documents and fingerprint are those of the loaded
// index and its size is the size recorded; whatever it reads later is checked before
// use, and damage met there ends that token's answer as damaged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "index/in_memory_index.h"
#include "platform/file.h"

namespace norvel {

extern const char kPositionsFile[];     // "_positions.dat"
extern const char kNewPositionsFile[];  // "_newpositions.dat"

// Reads the positions file of a loaded index. Never loads the file whole: a search reads
// what it needs. Single-threaded; Postings read through their reader, which must outlive
// them.
class PositionsReader {
 public:
  PositionsReader();
  ~PositionsReader();
  PositionsReader(const PositionsReader&) = delete;
  PositionsReader& operator=(const PositionsReader&) = delete;

  // Opens index_dir's positions file and checks that it belongs to the index loaded in
  // `index` (its fingerprint). False after ONE log line saying why (absent, from another
  // index or version, damaged); a search then goes on without positions.
  bool Open(const std::string& index_dir, const InMemoryIndex& index);
  void Close();
  bool is_open() const { return file_.is_open(); }
  uint32_t documents() const { return documents_; }        // the index's total files
  uint64_t total_tokens() const { return total_tokens_; }  // every document's count added up
  uint64_t distinct_tokens() const { return distinct_tokens_; }
  // Damage was met by a lookup since Open: a Find that came back false, a count of 0 or a
  // Postings that ended may have been cut short by it, so the answers are not to be
  // trusted (a search then does without positions).
  bool damage_met() const { return damage_met_; }
  // For the fuzz target only: the checks of blocks are not compared, so that damage
  // reaches the decoding behind them.
  void set_verify_checks(bool verify) { verify_checks_ = verify; }
  // A document's number of tokens (every token the phrase rules count); 0 when out of
  // range or unreadable.
  uint32_t DocumentTokens(uint32_t file_number);
  // Every document's token count, file n at (*out)[n - 1], each chunk checked; false (and
  // *out empty) when one is damaged.
  bool ReadAllDocumentTokens(std::vector<uint32_t>* out);
  // Reads every document's token count into index.document_tokens once per loaded index
  // (4 bytes a document), and answers DocumentTokens from there: a search that asks for
  // the counts of documents all over the file then reads no chunk of them again. False
  // (and the counts read chunk by chunk) where they cannot be read whole.
  bool KeepDocumentTokens(const InMemoryIndex& index);

  // One folded token's documents in ascending file number, with the token's occurrences
  // in each and, on demand, their positions (0-based token indexes in the document,
  // ascending).
  class Postings {
   public:
    Postings();
    ~Postings();
    uint32_t documents() const { return docs_; }  // how many documents hold the token
    bool Next();                                  // to the next (the first) document
    // To the first document >= file_number (staying at doc() when it is one); false at
    // the end.
    bool SkipTo(uint32_t file_number);
    uint32_t doc() const { return doc_; }
    uint32_t count() const { return count_; }    // occurrences in doc()
    bool Positions(std::vector<uint32_t>* out);  // the positions in doc(); false on damage
    bool damaged() const { return damaged_; }    // what came back so far is not to be trusted
    // The blocks of 128 documents, and what the skip table says of each: its last
    // document and its bounds (occurrences, document tokens; none where the token has one
    // block, or the file is of version 1).
    size_t blocks() const { return blocks_.size(); }
    uint32_t block_last(size_t b) const { return blocks_[b].last_doc; }
    std::pair<const std::pair<uint32_t, uint32_t>*, size_t> block_bounds(size_t b) const {
      const Block& k = blocks_[b];
      return {bounds_.data() + k.bounds_at, k.bounds_end - k.bounds_at};
    }

   private:
    friend class PositionsReader;
    struct Block {
      uint32_t last_doc;
      uint32_t docs_check, pos_check;
      uint64_t docs_at, docs_bytes;  // in the file
      uint64_t pos_at, pos_bytes;
      uint32_t bounds_at = 0, bounds_end = 0;  // in bounds_
    };
    bool Damage();
    bool LoadBlock(size_t b);
    bool LoadPositions();

    PositionsReader* reader_ = nullptr;
    uint32_t docs_ = 0;
    std::vector<Block> blocks_;
    std::vector<std::pair<uint32_t, uint32_t>> bounds_;
    size_t block_ = 0;  // the loaded block, once started_
    std::vector<uint32_t> block_docs_, block_counts_;
    size_t in_block_ = 0;  // doc() is block_docs_[in_block_ - 1]
    bool started_ = false, ended_ = false, damaged_ = false;
    uint32_t doc_ = 0, count_ = 0;
    // Bytes of the file read ahead: a block's documents (or positions) come with those of
    // the blocks after it, so that a walk over a list reads many blocks at a time.
    class Window {
     public:
      // The n bytes at `at`, read with what follows them up to `limit` (64 KB at most)
      // unless the window holds them already; null when they cannot be read.
      const unsigned char* Get(PositionsReader* reader, uint64_t at, uint64_t n, uint64_t limit);
      bool Holds(uint64_t at, uint64_t n) const {
        return at >= at_ && n <= bytes_.size() && at - at_ <= bytes_.size() - n;
      }
      const unsigned char* At(uint64_t at) const { return bytes_.data() + (at - at_); }
      static constexpr uint64_t kReadAhead = uint64_t{1} << 16;

     private:
      std::vector<unsigned char> bytes_;
      uint64_t at_ = 0;
    };
    Window window_;      // the documents (and skip table; a small token's whole region)
    Window pos_window_;  // the positions, where they did not come with the documents
    // The loaded block's positions (in pos_window_), read when first asked for.
    const unsigned char* pos_ = nullptr;
    const unsigned char* pos_end_ = nullptr;
    bool pos_loaded_ = false;
    size_t pos_at_ = 0;   // where the positions of the document pos_doc_ begin
    size_t pos_doc_ = 0;  // index in the block of the document pos_at_ belongs to
  };
  // Every token counts: words, excluded words, tokens beginning with a digit, '-' or '_';
  // a token longer than 255 bytes is found by its first 255 folded bytes. False when the
  // token occurs nowhere (or the file is damaged there).
  bool Find(std::string_view folded_token, Postings* out);
  // Calls on_token for every token of the file beginning with prefix, in byte order,
  // until it returns false.
  void ForEachTokenWithPrefix(std::string_view prefix,
                              const std::function<bool(std::string_view token)>& on_token);

 private:
  struct DictBlock {
    uint64_t at;
    uint32_t bytes, check;
    uint64_t region;
    std::string first;
  };
  struct Entry {
    std::string token;
    uint32_t docs;
    uint64_t pos_at, pos_bytes, skip_bytes, docs_bytes;
    uint32_t skip_check;
  };
  bool Fail(const std::string& why);
  bool Damaged();  // notes damage met; false
  bool Holds(const unsigned char* p, size_t n, uint32_t check) const;
  bool ReadAt(uint64_t offset, void* buf, size_t n);
  bool ReadDictBlock(size_t b, std::vector<Entry>* out);
  size_t BlockFor(std::string_view token) const;  // the last block whose first token <= token
  bool OpenPostings(const Entry& e, Postings* out);

  platform::File file_;
  uint64_t file_size_ = 0;
  uint32_t documents_ = 0;
  uint64_t total_tokens_ = 0, distinct_tokens_ = 0;
  uint64_t counts_at_ = 0;
  // What Open reads besides the header: the checks of the token counts' chunks and the
  // dictionary's index. The same for every reader of one file, so they are kept with the
  // loaded index (InMemoryIndex::positions_tables) and read again only when the header
  // differs.
  struct Tables {
    unsigned char header[128];  // kPositionsHeaderSize
    std::vector<uint32_t> count_checks;
    std::vector<DictBlock> dict;
  };
  bool ReadTables(const unsigned char* header, uint64_t checks_at, uint64_t chunks,
                  uint64_t index_at, uint64_t index_bytes, uint32_t blocks,
                  const InMemoryIndex& index);
  std::shared_ptr<const Tables> tables_;
  const std::vector<DictBlock>& dict() const { return tables_->dict; }
  // The chunk of token counts read last.
  std::vector<uint32_t> chunk_;
  uint64_t chunk_number_ = ~uint64_t{0};
  bool damage_met_ = false;
  bool verify_checks_ = true;
  const std::vector<uint32_t>* all_tokens_ = nullptr;  // KeepDocumentTokens' counts
  bool block_bounds_ = false;  // the skip tables carry the blocks' bounds (version 2)
};

}  // namespace norvel
