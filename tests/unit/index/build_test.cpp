// The index build: numbering, empty documents, stopping, failures, and its equality with
// a plain sequential build made of addFileToIndex and saveIndex.
#include "index/build.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/job_progress.h"
#include "engine_fixture.h"
#include "index/name_reader.h"
#include "index/word_files.h"
#include "platform/dir.h"

#ifndef _WIN32
#include <sys/resource.h>

#include <csignal>
#endif

using norvel_test::Corpus;
using norvel_test::LE;
using norvel_test::ReadBytes;
using norvel_test::Record;
using norvel_test::WriteBytes;

namespace {

const char* kNewFiles[] = {"_newstats.dat", "_newndxwrds.dat", "_newndxfile.dat", "_newfile0.dat"};

// The build as a plain loop over addFileToIndex, the way the index was always defined:
// returns the files written, or -1 at the first failing document.
int ReferenceBuild(const Corpus& c, const std::string& out_dir, uint32_t* distinct_out) {
  norvel::WordTable ex, table(norvel::kBuildTableSize);
  if (norvel::readXcludeWords(c.app, &ex) != 0) return -1;
  std::vector<std::string> names;
  platform::ListDirectory(c.data, "*.txt", &names);
  std::string list;
  uint32_t file = 0, distinct = 0;
  int result = 0;
  for (const std::string& name : names) {
    platform::FileStatus st;
    platform::GetFileStatus(platform::JoinPath(c.data, name), &st);
    if (st.size == 0) continue;
    ++file;
    if (norvel::addFileToIndex(file, platform::JoinPath(c.data, name), st.size, &distinct, &table,
                               &ex, norvel::kBuildTableSize) != 0) {
      result = -1;
      break;
    }
    list += Record(0, name);
  }
  uint32_t written = result == 0 ? file : file - 1;
  EXPECT_TRUE(WriteBytes(platform::JoinPath(out_dir, "_newfile0.dat"), list));
  EXPECT_EQ(norvel::saveIndex(&table, out_dir, written, distinct, nullptr), 0);
  *distinct_out = distinct;
  return result == 0 ? static_cast<int>(written) : -1;
}

// Watches a counter from a thread of its own while a build runs: the largest value it
// showed and whether it ever went back.
class CounterWatch {
 public:
  explicit CounterWatch(const std::atomic<uint32_t>& counter)
      : counter_(counter), thread_([this] { Run(); }) {}
  ~CounterWatch() { Stop(); }
  void Stop() {
    done_ = true;
    if (thread_.joinable()) thread_.join();
  }
  uint32_t largest() const { return largest_; }
  bool went_back() const { return went_back_; }

 private:
  void Run() {
    uint32_t last = 0;
    while (!done_) {
      uint32_t now = counter_.load();
      went_back_ = went_back_ || now < last;
      largest_ = std::max(largest_, now);
      last = now;
      std::this_thread::yield();
    }
  }
  const std::atomic<uint32_t>& counter_;
  std::atomic<bool> done_{false};
  uint32_t largest_ = 0;
  bool went_back_ = false;
  std::thread thread_;
};

void ExpectSameNewIndex(const std::string& a, const std::string& b) {
  for (const char* name : kNewFiles) {
    EXPECT_EQ(ReadBytes(platform::JoinPath(a, name)), ReadBytes(platform::JoinPath(b, name)))
        << name;
  }
}

}  // namespace

TEST(Build, EqualsTheSequentialBuildOnARandomCorpus) {
  Corpus c;
  std::mt19937 rng(11);
  const char* vocabulary[] = {"Printer", "printer", "VPN",   "password", "e-mail", "x_1",
                              "2nd",     "The",     "queue", "toner",    "a",      "z"};
  for (int d = 0; d < 60; ++d) {
    std::string text;
    size_t words = rng() % 3000;
    for (size_t i = 0; i < words; ++i) {
      text += vocabulary[rng() % 12];
      if (rng() % 50 == 0) text += std::to_string(rng());  // rare words
      text += " .,\r\n\t"[rng() % 6];
    }
    if (d % 7 == 3) text.clear();  // empty documents get no number
    if (d % 9 == 4) text += std::string(2000, 'k') + "\x1A" + "hidden";
    c.Add("doc" + std::to_string(d) + ".txt", text);
  }
  c.Exclude("the toner");
  norvel_test::ScratchDir reference;
  uint32_t distinct = 0;
  ASSERT_GT(ReferenceBuild(c, reference.path(), &distinct), 0);
  norvel::JobProgress progress;
  ASSERT_EQ(norvel::doIndex(c.data, c.index, c.app, &progress), 0);
  ExpectSameNewIndex(c.index, reference.path());
  EXPECT_EQ(progress.distinct_words.load(), distinct);
  EXPECT_EQ(progress.words_saved.load(), distinct);
  EXPECT_GT(progress.files_indexed.load(), 0u);
}

// Parts of the listing indexed on threads into tables of their own, merged when saved:
// every byte must be what the one table of the plain loop gives, whatever the cuts.
TEST(Build, PartsOnThreadsWriteTheBytesOfOneTable) {
  Corpus c;
  std::mt19937 rng(23);
  const char* vocabulary[] = {"alpha", "Beta", "gamma", "delta", "eps", "zeta", "eta", "theta"};
  for (int d = 0; d < 97; ++d) {
    std::string text = "everywhere ";   // one run across every cut
    if (d % 10 < 6) text += "blocky ";  // runs ending and starting at cuts
    size_t words = rng() % 40;
    for (size_t i = 0; i < words; ++i) {
      text += vocabulary[rng() % 8];
      if (rng() % 4 == 0) text += std::to_string(rng() % 500);  // words of a few parts
      text += ' ';
    }
    if (d % 11 == 5) text.clear();  // empty documents at or near cuts
    char name[16];
    std::snprintf(name, sizeof name, "d%03d.txt", d);
    c.Add(name, text);
  }
  c.Exclude("eta");
  norvel_test::ScratchDir reference;
  uint32_t distinct = 0;
  ASSERT_GT(ReferenceBuild(c, reference.path(), &distinct), 0);
  // Parts cut at the start, or one part that the other threads take shares of.
  for (size_t cut_parts : {0u, 1u}) {
    for (unsigned threads : {1u, 2u, 3u, 4u}) {
      norvel::BuildTuning tuning;
      tuning.threads = threads;
      tuning.min_part_documents = 1;
      tuning.cut_parts = cut_parts;
      norvel::JobProgress progress;
      ASSERT_EQ(norvel::doIndex(c.data, c.index, c.app, &progress, tuning), 0);
      ExpectSameNewIndex(c.index, reference.path());
      EXPECT_EQ(progress.distinct_words.load(), distinct);
      EXPECT_EQ(progress.words_saved.load(), distinct);
    }
  }
  // A rebuild cuts its parts by the token counts of the index in place, sound or damaged
  // (counts of any size, or a file cut short): the cuts move, the bytes do not.
  ASSERT_EQ(c.Build(), 0);
  const std::string positions = ReadBytes(c.IndexFile("_positions.dat"));
  ASSERT_GT(positions.size(), 128u);
  std::string huge = positions;
  std::fill(huge.begin() + 128, huge.end(), '\xFF');
  for (const std::string& in_place : {positions, huge, positions.substr(0, 200)}) {
    ASSERT_TRUE(WriteBytes(c.IndexFile("_positions.dat"), in_place));
    for (unsigned threads : {2u, 3u}) {
      norvel::BuildTuning tuning;
      tuning.threads = threads;
      tuning.min_part_documents = 1;
      ASSERT_EQ(norvel::doIndex(c.data, c.index, c.app, nullptr, tuning), 0);
      ExpectSameNewIndex(c.index, reference.path());
      EXPECT_EQ(ReadBytes(c.IndexFile("_newpositions.dat")), positions);
    }
  }
}

TEST(Build, TheStopFlagCountsOnlyThePartsBeforeIt) {
  Corpus c;
  for (char n = 'a'; n <= 'h'; ++n) c.Add(std::string(1, n) + ".txt", std::string("word") + n);
  // Every part stops after its first document: only a.txt counts. No thread takes over a
  // share of a part once the flag is up.
  for (size_t cut_parts : {0u, 1u}) {
    norvel::JobProgress progress;
    progress.stop = true;
    norvel::BuildTuning tuning;
    tuning.threads = 2;
    tuning.min_part_documents = 1;
    tuning.cut_parts = cut_parts;
    EXPECT_EQ(norvel::doIndex(c.data, c.index, c.app, &progress, tuning), -1);
    EXPECT_EQ(ReadBytes(c.IndexFile("_newstats.dat")), LE({1, 1}));
    EXPECT_EQ(ReadBytes(c.IndexFile("_newfile0.dat")), Record(0, "a.txt"));
    EXPECT_EQ(ReadBytes(c.IndexFile("_newndxwrds.dat")), LE({0}) + std::string("\x05worda", 6));
  }
}

// Two parts over one vocabulary: each part meets every word, the new index holds it once.
TEST(Build, DistinctWordsShownNeverPassTheIndexNorGoBack) {
  Corpus c;
  std::mt19937 rng(5);
  for (int d = 0; d < 400; ++d) {
    std::string text;
    for (int i = 0; i < 1500; ++i) text += "w" + std::to_string(rng() % 20000) + " ";
    char name[16];
    std::snprintf(name, sizeof name, "d%03d.txt", d);
    c.Add(name, text);
  }
  norvel::BuildTuning tuning;
  tuning.threads = 2;
  tuning.min_part_documents = 1;
  norvel::JobProgress progress;
  CounterWatch watch(progress.distinct_words);
  ASSERT_EQ(norvel::doIndex(c.data, c.index, c.app, &progress, tuning), 0);
  watch.Stop();
  uint32_t distinct = progress.distinct_words.load();
  EXPECT_EQ(ReadBytes(c.IndexFile("_newstats.dat")).substr(0, 4), LE({distinct}));
  EXPECT_LE(watch.largest(), distinct);
  EXPECT_FALSE(watch.went_back());
}

TEST(Build, EmptyDocumentsGiveAnEmptyIndexThatCannotBeLoaded) {
  Corpus c;
  c.Add("a.txt", "");
  c.Add("b.txt", "");
  ASSERT_EQ(norvel::doIndex(c.data, c.index, c.app, nullptr), 0);
  EXPECT_EQ(ReadBytes(c.IndexFile("_newstats.dat")), LE({0, 0}));
  for (const char* name : {"_newfile0.dat", "_newndxwrds.dat", "_newndxfile.dat"}) {
    EXPECT_TRUE(platform::FileExists(c.IndexFile(name)));
    EXPECT_EQ(ReadBytes(c.IndexFile(name)), "");
  }
  c.Build();
  EXPECT_FALSE(c.loaded.loaded());
  EXPECT_TRUE(c.Logged("readIndexIntoMem():Empty index file."));
}

TEST(Build, ZeroSizeDocumentUsesNoFileNumber) {
  Corpus c;
  c.Add("a.txt", "alpha");
  c.Add("b.txt", "");
  c.Add("c.txt", "gamma");
  c.Add("d.TXT", "delta");
  c.Add("e.doc", "ignored");
  ASSERT_EQ(c.Build(), 0);
  EXPECT_EQ(ReadBytes(c.IndexFile("_file0.dat")),
            Record(0, "a.txt") + Record(0, "c.txt") + Record(0, "d.TXT"));
  EXPECT_EQ(c.loaded.total_files, 3u);
}

TEST(Build, NothingToIndex) {
  Corpus c;
  c.Add("notes.doc", "words");
  EXPECT_EQ(norvel::doIndex(c.data, c.index, c.app, nullptr), -1);
  EXPECT_TRUE(c.Logged("doIndex():Nothing to index."));
  EXPECT_FALSE(platform::FileExists(c.IndexFile("_newfile0.dat")));
  EXPECT_EQ(norvel::doIndex(c.root.File("nowhere"), c.index, c.app, nullptr), -1);
}

TEST(Build, StopFlagSavesTheDocumentsBeforeIt) {
  Corpus c;
  c.Add("a.txt", "one");
  c.Add("b.txt", "two");
  norvel::JobProgress progress;
  progress.stop = true;  // read between documents: the first one is indexed
  EXPECT_EQ(norvel::doIndex(c.data, c.index, c.app, &progress), -1);
  EXPECT_EQ(ReadBytes(c.IndexFile("_newstats.dat")), LE({1, 1}));
  EXPECT_EQ(ReadBytes(c.IndexFile("_newfile0.dat")), Record(0, "a.txt"));
  // The next start swaps it in.
  EXPECT_TRUE(norvel::NewIndexPending(c.index));
}

TEST(Build, AStaleStatisticsFileNeverMarksAFailedBuildAsPending) {
  Corpus c;
  c.Add("a.txt", "one");
  ASSERT_TRUE(WriteBytes(c.IndexFile("_newstats.dat"), LE({9, 9})));
  // A list file that cannot be created: a directory in its place.
  ASSERT_TRUE(platform::MakeDirectory(c.IndexFile("_newfile0.dat")));
  EXPECT_EQ(norvel::doIndex(c.data, c.index, c.app, nullptr), -1);
  EXPECT_TRUE(c.Logged("doIndex():Cannot write file list."));
  EXPECT_FALSE(norvel::NewIndexPending(c.index));
}

#ifndef _WIN32
namespace {

// Writes that fail, as on a full disk: while it lives, no file of this process may grow
// past `bytes`; a write beyond fails (EFBIG) instead of raising SIGXFSZ.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    old_handler_ = std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &old_);
    rlimit limit = old_;
    limit.rlim_cur = bytes;
    set_ = setrlimit(RLIMIT_FSIZE, &limit) == 0;
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, old_handler_);
  }
  bool set() const { return set_; }

 private:
  rlimit old_;
  void (*old_handler_)(int);
  bool set_ = false;
};

constexpr rlim_t kLimit = 4096;  // above the log and the small files, below the large one

}  // namespace

TEST(Build, ALostNameRecordFailsTheBuildWithoutAPendingIndex) {
  Corpus c;
  // Names of 250 characters: the seventeenth record passes the limit.
  for (char n = 'a'; n < 'a' + 17; ++n) c.Add(std::string(246, n) + ".txt", "one");
  int result;
  {
    FileSizeLimit limit(kLimit);
    ASSERT_TRUE(limit.set());
    result = norvel::doIndex(c.data, c.index, c.app, nullptr);
  }
  EXPECT_EQ(result, -1);
  EXPECT_TRUE(c.Logged("doIndex():Cannot write file list."));
  EXPECT_FALSE(norvel::NewIndexPending(c.index));
}

TEST(Build, AFailedSaveLeavesNoStatisticsToSwapIn) {
  Corpus c;
  // 300 words: 16 bytes of postings each pass the limit, their records of at most 9 do not.
  std::string text;
  for (int w = 0; w < 300; ++w) text += "w" + std::to_string(w) + " ";
  c.Add("a.txt", text);
  int result;
  {
    FileSizeLimit limit(kLimit);
    ASSERT_TRUE(limit.set());
    result = norvel::doIndex(c.data, c.index, c.app, nullptr);
  }
  EXPECT_EQ(result, -1);
  EXPECT_TRUE(c.Logged("saveIndex():Cannot write file index."));
  EXPECT_TRUE(c.Logged("doIndex():Error saving index."));
  EXPECT_FALSE(norvel::NewIndexPending(c.index));
}
#endif

// Windows names: a name in the code page keeps its record's bytes (kind 0), one the code
// page cannot spell is recorded as UTF-8 (kind 1), and each name read back opens its own
// document, also in a data directory whose path is in the code page only. Elsewhere names
// are bytes and every record has kind 0.
TEST(Build, NamesInAndOutsideTheCodePageOpenTheirOwnDocuments) {
  Corpus c;
  const std::string ansi = platform::HeldName("\xC4\xB1.txt", false);  // "Ä±.txt"
  const std::string utf8 = platform::HeldName("\xC4\xB1.txt", true);   // "ı.txt"
  const std::string cyrillic = platform::HeldName("\xD0\x96ur.txt", true);
  if (ansi == utf8) GTEST_SKIP() << "names are bytes here";
  const std::string data = c.root.File(
      "J\xFC"
      "rgen");  // "Jürgen" in Windows-1252
  ASSERT_TRUE(platform::MakeDirectory(data));
  ASSERT_TRUE(WriteBytes(platform::JoinPath(data, ansi), "alpha"));
  ASSERT_TRUE(WriteBytes(platform::JoinPath(data, utf8), "beta"));
  ASSERT_TRUE(WriteBytes(platform::JoinPath(data, cyrillic), "gamma"));
  ASSERT_EQ(norvel::doIndex(data, c.index, c.app, nullptr), 0) << c.Log();
  ASSERT_TRUE(norvel::NewIndexPending(c.index));
  norvel::RenAndReloadNdx(c.index, c.app, &c.loaded, nullptr, nullptr);
  ASSERT_EQ(c.loaded.total_files, 3u);
  EXPECT_EQ(ReadBytes(c.IndexFile("_file0.dat")),
            Record(0, "\xC4\xB1.txt") + Record(1, "\xC4\xB1.txt") + Record(1, "\xD0\x96ur.txt"));
  norvel::NameReader names(c.index, c.loaded);
  const char* texts[] = {"alpha", "beta", "gamma"};
  for (uint32_t n = 1; n <= 3; ++n) {
    std::string name;
    ASSERT_EQ(names.Read(n, &name), norvel::NameReader::Result::kOk) << n;
    EXPECT_EQ(ReadBytes(platform::JoinPath(data, name)), texts[n - 1]) << n;
  }
}
