// What ranking reads of an index, from its positions file.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "index/positions.h"
#include "query/rank.h"

namespace norvel {

// The positions file's statistics and postings as ranking reads them. The reader must be
// open and outlive this and every postings it gives.
class PositionsStats : public RankingStats {
 public:
  // index_dir and index: where Another opens a reader of its own.
  PositionsStats(PositionsReader* reader, const std::string& index_dir, const InMemoryIndex& index)
      : reader_(reader), index_dir_(index_dir), index_(index) {}
  uint32_t documents() const override { return reader_->documents(); }
  uint64_t total_tokens() const override { return reader_->total_tokens(); }
  uint32_t DocumentTokens(uint32_t file) override { return reader_->DocumentTokens(file); }
  std::unique_ptr<TermPostings> Find(std::string_view folded_token) override;
  std::unique_ptr<RankingStats> Another() override;

 private:
  PositionsReader* reader_;
  std::unique_ptr<PositionsReader> own_;  // the reader of a PositionsStats made by Another
  std::string index_dir_;
  const InMemoryIndex& index_;
};

}  // namespace norvel
