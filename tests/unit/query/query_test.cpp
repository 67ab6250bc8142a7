// Query parsing, evaluation over the four-document corpus, and the query-word table.
#include "query/query.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine_fixture.h"
#include "failing_new.h"

using norvel::FileList;
using norvel::QueryWords;
using norvel::WordTable;
using norvel_test::Corpus;

namespace {

using Words = std::vector<std::string>;

QueryWords Parse(const char* q, const WordTable& exclusions = WordTable()) {
  QueryWords w;
  norvel::parseQuery(q, &w, exclusions);
  return w;
}

WordTable Exclusions(std::initializer_list<const char*> words) {
  WordTable t(static_cast<uint32_t>(words.size()));
  for (const char* w : words) norvel::insertWord(0, w, std::strlen(w), &t);
  return t;
}

// Documents 1 'cat dog', 2 'dog', 3 'cat bird', 4 'bird'.
class FourDocuments : public ::testing::Test {
 protected:
  void SetUp() override {
    c.Add("1.txt", "cat dog");
    c.Add("2.txt", "dog");
    c.Add("3.txt", "cat bird");
    c.Add("4.txt", "bird");
    ASSERT_EQ(c.Build(), 0);
  }
  FileList Results(const char* q) {
    QueryWords words;
    FileList result;
    uint32_t n = norvel::runQuery(q, c.index, c.loaded, &words, &result);
    EXPECT_EQ(n, result.size()) << q;
    return result;
  }
  Corpus c;
};

}  // namespace

TEST(ParseQuery, GroupsAndPrefixes) {
  QueryWords w = Parse("Apple +pie -crust");
  EXPECT_EQ(w.all_n_any, Words{"apple"});
  EXPECT_EQ(w.include, Words{"pie"});
  EXPECT_EQ(w.exclude, Words{"crust"});
  EXPECT_EQ(Parse("  cat   dog ").all_n_any, (Words{"cat", "dog"}));
  EXPECT_EQ(Parse("cat,dog").all_n_any, Words{"cat,dog"});
  EXPECT_EQ(Parse("a+b").all_n_any, Words{"a+b"});
  EXPECT_EQ(Parse("Cat CAT").all_n_any, (Words{"cat", "cat"}));
  EXPECT_EQ(Parse("tab\there").all_n_any, Words{"tab\there"});  // only the blank separates
  QueryWords lone = Parse("cat + -");
  EXPECT_EQ(lone.include, Words{""});
  EXPECT_EQ(lone.exclude, Words{""});
}

TEST(ParseQuery, NothingToSearchFor) {
  QueryWords w;
  EXPECT_EQ(norvel::parseQuery("", &w, WordTable()), -1);
  EXPECT_EQ(norvel::parseQuery("   ", &w, WordTable()), -1);
  EXPECT_EQ(norvel::parseQuery("-cat", &w, WordTable()), -1);
  EXPECT_TRUE(w.exclude.empty());  // all groups are left empty
  EXPECT_EQ(norvel::parseQuery(nullptr, &w, WordTable()), -1);
  EXPECT_EQ(norvel::parseQuery("+cat", &w, WordTable()), 0);
}

TEST(ParseQuery, ExcludedWordsAreDropped) {
  WordTable ex = Exclusions({"the"});
  EXPECT_EQ(Parse("the cat", ex).all_n_any, Words{"cat"});
  QueryWords w = Parse("cat -THE +the", ex);
  EXPECT_TRUE(w.include.empty());
  EXPECT_TRUE(w.exclude.empty());
  QueryWords none;
  EXPECT_EQ(norvel::parseQuery("The", &none, ex), -1);
}

TEST_F(FourDocuments, AllnAnyIncludeExclude) {
  EXPECT_EQ(Results("cat"), (FileList{1, 3}));
  EXPECT_EQ(Results("cat dog"), (FileList{1, 2, 3}));
  EXPECT_EQ(Results("cat dog bird"), (FileList{1, 2, 3, 4}));
  EXPECT_EQ(Results("cat +dog"), (FileList{1}));
  EXPECT_EQ(Results("cat +bird"), (FileList{3}));
  EXPECT_EQ(Results("cat +fish"), FileList{});
  EXPECT_EQ(Results("cat dog -bird"), (FileList{1, 2}));
  EXPECT_EQ(Results("dog -cat"), (FileList{2}));
  EXPECT_EQ(Results("cat -cat"), FileList{});
  EXPECT_EQ(Results("cat cat"), (FileList{1, 3}));
  EXPECT_EQ(Results("fish"), FileList{});
  EXPECT_EQ(Results("fish dog"), (FileList{1, 2}));
  EXPECT_EQ(Results("CAT Dog"), (FileList{1, 2, 3}));
  EXPECT_EQ(Results("cat +"), FileList{});  // an empty Include word is in no document
  EXPECT_EQ(Results("cat -"), (FileList{1, 3}));
}

TEST_F(FourDocuments, AnEmptyPhraseAfterPlusIsAnEmptyIncludeWord) {
  // As 'cat +' finds nothing, so does a '+' before a phrase without tokens...
  for (const char* q : {"cat +\"", "cat +\"\"", "cat +\"!!\"", "+\"\" cat", "+\"\""}) {
    EXPECT_EQ(Results(q), FileList{}) << q;
  }
  // ... while a plain or '-' empty phrase is nothing at all.
  EXPECT_EQ(Results("cat \"\""), (FileList{1, 3}));
  EXPECT_EQ(Results("cat -\"!!\""), (FileList{1, 3}));
  EXPECT_EQ(Results("cat -\""), (FileList{1, 3}));
}

TEST_F(FourDocuments, ASearchOutOfMemoryIsLogged) {
  QueryWords words;
  ASSERT_EQ(norvel::parseQuery("cat dog", &words, c.loaded.exclusions), 0);
  FileList result;
  norvel_test::FailAllocationAfter(0);
  uint32_t n = norvel::evalQuery(c.index, c.loaded, words, &result);
  bool failed = norvel_test::ArmedAllocationFailed();
  norvel_test::FailAllocationAfter(SIZE_MAX);
  ASSERT_TRUE(failed);
  EXPECT_EQ(n, 0u);
  EXPECT_TRUE(result.empty());
  EXPECT_TRUE(c.Logged("evalQuery():Malloc failure for file lists.")) << c.Log();
}

TEST_F(FourDocuments, IncludeWordsAlone) {
  // A query of Include words only yields the documents holding all of them...
  EXPECT_EQ(Results("+cat +dog"), (FileList{1}));
  EXPECT_EQ(Results("+bird"), (FileList{3, 4}));
  EXPECT_EQ(Results("+bird -cat"), (FileList{4}));
  EXPECT_EQ(Results("+bird +fish"), FileList{});
  // ... while AllnAny words that occur nowhere still yield nothing.
  EXPECT_EQ(Results("fish +cat"), FileList{});
}

TEST_F(FourDocuments, NoIndexLoadedFindsNothing) {
  norvel::InMemoryIndex empty;
  QueryWords words;
  FileList result;
  EXPECT_EQ(norvel::runQuery("cat", c.index, empty, &words, &result), 0u);
}

TEST(ListOperations, CountsOfUnionIntersectionAndDifference) {
  FileList acc;
  FileList list = {2, 5, 9};
  EXPECT_EQ(norvel::mergeLists(&acc, &list), 0u);
  EXPECT_EQ(acc, (FileList{2, 5, 9}));
  list = {1, 5, 9, 12};
  EXPECT_EQ(norvel::mergeLists(&acc, &list), 2u);
  EXPECT_EQ(acc, (FileList{1, 2, 5, 9, 12}));
  list = {2, 3, 12};
  EXPECT_EQ(norvel::intersectLists(&acc, &list, 5), 2u);
  EXPECT_EQ(acc, (FileList{2, 12}));
  FileList empty;
  list = {7};
  EXPECT_EQ(norvel::intersectLists(&empty, &list, 0), 0u);  // takes the list, keeps the count
  EXPECT_EQ(empty, (FileList{7}));
  acc = {1, 2, 3, 4};
  EXPECT_EQ(norvel::subtractList(&acc, FileList{0, 2, 4, 8}), 2u);
  EXPECT_EQ(acc, (FileList{1, 3}));
}

TEST(QueryWordTable, HoldsEachAllnAnyAndIncludeWordOnce) {
  QueryWords w = Parse("cat +dog -bird");
  WordTable t(static_cast<uint32_t>(w.all_n_any.size() + w.include.size()));
  norvel::buildQueryWordTable(w, &t);
  EXPECT_EQ(t.size(), 2u);
  EXPECT_EQ(t.word_count(), 2u);
  uint32_t offset = 1;
  EXPECT_EQ(norvel::findWord(t, "CAT", &offset), 0);
  EXPECT_EQ(offset, 0u);
  EXPECT_EQ(norvel::findWord(t, "dog", &offset), 0);
  EXPECT_EQ(norvel::findWord(t, "bird", &offset), -1);
  QueryWords twice = Parse("Cat CAT");
  WordTable t2(2);
  norvel::buildQueryWordTable(twice, &t2);
  EXPECT_EQ(t2.size(), 2u);
  EXPECT_EQ(t2.word_count(), 1u);
}
