// The build when memory runs short at any one allocation: no name record of a document
// whose words are in is lost, and only the parts that count write log lines.
#include <gtest/gtest.h>

#include <string>

#include "core/job_progress.h"
#include "engine_fixture.h"
#include "failing_new.h"
#include "index/build.h"

using norvel_test::Corpus;
using norvel_test::ReadBytes;
using norvel_test::Record;

namespace {

constexpr size_t kMostAllocations = 20000;  // far more than one small build makes

bool Holds(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

}  // namespace

// An empty document after a good one: running short while passing it over must not take
// the good one's record with it.
TEST(BuildMemory, NoNameRecordIsLostWhateverAllocationFails) {
  norvel::BuildTuning one_thread;
  one_thread.threads = 1;
  size_t n = 0;
  for (; n < kMostAllocations; ++n) {
    Corpus c;
    c.Add("a.txt", "alpha");
    c.Add("b.txt", "");
    norvel_test::FailAllocationAfter(n);
    int result = norvel::doIndex(c.data, c.index, c.app, nullptr, one_thread);
    bool failed = norvel_test::ArmedAllocationFailed();
    norvel_test::FailAllocationAfter(static_cast<size_t>(-1));
    if (!failed) {
      EXPECT_EQ(result, 0);
      break;
    }
    std::string words = ReadBytes(c.IndexFile("_newndxwrds.dat"));
    if (Holds(words,
              "\x05"
              "alpha")) {
      EXPECT_EQ(ReadBytes(c.IndexFile("_newfile0.dat")), Record(0, "a.txt")) << "allocation " << n;
    }
  }
  EXPECT_LT(n, kMostAllocations);
}

// Every part stops after its first document, so only the first part counts: whatever
// runs short in the second, its line must not reach the log.
TEST(BuildMemory, PartsThatCountForNothingWriteNoLogLine) {
  norvel::BuildTuning two_parts;
  two_parts.threads = 2;
  two_parts.min_part_documents = 1;
  size_t n = 0;
  for (; n < kMostAllocations; ++n) {
    Corpus c;
    for (char d = 'a'; d <= 'h'; ++d) c.Add(std::string(1, d) + ".txt", std::string("word") + d);
    norvel::JobProgress progress;
    progress.stop = true;
    norvel_test::FailAllocationAfter(n);
    norvel::doIndex(c.data, c.index, c.app, &progress, two_parts);
    bool failed = norvel_test::ArmedAllocationFailed();
    norvel_test::FailAllocationAfter(static_cast<size_t>(-1));
    if (!failed) break;
    if (ReadBytes(c.IndexFile("_newfile0.dat")) == Record(0, "a.txt")) {
      EXPECT_FALSE(Holds(c.Log(), "]addNode():")) << "allocation " << n << "\n" << c.Log();
    }
  }
  EXPECT_LT(n, kMostAllocations);
}
