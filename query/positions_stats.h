// What ranking reads of an index, from its positions file.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "index/positions.h"
#include "query/rank.h"

namespace norvel {

// The positions file's statistics and postings as ranking reads them. The reader must be
// open and outlive this and every postings it gives.
class PositionsStats : public RankingStats {
 public:
  // index_dir and index: where Another opens a reader of its own. The documents' token
  // counts are read whole once per loaded index (kept in index.document_tokens), before any
  // second reader's thread starts (a reader made by Another only uses what was read).
  PositionsStats(PositionsReader* reader, const std::string& index_dir, const InMemoryIndex& index,
                 bool read_counts = true);
  uint32_t documents() const override { return reader_->documents(); }
  uint64_t total_tokens() const override { return reader_->total_tokens(); }
  uint32_t DocumentTokens(uint32_t file) override;
  std::unique_ptr<TermPostings> Find(std::string_view folded_token) override;
  std::unique_ptr<RankingStats> Another() override;

 private:
  PositionsReader* reader_;
  std::unique_ptr<PositionsReader> own_;  // the reader of a PositionsStats made by Another
  std::string index_dir_;
  const InMemoryIndex& index_;
  const std::vector<uint32_t>* tokens_;  // index_.document_tokens once read, else null
};

}  // namespace norvel
