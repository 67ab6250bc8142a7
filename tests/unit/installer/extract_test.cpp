// The installer's extraction: block arithmetic, paths, and every way it can fail, with
// real files in a scratch directory.
#include "installer/extract.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "recording_ui.h"
#include "special_files.h"

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#endif

namespace norvel {
namespace {

using norvel_test::ReadBytes;
using norvel_test::ScratchDir;
using norvel_test::WriteBytes;

std::string Payload(size_t size) {
  std::string data(size, '\0');
  for (size_t i = 0; i < size; ++i) data[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
  return data;
}

// An installer file: a stand-in image of exactly the offset, then the payload.
std::string InstallerFile(const std::string& payload) {
  return std::string(kPayloadOffset, 'M') + payload;
}

// Records each block as it passes, failing on the given call when asked to.
struct Recorder {
  std::vector<size_t> blocks;
  int fail_read_on = 0;  // 1-based call that fails; 0 never
  int fail_write_on = 0;
  int reads = 0;
  int writes = 0;
};

size_t RecordRead(void* data, size_t length, FILE* source, void* context) {
  auto* r = static_cast<Recorder*>(context);
  if (++r->reads == r->fail_read_on) return 0;  // as fread does on a read error
  return std::fread(data, 1, length, source);
}

size_t RecordWrite(const void* data, size_t length, FILE* target, void* context) {
  auto* r = static_cast<Recorder*>(context);
  if (++r->writes == r->fail_write_on) return length / 2;
  r->blocks.push_back(length);
  return std::fwrite(data, 1, length, target);
}

class ExtractTest : public ::testing::Test {
 protected:
  std::string Source() const { return dir_.File("installer.exe"); }
  std::string Target() const { return dir_.File("norvel.exe"); }

  ExtractResult Extract(const std::string& payload) {
    EXPECT_TRUE(WriteBytes(Source(), InstallerFile(payload)));
    ExtractHooks hooks = {RecordRead, RecordWrite, &recorder_};
    return ExtractPayload(Source().c_str(), Target().c_str(), &hooks);
  }

  ScratchDir dir_;
  Recorder recorder_;
};

TEST(CopyBlockSizeTest, IsThePayloadUpToOneKilobyte) {
  EXPECT_EQ(0u, CopyBlockSize(0));
  EXPECT_EQ(0u, CopyBlockSize(kPayloadOffset - 1));
  EXPECT_EQ(0u, CopyBlockSize(kPayloadOffset));
  EXPECT_EQ(1u, CopyBlockSize(kPayloadOffset + 1));
  EXPECT_EQ(100u, CopyBlockSize(kPayloadOffset + 100));
  EXPECT_EQ(1024u, CopyBlockSize(kPayloadOffset + 1024));
  EXPECT_EQ(1024u, CopyBlockSize(kPayloadOffset + 2500));
  EXPECT_EQ(1024u, CopyBlockSize(176128));
}

TEST_F(ExtractTest, SmallPayloadIsCopiedInOneBlock) {
  ASSERT_EQ(ExtractResult::kOk, Extract(Payload(100)));
  EXPECT_EQ(std::vector<size_t>({100}), recorder_.blocks);
  EXPECT_EQ(Payload(100), ReadBytes(Target()));
}

TEST_F(ExtractTest, LargerPayloadIsCopiedInKilobyteBlocksAndARest) {
  ASSERT_EQ(ExtractResult::kOk, Extract(Payload(2500)));
  EXPECT_EQ(std::vector<size_t>({1024, 1024, 452}), recorder_.blocks);
  EXPECT_EQ(Payload(2500), ReadBytes(Target()));
}

TEST_F(ExtractTest, ProgramSizedPayloadArrivesUnchanged) {
  const std::string payload = Payload(122880);
  ASSERT_TRUE(WriteBytes(Source(), InstallerFile(payload)));
  ASSERT_EQ(ExtractResult::kOk, ExtractPayload(Source().c_str(), Target().c_str()));
  EXPECT_EQ(payload, ReadBytes(Target()));
}

TEST_F(ExtractTest, ExistingTargetIsReplacedWhole) {
  ASSERT_TRUE(WriteBytes(Target(), std::string(5000, 'o')));
  ASSERT_EQ(ExtractResult::kOk, Extract(Payload(100)));
  EXPECT_EQ(Payload(100), ReadBytes(Target()));
}

TEST_F(ExtractTest, FileWithoutPayloadHasNothingToExtract) {
  for (size_t size : {size_t{kPayloadOffset}, size_t{kPayloadOffset - 1}, size_t{0}}) {
    ASSERT_TRUE(WriteBytes(Source(), std::string(size, 'M')));
    EXPECT_EQ(ExtractResult::kNothingToExtract, ExtractPayload(Source().c_str(), Target().c_str()));
    EXPECT_FALSE(platform::FileExists(Target())) << size;
  }
}

TEST_F(ExtractTest, MissingInstallerCannotBeRead) {
  EXPECT_EQ(ExtractResult::kCannotReadInstaller,
            ExtractPayload(dir_.File("gone.exe").c_str(), Target().c_str()));
  EXPECT_FALSE(platform::FileExists(Target()));
}

TEST_F(ExtractTest, TargetThatCannotBeCreatedIsReportedAndLeftAlone) {
  ASSERT_TRUE(platform::MakeDirectory(Target()));
  EXPECT_EQ(ExtractResult::kCannotCreateTarget, Extract(Payload(100)));
  EXPECT_TRUE(platform::IsDirectory(Target()));
}

// Regression: a failed write used to end in the thanks box, leaving a broken program.
TEST_F(ExtractTest, FailedWriteRemovesThePartialProgram) {
  recorder_.fail_write_on = 2;
  EXPECT_EQ(ExtractResult::kWriteFailed, Extract(Payload(2500)));
  EXPECT_FALSE(platform::FileExists(Target()));
}

// Regression: a read that failed midway ended the copy as if the payload were complete.
TEST_F(ExtractTest, FailedReadRemovesThePartialProgram) {
  recorder_.fail_read_on = 2;
  EXPECT_EQ(ExtractResult::kCannotReadInstaller, Extract(Payload(2500)));
  EXPECT_EQ(std::vector<size_t>({1024}), recorder_.blocks);
  EXPECT_FALSE(platform::FileExists(Target()));
}

// An installer renamed to norvel.exe would truncate itself while reading itself.
TEST_F(ExtractTest, InstallerNamedLikeTheTargetIsNotOverwritten) {
  const std::string file = InstallerFile(Payload(100));
  ASSERT_TRUE(WriteBytes(Target(), file));
  EXPECT_EQ(ExtractResult::kCannotCreateTarget, ExtractPayload(Target().c_str(), Target().c_str()));
  EXPECT_EQ(file, ReadBytes(Target()));
}

// A link planted at norvel.exe is refused as every writer of the program refuses one:
// what it names is not written through, and the link is left as it is.
TEST_F(ExtractTest, ALinkPlantedAtTheTargetIsRefused) {
  ASSERT_TRUE(WriteBytes(Source(), InstallerFile(Payload(100))));
  const std::string victim = dir_.File("victim.dll");
  ASSERT_TRUE(WriteBytes(victim, "keep"));
  if (!norvel_test::MakeSymbolicLink(victim, Target())) GTEST_SKIP() << "no symbolic links here";
  EXPECT_EQ(ExtractResult::kCannotCreateTarget, ExtractPayload(Source().c_str(), Target().c_str()));
  EXPECT_EQ("keep", ReadBytes(victim));
  EXPECT_EQ("keep", ReadBytes(Target()));  // still the link
}

#ifndef _WIN32
// A full disk: while the copy runs no file of this process may grow past a few bytes, so
// writes fail (EFBIG, with SIGXFSZ ignored) as they would with ENOSPC, at the flush of
// the close or while copying. The partial program is removed.
TEST_F(ExtractTest, FullDiskIsReportedAndThePartialProgramRemoved) {
  // 100 bytes fail only when the stream is flushed at close; 120 KB fail while copying.
  for (size_t size : {size_t{100}, size_t{122880}}) {
    ASSERT_TRUE(WriteBytes(Source(), InstallerFile(Payload(size))));
    void (*old_handler)(int) = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old_limit;
    getrlimit(RLIMIT_FSIZE, &old_limit);
    rlimit limit = old_limit;
    limit.rlim_cur = 64;
    ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &limit));
    ExtractResult result = ExtractPayload(Source().c_str(), Target().c_str());
    setrlimit(RLIMIT_FSIZE, &old_limit);
    std::signal(SIGXFSZ, old_handler);
    EXPECT_EQ(ExtractResult::kWriteFailed, result) << size;
    struct stat gone;
    EXPECT_NE(0, lstat(Target().c_str(), &gone)) << size;
  }
}
#endif

TEST(InstallPathsTest, TargetIsNorvelExeBesideTheInstallerWhateverItsName) {
  char source[kInstallerPathMax], target[kInstallerPathMax];
  ASSERT_TRUE(InstallPaths("C:\\Downloads\\installer (1).exe", source, target));
  EXPECT_STREQ("C:\\Downloads\\installer (1).exe", source);
  EXPECT_EQ(std::string("C:\\Downloads") + platform::kPathSep + "norvel.exe", target);
  ASSERT_TRUE(InstallPaths("/home/ann/setup.exe", source, target));
  EXPECT_EQ(std::string("/home/ann") + platform::kPathSep + "norvel.exe", target);
  ASSERT_TRUE(InstallPaths("setup.exe", source, target));
  EXPECT_EQ(std::string(".") + platform::kPathSep + "norvel.exe", target);
}

TEST(InstallPathsTest, PathsThatDoNotFitAreRefused) {
  char source[kInstallerPathMax], target[kInstallerPathMax];
  EXPECT_FALSE(InstallPaths(std::string(kInstallerPathMax, 'a').c_str(), source, target));
  // The installer's own path fits, but its directory leaves no room for "\norvel.exe".
  std::string deep = std::string(kInstallerPathMax - 10, 'd') + "\\a.exe";
  EXPECT_FALSE(InstallPaths(deep.c_str(), source, target));
}

TEST(MessageForTest, EveryFailureHasItsBox) {
  auto text = [](ExtractResult r) { return std::string(MessageFor(r).text); };
  auto caption = [](ExtractResult r) { return std::string(MessageFor(r).caption); };
  EXPECT_EQ("Error reading installer.exe", text(ExtractResult::kCannotReadInstaller));
  EXPECT_EQ("Nothing to extract!", text(ExtractResult::kNothingToExtract));
  EXPECT_EQ("Info", caption(ExtractResult::kNothingToExtract));
  EXPECT_EQ("Error extracting Application", text(ExtractResult::kCannotCreateTarget));
  EXPECT_EQ("Error extracting Application", text(ExtractResult::kWriteFailed));
  EXPECT_EQ("Seek error in extracting Application", text(ExtractResult::kSeekFailed));
  for (ExtractResult r : {ExtractResult::kCannotReadInstaller, ExtractResult::kCannotCreateTarget,
                          ExtractResult::kSeekFailed, ExtractResult::kWriteFailed}) {
    EXPECT_EQ("Error", caption(r));
  }
}

}  // namespace
}  // namespace norvel
