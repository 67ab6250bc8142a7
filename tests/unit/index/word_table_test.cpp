// The word rules, the word hash, the word table and the tokenizer across blocks.
#include "index/word_table.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "index/tokenizer.h"

using norvel::PostingRun;
using norvel::WordTable;

namespace {

std::vector<std::string> TokensOf(const std::string& text, const std::vector<size_t>& cuts) {
  std::vector<std::string> tokens;
  norvel::TokenScanner scanner;
  auto on = [&](const char* t, size_t len, size_t) {
    tokens.emplace_back(t, len < 255 ? len : 255);
    if (len >= 255) tokens.back() += "#" + std::to_string(len);
    return true;
  };
  size_t from = 0;
  for (size_t cut : cuts) {
    scanner.Feed(text.data() + from, cut - from, on);
    from = cut;
  }
  scanner.Feed(text.data() + from, text.size() - from, on);
  scanner.Finish(on);
  return tokens;
}

std::vector<PostingRun> RunsOf(const WordTable& t, const std::string& word) {
  std::vector<PostingRun> runs;
  long e = t.Find(word.data(), word.size());
  if (e >= 0) t.Runs(static_cast<size_t>(e), &runs);
  return runs;
}

int Add(WordTable* t, std::string word, uint32_t file) {
  return norvel::addNode(&word[0], word.size(), t, file);
}

}  // namespace

TEST(WordHash, MatchesTheDocumentedExamples) {
  EXPECT_EQ(norvel::WordHash("a"), 97u);
  EXPECT_EQ(norvel::WordHash("abc"), 102563u);
  EXPECT_EQ(norvel::WordHash("index"), 113810712u);
  EXPECT_EQ(norvel::WordHash("information"), 39986766u);
  std::string w = "INDEX";
  EXPECT_EQ(norvel::hashWord(&w, 1000000), 810712u);
  EXPECT_EQ(w, "index");  // callers rely on the folding
  w = "Information";
  EXPECT_EQ(norvel::hashWord(&w, 1000000), 986766u);
  EXPECT_EQ(norvel::WordHash("cat") % 1000000, 104596u);
  EXPECT_EQ(norvel::WordHash("dog") % 1000000, 106055u);
}

TEST(WordHash, BytesAboveSevenBitsCountWithTheirSign) {
  // 0xE9 is -23 as a signed char: h = 'f' * 32 - 23, not 'f' * 32 + 233.
  EXPECT_EQ(norvel::WordHash("f\xE9"), 102u * 32 - 23);
  // Long words fold their top four bits back in: compare with a direct transcription.
  std::string word(40, 'z');
  uint32_t h = 0;
  for (char c : word) {
    h = (h << 5) + static_cast<uint32_t>(static_cast<int>(static_cast<signed char>(c)));
    uint32_t g = h & 0xF0000000u;
    if (g) h = h ^ (g >> 24) ^ g;
  }
  EXPECT_EQ(norvel::WordHash(word), h);
}

TEST(WordRules, FoldingFirstLetterAndKeys) {
  std::string s = "MiXeD-Case_09\xC9";
  norvel::toLowerWord(&s);
  EXPECT_EQ(s, "mixed-case_09\xC9");
  EXPECT_TRUE(norvel::startsWithLetter("x2"));
  EXPECT_FALSE(norvel::startsWithLetter("2x"));
  EXPECT_FALSE(norvel::startsWithLetter("-x"));
  EXPECT_FALSE(norvel::startsWithLetter("_x"));
  EXPECT_FALSE(norvel::startsWithLetter(""));
  // FoldToken folds eight bytes at a time; its key must equal the key of the folded text.
  const std::vector<std::string> tokens = {"A",
                                           "Zebra",
                                           "ABCDEFGH",
                                           "AbCdEfGhI",
                                           "x2-B_c",
                                           "Q_-09azAZ[@`{",
                                           std::string(254, 'Q'),
                                           "a" + std::string(17, '_')};
  for (const std::string& token : tokens) {
    char folded[254 + norvel::kTokenSlack];
    uint32_t key = 0;
    std::string padded = token + std::string(norvel::kTokenSlack, '#');  // read past the end
    bool word = norvel::FoldToken(padded.data(), token.size(), folded, &key);
    if (!word) continue;
    std::string expect = token;
    norvel::toLowerWord(&expect);
    EXPECT_EQ(std::string(folded, token.size()), expect);
    EXPECT_EQ(key, norvel::WordKey(expect.data(), expect.size())) << token;
  }
  char folded[254 + norvel::kTokenSlack];
  uint32_t key;
  EXPECT_FALSE(norvel::FoldToken(std::string(263, 'a').data(), 255, folded, &key));
  EXPECT_FALSE(norvel::FoldToken("9lives  ", 6, folded, &key));
}

TEST(WordTable, RunsGrowOnConsecutiveFilesAndCountAWordOncePerFile) {
  WordTable t(1000000);
  EXPECT_EQ(Add(&t, "Word", 1), 1);
  EXPECT_EQ(Add(&t, "word", 1), 0);
  EXPECT_EQ(Add(&t, "WORD", 2), 0);
  EXPECT_EQ(Add(&t, "word", 3), 0);
  EXPECT_EQ(Add(&t, "word", 5), 0);
  EXPECT_EQ(Add(&t, "other", 7), 1);
  std::vector<PostingRun> runs = RunsOf(t, "word");
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].first, 1u);
  EXPECT_EQ(runs[0].last, 3u);
  EXPECT_EQ(runs[1].first, 0u);
  EXPECT_EQ(runs[1].last, 5u);
  runs = RunsOf(t, "other");
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].first, 0u);
  EXPECT_EQ(runs[0].last, 7u);
  EXPECT_EQ(t.word_count(), 2u);
}

TEST(WordTable, CompressedRunsComeBackWhateverTheirGapsAndNumber) {
  // Many words of many runs: single numbers and ranges, gaps of every varint width, runs
  // enough to fill slices of every size.
  WordTable t(1000000);
  std::mt19937 rng(5);
  std::vector<std::vector<PostingRun>> expect(40);
  std::vector<uint32_t> next(expect.size(), 1);
  for (int step = 0; step < 20000; ++step) {
    size_t w = rng() % expect.size();
    uint32_t gap_bits = 1 + rng() % 30;
    uint32_t start = next[w] + 1 + (rng() & ((1u << (gap_bits < 28 ? gap_bits : 27)) - 1));
    if (step % 500 == 0 || start > 0xF0000000u) continue;
    uint32_t length = rng() % 3 ? 1 : 1 + rng() % 300;
    std::string word = "w" + std::to_string(w);
    for (uint32_t f = start; f < start + length; ++f) Add(&t, word, f);
    expect[w].push_back(PostingRun{length == 1 ? 0 : start, start + length - 1});
    next[w] = start + length;
  }
  for (size_t w = 0; w < expect.size(); ++w) {
    std::vector<PostingRun> runs = RunsOf(t, "w" + std::to_string(w));
    ASSERT_EQ(runs.size(), expect[w].size()) << w;
    EXPECT_EQ(t.RunCount(static_cast<size_t>(
                  t.Find(("w" + std::to_string(w)).data(), ("w" + std::to_string(w)).size()))),
              expect[w].size());
    for (size_t i = 0; i < runs.size(); ++i) {
      ASSERT_EQ(runs[i].first, expect[w][i].first) << w << " " << i;
      ASSERT_EQ(runs[i].last, expect[w][i].last) << w << " " << i;
    }
  }
}

TEST(WordTable, InsertKeepsTheFirstOffsetAndFindFolds) {
  WordTable t(3);
  EXPECT_EQ(norvel::insertWord(16, "dog", 3, &t), 0);
  EXPECT_EQ(norvel::insertWord(99, "dog", 3, &t), 0);
  uint32_t offset = 0;
  EXPECT_EQ(norvel::findWord(t, "DoG", &offset), 0);
  EXPECT_EQ(offset, 16u);
  EXPECT_EQ(norvel::findWord(t, "cat", &offset), -1);
  EXPECT_EQ(norvel::findWord(WordTable(), "dog", &offset), -1);  // absent table
  EXPECT_EQ(t.word_count(), 1u);
}

TEST(WordTable, WriterOrderIsBucketThenFirstMet) {
  WordTable t(1000000);
  // Many words, so that several share buckets of a small table too.
  std::vector<std::string> words;
  for (int i = 0; i < 3000; ++i) words.push_back("w" + std::to_string(i * 7919 % 10007));
  for (const std::string& w : words) Add(&t, w, 1);
  std::vector<uint32_t> order = t.BucketOrder();
  ASSERT_EQ(order.size(), t.word_count());
  for (size_t i = 1; i < order.size(); ++i) {
    uint32_t b0 = t.Hash(order[i - 1]) % 1000000, b1 = t.Hash(order[i]) % 1000000;
    ASSERT_LE(b0, b1);
    if (b0 == b1) {
      EXPECT_LT(order[i - 1], order[i]);  // entries are numbered first-met
    }
  }
  WordTable small(7);
  for (const std::string& w : words) Add(&small, w, 1);
  std::vector<uint32_t> small_order = small.BucketOrder();
  for (size_t i = 1; i < small_order.size(); ++i) {
    uint32_t b0 = small.Hash(small_order[i - 1]) % 7, b1 = small.Hash(small_order[i]) % 7;
    ASSERT_LE(b0, b1);
    if (b0 == b1) {
      EXPECT_LT(small_order[i - 1], small_order[i]);
    }
  }
}

TEST(TokenScanner, TokensDoNotDependOnWhereBlocksEnd) {
  std::mt19937 rng(7);
  const std::string alphabet = "abcXYZ09-_ .,\n\r\t\x80\xFF";
  for (int round = 0; round < 40; ++round) {
    std::string text;
    size_t n = rng() % 400;
    for (size_t i = 0; i < n; ++i) text.push_back(alphabet[rng() % alphabet.size()]);
    if (round % 5 == 0) text += std::string(300, 'q');  // a token over 254 characters
    std::vector<std::string> whole = TokensOf(text, {});
    for (size_t cut = 0; cut <= text.size(); cut += 1 + rng() % 5) {
      EXPECT_EQ(TokensOf(text, {cut}), whole) << "cut at " << cut;
    }
    EXPECT_EQ(TokensOf(text, {text.size() / 3, text.size() / 2}), whole);
  }
}

TEST(TokenScanner, ReportsTheSeparatorOffsetInItsBlock) {
  std::vector<std::pair<std::string, size_t>> got;
  norvel::TokenScanner scanner;
  auto on = [&](const char* t, size_t len, size_t sep) {
    got.emplace_back(std::string(t, len), sep);
    return true;
  };
  scanner.Feed("fo", 2, on);
  scanner.Feed("o bar", 5, on);
  scanner.Finish(on);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0], std::make_pair(std::string("foo"), size_t{1}));
  EXPECT_EQ(got[1], std::make_pair(std::string("bar"), norvel::TokenScanner::kEndOfText));
}
