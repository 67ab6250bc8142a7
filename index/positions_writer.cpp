// Writing _newpositions.dat from the parts' collectors (the layout: index/positions.h).
#include "index/positions_writer.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <new>
#include <utility>
#include <vector>

#include "index/parallel.h"
#include "index/positions.h"
#include "index/positions_format.h"
#include "platform/memory_pages.h"
#include "platform/path.h"

namespace norvel {

const char kNewPositionsFile[] = "_newpositions.dat";

std::string PositionsSpillName(uint32_t part) {
  return "_newpositions" + std::to_string(part) + ".tmp";
}

std::string PositionsRangeName(uint32_t range) {
  return "_newpositionsrange" + std::to_string(range) + ".tmp";
}

struct PositionsWriter::Header {
  unsigned char bytes[kPositionsHeaderSize] = {};
};

namespace {

// Buffered output that knows where it stands in the file.
class Output {
 public:
  // start: where the file's first byte stands in the positions file's body.
  Output(platform::File* f, uint64_t start)
      : f_(f), buf_(new unsigned char[kSize]), flushed_(start) {}
  void Put(const void* p, size_t n) {
    const unsigned char* b = static_cast<const unsigned char*>(p);
    if (n <= kSize - used_) {
      if (n > 0) std::memcpy(buf_.get() + used_, b, n);
      used_ += n;
      return;
    }
    while (n > 0) {
      if (used_ == kSize) Flush();
      size_t room = std::min(n, kSize - used_);
      std::memcpy(buf_.get() + used_, b, room);
      used_ += room;
      b += room;
      n -= room;
    }
  }
  // The same for a few bytes (n <= 16) followed by enough readable ones to make 16.
  void PutFew(const unsigned char* p, size_t n) {
    if (kSize - used_ < 16) return Put(p, n);
    std::memcpy(buf_.get() + used_, p, 16);
    used_ += n;
  }
  void Varint(uint64_t v) {
    if (kSize - used_ < 10) Flush();
    size_t n = PutVarint(buf_.get() + used_, v);
    used_ += n;
  }
  // The same, adding the bytes to a check.
  void Varint(uint64_t v, BlockCheck* check) {
    if (kSize - used_ < 10) Flush();
    size_t n = PutVarint(buf_.get() + used_, v);
    check->Add(buf_.get() + used_, n);
    used_ += n;
  }
  void Put32(uint32_t v) {
    unsigned char b[4];
    PutLE32(b, v);
    Put(b, 4);
  }
  void Put64(uint64_t v) {
    unsigned char b[8];
    PutLE64(b, v);
    Put(b, 8);
  }
  // The same for a large piece, written as it is rather than through the buffer.
  void PutWhole(const void* p, size_t n) {
    Flush();
    if (n > 0 && !f_->Write(p, n)) ok_ = false;
    flushed_ += n;
  }
  uint64_t at() const { return flushed_ + used_; }
  void Flush() {
    if (used_ && !f_->Write(buf_.get(), used_)) ok_ = false;
    flushed_ += used_;
    used_ = 0;
  }
  bool ok() const { return ok_; }

 private:
  static constexpr size_t kSize = size_t{256} << 10;
  platform::File* f_;
  std::unique_ptr<unsigned char[]> buf_;
  size_t used_ = 0;
  uint64_t flushed_;
  bool ok_ = true;
};

// Bytes for a buffer that grows to megabytes: past a few hundred kilobytes, whole large
// pages (each of them one fault, where small pages take 512).
size_t WholeLargePages(size_t n) {
  constexpr size_t kFrom = size_t{256} << 10;
  constexpr size_t kPage = platform::kLargePageSize;
  return n < kFrom ? n : (n + kPage - 1) / kPage * kPage;
}

// A growing byte buffer that appends without clearing the bytes it is about to write. Its
// memory comes in whole pages (large ones once it spans them): the dictionary's buffers
// grow to megabytes, and fresh small pages cost a fault each.
class Bytes {
 public:
  void clear() { used_ = 0; }
  size_t size() const { return used_; }
  const unsigned char* data() const { return reinterpret_cast<const unsigned char*>(buf_.data()); }
  void Varint(uint64_t v) { used_ += PutVarint(Room(10), v); }
  // Two varints, mostly a byte each.
  void Varints(uint32_t a, uint32_t b) {
    unsigned char* p = Room(10);
    if ((a | b) < 0x80) {
      p[0] = static_cast<unsigned char>(a);
      p[1] = static_cast<unsigned char>(b);
      used_ += 2;
      return;
    }
    size_t n = PutVarint(p, a);
    used_ += n + PutVarint(p + n, b);
  }
  void Put(const unsigned char* p, size_t n) {
    if (n == 0) return;  // (a buffer never grown has no bytes at all)
    std::memcpy(Room(n), p, n);
    used_ += n;
  }
  // Room for n bytes more, taken at once.
  void Reserve(size_t n) {
    if (size_ - used_ < n) Grow(n);
  }

 private:
  unsigned char* Room(size_t n) {
    if (size_ - used_ < n) Grow(n);
    return reinterpret_cast<unsigned char*>(buf_.data()) + used_;
  }
  void Grow(size_t n) {
    size_t size = std::max(size_ * 2, used_ + n + 4096);
    // A range's dictionary entries grow to megabytes: each doubling in small pages would
    // fault all of them in afresh.
    size = WholeLargePages(size);
    platform::PageBlock bigger;
    if (!bigger.Allocate(size)) throw std::bad_alloc();
    if (used_ > 0) std::memcpy(bigger.data(), buf_.data(), used_);
    buf_ = std::move(bigger);
    size_ = size;
  }
  platform::PageBlock buf_;
  size_t size_ = 0, used_ = 0;
};

// The (occurrences, document tokens) pairs of a block that no other of its documents
// outdoes in both: more occurrences and no more tokens. Whatever BM25's parameters, a
// block's best score is that of one of them. At most kMaxBlockBounds are kept; past that
// the worst are put together into one pair that outdoes each of them (their most
// occurrences, their fewest tokens), which bounds them still.
class BlockBounds {
 public:
  void Clear() { n_ = 0; }
  void Add(uint32_t count, uint32_t tokens) {
    for (size_t i = 0; i < n_; ++i) {
      if (pairs_[i].first >= count && pairs_[i].second <= tokens) return;  // outdone
    }
    // Those it outdoes go, the others keep their order.
    size_t kept = 0;
    for (size_t i = 0; i < n_; ++i) {
      if (!(pairs_[i].first <= count && pairs_[i].second >= tokens)) pairs_[kept++] = pairs_[i];
    }
    n_ = kept;
    pairs_[n_++] = {count, tokens};
    if (n_ > kMaxBlockBounds) {
      // The two with the fewest occurrences become one.
      std::sort(pairs_, pairs_ + n_, std::greater<>());
      auto& a = pairs_[n_ - 2];
      const auto& b = pairs_[n_ - 1];
      a = {std::max(a.first, b.first), std::min(a.second, b.second)};
      --n_;
    }
  }
  void PutTo(Bytes* out) const {
    out->Varint(n_);
    for (size_t i = 0; i < n_; ++i) {
      out->Varint(pairs_[i].first);
      out->Varint(pairs_[i].second);
    }
  }

 private:
  std::pair<uint32_t, uint32_t> pairs_[kMaxBlockBounds + 1];
  size_t n_ = 0;
};

// One token's region as its documents come: positions straight to the output, the skip
// table and the documents held until the token ends.
class RegionWriter {
 public:
  explicit RegionWriter(Output* out) : out_(out) {}
  void Begin() {
    docs_.clear();
    skip_.clear();
    docs_count_ = 0;
    in_block_ = 0;
    blocks_ended_ = 0;
    prev_doc_ = 0;
    block_last_ = 0;
    pos_begin_ = out_->at();
    StartBlock();
  }
  // The positions of the document are put with PutPositionBytes after this call;
  // doc_tokens: the document's number of tokens.
  void Document(uint32_t doc, uint32_t count, uint32_t doc_tokens) {
    if (in_block_ == kDocsPerBlock) {
      EndBlock(true);
      StartBlock();
    }
    docs_.Varints(doc - prev_doc_, count);
    bounds_.Add(count, doc_tokens);
    prev_doc_ = doc;
    ++in_block_;
    ++docs_count_;
  }
  void PutPositionBytes(const unsigned char* p, size_t n) {
    pos_check_.Add(p, n);
    out_->Put(p, n);
  }
  // The same for bytes followed by at least 16 readable ones.
  void PutHeldPositionBytes(const unsigned char* p, size_t n) {
    pos_check_.Add(p, n);
    if (n <= 16) {
      out_->PutFew(p, n);
    } else {
      out_->Put(p, n);
    }
  }
  uint32_t documents() const { return docs_count_; }
  // Puts the skip table and the documents; the dictionary entry's numbers come back.
  void End(uint64_t* pos_bytes, uint64_t* skip_bytes, uint64_t* docs_bytes, uint32_t* check) {
    if (in_block_ > 0) EndBlock(blocks_ended_ > 0);
    *pos_bytes = out_->at() - pos_begin_;
    out_->Put(skip_.data(), skip_.size());
    out_->Put(docs_.data(), docs_.size());
    *skip_bytes = skip_.size();
    *docs_bytes = docs_.size();
    *check = CheckOf(skip_.data(), skip_.size());
  }

 private:
  void StartBlock() {
    in_block_ = 0;
    block_docs_at_ = docs_.size();
    block_pos_at_ = out_->at();
    pos_check_ = BlockCheck();
    bounds_.Clear();
  }
  // several: the token has more than one block, so its entries carry the block's bounds.
  void EndBlock(bool several) {
    skip_.Varint(prev_doc_ - block_last_);
    skip_.Varint(docs_.size() - block_docs_at_);
    skip_.Varint(out_->at() - block_pos_at_);
    unsigned char b[8];
    PutLE32(b, CheckOf(docs_.data() + block_docs_at_, docs_.size() - block_docs_at_));
    PutLE32(b + 4, pos_check_.Value());
    skip_.Put(b, 8);
    if (several) bounds_.PutTo(&skip_);
    block_last_ = prev_doc_;
    ++blocks_ended_;
  }

  Output* out_;
  Bytes docs_, skip_;
  BlockBounds bounds_;
  uint32_t docs_count_ = 0, in_block_ = 0, blocks_ended_ = 0, prev_doc_ = 0, block_last_ = 0;
  uint64_t pos_begin_ = 0, block_pos_at_ = 0;
  size_t block_docs_at_ = 0;
  BlockCheck pos_check_;
};

// A token range's dictionary entries, coded as the dictionary codes them but each token's
// shared bytes counted from the token before in the range (0 for its first), for the
// dictionary to take in once the ranges before it are in.
class DictionaryPiece {
 public:
  void Add(std::string_view token, uint64_t region, uint32_t docs, uint64_t pos_bytes,
           uint64_t skip_bytes, uint64_t docs_bytes, uint32_t skip_check) {
    if (coded_.size() == 0) first_region_ = region;
    size_t shared = 0;
    while (shared < prev_.size() && shared < token.size() && prev_[shared] == token[shared]) {
      ++shared;
    }
    coded_.Varint(shared);
    coded_.Varint(token.size() - shared);
    coded_.Put(reinterpret_cast<const unsigned char*>(token.data()) + shared,
               token.size() - shared);
    coded_.Varint(docs);
    coded_.Varint(pos_bytes);
    coded_.Varint(skip_bytes);
    coded_.Varint(docs_bytes);
    unsigned char b[4];
    PutLE32(b, skip_check);
    coded_.Put(b, 4);
    prev_.assign(token);
  }
  const Bytes& coded() const { return coded_; }
  uint64_t first_region() const { return first_region_; }  // where its first region begins

 private:
  Bytes coded_;
  std::string prev_;
  uint64_t first_region_ = 0;
};

// The dictionary, coded block by block as the ranges' entries are taken in.
class DictionaryWriter {
 public:
  // Takes a range's entries in, its regions moved by `moved` bytes. Each token's region
  // follows the one before in the range: each is where the one before ends. Only the
  // entries that begin a block and the range's first are coded anew.
  void Take(const DictionaryPiece& piece, uint64_t moved) {
    if (piece.coded().size() == 0) return;  // a range without tokens
    const unsigned char* p = piece.coded().data();
    const unsigned char* const begin = p;
    const unsigned char* const end = p + piece.coded().size();
    uint64_t region = piece.first_region() + moved;
    while (p < end) {
      const unsigned char* entry = p;
      uint64_t shared = 0, suffix = 0, docs, pos_bytes = 0, skip_bytes = 0, docs_bytes = 0;
      GetVarint(&p, end, &shared);
      GetVarint(&p, end, &suffix);
      const char* text = reinterpret_cast<const char*>(p);
      p += suffix;
      const unsigned char* numbers = p;
      GetVarint(&p, end, &docs);
      GetVarint(&p, end, &pos_bytes);
      GetVarint(&p, end, &skip_bytes);
      GetVarint(&p, end, &docs_bytes);
      p += 4;
      if (in_block_ == kTokensPerDictBlock || index_.empty()) {
        token_.resize(static_cast<size_t>(shared));
        token_.append(text, static_cast<size_t>(suffix));
        if (!index_.empty()) CloseBlock();
        index_.push_back(Block{blocks_.size(), 0, region, token_});
        in_block_ = 0;
        PutWhole(0, numbers, p);
      } else if (entry == begin) {
        // The range's first token, after the last of the range before (token_).
        size_t common = 0;
        while (common < token_.size() && common < suffix && token_[common] == text[common]) {
          ++common;
        }
        token_.assign(text, static_cast<size_t>(suffix));
        PutWhole(common, numbers, p);
      } else {
        token_.resize(static_cast<size_t>(shared));
        token_.append(text, static_cast<size_t>(suffix));
        blocks_.Put(entry, static_cast<size_t>(p - entry));
      }
      region += pos_bytes + skip_bytes + docs_bytes;
      ++in_block_;
      ++tokens_;
    }
  }
  // Room up front for the blocks of pieces of `coded` bytes in all (a block's first entry,
  // coded whole, takes a few bytes more), rather than copied as they grow.
  void Reserve(size_t coded, size_t pieces) {
    blocks_.Reserve(coded + coded / 16 + pieces * (kPositionsKeyBytes + 32));
  }
  uint64_t tokens() const { return tokens_; }
  // Puts the blocks, then the index; returns the index's bytes in *index.
  void Write(Output* out, uint64_t* dict_at, std::vector<unsigned char>* index) {
    if (!index_.empty()) CloseBlock();
    *dict_at = out->at();
    out->Put(blocks_.data(), blocks_.size());
    for (const Block& b : index_) {
      unsigned char head[24];
      PutLE64(head, *dict_at + b.at);
      PutLE32(head + 8, b.bytes);
      PutLE32(head + 12, CheckOf(blocks_.data() + b.at, b.bytes));
      PutLE64(head + 16, b.region);
      index->insert(index->end(), head, head + 24);
      index->push_back(static_cast<unsigned char>(b.first.size()));
      index->insert(index->end(), b.first.begin(), b.first.end());
    }
  }
  uint32_t blocks() const { return static_cast<uint32_t>(index_.size()); }

 private:
  struct Block {
    size_t at;
    uint32_t bytes;
    uint64_t region;
    std::string first;
  };
  void CloseBlock() {
    index_.back().bytes = static_cast<uint32_t>(blocks_.size() - index_.back().at);
  }
  // The entry of token_ with `shared` bytes of the one before, then its numbers.
  void PutWhole(size_t shared, const unsigned char* numbers, const unsigned char* end) {
    blocks_.Varint(shared);
    blocks_.Varint(token_.size() - shared);
    blocks_.Put(reinterpret_cast<const unsigned char*>(token_.data()) + shared,
                token_.size() - shared);
    blocks_.Put(numbers, static_cast<size_t>(end - numbers));
  }
  Bytes blocks_;
  std::vector<Block> index_;
  std::string token_;  // the last taken in
  uint32_t in_block_ = 0;
  uint64_t tokens_ = 0;
};

// Puts one run's documents of the token its reader stands at (those up to total_files).
bool PutRunDocuments(PositionsRunReader* run, uint32_t base, const std::vector<uint32_t>& tokens,
                     uint32_t total_files, RegionWriter* region) {
  uint64_t doc = 0, count = 0, bytes = 0;
  auto put = [region](const unsigned char* p, size_t n) { region->PutPositionBytes(p, n); };
  for (uint32_t d = 0; d < run->documents(); ++d) {
    uint64_t gap;
    // Mostly the document's whole entry is in the reader's buffer: read there.
    const unsigned char* p;
    size_t held = run->Held(&p);
    const unsigned char* q = p;
    if (GetVarint(&q, p + held, &gap) && GetVarint(&q, p + held, &count) &&
        GetVarint(&q, p + held, &bytes) && bytes <= static_cast<size_t>(p + held - q)) {
      doc += gap;
      if (base + doc > total_files) return true;
      uint32_t doc_tokens = doc - 1 < tokens.size() ? tokens[static_cast<size_t>(doc - 1)] : 0;
      region->Document(static_cast<uint32_t>(base + doc), static_cast<uint32_t>(count), doc_tokens);
      region->PutHeldPositionBytes(q, static_cast<size_t>(bytes));  // the reader's slack follows
      run->Consume(static_cast<size_t>(q - p + bytes));
      continue;
    }
    if (!run->Varint(&gap) || !run->Varint(&count) || !run->Varint(&bytes)) return false;
    doc += gap;
    if (base + doc > total_files) return true;  // ascending: none after counts
    uint32_t doc_tokens = doc - 1 < tokens.size() ? tokens[static_cast<size_t>(doc - 1)] : 0;
    region->Document(static_cast<uint32_t>(base + doc), static_cast<uint32_t>(count), doc_tokens);
    if (!run->Copy(bytes, put)) return false;
  }
  return true;
}

// A run (or the stretch of one that a token range takes) with what its documents need.
struct RunSource {
  const platform::File* file;
  PositionsRun run;
  uint32_t base;
  const std::vector<uint32_t>* tokens;
};

// The runs of every part, in file-number order, merged token by token.
class RunMerge {
 public:
  // Reads the runs given, each through a buffer of buffer_bytes.
  bool Open(const std::vector<RunSource>& sources, size_t buffer_bytes) {
    for (const RunSource& source : sources) {
      runs_.push_back(std::make_unique<PositionsRunReader>(source.file, source.run, buffer_bytes));
      bases_.push_back(source.base);
      tokens_.push_back(source.tokens);
    }
    keys_.assign(runs_.size(), 0);
    for (size_t r = 0; r < runs_.size(); ++r) {
      if (runs_[r]->NextToken()) {
        keys_[r] = TokenPrefixKey(runs_[r]->token());
        heap_.push_back(r);
      } else if (runs_[r]->error()) {
        return false;
      }
    }
    std::make_heap(heap_.begin(), heap_.end(), Later{this});
    return true;
  }
  bool done() const { return heap_.empty(); }
  // Takes the runs holding the least token, in file-number order.
  void Least(std::string* token, std::vector<size_t>* runs) {
    runs->clear();
    uint64_t key = keys_[heap_.front()];
    token->assign(runs_[heap_.front()]->token());
    while (!heap_.empty() && keys_[heap_.front()] == key &&
           runs_[heap_.front()]->token() == *token) {
      std::pop_heap(heap_.begin(), heap_.end(), Later{this});
      runs->push_back(heap_.back());
      heap_.pop_back();
    }
  }
  // Moves the runs on to their next tokens; false on a read error.
  bool Advance(const std::vector<size_t>& runs) {
    for (size_t r : runs) {
      if (runs_[r]->NextToken()) {
        keys_[r] = TokenPrefixKey(runs_[r]->token());
        heap_.push_back(r);
        std::push_heap(heap_.begin(), heap_.end(), Later{this});
      } else if (runs_[r]->error()) {
        return false;
      }
    }
    return true;
  }
  PositionsRunReader* run(size_t r) { return runs_[r].get(); }
  uint32_t base(size_t r) const { return bases_[r]; }
  // The token counts of the documents of run r's part, the part's first document first.
  const std::vector<uint32_t>& tokens(size_t r) const { return *tokens_[r]; }

 private:
  struct Later {
    RunMerge* m;
    bool operator()(size_t a, size_t b) const {
      uint64_t x = m->keys_[a], y = m->keys_[b];
      if (x != y) return x > y;
      // Tokens of the same eight bytes at most, of the same length, are the same token.
      std::string_view s = m->runs_[a]->token(), t = m->runs_[b]->token();
      if (s.size() != t.size() || s.size() > 8) {
        int c = s.compare(t);
        if (c != 0) return c > 0;
      }
      return a > b;
    }
  };
  std::vector<uint64_t> keys_;  // of each run's present token
  std::vector<std::unique_ptr<PositionsRunReader>> runs_;
  std::vector<uint32_t> bases_;
  std::vector<const std::vector<uint32_t>*> tokens_;
  std::vector<size_t> heap_;
};

// Token counts of file numbers 1 to total_files, then their chunk checks.
uint64_t PutTokenCounts(const std::vector<PositionsPart>& parts, uint32_t total_files, Output* out,
                        uint64_t* checks_at) {
  std::vector<uint32_t> checks;
  BlockCheck chunk;
  uint32_t in_chunk = 0, n = 0;
  uint64_t total = 0;
  auto put = [&](uint32_t count) {
    unsigned char b[4];
    PutLE32(b, count);
    out->Put(b, 4);
    chunk.Add(b, 4);
    total += count;
    if (++in_chunk == kCountsPerChunk) {
      checks.push_back(chunk.Value());
      chunk = BlockCheck();
      in_chunk = 0;
    }
    ++n;
  };
  for (size_t p = 0; p < parts.size(); ++p) {
    const std::vector<uint32_t>& counts = parts[p].collector->token_counts();
    uint64_t limit = p + 1 < parts.size() ? parts[p + 1].base : total_files;
    for (uint64_t number = uint64_t{parts[p].base} + 1; number <= limit && n < total_files;
         ++number) {
      uint64_t i = number - parts[p].base - 1;
      put(i < counts.size() ? counts[i] : 0);
    }
  }
  while (n < total_files) put(0);
  if (in_chunk > 0) checks.push_back(chunk.Value());
  *checks_at = out->at();
  for (uint32_t c : checks) out->Put32(c);
  return total;
}

// The offset of the first token record of run at or after start (a record's beginning)
// whose token is not below from; run.end when there is none.
bool FirstRecordFrom(const platform::File* file, PositionsRun run, uint64_t start,
                     std::string_view from, uint64_t* at) {
  PositionsRunReader reader(file, PositionsRun{start, run.end}, size_t{16} << 10);
  for (;;) {
    uint64_t here = reader.next_record();
    if (!reader.NextToken()) {
      *at = run.end;
      return !reader.error();
    }
    if (reader.token() >= from) {
      *at = here;
      return true;
    }
  }
}

// The tokens at which ranges 1 to count - 1 begin, so that each holds about as many of the
// runs' bytes but the first, which holds twice as many: it is written in place, the others
// are copied in after it. Ascending and distinct (fewer where the runs have too few marks).
std::vector<std::string> RangeCuts(const std::vector<PositionsPart>& parts, size_t count) {
  std::vector<std::pair<std::string_view, uint64_t>> marks;
  uint64_t total = 0;
  for (const PositionsPart& part : parts) {
    for (const PositionsRunMark& m : part.collector->marks()) {
      marks.emplace_back(m.token, m.bytes);
      total += m.bytes;
    }
  }
  std::sort(marks.begin(), marks.end());
  std::vector<std::string> cuts;
  uint64_t sum = 0;
  for (const auto& [token, bytes] : marks) {
    if (cuts.size() + 1 == count) break;
    if (sum >= total / (count + 1) * (cuts.size() + 2) && (cuts.empty() || token > cuts.back())) {
      cuts.emplace_back(token);
    }
    sum += bytes;
  }
  return cuts;
}

}  // namespace

// A token range of the body: the stretches of the runs holding its tokens, and where its
// regions go. The first range writes the positions file itself; every other one a file
// of its own, copied in after the range before when the ranges are joined.
struct PositionsWriter::Range {
  std::vector<RunSource> sources;
  std::string path;  // of its own file (empty for the first)
  platform::File file;
  DictionaryPiece entries;
  uint64_t end = 0;  // where its body ends (in its own file: its size)
  bool written = false;
};

struct PositionsWriter::Plan {
  std::vector<PositionsPart> parts;
  uint32_t total_files = 0;
  WordRules rules = WordRules::kAscii;
  std::vector<platform::File> spills;  // the parts' spill files, by part
  std::vector<Range> ranges;
  size_t buffer_bytes = 0;
  DictionaryWriter dict;
  // By range: written whole (set last, for TakeWritten on another thread).
  std::unique_ptr<std::atomic<bool>[]> written;
  size_t taken = 0;      // ranges the dictionary holds, the first ones
  uint64_t next_at = 0;  // where the next range to take begins in the body
  bool take_failed = false;
};

PositionsWriter::PositionsWriter() = default;
PositionsWriter::~PositionsWriter() {
  if (plan_) RemoveRangeFiles();
}

bool PositionsWriter::Fail() {
  Abandon();
  return false;
}

void PositionsWriter::RemoveRangeFiles() {
  for (Range& range : plan_->ranges) {
    if (range.path.empty()) continue;
    range.file.Close();
    platform::RemoveFile(range.path);
  }
}

void PositionsWriter::Abandon() {
  if (plan_) RemoveRangeFiles();
  plan_.reset();
  if (file_.is_open()) file_.Close();
  if (!index_dir_.empty()) platform::RemoveFile(platform::JoinPath(index_dir_, kNewPositionsFile));
  header_.reset();
}

bool PositionsWriter::Begin(const std::string& index_dir, const std::vector<PositionsPart>& parts,
                            uint32_t total_files, WordRules rules, size_t ranges) {
  index_dir_ = index_dir;
  if (!file_.Open(platform::JoinPath(index_dir, kNewPositionsFile), "wb")) return Fail();
  try {
    header_ = std::make_shared<Header>();
    // The blank header: nothing holds until Finish writes it.
    if (!file_.Write(header_->bytes, kPositionsHeaderSize)) return Fail();
    plan_ = std::make_unique<Plan>();
    Plan& plan = *plan_;
    plan.parts = parts;
    plan.total_files = total_files;
    plan.rules = rules;
    std::vector<std::string> cuts = RangeCuts(parts, std::max<size_t>(ranges, 1));
    plan.ranges.resize(cuts.size() + 1);
    plan.written = std::make_unique<std::atomic<bool>[]>(plan.ranges.size());
    for (size_t k = 0; k < plan.ranges.size(); ++k) plan.written[k] = false;
    for (size_t k = 1; k < plan.ranges.size(); ++k) {
      Range& range = plan.ranges[k];
      range.path = platform::JoinPath(index_dir, PositionsRangeName(static_cast<uint32_t>(k)));
      if (!range.file.Open(range.path, "wb")) return Fail();
    }
    plan.spills.resize(parts.size());
    size_t sources = 0;
    for (size_t p = 0; p < parts.size(); ++p) {
      const PositionsCollector& c = *parts[p].collector;
      if (c.runs().empty()) continue;
      const platform::File* spill = &plan.spills[p];
      if (!plan.spills[p].Open(c.spill_path(), "rb")) return Fail();
      size_t mark = 0;
      for (uint32_t r = 0; r < c.runs().size(); ++r) {
        const PositionsRun& run = c.runs()[r];
        // Where each range begins in this run: from the last mark before its cut on.
        uint64_t begin = run.begin;
        for (size_t k = 0; k < plan.ranges.size(); ++k) {
          uint64_t end = run.end;
          if (k < cuts.size()) {
            uint64_t start = begin;
            while (mark < c.marks().size() && c.marks()[mark].run == r &&
                   c.marks()[mark].token < cuts[k]) {
              start = std::max(start, c.marks()[mark].at);
              ++mark;
            }
            if (!FirstRecordFrom(spill, run, start, cuts[k], &end)) return Fail();
          }
          if (end > begin) {
            plan.ranges[k].sources.push_back(
                RunSource{spill, PositionsRun{begin, end}, parts[p].base, &c.token_counts()});
            ++sources;
          }
          begin = end;
        }
        while (mark < c.marks().size() && c.marks()[mark].run == r) ++mark;
      }
    }
    // The runs' buffers share 4 MB, each between 4 and 64 KB: a corpus of many gigabytes
    // of positions has thousands of runs.
    plan.buffer_bytes = std::min<size_t>(
        size_t{64} << 10, std::max<size_t>(size_t{4} << 10, (size_t{4} << 20) / (sources + 1)));
  } catch (const std::bad_alloc&) {
    return Fail();
  }
  return true;
}

size_t PositionsWriter::ranges() const {
  return plan_ ? plan_->ranges.size() : 0;
}

bool PositionsWriter::WriteRange(size_t k) {
  if (!plan_ || k >= plan_->ranges.size()) return false;
  Plan& plan = *plan_;
  Range& range = plan.ranges[k];
  try {
    RunMerge merge;
    if (!merge.Open(range.sources, plan.buffer_bytes)) return false;
    Output out(k == 0 ? &file_ : &range.file, k == 0 ? kPositionsHeaderSize : 0);
    RegionWriter region(&out);
    std::string token;
    std::vector<size_t> runs;
    while (!merge.done()) {
      merge.Least(&token, &runs);
      uint64_t region_at = out.at();
      region.Begin();
      std::sort(runs.begin(), runs.end());  // file-number order
      for (size_t r : runs) {
        if (!PutRunDocuments(merge.run(r), merge.base(r), merge.tokens(r), plan.total_files,
                             &region)) {
          return false;
        }
      }
      if (!merge.Advance(runs)) return false;
      uint64_t pos_bytes, skip_bytes, docs_bytes;
      uint32_t check;
      region.End(&pos_bytes, &skip_bytes, &docs_bytes, &check);
      if (region.documents() == 0) continue;  // only in documents that do not count
      range.entries.Add(token, region_at, region.documents(), pos_bytes, skip_bytes, docs_bytes,
                        check);
    }
    out.Flush();
    // The first range is the positions file's: its bytes may go to the disk already.
    if (k == 0) file_.StartSync();
    range.end = out.at();
    if (!out.ok()) return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
  range.written = true;
  plan.written[k].store(true, std::memory_order_release);
  return true;
}

void PositionsWriter::TakeWritten() {
  if (!plan_) return;
  Plan& plan = *plan_;
  while (plan.taken < plan.ranges.size() && !plan.take_failed &&
         plan.written[plan.taken].load(std::memory_order_acquire)) {
    const Range& range = plan.ranges[plan.taken];
    try {
      // Room for about as many entries in each range as in the first.
      if (plan.taken == 0)
        plan.dict.Reserve(range.entries.coded().size() * plan.ranges.size(), plan.ranges.size());
      plan.dict.Take(range.entries, plan.next_at);
    } catch (const std::bad_alloc&) {
      plan.take_failed = true;
      return;
    }
    // Range 0 is where it stands already; each after it is copied in after the one before.
    if (plan.taken > 0 && !Join(&plan.ranges[plan.taken])) {
      plan.take_failed = true;
      return;
    }
    plan.next_at = (plan.taken == 0 ? 0 : plan.next_at) + range.end;
    ++plan.taken;
  }
}

bool PositionsWriter::Join(Range* range) {
  bool joined = range->file.Close() && range->file.Open(range->path, "rb");
  try {
    std::vector<unsigned char> chunk(size_t{256} << 10);
    for (uint64_t left = range->end; left > 0 && joined;) {
      size_t n = static_cast<size_t>(std::min<uint64_t>(left, chunk.size()));
      joined = range->file.Read(chunk.data(), n) == n && file_.Write(chunk.data(), n);
      left -= n;
    }
  } catch (const std::bad_alloc&) {
    joined = false;
  }
  range->file.Close();
  platform::RemoveFile(range->path);
  range->path.clear();
  // Its bytes go on to the disk while the rest is written.
  return joined && file_.StartSync();
}

bool PositionsWriter::End(uint32_t distinct_words) {
  if (!plan_) return Fail();
  Plan& plan = *plan_;
  try {
    for (const Range& range : plan.ranges) {
      if (!range.written) return Fail();
    }
    DictionaryWriter& dict = plan.dict;
    // The ranges that TakeWritten left are taken in and joined, while the fingerprint of
    // the four files beside them is taken: those are written.
    bool taken = false, fingerprinted = false;
    auto take = [&] {
      TakeWritten();
      taken = plan.taken == plan.ranges.size();
    };
    auto fingerprint = [&] {
      fingerprinted =
          NewIndexFingerprint(index_dir_, distinct_words, plan.total_files, &fingerprint_);
    };
    if (plan.ranges.size() > 1) {
      OnThreads(2, [&](size_t t) { t == 0 ? take() : fingerprint(); });
    } else {
      take();
      fingerprint();
    }
    if (!taken || !fingerprinted) return Fail();
    Output out(&file_, plan.next_at);
    const std::vector<PositionsPart>& parts = plan.parts;
    uint32_t total_files = plan.total_files;
    unsigned char* h = header_->bytes;
    std::memcpy(h, kPositionsMagic, 8);
    PutLE32(h + 8, kPositionsVersion);
    PutLE32(h + 12, plan.rules == WordRules::kInternational ? 1 : 0);
    PutLE32(h + 24, total_files);
    PutLE64(h + 32, dict.tokens());
    PutLE64(h + 48, out.at());
    uint64_t checks_at = 0;
    PutLE64(h + 40, PutTokenCounts(parts, total_files, &out, &checks_at));
    PutLE64(h + 56, checks_at);
    uint64_t dict_at = 0;
    std::vector<unsigned char> index;
    dict.Write(&out, &dict_at, &index);
    PutLE32(h + 28, dict.blocks());
    PutLE64(h + 64, dict_at);
    PutLE64(h + 72, out.at());
    PutLE64(h + 80, index.size());
    PutLE32(h + 88, CheckOf(index.data(), index.size()));
    out.Put(index.data(), index.size());
    PutLE64(h + 96, out.at());
    out.Flush();
    if (!out.ok() || !file_.StartSync()) return Fail();
  } catch (const std::bad_alloc&) {
    return Fail();
  }
  plan_.reset();
  return true;
}

bool PositionsWriter::Finish() {
  if (!header_ || !file_.is_open()) return false;
  unsigned char* h = header_->bytes;
  PutLE64(h + 16, fingerprint_);
  PutLE64(h + 120, CheckOf(h, 120));
  // The body reaches the disk before the header that makes it usable.
  bool ok = file_.Sync() && file_.Seek(0) && file_.Write(h, kPositionsHeaderSize) && file_.Sync();
  ok = file_.Close() && ok;
  if (!ok) return Fail();
  header_.reset();
  return true;
}

}  // namespace norvel
