// Results by relevance on plain data: the ranked list's pages, BM25 and the proximity
// weight over a table of positions, the order of an index without positions.
#include "query/rank.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "engine_fixture.h"
#include "index/positions.h"
#include "query/bm25.h"
#include "query/positions_stats.h"
#include "query/ranked_list.h"

using norvel::FileList;
using norvel::QueryWords;
using norvel::Scored;

namespace {

// An index's positions as a table: documents of tokens, numbered from 1.
class TableStats : public norvel::RankingStats {
 public:
  explicit TableStats(const std::vector<std::string>& docs) {
    for (size_t d = 0; d < docs.size(); ++d) {
      std::vector<std::string> tokens = norvel::CutFoldedTokens(docs[d]);
      lengths_.push_back(static_cast<uint32_t>(tokens.size()));
      total_ += tokens.size();
      for (size_t p = 0; p < tokens.size(); ++p) {
        table_[tokens[p]][static_cast<uint32_t>(d + 1)].push_back(static_cast<uint32_t>(p));
      }
    }
  }
  uint32_t documents() const override { return static_cast<uint32_t>(lengths_.size()); }
  uint64_t total_tokens() const override { return total_; }
  uint32_t DocumentTokens(uint32_t n) override {
    return n >= 1 && n <= lengths_.size() ? lengths_[n - 1] : 0;
  }
  std::unique_ptr<norvel::TermPostings> Find(std::string_view token) override {
    auto it = table_.find(std::string(token));
    if (it == table_.end()) return nullptr;
    return std::make_unique<Postings>(&it->second);
  }

 private:
  using Docs = std::map<uint32_t, std::vector<uint32_t>>;
  class Postings : public norvel::TermPostings {
   public:
    explicit Postings(const Docs* docs) : docs_(docs), at_(docs->end()) {}
    uint32_t documents() const override { return static_cast<uint32_t>(docs_->size()); }
    bool Next() override {
      at_ = started_ ? std::next(at_) : docs_->begin();
      started_ = true;
      return at_ != docs_->end();
    }
    bool SkipTo(uint32_t n) override {
      if (!started_ || at_->first < n) at_ = docs_->lower_bound(n);
      started_ = true;
      return at_ != docs_->end();
    }
    uint32_t doc() const override { return at_->first; }
    uint32_t count() const override { return static_cast<uint32_t>(at_->second.size()); }
    bool Positions(std::vector<uint32_t>* out) override {
      *out = at_->second;
      return true;
    }

   private:
    const Docs* docs_;
    Docs::const_iterator at_;
    bool started_ = false;
  };
  std::map<std::string, Docs> table_;
  std::vector<uint32_t> lengths_;
  uint64_t total_ = 0;
};

FileList All(size_t n) {
  FileList all(n);
  for (size_t i = 0; i < n; ++i) all[i] = static_cast<uint32_t>(i + 1);
  return all;
}

// The files in order of score, best first.
FileList Ranked(std::vector<Scored> scored) {
  FileList order;
  norvel::RankedList list;
  list.Assign(std::move(scored), &order);
  list.Extend(order.size(), &order);
  return order;
}

QueryWords Words(std::vector<std::string> any, std::vector<std::string> include = {}) {
  QueryWords w;
  w.all_n_any = std::move(any);
  w.include = std::move(include);
  return w;
}

}  // namespace

TEST(RankedList, PagesWalkTheFullSortAndTiesGoByFileNumber) {
  std::mt19937 random(7);
  std::vector<Scored> scored;
  for (uint32_t f = 1; f <= 1000; ++f) scored.push_back({float(random() % 50), f});
  std::vector<Scored> sorted = scored;
  std::sort(sorted.begin(), sorted.end(), norvel::RanksBefore);
  FileList order;
  norvel::RankedList list;
  list.Assign(scored, &order);
  // Page by page, as Next does: every page shows exactly the full sort's entries.
  for (size_t end = 10; end <= 1000; end += 10) {
    list.Extend(end, &order);
    ASSERT_GE(list.ranked(), end);
    for (size_t i = end - 10; i < end; ++i) ASSERT_EQ(order[i], sorted[i].file) << i;
  }
  EXPECT_LT(order[0], order[1]);  // the best score is shared: the smaller number first
}

TEST(Bm25, GroupOccurrencesOfPhrasesAndWindows) {
  using P = std::vector<std::vector<uint32_t>>;
  EXPECT_EQ(norvel::CountGroupOccurrences(P{{1, 5, 9}, {2, 7, 10}}, -1), 2u);  // 1-2, 9-10
  EXPECT_EQ(norvel::CountGroupOccurrences(P{{0, 1, 2}, {0, 1, 2}}, -1), 2u);   // "a a" in a a a
  EXPECT_EQ(norvel::CountGroupOccurrences(P{{10}, {7}}, 0), 0u);  // 4 tokens wide, window 2
  EXPECT_EQ(norvel::CountGroupOccurrences(P{{10}, {7}}, 2), 1u);  // either order
  EXPECT_EQ(norvel::CountGroupOccurrences(P{{1, 20}, {3, 21}}, 1), 2u);
  EXPECT_EQ(norvel::CountGroupOccurrences(P{{1}, {}}, 5), 0u);
}

TEST(Bm25, RarerWordsAndShorterDocumentsWeighMore) {
  norvel::Bm25 bm(1000, 100000);
  EXPECT_GT(bm.Idf(10), bm.Idf(400));
  EXPECT_GT(bm.Idf(1000), 0.0);  // a word in every document still counts a little
  EXPECT_GT(bm.Weight(3, bm.LengthNorm(50), 1), bm.Weight(3, bm.LengthNorm(500), 1));
  EXPECT_GT(bm.Weight(4, bm.LengthNorm(100), 1), bm.Weight(2, bm.LengthNorm(100), 1));
  EXPECT_LT(bm.Weight(1000, bm.LengthNorm(100), 1), 2.2 + 1e-9);  // saturates at k1 + 1
}

TEST(Rank, Bm25PhrasesAndProximityOverPositions) {
  norvel::InMemoryIndex no_words;  // no prefix here: no index words needed
  TableStats stats({
      "printer toner low printer",                                 // 1: both, side by side
      "printer jams on paper jams jams jams and other long text",  // 2: printer, jams often
      "toner printer",                                             // 3: both, the other way
      "the printer is far away from any toner in this long text",  // 4: both, apart
      "nothing here",                                              // 5
      "paper", "paper", "paper", "paper",                          // 6-9: N large enough
  });
  FileList all = All(9);
  norvel::RankOptions plain_bm25{{}, false, 0};
  // Plain BM25: documents 3 and 1 hold both words and are short.
  auto plain =
      norvel::ScoreByRelevance(Words({"printer", "toner"}), no_words, &stats, all, plain_bm25);
  FileList order = Ranked(plain);
  EXPECT_EQ(FileList(order.begin(), order.begin() + 4), (FileList{3, 1, 4, 2}));
  // Proximity: only document 1 has toner right after printer, as the query has them.
  auto near = norvel::ScoreByRelevance(Words({"printer", "toner"}), no_words, &stats, all);
  EXPECT_GT(near[0].score, plain[0].score);
  for (size_t i = 1; i < near.size(); ++i) EXPECT_EQ(near[i].score, plain[i].score) << i;
  // A phrase scores by its own occurrences: "jams on" only in document 2.
  QueryWords phrase;
  phrase.any_terms.push_back({norvel::QueryTerm::Kind::kPhrase, {"jams", "on"}});
  phrase.all_n_any = {"printer"};
  order = Ranked(norvel::ScoreByRelevance(phrase, no_words, &stats, all));
  EXPECT_EQ(order[0], 2u);
  // Exclude words never score; a word typed twice counts once.
  QueryWords twice = Words({"toner", "toner"});
  twice.exclude = {"printer"};
  auto t = norvel::ScoreByRelevance(twice, no_words, &stats, all);
  auto once = norvel::ScoreByRelevance(Words({"toner"}), no_words, &stats, all);
  for (size_t i = 0; i < t.size(); ++i) EXPECT_EQ(t[i].score, once[i].score);
}

TEST(Rank, WithoutPositionsByTermsHeldThenFileNumber) {
  norvel_test::Corpus c;
  c.Add("1.txt", "alpha");
  c.Add("2.txt", "alpha beta gamma");
  c.Add("3.txt", "beta gamma delta");
  c.Add("4.txt", "gamma");
  ASSERT_EQ(c.Build(), 0);
  QueryWords w = Words({"alpha", "gamma", "gam"});
  w.any_terms.push_back({norvel::QueryTerm::Kind::kPrefix, {"del"}});
  FileList order = Ranked(norvel::ScoreByTermsHeld(c.index, c.loaded, w, All(4)));
  EXPECT_EQ(order, (FileList{2, 3, 1, 4}));
}

// A word of many blocks in a built index: its best documents found from the blocks' bounds
// are those of scoring every document, ties by file number included, also when another
// word takes documents out of the result; the ranked list puts them first and goes no
// further.
TEST(Rank, BestOfOneWordFromTheBlocksBoundsAreThoseOfScoringAll) {
  norvel_test::Corpus c;
  std::mt19937 rng(7);
  const int kDocs = 900;  // 8 blocks of the word
  for (int d = 0; d < kDocs; ++d) {
    std::string text;
    int words = 5 + static_cast<int>(rng() % 60), alphas = 1 + static_cast<int>(rng() % 4);
    if (d % 97 == 5) words = 5, alphas = 3;  // equal best scores, far apart
    for (int w = 0; w < words; ++w) text += w < alphas ? "alpha " : "filler ";
    if (d % 3 == 0) text += "beta";
    char name[16];
    std::snprintf(name, sizeof name, "%04d.txt", d);
    c.Add(name, text);
  }
  ASSERT_EQ(c.Build(), 0);
  norvel::PositionsReader reader;
  ASSERT_TRUE(reader.Open(c.index, c.loaded));
  norvel::PositionsStats stats(&reader, c.index, c.loaded);
  FileList all = All(kDocs), no_beta;
  for (uint32_t n : all) {
    if ((n - 1) % 3 != 0) no_beta.push_back(n);
  }
  for (const FileList* result : {&all, &no_beta}) {
    QueryWords w = Words({"alpha"});
    FileList full = Ranked(norvel::ScoreByRelevance(w, c.loaded, &stats, *result));
    for (size_t k : {1, 10, 100}) {
      std::vector<std::pair<size_t, Scored>> best;
      ASSERT_TRUE(norvel::BestByOneWord(w, c.loaded, &stats, *result, k, {}, &best));
      FileList order = *result;
      norvel::RankedList list;
      list.AssignBest(best, &order);
      EXPECT_EQ(FileList(order.begin(), order.begin() + k),
                FileList(full.begin(), full.begin() + k));
      std::sort(order.begin(), order.end());
      EXPECT_EQ(order, *result);  // the others are all still there
      EXPECT_TRUE(list.Covers(k));
      EXPECT_FALSE(list.Covers(k + 1));
    }
  }
  // Two words, or a result no longer than k: every document is scored.
  std::vector<std::pair<size_t, Scored>> best;
  EXPECT_FALSE(
      norvel::BestByOneWord(Words({"alpha", "beta"}), c.loaded, &stats, all, 10, {}, &best));
  EXPECT_FALSE(norvel::BestByOneWord(Words({"alpha"}), c.loaded, &stats,
                                     FileList(all.begin(), all.begin() + 10), 10, {}, &best));
}
