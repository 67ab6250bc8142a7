// A caller's mistake stops at its cause where the debug checks are on (the sanitizer
// build); elsewhere these tests are skipped, as the checks are compiled out.
#include <gtest/gtest.h>

#include <vector>

#include "index/index_files.h"
#include "platform/expects.h"

namespace {

TEST(PreconditionsDeathTest, AnIndexSearchedBeforeItIsLoadedStopsAtTheLookup) {
  if (!platform::kChecksOn) GTEST_SKIP() << "the debug checks are off in this build";
  norvel::WordTable not_loaded;
  std::vector<uint32_t> list;
  EXPECT_DEATH(norvel::getFileList(".", not_loaded, 1, "word", &list),
               "precondition failed: words.present\\(\\)");
}

TEST(PreconditionsDeathTest, ATableOfSizeZeroIsNeverWritten) {
  if (!platform::kChecksOn) GTEST_SKIP() << "the debug checks are off in this build";
  norvel::WordTable no_buckets;
  norvel::MergedWords merged;
  EXPECT_DEATH(norvel::MergeWords({norvel::TableSegment{&no_buckets, 0}}, &merged),
               "precondition failed: .*present\\(\\)");
}

}  // namespace
