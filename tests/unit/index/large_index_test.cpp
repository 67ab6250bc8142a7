// Indexes past the sizes of small ones: more distinct words than the build's table has
// buckets, and a postings file larger than 2 GB.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <numeric>
#include <string>
#include <vector>

#include "engine_fixture.h"
#include "index/build.h"
#include "index/index_files.h"
#include "index/swap.h"
#include "index/word_hash.h"
#include "index/word_table.h"

using norvel_test::Corpus;
using norvel_test::LE;
using norvel_test::ReadBytes;

namespace {

// Word i: "w" and the letters of i in base 26, so every word is new and starts with a letter.
std::string WordOf(uint32_t i) {
  std::string w = "w";
  do {
    w += static_cast<char>('a' + i % 26);
    i /= 26;
  } while (i);
  return w;
}

// Writes bytes at a file offset past 2 GB; the bytes before it stay a hole, so the file
// takes no room. The C library's 64-bit seek, not the one under test.
bool WriteAt(const std::string& path, uint64_t offset, const std::string& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
#ifdef _WIN32
  bool ok = _fseeki64(f, static_cast<int64_t>(offset), SEEK_SET) == 0;
#else
  bool ok = fseeko(f, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
  ok = ok && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

TEST(ManyWords, ABuildPastAMillionDistinctWordsKeepsEveryWord) {
  // 1,200 documents of 1,000 words that no other document holds: 1,200,000 words.
  constexpr uint32_t kDocuments = 1200, kPerDocument = 1000;
  constexpr uint32_t kWords = kDocuments * kPerDocument;
  static_assert(kWords > norvel::kBuildTableSize, "more words than buckets");
  Corpus c;
  std::vector<std::string> words(kWords);
  for (uint32_t d = 0; d < kDocuments; ++d) {
    std::string text;
    for (uint32_t i = d * kPerDocument; i < (d + 1) * kPerDocument; ++i) {
      words[i] = WordOf(i);
      text += words[i] + (i % 10 == 9 ? "\r\n" : " ");
    }
    char name[16];
    std::snprintf(name, sizeof name, "d%04u.txt", d + 1);  // listing order is file order
    c.Add(name, text);
  }
  // Two parts on threads, merged when saved, as a build on a multi-core machine runs.
  norvel::BuildTuning tuning;
  tuning.threads = 2;
  tuning.min_part_documents = 1;
  ASSERT_EQ(norvel::doIndex(c.data, c.index, c.app, nullptr, tuning), 0) << c.Log();
  EXPECT_EQ(ReadBytes(c.IndexFile("_newstats.dat")), LE({kWords, kDocuments}));

  // The records: by bucket of the 1,000,000-bucket hash, first-met order inside; each
  // word's postings are its one document and the terminator, 16 bytes.
  std::vector<uint32_t> order(kWords);
  std::iota(order.begin(), order.end(), 0u);
  std::vector<uint32_t> bucket(kWords);
  for (uint32_t i = 0; i < kWords; ++i) {
    bucket[i] = norvel::WordHash(words[i]) % norvel::kBuildTableSize;
  }
  std::stable_sort(order.begin(), order.end(),
                   [&](uint32_t a, uint32_t b) { return bucket[a] < bucket[b]; });
  std::string expected_words, expected_postings;
  std::vector<uint32_t> offset_of(kWords);
  for (uint32_t rank = 0; rank < kWords; ++rank) {
    uint32_t i = order[rank];
    offset_of[i] = rank * 16;
    expected_words += norvel_test::Record(offset_of[i], words[i]);
    expected_postings += LE({0, i / kPerDocument + 1, 0, 0});
  }
  EXPECT_TRUE(ReadBytes(c.IndexFile("_newndxwrds.dat")) == expected_words);
  EXPECT_TRUE(ReadBytes(c.IndexFile("_newndxfile.dat")) == expected_postings);

  // Loaded, every word is there with its posting offset; the last one, met long after
  // the millionth, is found by a search of the postings.
  ASSERT_TRUE(norvel::NewIndexPending(c.index));
  norvel::RenAndReloadNdx(c.index, c.app, &c.loaded, nullptr, nullptr);
  ASSERT_TRUE(c.loaded.loaded()) << c.Log();
  EXPECT_EQ(c.loaded.words.word_count(), kWords);
  uint32_t missing = 0, misplaced = 0;
  for (uint32_t i = 0; i < kWords; ++i) {
    uint32_t offset = 0;
    if (norvel::findWord(c.loaded.words, words[i], &offset) != 0) {
      ++missing;
    } else if (offset != offset_of[i]) {
      ++misplaced;
    }
  }
  EXPECT_EQ(missing, 0u);
  EXPECT_EQ(misplaced, 0u);
  std::vector<uint32_t> files;
  ASSERT_TRUE(norvel::getFileList(c.index, c.loaded.words, c.loaded.total_files, words[kWords - 1],
                                  &files));
  EXPECT_EQ(files, std::vector<uint32_t>{kDocuments});
}

// Posting offsets are 32-bit: a postings file may reach 4 GB, and a word whose postings
// lie past 2 GB must be found like any other.
TEST(LargeIndex, PostingsPastTwoGigabytesAreRead) {
  Corpus c;
  const uint32_t kFar = 0x90000000u;  // 2.25 GB
  ASSERT_TRUE(norvel_test::WriteBytes(c.IndexFile("_stats.dat"), LE({2, 3})));
  ASSERT_TRUE(
      norvel_test::WriteBytes(c.IndexFile("_ndxwrds.dat"),
                              norvel_test::Record(0, "near") + norvel_test::Record(kFar, "far")));
  ASSERT_TRUE(norvel_test::WriteBytes(
      c.IndexFile("_file0.dat"), norvel_test::Record(0, "a.txt") + norvel_test::Record(0, "b.txt") +
                                     norvel_test::Record(0, "c.txt")));
  std::string postings = LE({2, 3, 0, 0});
  ASSERT_TRUE(WriteAt(c.IndexFile("_ndxfile.dat"), kFar, postings));
  {
    // The near word's postings at the start of the same file.
    std::FILE* f = std::fopen(c.IndexFile("_ndxfile.dat").c_str(), "r+b");
    ASSERT_TRUE(f);
    std::string near = LE({0, 1, 0, 0});
    EXPECT_EQ(std::fwrite(near.data(), 1, near.size(), f), near.size());
    std::fclose(f);
  }
  ASSERT_EQ(c.Load(), 0) << c.Log();
  std::vector<uint32_t> files;
  ASSERT_TRUE(norvel::getFileList(c.index, c.loaded.words, c.loaded.total_files, "near", &files));
  EXPECT_EQ(files, std::vector<uint32_t>{1});
  EXPECT_TRUE(norvel::getFileList(c.index, c.loaded.words, c.loaded.total_files, "far", &files))
      << c.Log();
  EXPECT_EQ(files, (std::vector<uint32_t>{2, 3}));
  EXPECT_FALSE(c.Logged("getFileList():Seek error in file index."));
}
