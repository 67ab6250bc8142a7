// Loading an index (and refusing damaged ones), swapping a new index in, discarding one,
// and the indexing marker.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/job_progress.h"
#include "engine_fixture.h"
#include "index/build.h"
#include "index/marker.h"
#include "index/swap.h"
#include "platform/dir.h"

using norvel_test::Corpus;
using norvel_test::LE;
using norvel_test::ReadBytes;
using norvel_test::Record;
using norvel_test::WriteBytes;

namespace {

// A small sound index written directly: 'cat' in file 1, 'dog' in files 1 and 2.
void WriteIndex(Corpus& c, const std::string& stats = LE({2, 2})) {
  ASSERT_TRUE(WriteBytes(c.IndexFile("_stats.dat"), stats));
  ASSERT_TRUE(WriteBytes(c.IndexFile("_ndxwrds.dat"), Record(0, "cat") + Record(16, "dog")));
  ASSERT_TRUE(WriteBytes(c.IndexFile("_ndxfile.dat"), LE({0, 1, 0, 0, 1, 2, 0, 0})));
  ASSERT_TRUE(WriteBytes(c.IndexFile("_file0.dat"), Record(0, "a.txt") + Record(0, "b.txt")));
}

// The name records of `count` documents, each as short as a record can be.
std::string ShortestNames(uint32_t count) {
  std::string out;
  out.reserve(count * 6);
  for (uint32_t n = 0; n < count; ++n) out += Record(0, "x");
  return out;
}

// The three lists of an index of 1,200,000 documents, under the current or the new names.
void WriteListsOf1200000(Corpus& c, bool new_index) {
  const uint32_t records[] = {499999, 500000, 200001};
  for (uint32_t k = 0; k < 3; ++k) {
    ASSERT_TRUE(
        WriteBytes(c.IndexFile(norvel::ListFileName(k, new_index)), ShortestNames(records[k])));
  }
}

void ExpectRefused(Corpus& c, const std::string& log_line) {
  EXPECT_EQ(c.Load(), -1) << log_line;
  EXPECT_FALSE(c.loaded.loaded());
  EXPECT_TRUE(c.loaded.name_offsets.empty());
  EXPECT_TRUE(c.Logged(log_line)) << c.Log();
}

}  // namespace

TEST(Load, SoundIndex) {
  Corpus c;
  WriteIndex(c);
  c.Exclude("the");
  ASSERT_EQ(c.Load(), 0);
  EXPECT_EQ(c.loaded.words.size(), 2u);
  EXPECT_EQ(c.loaded.total_files, 2u);
  EXPECT_TRUE(c.loaded.exclusions.Contains("the"));
}

TEST(Load, RefusesMissingOrShortStatistics) {
  Corpus c;
  WriteIndex(c);
  platform::RemoveFile(c.IndexFile("_stats.dat"));
  ExpectRefused(c, "readIndexIntoMem():Cannot read stats.");
  WriteIndex(c, "ab");
  ExpectRefused(c, "readIndexIntoMem():Error reading table size.");
  WriteIndex(c, LE({2}));
  ExpectRefused(c, "readIndexIntoMem():Error reading total files.");
}

TEST(Load, RefusesEmptyWordsAndZeroTableSize) {
  Corpus c;
  WriteIndex(c);
  ASSERT_TRUE(WriteBytes(c.IndexFile("_ndxwrds.dat"), ""));
  ExpectRefused(c, "readIndexIntoMem():Empty index file.");
  WriteIndex(c, LE({0, 2}));
  ExpectRefused(c, "readIndexIntoMem():Bad table size.");
}

TEST(Load, RefusesCutRecordsLongListsAndOffsetsBeyondThePostings) {
  Corpus c;
  WriteIndex(c);
  ASSERT_TRUE(
      WriteBytes(c.IndexFile("_ndxwrds.dat"), Record(0, "cat") + Record(16, "dog").substr(0, 6)));
  ExpectRefused(c, "readIndex():Bad index file format.");
  WriteIndex(c, LE({2, 1}));  // two name records, one file
  ExpectRefused(c, "readFileList():File list longer than expected.");
  WriteIndex(c);
  ASSERT_TRUE(WriteBytes(c.IndexFile("_ndxwrds.dat"), Record(0, "cat") + Record(40, "dog")));
  ExpectRefused(c, "readIndexIntoMem():Posting offset beyond _ndxfile.dat.");
  WriteIndex(c);
  ASSERT_TRUE(WriteBytes(c.IndexFile("_file0.dat"), Record(0, "a.txt") + LE({0}) +
                                                        "\x09"
                                                        "b.t"));
  ExpectRefused(c, "readFileList():Bad file list format.");
}

TEST(Load, ThreeListsForOneMillionTwoHundredThousandFiles) {
  Corpus c;
  WriteIndex(c, LE({2, 1200000}));
  WriteListsOf1200000(c, false);
  ASSERT_EQ(c.Load(), 0);
  ASSERT_EQ(c.loaded.name_offsets.size(), 3u);
  EXPECT_EQ(c.loaded.name_offsets[2].size(), 200001u);
  platform::RemoveFile(c.IndexFile("_file2.dat"));
  ExpectRefused(c, "readFileList():Error opening file list.");
}

TEST(Load, RefusesATotalOfFilesBeyondWhatTheListsCanName) {
  // A damaged total of 2^32 - 1 documents, every one of its 8,590 lists present but only
  // two names in all: the search would expand a posting run up to that total.
  Corpus c;
  WriteIndex(c, LE({2, 0xFFFFFFFFu}));
  ASSERT_TRUE(WriteBytes(c.IndexFile("_ndxfile.dat"), LE({1, 0xFFFFFFFFu, 0, 0, 1, 2, 0, 0})));
  for (uint32_t k = 1; k <= 0xFFFFFFFFu / 500000; ++k) {
    ASSERT_TRUE(WriteBytes(c.IndexFile(norvel::ListFileName(k)), ""));
  }
  ExpectRefused(c, "readFileList():File list shorter than expected.");
  // A list counts for its own numbers only: the records list 0 lacks are not made up by
  // the last list.
  WriteIndex(c, LE({2, 1200000}));
  WriteListsOf1200000(c, false);
  ASSERT_TRUE(WriteBytes(c.IndexFile("_file0.dat"), ShortestNames(499998)));
  ASSERT_TRUE(WriteBytes(c.IndexFile("_file2.dat"), ShortestNames(200002)));
  ExpectRefused(c, "readFileList():File list shorter than expected.");
}

TEST(Swap, RenamesEveryNewFileStatisticsLastAndReloads) {
  Corpus c;
  WriteIndex(c);
  ASSERT_EQ(c.Load(), 0);
  // A new index of 1,200,000 files has three lists.
  ASSERT_TRUE(WriteBytes(c.IndexFile("_newstats.dat"), LE({1, 1200000})));
  ASSERT_TRUE(WriteBytes(c.IndexFile("_newndxwrds.dat"), Record(0, "bird")));
  ASSERT_TRUE(WriteBytes(c.IndexFile("_newndxfile.dat"), LE({0, 3, 0, 0})));
  WriteListsOf1200000(c, true);
  EXPECT_TRUE(norvel::NewIndexPending(c.index));
  norvel::JobProgress progress;
  progress.index_ready = true;
  std::vector<uint32_t> results = {1, 2};
  norvel::RenAndReloadNdx(c.index, c.app, &c.loaded, &results, &progress);
  EXPECT_FALSE(progress.index_ready);
  EXPECT_TRUE(results.empty());
  EXPECT_FALSE(norvel::NewIndexPending(c.index));
  EXPECT_EQ(ReadBytes(c.IndexFile("_stats.dat")), LE({1, 1200000}));
  EXPECT_TRUE(platform::FileExists(c.IndexFile("_file2.dat")));
  ASSERT_TRUE(c.loaded.loaded());
  EXPECT_TRUE(c.loaded.words.Contains("bird"));
  EXPECT_FALSE(c.loaded.words.Contains("cat"));
  ASSERT_FALSE(c.ui.status.empty());
  EXPECT_EQ(c.ui.status.back(), "Loading index. Please wait...");
  EXPECT_TRUE(c.ui.boxes.empty());
}

TEST(Swap, WorksInADirectoryWithBlanks) {
  Corpus c;
  std::string dir = c.root.File("index dir with blanks");
  ASSERT_TRUE(platform::MakeDirectory(dir));
  c.index = dir;
  c.Add("a.txt", "cat dog");
  ASSERT_EQ(c.Build(), 0);
  EXPECT_TRUE(c.loaded.loaded());
  EXPECT_TRUE(platform::FileExists(c.IndexFile("_stats.dat")));
}

TEST(Swap, AFailedRenameIsReportedAndTheSwapStaysPending) {
  Corpus c;
  c.Add("a.txt", "cat");
  ASSERT_EQ(norvel::doIndex(c.data, c.index, c.app, nullptr), 0);
  // A directory where the list file must go cannot be replaced by a file.
  ASSERT_TRUE(platform::MakeDirectory(c.IndexFile("_file0.dat")));
  ASSERT_TRUE(WriteBytes(platform::JoinPath(c.IndexFile("_file0.dat"), "keep"), "x"));
  norvel::RenAndReloadNdx(c.index, c.app, &c.loaded, nullptr, nullptr);
  ASSERT_GE(c.ui.boxes.size(), 1u);
  EXPECT_EQ(c.ui.boxes[0].text, "File write error.RenAndReloadNdx():Renaming files.");
  EXPECT_EQ(c.ui.boxes[0].caption, "Info");
  EXPECT_TRUE(c.Logged("RenAndReloadNdx():Cannot rename _newfile0.dat."));
  EXPECT_TRUE(norvel::NewIndexPending(c.index));  // statistics were not moved
  // The reload finds no loadable index and says so.
  ASSERT_EQ(c.ui.boxes.size(), 2u);
  EXPECT_EQ(c.ui.boxes[1].text, "Index read error.RenAndReloadNdx().");
  // Once the obstacle is gone, the next swap completes it.
  platform::RemoveDirectoryTree(c.IndexFile("_file0.dat"));
  norvel::RenAndReloadNdx(c.index, c.app, &c.loaded, nullptr, nullptr);
  EXPECT_TRUE(c.loaded.loaded());
  EXPECT_FALSE(norvel::NewIndexPending(c.index));
}

TEST(Discard, DeletesTheNewFilesAndKeepsTheCurrentIndex) {
  Corpus c;
  c.Add("a.txt", "cat");
  ASSERT_EQ(c.Build(), 0);
  c.Add("b.txt", "dog");
  ASSERT_EQ(norvel::doIndex(c.data, c.index, c.app, nullptr), 0);
  ASSERT_TRUE(WriteBytes(c.IndexFile("_newfile1.dat"), ""));
  norvel::JobProgress progress;
  progress.index_ready = true;
  norvel::DelNdx(c.index, &progress);
  EXPECT_FALSE(progress.index_ready);
  for (const char* name :
       {"_newstats.dat", "_newndxwrds.dat", "_newndxfile.dat", "_newfile0.dat", "_newfile1.dat"}) {
    EXPECT_FALSE(platform::FileExists(c.IndexFile(name))) << name;
  }
  EXPECT_TRUE(c.ui.boxes.empty());
  ASSERT_EQ(c.Load(), 0);
  EXPECT_EQ(c.loaded.total_files, 1u);
}

TEST(Discard, AFileThatStaysIsReported) {
  Corpus c;
  ASSERT_TRUE(platform::MakeDirectory(c.IndexFile("_newndxwrds.dat")));
  ASSERT_TRUE(WriteBytes(platform::JoinPath(c.IndexFile("_newndxwrds.dat"), "x"), "x"));
  ASSERT_TRUE(WriteBytes(c.IndexFile("_newstats.dat"), LE({0, 0})));
  norvel::DelNdx(c.index, nullptr);
  ASSERT_EQ(c.ui.boxes.size(), 1u);
  EXPECT_EQ(c.ui.boxes[0].text, "File write error.DelNdx():Deleting files.");
  EXPECT_FALSE(norvel::NewIndexPending(c.index));  // the rest went all the same
}

TEST(Marker, ExclusiveNeverWaitingAndReleasedByUnlock) {
  Corpus c;
  std::string marker = platform::JoinPath(c.app, "isndxng.dat");
  EXPECT_FALSE(platform::FileExists(marker));
  norvel::UnlockMarker();  // no lock held: nothing happens
  ASSERT_TRUE(norvel::TryLockMarker(c.app));
  EXPECT_TRUE(platform::FileExists(marker));
  EXPECT_EQ(ReadBytes(marker), "");
  EXPECT_FALSE(norvel::TryLockMarker(c.app));  // the same instance is excluded too
  norvel::UnlockMarker();
  EXPECT_TRUE(norvel::TryLockMarker(c.app));
  norvel::UnlockMarker();
  norvel::UnlockMarker();
}

// A changed word choice reaches readers only with the index built by it: the new rules
// wait beside the new files, are renamed with them, and go when the new index is dropped.
TEST(Swap, TheWordRulesChangeWithTheFilesTheyMade) {
  Corpus c;
  c.Add("a.txt", "Herr M\xC3\xBCller");
  c.Exclude("HERR");
  ASSERT_EQ(c.Build(), 0);
  EXPECT_FALSE(platform::FileExists(c.IndexFile("_words.ini")));
  ASSERT_EQ(norvel::doIndex(c.data, c.index, c.app, nullptr, norvel::BuildTuning(),
                            norvel::WordRules::kInternational),
            0);
  EXPECT_EQ(ReadBytes(c.IndexFile("_newwords.ini")), "words=international\r\n");
  ASSERT_EQ(c.Load(), 0);  // the current files: still the ASCII rules
  EXPECT_EQ(c.loaded.rules, norvel::WordRules::kAscii);
  EXPECT_TRUE(c.loaded.words.Contains("ller"));
  norvel::DelNdx(c.index, nullptr);
  EXPECT_FALSE(platform::FileExists(c.IndexFile("_newwords.ini")));

  ASSERT_EQ(norvel::doIndex(c.data, c.index, c.app, nullptr, norvel::BuildTuning(),
                            norvel::WordRules::kInternational),
            0);
  norvel::RenAndReloadNdx(c.index, c.app, &c.loaded, nullptr, nullptr);
  EXPECT_EQ(c.loaded.rules, norvel::WordRules::kInternational);
  EXPECT_TRUE(c.loaded.words.Contains("muller"));
  EXPECT_FALSE(c.loaded.words.Contains("herr"));  // the exclusion list by the same rules
  EXPECT_TRUE(c.loaded.exclusions.Contains("herr"));
  // A later build without a choice keeps the recorded one.
  ASSERT_EQ(c.Build(), 0);
  EXPECT_EQ(c.loaded.rules, norvel::WordRules::kInternational);
  EXPECT_EQ(ReadBytes(c.IndexFile("_words.ini")), "words=international\r\n");
}
