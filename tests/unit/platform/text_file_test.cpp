// Text mode on every platform: CR LF collapses, a lone CR stays, 0x1A ends the text, and
// reads fill the whole request like fread.
#include <gtest/gtest.h>

#include <string>

#include "platform/file.h"
#include "recording_ui.h"

using norvel_test::ReadBytes;
using norvel_test::ScratchDir;
using norvel_test::WriteBytes;

namespace {

std::string ReadText(const std::string& path, size_t block) {
  platform::TextReader r;
  EXPECT_TRUE(r.Open(path));
  std::string out;
  std::string buf(block, '\0');
  size_t n;
  while ((n = r.Read(&buf[0], block)) > 0) out.append(buf, 0, n);
  EXPECT_FALSE(r.Error());
  return out;
}

}  // namespace

TEST(TextReader, TranslatesLikeWindowsTextMode) {
  ScratchDir dir;
  std::string path = dir.File("t.txt");
  ASSERT_TRUE(WriteBytes(path, "a\r\nb\rc\r\r\nd\n\r"));
  for (size_t block : {1, 2, 3, 7, 1024}) {
    EXPECT_EQ(ReadText(path, block), "a\nb\rc\r\nd\n\r") << "block " << block;
  }
}

TEST(TextReader, ByteOneAEndsTheText) {
  ScratchDir dir;
  std::string path = dir.File("t.txt");
  ASSERT_TRUE(WriteBytes(path,
                         "cat dog\x1A"
                         "bird\r\n"));
  EXPECT_EQ(ReadText(path, 1024), "cat dog");
}

TEST(TextReader, CrLfSplitAcrossTheRawBufferCollapses) {
  ScratchDir dir;
  std::string path = dir.File("big.txt");
  // Put a CR LF pair across every plausible internal buffer boundary.
  std::string data;
  std::string expected;
  for (int i = 0; i < 5000; ++i) {
    data += "abcdefg\r\n";
    expected += "abcdefg\n";
  }
  ASSERT_TRUE(WriteBytes(path, data));
  EXPECT_EQ(ReadText(path, 1024), expected);
  EXPECT_EQ(ReadText(path, 8191), expected);
}

TEST(TextReader, ReadFillsTheWholeRequestUntilTheEnd) {
  ScratchDir dir;
  std::string path = dir.File("t.txt");
  std::string data;
  for (int i = 0; i < 700; ++i) data += "x\r\n";
  ASSERT_TRUE(WriteBytes(path, data));
  platform::TextReader r;
  ASSERT_TRUE(r.Open(path));
  char buf[1024];
  EXPECT_EQ(r.Read(buf, 1024), 1024u);
  EXPECT_EQ(r.Read(buf, 1024), 376u);
  EXPECT_EQ(r.Read(buf, 1024), 0u);
}

TEST(TextWriter, WritesCrLf) {
  ScratchDir dir;
  std::string path = dir.File("w.ini");
  platform::TextWriter w;
  ASSERT_TRUE(w.Open(path));
  ASSERT_TRUE(w.Write("index_dir=x\n"));
  ASSERT_TRUE(w.Write("last"));
  ASSERT_TRUE(w.Close());
  EXPECT_EQ(ReadBytes(path), "index_dir=x\r\nlast");
}

TEST(FileStatus, SizeTimeAndDirectories) {
  ScratchDir dir;
  std::string path = dir.File("s.dat");
  ASSERT_TRUE(WriteBytes(path, std::string(1234, 'x')));
  platform::FileStatus st;
  ASSERT_TRUE(platform::GetFileStatus(path, &st));
  EXPECT_EQ(st.size, 1234u);
  EXPECT_FALSE(st.is_directory);
  EXPECT_NE(st.mtime, 0);
  EXPECT_TRUE(platform::IsDirectory(dir.path()));
  EXPECT_FALSE(platform::GetFileStatus(dir.File("missing"), &st));
}

TEST(RenameReplace, ReplacesAnExistingTarget) {
  ScratchDir dir;
  ASSERT_TRUE(WriteBytes(dir.File("_newstats.dat"), "new"));
  ASSERT_TRUE(WriteBytes(dir.File("_stats.dat"), "old"));
  ASSERT_TRUE(platform::RenameReplace(dir.File("_newstats.dat"), dir.File("_stats.dat")));
  EXPECT_EQ(ReadBytes(dir.File("_stats.dat")), "new");
  EXPECT_FALSE(platform::FileExists(dir.File("_newstats.dat")));
  EXPECT_FALSE(platform::RenameReplace(dir.File("missing"), dir.File("_stats.dat")));
}

// A swap holds the files it replaces until the new index is loaded: holding one must never
// keep its name from being replaced or removed (as an open file's would on Windows).
TEST(HeldFile, KeepsNoNameFromBeingReplacedOrRemoved) {
  ScratchDir dir;
  ASSERT_TRUE(WriteBytes(dir.File("_ndxwrds.dat"), "old words"));
  ASSERT_TRUE(WriteBytes(dir.File("_newndxwrds.dat"), "new words"));
  ASSERT_TRUE(WriteBytes(dir.File("_positions.dat"), "old positions"));
  platform::HeldFile words(dir.File("_ndxwrds.dat"));
  platform::HeldFile positions(dir.File("_positions.dat"));
  platform::HeldFile missing(dir.File("missing"));
  ASSERT_TRUE(platform::RenameReplace(dir.File("_newndxwrds.dat"), dir.File("_ndxwrds.dat")));
  EXPECT_EQ(ReadBytes(dir.File("_ndxwrds.dat")), "new words");
  EXPECT_TRUE(platform::RemoveFile(dir.File("_positions.dat")));
  EXPECT_FALSE(platform::FileExists(dir.File("_positions.dat")));
  words.Release();
  positions = platform::HeldFile();
  EXPECT_EQ(ReadBytes(dir.File("_ndxwrds.dat")), "new words");
}
