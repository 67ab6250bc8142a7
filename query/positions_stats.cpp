// Ranking's view of the positions file: its postings behind the TermPostings interface.
#include "query/positions_stats.h"

namespace norvel {

namespace {

// Damage met in the file ends the token's postings there: what was read before it counts.
class FilePostings : public TermPostings {
 public:
  PositionsReader::Postings postings;
  uint32_t documents() const override { return postings.documents(); }
  bool Next() override { return postings.Next() && !postings.damaged(); }
  bool SkipTo(uint32_t file) override { return postings.SkipTo(file) && !postings.damaged(); }
  uint32_t doc() const override { return postings.doc(); }
  uint32_t count() const override { return postings.count(); }
  size_t blocks() const override { return postings.blocks(); }
  uint32_t BlockLast(size_t b) const override { return postings.block_last(b); }
  bool BlockBounds(size_t b, std::vector<std::pair<uint32_t, uint32_t>>* out) const override {
    auto [pairs, n] = postings.block_bounds(b);
    out->assign(pairs, pairs + n);
    return n > 0;
  }
  bool Positions(std::vector<uint32_t>* out) override {
    if (postings.Positions(out)) return true;
    out->clear();
    return false;
  }
};

}  // namespace

PositionsStats::PositionsStats(PositionsReader* reader, const std::string& index_dir,
                               const InMemoryIndex& index, bool read_counts)
    : reader_(reader), index_dir_(index_dir), index_(index) {
  if (read_counts && index.document_tokens.size() != reader->documents()) {
    reader->ReadAllDocumentTokens(&index.document_tokens);  // left empty when damaged
  }
  tokens_ = index.document_tokens.size() == reader->documents() ? &index.document_tokens : nullptr;
}

uint32_t PositionsStats::DocumentTokens(uint32_t file) {
  // Out of range or unreadable: 0, as the reader answers.
  if (!tokens_) return reader_->DocumentTokens(file);
  return file == 0 || file > tokens_->size() ? 0 : (*tokens_)[file - 1];
}

std::unique_ptr<TermPostings> PositionsStats::Find(std::string_view folded_token) {
  auto p = std::make_unique<FilePostings>();
  if (!reader_->Find(folded_token, &p->postings)) return nullptr;
  return p;
}

std::unique_ptr<RankingStats> PositionsStats::Another() {
  auto reader = std::make_unique<PositionsReader>();
  if (!reader->Open(index_dir_, index_)) return nullptr;
  auto stats = std::make_unique<PositionsStats>(reader.get(), index_dir_, index_, false);
  stats->own_ = std::move(reader);
  return stats;
}

}  // namespace norvel
