// Cutting documents into words, through addFileToIndex and through a whole build (whose
// documents are read ahead on worker threads): block boundaries, length limits, 0x1A,
// the exclusion list and the words limit.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "engine_fixture.h"
#include "index/word_files.h"

using norvel::WordTable;
using norvel_test::Corpus;

namespace {

std::set<std::string> WordsOf(const WordTable& t) {
  std::set<std::string> words;
  for (size_t i = 0; i < t.word_count(); ++i) words.emplace(t.Text(i));
  return words;
}

// The words of one document as addFileToIndex takes them, and as a build indexes them.
void ExpectWords(const std::string& text, const std::set<std::string>& expected) {
  Corpus c;
  c.Add("doc.txt", text);
  WordTable t(1000000);
  uint32_t distinct = 0;
  ASSERT_EQ(norvel::addFileToIndex(1, platform::JoinPath(c.data, "doc.txt"), text.size(), &distinct,
                                   &t, nullptr, 1000000),
            0);
  EXPECT_EQ(WordsOf(t), expected);
  EXPECT_EQ(distinct, expected.size());
  c.Add("zz.txt", "zzfiller");  // a build of a document without words cannot be loaded
  ASSERT_EQ(c.Build(), 0);
  std::set<std::string> built = WordsOf(c.loaded.words);
  built.erase("zzfiller");
  EXPECT_EQ(built, expected);
}

}  // namespace

TEST(DocumentWords, WordRules) {
  ExpectWords("Hello, WORLD! hello", {"hello", "world"});
  ExpectWords("x2-b_c 2abc -abc _abc e-mail caf\xE9", {"x2-b_c", "e-mail", "caf"});
  ExpectWords("abc", {"abc"});
  ExpectWords("abc 2abc", {"abc"});
  ExpectWords("one\r\ntwo\rthree\nfour\tfive", {"one", "two", "three", "four", "five"});
}

TEST(DocumentWords, LengthLimitAlsoAcrossBlocksAndAtTheEnd) {
  std::string w254(254, 'a'), w255(255, 'b');
  ExpectWords(w254 + " " + w255 + " end", {w254, "end"});
  ExpectWords("start " + w255, {"start"});
  ExpectWords("start " + w254, {"start", w254});
  // A 255-letter token across the 1024-byte boundary, and one across the 64 KB one.
  ExpectWords(std::string(900, ' ') + w255 + " x", {"x"});
  ExpectWords(std::string(65536 - 100, ' ') + w255 + " y " + w254, {"y", w254});
}

TEST(DocumentWords, TokensAcrossBlockBoundaries) {
  std::string pad(1021, ' ');
  ExpectWords(pad + "foo bar", {"foo", "bar"});  // 'foo' ends the 1024-byte block
  ExpectWords(pad + " fo" + "o bar", {"foo", "bar"});
  std::string big(65533, ' ');
  ExpectWords(big + "split here", {"split", "here"});
}

TEST(DocumentWords, ByteOneAEndsTheWords) {
  ExpectWords(
      "cat dog\x1A"
      "bird fish",
      {"cat", "dog"});
  ExpectWords("cat\x1A", {"cat"});
  ExpectWords(std::string(70000, ' ') + "late\x1A" + "never", {"late"});
}

TEST(DocumentWords, ExclusionListFollowsTheWordRules) {
  Corpus c;
  c.Exclude("The and OR 2go " + std::string(255, 'z') + "\r\n");
  WordTable ex;
  ASSERT_EQ(norvel::readXcludeWords(c.app, &ex), 0);
  EXPECT_EQ(ex.size(), 5u);  // every token counts toward the size
  EXPECT_EQ(WordsOf(ex), (std::set<std::string>{"the", "and", "or"}));
  c.Add("a.txt", "The cat and THE dog or 2go");
  ASSERT_EQ(c.Build(), 0);
  EXPECT_EQ(WordsOf(c.loaded.words), (std::set<std::string>{"cat", "dog"}));
}

TEST(DocumentWords, MissingOrEmptyExclusionListExcludesNothing) {
  Corpus c;
  WordTable ex;
  EXPECT_EQ(norvel::readXcludeWords(c.app, &ex), 0);
  EXPECT_FALSE(ex.present());
  EXPECT_TRUE(c.Logged("readXcludeWords():Error getting stats."));
  c.Exclude("");
  EXPECT_EQ(norvel::readXcludeWords(c.app, &ex), 0);
  EXPECT_FALSE(ex.present());
  c.Exclude(" ,. \r\n");  // no tokens at all
  EXPECT_EQ(norvel::readXcludeWords(c.app, &ex), 0);
  EXPECT_FALSE(ex.present());
  c.Add("a.txt", "the cat");
  ASSERT_EQ(c.Build(), 0);
  EXPECT_EQ(WordsOf(c.loaded.words), (std::set<std::string>{"the", "cat"}));
}

TEST(DocumentWords, UnopenableFileFails) {
  Corpus c;
  WordTable t(10);
  uint32_t distinct = 0;
  EXPECT_EQ(norvel::addFileToIndex(1, c.root.File("missing.txt"), 5, &distinct, &t, nullptr, 10),
            -1);
  EXPECT_TRUE(c.Logged("addFileToIndex():Cannot open file."));
}

TEST(DocumentWords, WordsLimitFailsAtTheTokenAfterTheCountPassesIt) {
  Corpus c;
  c.Add("d.txt", "a b c d e");
  WordTable t(3);
  uint32_t distinct = 0;
  // Limit 3: the counter may reach 4; the token after that fails (and is entered).
  EXPECT_EQ(
      norvel::addFileToIndex(1, platform::JoinPath(c.data, "d.txt"), 9, &distinct, &t, nullptr, 3),
      -1);
  EXPECT_EQ(distinct, 4u);
  EXPECT_EQ(t.word_count(), 5u);
  EXPECT_TRUE(c.Logged("addFileToIndex():Max words limit reached."));
  // A repeated word after the count passed the limit fails as well.
  c.Add("r.txt", "a b c d d");
  WordTable r(3);
  distinct = 0;
  EXPECT_EQ(
      norvel::addFileToIndex(1, platform::JoinPath(c.data, "r.txt"), 9, &distinct, &r, nullptr, 3),
      -1);
  EXPECT_EQ(r.word_count(), 4u);
}
