// The index files byte for byte, and their readers: words, file lists, postings.
#include "index/index_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/job_progress.h"
#include "engine_fixture.h"
#include "special_files.h"

using norvel_test::Corpus;
using norvel_test::LE;
using norvel_test::MakeSymbolicLink;
using norvel_test::ReadBytes;
using norvel_test::Record;
using norvel_test::WriteBytes;

TEST(IndexFiles, TwoDocumentExampleByteForByte) {
  Corpus c;
  c.Add("a.txt", "cat dog");
  c.Add("b.txt", "dog");
  ASSERT_EQ(norvel::doIndex(c.data, c.index, c.app, nullptr), 0);
  EXPECT_EQ(ReadBytes(c.IndexFile("_newstats.dat")), LE({2, 2}));
  EXPECT_EQ(ReadBytes(c.IndexFile("_newndxwrds.dat")), Record(0, "cat") + Record(16, "dog"));
  EXPECT_EQ(ReadBytes(c.IndexFile("_newndxfile.dat")), LE({0, 1, 0, 0, 1, 2, 0, 0}));
  EXPECT_EQ(ReadBytes(c.IndexFile("_newfile0.dat")), Record(0, "a.txt") + Record(0, "b.txt"));
  ASSERT_EQ(c.Build(), 0);
  EXPECT_EQ(ReadBytes(c.IndexFile("_stats.dat")), LE({2, 2}));
  ASSERT_TRUE(c.loaded.loaded());
  ASSERT_EQ(c.loaded.name_offsets.size(), 1u);
  EXPECT_EQ(c.loaded.name_offsets[0], (std::vector<uint32_t>{4, 14}));
}

TEST(IndexFiles, SaveWritesBucketOrderAndCountsWordsSaved) {
  Corpus c;
  norvel::WordTable t(norvel::kBuildTableSize);
  // 'information' (bucket 986766) is met first but written after 'index' (810712).
  for (const char* w : {"information", "index", "cat"}) {
    std::string word = w;
    norvel::addNode(&word[0], word.size(), &t, 1);
  }
  std::string w = "cat";
  norvel::addNode(&w[0], 3, &t, 2);
  norvel::JobProgress progress;
  ASSERT_EQ(norvel::saveIndex(&t, c.index, 2, 3, &progress), 0);
  EXPECT_EQ(progress.words_saved.load(), 3u);
  EXPECT_EQ(ReadBytes(c.IndexFile("_newndxwrds.dat")),
            Record(0, "cat") + Record(16, "index") + Record(32, "information"));
  EXPECT_EQ(ReadBytes(c.IndexFile("_newndxfile.dat")), LE({1, 2, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0}));
  EXPECT_EQ(ReadBytes(c.IndexFile("_newstats.dat")), LE({3, 2}));
}

// A large save is written in two halves at once: read back, every word's record must
// point at exactly its own runs, in bucket order, in files without gaps or overlaps; the
// same words in two parts (runs joined where the parts meet) must give the same bytes.
TEST(IndexFiles, ALargeSaveInHalvesPointsEveryWordAtItsRuns) {
  Corpus c;
  norvel::WordTable whole(norvel::kBuildTableSize), first(norvel::kBuildTableSize),
      second(norvel::kBuildTableSize);
  const uint32_t kWords = 70000, kFiles = 40, kCut = 20;
  for (uint32_t i = 0; i < kWords; ++i) {
    std::string word = "w" + std::to_string(i * 7919u % 1000003u);
    for (uint32_t f = 1; f <= kFiles; ++f) {
      if ((i + f * f) % (2 + i % 5) != 0 && f != kCut && f != kCut + 1) continue;
      std::string a = word, b = word;
      norvel::addNode(&a[0], a.size(), &whole, f);
      norvel::addNode(&b[0], b.size(), f <= kCut ? &first : &second, f <= kCut ? f : f - kCut);
    }
  }
  norvel::JobProgress progress;
  ASSERT_EQ(norvel::saveIndex(&whole, c.index, kFiles, kWords, &progress), 0);
  EXPECT_EQ(progress.words_saved.load(), kWords);
  std::string words = ReadBytes(c.IndexFile("_newndxwrds.dat"));
  std::string postings = ReadBytes(c.IndexFile("_newndxfile.dat"));
  auto u32 = [](const std::string& s, size_t at) {
    uint32_t v = 0;
    for (int k = 3; k >= 0; --k) v = v << 8 | static_cast<unsigned char>(s[at + k]);
    return v;
  };
  size_t at = 0, expected_offset = 0, count = 0;
  uint32_t last_bucket = 0;
  while (at < words.size()) {
    uint32_t offset = u32(words, at);
    std::string word = words.substr(at + 5, static_cast<unsigned char>(words[at + 4]));
    at += 5 + word.size();
    ASSERT_EQ(offset, expected_offset) << word;
    uint32_t bucket = norvel::WordHash(word) % norvel::kBuildTableSize;
    ASSERT_GE(bucket, last_bucket);
    last_bucket = bucket;
    std::vector<norvel::PostingRun> runs;
    whole.Runs(static_cast<size_t>(whole.Find(word.data(), word.size())), &runs);
    for (const norvel::PostingRun& r : runs) {
      ASSERT_EQ(u32(postings, offset), r.first) << word;
      ASSERT_EQ(u32(postings, offset + 4), r.last) << word;
      offset += 8;
    }
    ASSERT_EQ(u32(postings, offset) | u32(postings, offset + 4), 0u) << word;
    expected_offset = offset + 8;
    ++count;
  }
  EXPECT_EQ(count, kWords);
  EXPECT_EQ(postings.size(), expected_offset);
  // The same words in two parts.
  norvel_test::ScratchDir parts;
  std::vector<norvel::TableSegment> segments{{&first, 0}, {&second, kCut}};
  norvel::MergedWords merged;
  norvel::MergeWords(segments, &merged);
  ASSERT_EQ(norvel::saveIndex(segments, merged, parts.path(), kFiles, kWords, nullptr), 0);
  EXPECT_EQ(ReadBytes(platform::JoinPath(parts.path(), "_newndxwrds.dat")), words);
  EXPECT_EQ(ReadBytes(platform::JoinPath(parts.path(), "_newndxfile.dat")), postings);
}

TEST(IndexFiles, TheBuildWritesNothingThroughALinkAtANewName) {
  struct Planted {
    const char* name;
    const char* log_line;
  };
  for (Planted p : {Planted{"_newndxwrds.dat", "saveIndex():Cannot write index."},
                    Planted{"_newndxfile.dat", "saveIndex():Cannot write index."},
                    Planted{"_newfile0.dat", "doIndex():Cannot write file list."}}) {
    Corpus c;
    c.Add("a.txt", "cat dog");
    std::string victim = c.root.File("victim.txt");
    ASSERT_TRUE(WriteBytes(victim, "precious"));
    if (!MakeSymbolicLink(victim, c.IndexFile(p.name))) GTEST_SKIP() << "no symbolic links here";
    EXPECT_EQ(norvel::doIndex(c.data, c.index, c.app, nullptr), -1) << p.name;
    EXPECT_TRUE(c.Logged(p.log_line)) << p.name << c.Log();
    EXPECT_EQ(ReadBytes(victim), "precious") << p.name;
    EXPECT_FALSE(platform::FileExists(c.IndexFile("_newstats.dat"))) << p.name;
  }
  // Nor is the target of a dangling link created.
  Corpus c;
  c.Add("a.txt", "cat dog");
  std::string target = c.root.File("made-through-the-link");
  ASSERT_TRUE(MakeSymbolicLink(target, c.IndexFile("_newndxwrds.dat")));
  EXPECT_EQ(norvel::doIndex(c.data, c.index, c.app, nullptr), -1);
  EXPECT_FALSE(platform::FileExists(target));
}

TEST(IndexFiles, ReadIndexRefusesShortAndCutRecords) {
  Corpus c;
  std::string path = c.IndexFile("w.dat");
  norvel::WordTable t(5);
  uint32_t records = 0;
  ASSERT_TRUE(WriteBytes(path, "abcd"));
  EXPECT_EQ(norvel::readIndex(path, 4, &records, &t), -1);
  EXPECT_TRUE(c.Logged("readIndex():Bad index file format."));
  std::string good = Record(0, "cat") + Record(16, "DOG");
  ASSERT_TRUE(WriteBytes(path, good));
  EXPECT_EQ(norvel::readIndex(path, good.size(), &records, &t), 0);
  EXPECT_EQ(records, 2u);
  uint32_t offset = 0;
  EXPECT_EQ(norvel::findWord(t, "dog", &offset), 0);  // loaded words are folded
  EXPECT_EQ(offset, 16u);
  ASSERT_TRUE(WriteBytes(path, good.substr(0, good.size() - 1)));
  norvel::WordTable cut(5);
  EXPECT_EQ(norvel::readIndex(path, good.size() - 1, &records, &cut), -1);
  ASSERT_TRUE(WriteBytes(path, good + Record(32, "")));
  norvel::WordTable empty_word(5);
  EXPECT_EQ(norvel::readIndex(path, good.size() + 5, &records, &empty_word), -1);
  EXPECT_EQ(norvel::readIndex(c.IndexFile("none.dat"), 10, &records, &t), -1);
  EXPECT_TRUE(c.Logged("readIndex():Cannot open file."));
}

TEST(IndexFiles, FileListsHoldAtMostTotalFilesAndHalfAMillionRecords) {
  Corpus c;
  std::vector<std::vector<uint32_t>> tables;
  ASSERT_TRUE(WriteBytes(c.IndexFile("_file0.dat"), Record(0, "a.txt") + Record(0, "bb.txt")));
  EXPECT_EQ(norvel::readFileList(c.index, 1, 2, &tables), 0);
  EXPECT_EQ(tables[0], (std::vector<uint32_t>{4, 14}));
  EXPECT_EQ(norvel::readFileList(c.index, 1, 1, &tables), -1);
  EXPECT_TRUE(c.Logged("readFileList():File list longer than expected."));
  ASSERT_TRUE(WriteBytes(c.IndexFile("_file0.dat"), Record(0, "a.txt") + LE({0}) +
                                                        "\x05"
                                                        "b."));
  EXPECT_EQ(norvel::readFileList(c.index, 1, 2, &tables), -1);  // record cut off
  EXPECT_TRUE(c.Logged("readFileList():Bad file list format."));
  // 500,001 records cannot be held by one table, whatever total files says.
  std::string big;
  for (int i = 0; i < 500001; ++i) big += Record(0, "x");
  ASSERT_TRUE(WriteBytes(c.IndexFile("_file0.dat"), big));
  std::string list1;
  for (int i = 0; i < 100001; ++i) list1 += Record(0, "y");
  ASSERT_TRUE(WriteBytes(c.IndexFile("_file1.dat"), list1));
  EXPECT_EQ(norvel::readFileList(c.index, 2, 600000, &tables), -1);
  big.resize(big.size() - 6);
  ASSERT_TRUE(WriteBytes(c.IndexFile("_file0.dat"), big));
  EXPECT_EQ(norvel::readFileList(c.index, 2, 600000, &tables), 0);
  EXPECT_EQ(tables[0].size(), 500000u);
  EXPECT_EQ(tables[0][499998], 4u + 6u * 499998u);
  EXPECT_EQ(tables[1].size(), 100001u);
  EXPECT_EQ(tables[1][0], 4u);
  platform::RemoveFile(c.IndexFile("_file1.dat"));
  EXPECT_EQ(norvel::readFileList(c.index, 2, 600000, &tables), -1);
  EXPECT_TRUE(c.Logged("readFileList():Error opening file list."));
}

TEST(IndexFiles, ListAndRecordOfAFileNumber) {
  EXPECT_EQ(norvel::ListOfFile(1), 0u);
  EXPECT_EQ(norvel::RecordOfFile(1), 0u);
  EXPECT_EQ(norvel::ListOfFile(499999), 0u);
  EXPECT_EQ(norvel::RecordOfFile(499999), 499998u);
  EXPECT_EQ(norvel::ListOfFile(500000), 1u);
  EXPECT_EQ(norvel::RecordOfFile(500000), 0u);
  EXPECT_EQ(norvel::ListOfFile(1000000), 2u);
  EXPECT_EQ(norvel::RecordOfFile(1000000), 0u);
  EXPECT_EQ(norvel::ListFileName(2), "_file2.dat");
  EXPECT_EQ(norvel::ListFileName(1, true), "_newfile1.dat");
}

namespace {

// A postings file of one word at offset 0, and the numbers getFileList reads from it.
std::vector<uint32_t> ReadPostings(Corpus& c, const std::string& pairs, uint32_t total_files) {
  EXPECT_TRUE(WriteBytes(c.IndexFile("_ndxfile.dat"), pairs));
  norvel::WordTable words(1);
  norvel::insertWord(0, "w", 1, &words);
  std::vector<uint32_t> list;
  norvel::getFileList(c.index, words, total_files, "w", &list);
  return list;
}

}  // namespace

TEST(IndexFiles, PostingPairs) {
  Corpus c;
  EXPECT_EQ(ReadPostings(c, LE({0, 2, 4, 6, 0, 9, 0, 0}), 100),
            (std::vector<uint32_t>{2, 4, 5, 6, 9}));
  // (4, 2) yields nothing; (0, 0) ends the word even with pairs after it.
  EXPECT_EQ(ReadPostings(c, LE({4, 2, 0, 7, 0, 0, 0, 8}), 100), (std::vector<uint32_t>{7}));
  // The end of the file ends the list too; a cut pair is ignored.
  EXPECT_EQ(ReadPostings(c, LE({0, 3, 0}), 100), (std::vector<uint32_t>{3}));
  // Across the 1024-byte read blocks.
  std::string many;
  std::vector<uint32_t> expect;
  for (uint32_t n = 1; n <= 300; ++n) {
    many += LE({0, n * 2});
    expect.push_back(n * 2);
  }
  EXPECT_EQ(ReadPostings(c, many + LE({0, 0}), 1000), expect);
}

TEST(IndexFiles, DamagedPostingsNeverYieldImpossibleNumbers) {
  Corpus c;
  // Numbers above total files name no document (a build that failed on a document
  // saves that document's words without its name): they are left out.
  EXPECT_EQ(ReadPostings(c, LE({0, 2, 3, 4000000000u, 0, 0}), 5),
            (std::vector<uint32_t>{2, 3, 4, 5}));
  // Pairs that do not ascend are damage: the word then has no documents.
  EXPECT_TRUE(ReadPostings(c, LE({0, 5, 0, 5, 0, 0}), 10).empty());
  EXPECT_TRUE(ReadPostings(c, LE({3, 6, 0, 4, 0, 0}), 10).empty());
  EXPECT_TRUE(c.Logged("getFileList():Bad postings in file index."));
}

TEST(IndexFiles, AbsentWordHasNoListAndNoLogLine) {
  Corpus c;
  ASSERT_TRUE(WriteBytes(c.IndexFile("_ndxfile.dat"), LE({0, 1, 0, 0})));
  norvel::WordTable words(1);
  norvel::insertWord(0, "w", 1, &words);
  std::vector<uint32_t> list;
  EXPECT_FALSE(norvel::getFileList(c.index, words, 5, "fish", &list));
  EXPECT_EQ(c.Log(), "");
  platform::RemoveFile(c.IndexFile("_ndxfile.dat"));
  EXPECT_FALSE(norvel::getFileList(c.index, words, 5, "w", &list));
  EXPECT_TRUE(c.Logged("getFileList():Error reading statis file index."));
}
