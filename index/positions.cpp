// Reading the positions file: its header and dictionary index at Open, then one
// dictionary block per lookup and a token's documents block by block.
#include "index/positions.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "core/messages.h"
#include "index/positions_format.h"
#include "platform/path.h"

namespace norvel {

const char kPositionsFile[] = "_positions.dat";

namespace {

// The most bytes one read may ask for: a count from a damaged file must not make a
// reader allocate without bound.
constexpr uint64_t kLongestRead = uint64_t{1} << 30;

}  // namespace

PositionsReader::PositionsReader() = default;
PositionsReader::~PositionsReader() = default;
PositionsReader::Postings::Postings() = default;
PositionsReader::Postings::~Postings() = default;

bool PositionsReader::Fail(const std::string& why) {
  WriteLog("Positions not used: " + why + ".");
  Close();
  return false;
}

bool PositionsReader::Damaged() {
  damage_met_ = true;
  return false;
}

bool PositionsReader::Holds(const unsigned char* p, size_t n, uint32_t check) const {
  return !verify_checks_ || CheckOf(p, n) == check;
}

void PositionsReader::Close() {
  damage_met_ = false;
  file_.Close();
  tables_.reset();
  chunk_.clear();
  chunk_number_ = ~uint64_t{0};
  all_tokens_ = nullptr;
  documents_ = 0;
  total_tokens_ = distinct_tokens_ = 0;
}

bool PositionsReader::ReadAt(uint64_t offset, void* buf, size_t n) {
  if (offset > file_size_ || n > file_size_ - offset) return false;
  return file_.ReadAt(offset, buf, n);
}

bool PositionsReader::Open(const std::string& index_dir, const InMemoryIndex& index) {
  Close();
  std::string path = platform::JoinPath(index_dir, kPositionsFile);
  platform::FileStatus st;
  if (!platform::GetFileStatus(path, &st) || st.is_directory) return Fail("no positions file");
  if (!index.loaded()) return Fail("no index loaded");
  if (!file_.Open(path, "rb")) return Fail("cannot open the positions file");
  file_size_ = st.size;
  unsigned char h[kPositionsHeaderSize];
  if (!ReadAt(0, h, sizeof h) || std::memcmp(h, kPositionsMagic, 8) != 0 ||
      GetLE64(h + 120) > 0xFFFFFFFFu || !Holds(h, 120, static_cast<uint32_t>(GetLE64(h + 120)))) {
    return Fail("the positions file is damaged or incomplete");
  }
  uint32_t version = GetLE32(h + 8);
  if (version != kPositionsVersion && version != kPositionsVersionWithoutBounds) {
    return Fail("the positions file is of another version");
  }
  block_bounds_ = version == kPositionsVersion;
  if (GetLE64(h + 96) != st.size) return Fail("the positions file is damaged or incomplete");
  uint32_t rules = index.rules == WordRules::kInternational ? 1 : 0;
  uint64_t fingerprint = 0;
  if (!LoadedIndexFingerprint(index_dir, index, &fingerprint)) {
    return Fail("the index files cannot be checked");
  }
  if (GetLE32(h + 12) != rules || GetLE32(h + 24) != index.total_files ||
      GetLE64(h + 16) != fingerprint) {
    return Fail("the positions file belongs to other index files");
  }
  documents_ = GetLE32(h + 24);
  uint32_t blocks = GetLE32(h + 28);
  distinct_tokens_ = GetLE64(h + 32);
  total_tokens_ = GetLE64(h + 40);
  counts_at_ = GetLE64(h + 48);
  uint64_t checks_at = GetLE64(h + 56), index_at = GetLE64(h + 72), index_bytes = GetLE64(h + 80);
  uint64_t chunks = (uint64_t{documents_} + kCountsPerChunk - 1) / kCountsPerChunk;
  if (counts_at_ < kPositionsHeaderSize || checks_at != counts_at_ + uint64_t{documents_} * 4 ||
      checks_at + chunks * 4 > st.size || index_bytes > kLongestRead ||
      uint64_t{blocks} * 25 > index_bytes || index_at + index_bytes != st.size) {
    return Fail("the positions file is damaged or incomplete");
  }
  if (verify_checks_) {
    auto kept = std::static_pointer_cast<const Tables>(index.positions_tables);
    if (kept && std::memcmp(kept->header, h, sizeof h) == 0) {
      tables_ = std::move(kept);
      return true;
    }
  }
  return ReadTables(h, checks_at, chunks, index_at, index_bytes, blocks, index);
}

bool PositionsReader::ReadTables(const unsigned char* header, uint64_t checks_at, uint64_t chunks,
                                 uint64_t index_at, uint64_t index_bytes, uint32_t blocks,
                                 const InMemoryIndex& index) {
  static_assert(sizeof(Tables::header) == kPositionsHeaderSize, "the header is kept whole");
  try {
    auto tables = std::make_shared<Tables>();
    std::memcpy(tables->header, header, kPositionsHeaderSize);
    std::vector<uint32_t>& count_checks = tables->count_checks;
    std::vector<DictBlock>& dict = tables->dict;
    std::vector<unsigned char> buf(static_cast<size_t>(std::max(index_bytes, chunks * 4)));
    if (!ReadAt(checks_at, buf.data(), static_cast<size_t>(chunks * 4))) {
      return Fail("the positions file is damaged or incomplete");
    }
    count_checks.resize(static_cast<size_t>(chunks));
    for (size_t c = 0; c < chunks; ++c) count_checks[c] = GetLE32(&buf[c * 4]);
    if (!ReadAt(index_at, buf.data(), static_cast<size_t>(index_bytes)) ||
        !Holds(buf.data(), static_cast<size_t>(index_bytes), GetLE32(header + 88))) {
      return Fail("the positions file is damaged or incomplete");
    }
    const unsigned char* p = buf.data();
    const unsigned char* end = p + index_bytes;
    dict.reserve(blocks);
    for (uint32_t b = 0; b < blocks; ++b) {
      if (end - p < 25 || end - p - 25 < p[24]) return Fail("the positions file is damaged");
      DictBlock d;
      d.at = GetLE64(p);
      d.bytes = GetLE32(p + 8);
      d.check = GetLE32(p + 12);
      d.region = GetLE64(p + 16);
      d.first.assign(reinterpret_cast<const char*>(p + 25), p[24]);
      p += 25 + p[24];
      if (d.at > index_at || d.bytes > index_at - d.at || d.region > file_size_ ||
          (!dict.empty() && d.first <= dict.back().first)) {
        return Fail("the positions file is damaged");
      }
      dict.push_back(std::move(d));
    }
    if (p != end) return Fail("the positions file is damaged");
    tables_ = tables;
    // Checks turned off (the fuzz target) let other bytes stand behind an equal header.
    if (verify_checks_) {
      index.positions_tables = std::move(tables);
      std::vector<uint32_t>().swap(index.document_tokens);  // counts of the file before
    }
  } catch (const std::bad_alloc&) {
    return Fail("no memory for the positions file");
  }
  return true;
}

uint32_t PositionsReader::DocumentTokens(uint32_t file_number) {
  if (!is_open() || file_number == 0 || file_number > documents_) return 0;
  if (all_tokens_) return (*all_tokens_)[file_number - 1];
  uint64_t c = (file_number - 1) / kCountsPerChunk;
  if (c != chunk_number_) {
    uint64_t first = c * kCountsPerChunk;
    size_t n = static_cast<size_t>(std::min<uint64_t>(kCountsPerChunk, documents_ - first));
    unsigned char buf[kCountsPerChunk * 4];
    chunk_number_ = ~uint64_t{0};
    if (!ReadAt(counts_at_ + first * 4, buf, n * 4) ||
        !Holds(buf, n * 4, tables_->count_checks[c])) {
      Damaged();
      return 0;
    }
    chunk_.resize(n);
    for (size_t i = 0; i < n; ++i) chunk_[i] = GetLE32(buf + 4 * i);
    chunk_number_ = c;
  }
  return chunk_[(file_number - 1) % kCountsPerChunk];
}

bool PositionsReader::KeepDocumentTokens(const InMemoryIndex& index) {
  // Only counts checked against this file's own tables stand for it (not so for the fuzz
  // target's unchecked reads).
  if (!is_open() || !verify_checks_ || index.positions_tables != tables_) return false;
  if (index.document_tokens.size() != documents_) ReadAllDocumentTokens(&index.document_tokens);
  if (index.document_tokens.size() != documents_) return false;  // damaged: chunk by chunk
  all_tokens_ = &index.document_tokens;
  return true;
}

bool PositionsReader::ReadAllDocumentTokens(std::vector<uint32_t>* out) {
  out->clear();
  if (!is_open() || documents_ == 0) return false;
  try {
    out->resize(documents_);
    std::vector<unsigned char> buf(kCountsPerChunk * 4 * 64);  // 64 chunks a read
    for (uint64_t first = 0; first < documents_; first += kCountsPerChunk * 64) {
      size_t n = static_cast<size_t>(std::min<uint64_t>(kCountsPerChunk * 64, documents_ - first));
      if (!ReadAt(counts_at_ + first * 4, buf.data(), n * 4)) break;
      size_t c = 0;
      for (; c * kCountsPerChunk < n; ++c) {
        size_t in = std::min<size_t>(kCountsPerChunk, n - c * kCountsPerChunk);
        const unsigned char* chunk = buf.data() + c * kCountsPerChunk * 4;
        if (!Holds(chunk, in * 4, tables_->count_checks[first / kCountsPerChunk + c])) break;
        for (size_t i = 0; i < in; ++i) {
          (*out)[first + c * kCountsPerChunk + i] = GetLE32(chunk + 4 * i);
        }
      }
      // Damage is left to the reads one count at a time, which note it where a search
      // meets it.
      if (c * kCountsPerChunk < n) break;
      if (first + n == documents_) return true;
    }
  } catch (const std::bad_alloc&) {
  }
  std::vector<uint32_t>().swap(*out);
  return false;
}

size_t PositionsReader::BlockFor(std::string_view token) const {
  auto it = std::upper_bound(dict().begin(), dict().end(), token,
                             [](std::string_view t, const DictBlock& d) { return t < d.first; });
  return static_cast<size_t>(it - dict().begin()) - 1;  // dict().size() - 1 + 1 wraps for none
}

bool PositionsReader::ReadDictBlock(size_t b, std::vector<Entry>* out) {
  out->clear();
  const DictBlock& d = dict()[b];
  std::vector<unsigned char> buf(d.bytes);
  if (!ReadAt(d.at, buf.data(), buf.size()) || !Holds(buf.data(), buf.size(), d.check)) {
    return Damaged();
  }
  const unsigned char* p = buf.data();
  const unsigned char* end = p + buf.size();
  uint64_t region = d.region;
  std::string prev;
  while (p < end) {
    Entry e;
    uint64_t shared, rest, docs;
    if (!GetVarint(&p, end, &shared) || !GetVarint(&p, end, &rest) || shared > prev.size() ||
        rest > static_cast<uint64_t>(end - p)) {
      return Damaged();
    }
    e.token.assign(prev, 0, static_cast<size_t>(shared));
    e.token.append(reinterpret_cast<const char*>(p), static_cast<size_t>(rest));
    p += rest;
    if (!GetVarint(&p, end, &docs) || docs == 0 || docs > documents_ ||
        !GetVarint(&p, end, &e.pos_bytes) || !GetVarint(&p, end, &e.skip_bytes) ||
        !GetVarint(&p, end, &e.docs_bytes) || end - p < 4) {
      return Damaged();
    }
    e.docs = static_cast<uint32_t>(docs);
    e.skip_check = GetLE32(p);
    p += 4;
    e.pos_at = region;
    uint64_t size = e.pos_bytes + e.skip_bytes + e.docs_bytes;
    if (e.pos_bytes > file_size_ || e.skip_bytes > file_size_ || e.docs_bytes > file_size_ ||
        region > file_size_ || size > file_size_ - region ||
        (!out->empty() && e.token <= out->back().token) || (out->empty() && e.token != d.first)) {
      return Damaged();
    }
    region += size;
    prev = e.token;
    out->push_back(std::move(e));
  }
  return !out->empty() || Damaged();
}

bool PositionsReader::Find(std::string_view folded_token, Postings* out) {
  *out = Postings();
  if (!is_open() || dict().empty()) return false;
  if (folded_token.size() > kPositionsKeyBytes)
    folded_token = folded_token.substr(0, kPositionsKeyBytes);
  size_t b = BlockFor(folded_token);
  if (b >= dict().size()) return false;
  try {
    std::vector<Entry> entries;
    if (!ReadDictBlock(b, &entries)) return false;
    for (const Entry& e : entries) {
      if (e.token == folded_token) return OpenPostings(e, out);
    }
  } catch (const std::bad_alloc&) {
    return Damaged();
  }
  return false;
}

void PositionsReader::ForEachTokenWithPrefix(
    std::string_view prefix, const std::function<bool(std::string_view token)>& on_token) {
  if (!is_open() || dict().empty()) return;
  size_t b = BlockFor(prefix);
  if (b >= dict().size()) b = 0;
  try {
    std::vector<Entry> entries;
    for (; b < dict().size(); ++b) {
      if (!ReadDictBlock(b, &entries)) return;
      for (const Entry& e : entries) {
        if (e.token.compare(0, prefix.size(), prefix) < 0) continue;
        if (e.token.compare(0, prefix.size(), prefix) > 0) return;
        if (!on_token(e.token)) return;
      }
    }
  } catch (const std::bad_alloc&) {
    Damaged();
  }
}

bool PositionsReader::OpenPostings(const Entry& e, Postings* out) {
  if (e.skip_bytes > kLongestRead) return Damaged();
  uint64_t docs_at = e.pos_at + e.pos_bytes + e.skip_bytes, pos_at = e.pos_at;
  uint64_t docs_end = docs_at + e.docs_bytes;
  // The skip table is read with the documents after it, and a small token's region
  // (positions, skip table, documents) in one read.
  uint64_t skip_at = e.pos_at + e.pos_bytes;
  uint64_t from = docs_end - e.pos_at <= Postings::Window::kReadAhead ? e.pos_at : skip_at;
  const unsigned char* region = out->window_.Get(this, from, docs_end - from, docs_end);
  const unsigned char* p = region ? region + (skip_at - from) : nullptr;
  if (!p || !Holds(p, static_cast<size_t>(e.skip_bytes), e.skip_check)) return Damaged();
  uint64_t blocks = (uint64_t{e.docs} + kDocsPerBlock - 1) / kDocsPerBlock;
  const unsigned char* end = p + e.skip_bytes;
  uint32_t last = 0;
  out->blocks_.reserve(static_cast<size_t>(blocks));
  for (uint64_t b = 0; b < blocks; ++b) {
    uint64_t gap, docs_bytes, pos_bytes;
    if (!GetVarint(&p, end, &gap) || !GetVarint(&p, end, &docs_bytes) ||
        !GetVarint(&p, end, &pos_bytes) || end - p < 8 || (b > 0 && gap == 0) ||
        gap > documents_ - last || docs_bytes > docs_end - docs_at ||
        pos_bytes > e.pos_at + e.pos_bytes - pos_at) {
      out->blocks_.clear();
      return Damaged();
    }
    Postings::Block k;
    last += static_cast<uint32_t>(gap);
    k.last_doc = last;
    k.docs_check = GetLE32(p);
    k.pos_check = GetLE32(p + 4);
    p += 8;
    if (block_bounds_ && blocks > 1) {
      uint64_t pairs;
      if (!GetVarint(&p, end, &pairs) || pairs == 0 || pairs > kMaxBlockBounds) {
        out->blocks_.clear();
        return Damaged();
      }
      k.bounds_at = static_cast<uint32_t>(out->bounds_.size());
      for (uint64_t i = 0; i < pairs; ++i) {
        uint32_t count, tokens;
        if (!GetVarint32(&p, end, &count) || !GetVarint32(&p, end, &tokens) || count == 0) {
          out->blocks_.clear();
          return Damaged();
        }
        out->bounds_.emplace_back(count, tokens);
      }
      k.bounds_end = static_cast<uint32_t>(out->bounds_.size());
    }
    k.docs_at = docs_at;
    k.docs_bytes = docs_bytes;
    k.pos_at = pos_at;
    k.pos_bytes = pos_bytes;
    docs_at += docs_bytes;
    pos_at += pos_bytes;
    out->blocks_.push_back(k);
  }
  if (p != end || docs_at != docs_end || pos_at != e.pos_at + e.pos_bytes || last == 0) {
    out->blocks_.clear();
    return Damaged();
  }
  out->reader_ = this;
  out->docs_ = e.docs;
  out->block_ = out->blocks_.size();
  return true;
}

bool PositionsReader::Postings::Damage() {
  damaged_ = true;
  ended_ = true;
  if (reader_) reader_->damage_met_ = true;
  return false;
}

bool PositionsReader::Postings::LoadBlock(size_t b) {
  const Block& k = blocks_[b];
  block_ = b;
  in_block_ = 0;
  pos_loaded_ = false;
  pos_at_ = pos_doc_ = 0;
  block_docs_.clear();
  block_counts_.clear();
  const Block& last = blocks_.back();
  const unsigned char* p =
      window_.Get(reader_, k.docs_at, k.docs_bytes, last.docs_at + last.docs_bytes);
  if (!p) return Damage();
  const unsigned char* end = p + k.docs_bytes;
  if (!reader_->Holds(p, static_cast<size_t>(k.docs_bytes), k.docs_check)) return Damage();
  uint32_t doc = b == 0 ? 0 : blocks_[b - 1].last_doc;
  size_t want = b + 1 < blocks_.size() ? kDocsPerBlock : docs_ - kDocsPerBlock * b;
  while (p < end) {
    uint32_t gap, count;
    if (!GetVarint32(&p, end, &gap) || !GetVarint32(&p, end, &count) || gap == 0 || count == 0 ||
        gap > k.last_doc - doc) {
      return Damage();
    }
    doc += gap;
    block_docs_.push_back(doc);
    block_counts_.push_back(count);
  }
  if (block_docs_.size() != want || doc != k.last_doc) return Damage();
  return true;
}

bool PositionsReader::Postings::Next() {
  if (!reader_ || ended_) return false;
  if (!started_ || in_block_ == block_docs_.size()) {
    size_t b = started_ ? block_ + 1 : 0;
    started_ = true;
    if (b >= blocks_.size()) {
      ended_ = true;
      return false;
    }
    try {
      if (!LoadBlock(b)) return false;
    } catch (const std::bad_alloc&) {
      return Damage();
    }
  }
  doc_ = block_docs_[in_block_];
  count_ = block_counts_[in_block_];
  ++in_block_;
  return true;
}

bool PositionsReader::Postings::SkipTo(uint32_t file_number) {
  if (!reader_ || ended_) return false;
  if (started_ && doc_ >= file_number) return true;
  size_t b = started_ ? block_ : 0;
  while (b < blocks_.size() && blocks_[b].last_doc < file_number) ++b;
  if (b == blocks_.size()) {
    started_ = ended_ = true;
    return false;
  }
  if (!started_ || b != block_) {
    started_ = true;
    try {
      if (!LoadBlock(b)) return false;
    } catch (const std::bad_alloc&) {
      return Damage();
    }
  }
  while (block_docs_[in_block_] < file_number) ++in_block_;  // the block's last one is not
  doc_ = block_docs_[in_block_];
  count_ = block_counts_[in_block_];
  ++in_block_;
  return true;
}

bool PositionsReader::Postings::LoadPositions() {
  const Block& k = blocks_[block_];
  if (k.pos_bytes > kLongestRead) return Damage();
  const Block& last = blocks_.back();
  // A small token's positions came with its documents.
  pos_ = window_.Holds(k.pos_at, k.pos_bytes)
             ? window_.At(k.pos_at)
             : pos_window_.Get(reader_, k.pos_at, k.pos_bytes, last.pos_at + last.pos_bytes);
  if (!pos_ || !reader_->Holds(pos_, static_cast<size_t>(k.pos_bytes), k.pos_check)) {
    return Damage();
  }
  pos_end_ = pos_ + k.pos_bytes;
  pos_loaded_ = true;
  pos_at_ = pos_doc_ = 0;
  return true;
}

const unsigned char* PositionsReader::Postings::Window::Get(PositionsReader* reader, uint64_t at,
                                                            uint64_t n, uint64_t limit) {
  if (!Holds(at, n)) {
    // The blocks after come with it, as far as 64 KB and the token's region reach.
    uint64_t want = std::max<uint64_t>(n, std::min<uint64_t>(limit - at, kReadAhead));
    bytes_.resize(static_cast<size_t>(want));
    at_ = at;
    if (!reader->ReadAt(at, bytes_.data(), bytes_.size())) {
      bytes_.clear();
      return nullptr;
    }
  }
  return bytes_.data() + (at - at_);
}

bool PositionsReader::Postings::Positions(std::vector<uint32_t>* out) {
  out->clear();
  if (!reader_ || damaged_ || !started_ || ended_ || in_block_ == 0) return false;
  try {
    if (!pos_loaded_ && !LoadPositions()) return false;
    size_t want = in_block_ - 1;
    const unsigned char* p = pos_ + pos_at_;
    const unsigned char* end = pos_end_;
    uint64_t v;
    // The positions of the documents before, which were not asked for, are passed over.
    if (pos_doc_ > want) {
      p = pos_;
      pos_doc_ = 0;
    }
    uint64_t skipped = 0;
    for (; pos_doc_ < want; ++pos_doc_) skipped += block_counts_[pos_doc_];
    if (!SkipVarints(&p, end, skipped)) return Damage();
    uint32_t limit = reader_->DocumentTokens(doc_);
    out->reserve(count_);
    uint64_t at = 0;
    for (uint32_t k = 0; k < count_; ++k) {
      if (!GetVarint(&p, end, &v) || (k > 0 && v == 0)) return Damage();
      at += v;
      if (at >= limit) return Damage();
      out->push_back(static_cast<uint32_t>(at));
    }
    pos_at_ = static_cast<size_t>(p - pos_);
    pos_doc_ = want + 1;
    if (want + 1 == block_docs_.size() && p != end) return Damage();
  } catch (const std::bad_alloc&) {
    return Damage();
  }
  return true;
}

}  // namespace norvel
