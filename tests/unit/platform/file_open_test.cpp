// Hostile files at a name the program opens: only regular files are opened, an open
// never waits for a FIFO's other end, and nothing is written or created through a
// symbolic link at the name.
#include <gtest/gtest.h>

#include <string>

#include "platform/file.h"
#include "recording_ui.h"
#include "special_files.h"

using norvel_test::FifoWatchdog;
using norvel_test::MakeFifo;
using norvel_test::MakeSymbolicLink;
using norvel_test::ReadBytes;
using norvel_test::ScratchDir;
using norvel_test::WriteBytes;

namespace {

const char* kModes[] = {"rb", "wb", "ab", "r+b"};
const char* kWritingModes[] = {"wb", "ab", "r+b"};

}  // namespace

TEST(FileOpen, RefusesADirectoryInEveryMode) {
  ScratchDir dir;
  for (const char* mode : kModes) {
    platform::File f;
    EXPECT_FALSE(f.Open(dir.path(), mode)) << mode;
  }
  platform::TextReader reader;
  EXPECT_FALSE(reader.Open(dir.path()));
}

TEST(FileOpen, RefusesAFifoInEveryModeWithoutWaiting) {
  ScratchDir dir;
  std::string fifo = dir.File("_stats.dat");
  if (!MakeFifo(fifo)) GTEST_SKIP() << "no FIFOs on this system";
  for (const char* mode : kModes) {
    FifoWatchdog watchdog(fifo);
    platform::File f;
    EXPECT_FALSE(f.Open(fifo, mode)) << mode;
    EXPECT_FALSE(watchdog.fired()) << mode << ": the open waited for the FIFO's other end";
  }
  FifoWatchdog watchdog(fifo);
  platform::TextReader reader;
  EXPECT_FALSE(reader.Open(fifo));
  platform::TextWriter writer;
  EXPECT_FALSE(writer.Open(fifo));
  EXPECT_FALSE(watchdog.fired());
}

#ifdef _WIN32
TEST(FileOpen, RefusesADevice) {
  for (const char* mode : kModes) {
    platform::File f;
    EXPECT_FALSE(f.Open("NUL", mode)) << mode;
  }
  platform::TextReader reader;
  EXPECT_FALSE(reader.Open("NUL"));
}
#endif

TEST(FileOpen, WritersRefuseASymbolicLinkAndReadersFollowIt) {
  ScratchDir dir;
  std::string target = dir.File("elsewhere.txt");
  std::string link = dir.File("_newndxwrds.dat");
  ASSERT_TRUE(WriteBytes(target, "precious"));
  if (!MakeSymbolicLink(target, link)) GTEST_SKIP() << "symbolic links cannot be made here";
  for (const char* mode : kWritingModes) {
    platform::File f;
    EXPECT_FALSE(f.Open(link, mode)) << mode;
  }
  platform::TextWriter writer;
  EXPECT_FALSE(writer.Open(link));
  EXPECT_EQ(ReadBytes(target), "precious");
  // Documents may well be links: reading goes through them.
  EXPECT_EQ(ReadBytes(link), "precious");
}

TEST(FileOpen, WritersCreateNothingThroughADanglingSymbolicLink) {
  ScratchDir dir;
  std::string target = dir.File("made-through-the-link.txt");
  std::string link = dir.File("entry.txt");
  if (!MakeSymbolicLink(target, link)) GTEST_SKIP() << "symbolic links cannot be made here";
  for (const char* mode : {"wb", "ab"}) {
    platform::File f;
    EXPECT_FALSE(f.Open(link, mode)) << mode;
  }
  platform::TextWriter writer;
  EXPECT_FALSE(writer.Open(link));
  EXPECT_FALSE(platform::FileExists(target));
}

TEST(FileOpen, RegularFilesOpenInEveryMode) {
  ScratchDir dir;
  std::string path = dir.File("a.dat");
  platform::File f;
  ASSERT_TRUE(f.Open(path, "wb"));
  ASSERT_TRUE(f.Write("abc\n", 4));
  ASSERT_TRUE(f.Close());
  ASSERT_TRUE(f.Open(path, "ab"));
  ASSERT_TRUE(f.Write("de", 2));
  ASSERT_TRUE(f.Close());
  ASSERT_TRUE(f.Open(path, "r+b"));
  ASSERT_TRUE(f.Write("X", 1));
  ASSERT_TRUE(f.Close());
  EXPECT_EQ(ReadBytes(path), "Xbc\nde");  // binary: no CR was added
  ASSERT_TRUE(f.Open(path, "wb"));
  ASSERT_TRUE(f.Close());
  EXPECT_EQ(ReadBytes(path), "");
}
