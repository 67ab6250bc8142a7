// Directory listing: byte order on every platform, case-insensitive patterns, files only.
#include "platform/dir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/path.h"
#include "recording_ui.h"

using norvel_test::ReadBytes;
using norvel_test::ScratchDir;
using norvel_test::WriteBytes;

TEST(WildcardMatch, WindowsPatterns) {
  EXPECT_TRUE(platform::WildcardMatch("*.txt", "a.txt"));
  EXPECT_TRUE(platform::WildcardMatch("*.txt", "A.TXT"));
  EXPECT_TRUE(platform::WildcardMatch("*.txt", ".txt"));
  EXPECT_FALSE(platform::WildcardMatch("*.txt", "a.txt1"));
  EXPECT_FALSE(platform::WildcardMatch("*.txt", "a.tx"));
  EXPECT_TRUE(platform::WildcardMatch("_newfile*.dat", "_newfile12.dat"));
  EXPECT_FALSE(platform::WildcardMatch("_newfile*.dat", "_file0.dat"));
  EXPECT_TRUE(platform::WildcardMatch("a?c", "abc"));
  EXPECT_TRUE(platform::WildcardMatch("*", "anything"));
}

TEST(ListDirectory, SortedInByteOrderFilesOnly) {
  ScratchDir dir;
  // Names alike in their first eight bytes and beyond, and a name that begins another.
  for (const char* name : {"b.txt", "B.txt", "a.txt", "_x.txt", "z.TXT", "notes.doc", "10.txt",
                           "9.txt", "document10.txt", "documents.txt", "document1.txt",
                           "document.txt", "documen.txt", "a.txt.txt"})
    ASSERT_TRUE(WriteBytes(dir.File(name), "x"));
  ASSERT_TRUE(platform::MakeDirectory(dir.File("sub.txt")));
  std::vector<std::string> names;
  ASSERT_TRUE(platform::ListDirectory(dir.path(), "*.txt", &names));
#ifdef _WIN32
  // The Windows file system holds b.txt and B.txt as one file.
  std::vector<std::string> expected = {"10.txt", "9.txt", "_x.txt", "a.txt", "a.txt.txt", "b.txt"};
#else
  std::vector<std::string> expected = {"10.txt", "9.txt",     "B.txt", "_x.txt",
                                       "a.txt",  "a.txt.txt", "b.txt"};
#endif
  for (const char* name :
       {"documen.txt", "document.txt", "document1.txt", "document10.txt", "documents.txt", "z.TXT"})
    expected.push_back(name);
  EXPECT_EQ(names, expected);
}

TEST(ListDirectory, MissingDirectoryFails) {
  ScratchDir dir;
  std::vector<std::string> names;
  EXPECT_FALSE(platform::ListDirectory(dir.File("missing"), "*.txt", &names));
  EXPECT_TRUE(platform::ListDirectory(dir.path(), "*.txt", &names));
  EXPECT_TRUE(names.empty());
}

// A document changes between the listing and its reading: its size is the one it has
// when it is read, and a document gone since is told apart from one that cannot be opened.
TEST(ListedFileReader, TakesTheSizeWhenTheFileIsRead) {
  ScratchDir dir;
  ASSERT_TRUE(WriteBytes(dir.File("a.txt"), ""));
  ASSERT_TRUE(WriteBytes(dir.File("b.txt"), "soon gone"));
  ASSERT_TRUE(WriteBytes(dir.File("c.txt"), "long text"));
  platform::DirListing listing;
  ASSERT_TRUE(platform::ListDirectory(dir.path(), "*.txt", &listing));
  ASSERT_EQ(listing.size(), 3u);
  ASSERT_TRUE(WriteBytes(dir.File("a.txt"), "grown"));
  ASSERT_TRUE(platform::RemoveFile(dir.File("b.txt")));
  ASSERT_TRUE(WriteBytes(dir.File("c.txt"), ""));
  platform::ListedFileReader reader(dir.path());
  uint64_t size = 99;
  ASSERT_EQ(reader.Open(listing, 0, &size), platform::ListedFileReader::Result::kOk);
  EXPECT_EQ(size, 5u);
  char buf[16];
  EXPECT_EQ(reader.Read(buf, sizeof buf), 5u);
  EXPECT_EQ(reader.Open(listing, 1, &size), platform::ListedFileReader::Result::kNoStatus);
  EXPECT_EQ(reader.Open(listing, 2, &size), platform::ListedFileReader::Result::kOk);
  EXPECT_EQ(size, 0u);
}

// The same with the read made at the opening, as the build makes it where the listing
// tells the sizes: the listed size only says how much to read.
TEST(ListedFileReader, ReadAtTheOpeningTellsTheSizeRead) {
  ScratchDir dir;
  ASSERT_TRUE(WriteBytes(dir.File("a.txt"), "abc"));
  ASSERT_TRUE(WriteBytes(dir.File("b.txt"), "soon gone"));
  ASSERT_TRUE(WriteBytes(dir.File("c.txt"), "long text"));
  ASSERT_TRUE(WriteBytes(dir.File("d.txt"), "same"));
  platform::DirListing listing;
  ASSERT_TRUE(platform::ListDirectory(dir.path(), "*.txt", &listing));
  ASSERT_EQ(listing.size(), 4u);
  ASSERT_TRUE(WriteBytes(dir.File("a.txt"), "abcdefgh"));  // grown past the listed size
  ASSERT_TRUE(platform::RemoveFile(dir.File("b.txt")));
  ASSERT_TRUE(WriteBytes(dir.File("c.txt"), ""));
  platform::ListedFileReader reader(dir.path());
  // Reads into buf as the build does: what came with the opening, then the rest.
  auto read_whole = [&](size_t i, uint64_t* size) {
    char buf[16];
    size_t got = 0;
    EXPECT_EQ(reader.OpenAndRead(listing, i, size, buf, 5, &got),
              platform::ListedFileReader::Result::kOk);
    std::string text(buf, got);
    for (size_t n; (n = reader.Read(buf, sizeof buf)) > 0;) text.append(buf, n);
    return text;
  };
  uint64_t size = 99;
  EXPECT_EQ(read_whole(0, &size), "abcdefgh");
  EXPECT_EQ(size, 8u);
  size_t got = 7;
  char buf[16];
  EXPECT_EQ(reader.OpenAndRead(listing, 1, &size, buf, sizeof buf, &got),
            platform::ListedFileReader::Result::kNoStatus);
  EXPECT_EQ(read_whole(2, &size), "");
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(read_whole(3, &size), "same");
  EXPECT_EQ(size, 4u);
}

TEST(RemoveDirectoryTree, RemovesNestedContent) {
  ScratchDir dir;
  std::string top = dir.File("top");
  ASSERT_TRUE(platform::MakeDirectory(top));
  ASSERT_TRUE(platform::MakeDirectory(platform::JoinPath(top, "inner")));
  ASSERT_TRUE(WriteBytes(platform::JoinPath(platform::JoinPath(top, "inner"), "f.txt"), "x"));
  EXPECT_TRUE(platform::RemoveDirectoryTree(top));
  EXPECT_FALSE(platform::FileExists(top));
}

// A name the ANSI code page cannot spell is listed as UTF-8 (held behind the mark on
// Windows) and opens by that name; a name it can spell keeps its code-page bytes (on Linux
// both are simply the bytes given).
TEST(ListDirectory, NamesOutsideTheCodePageAreListedAsUtf8AndOpen) {
  ScratchDir dir;
  const std::string cyrillic = platform::HeldName("\xD0\x96ur.txt", true);  // "Жur.txt"
  const std::string western = "gr\xFC\xDF.txt";  // "grüß.txt" in Windows-1252
  ASSERT_TRUE(WriteBytes(dir.File(cyrillic), "one"));
  ASSERT_TRUE(WriteBytes(dir.File(western), "two"));
  platform::DirListing listing;
  ASSERT_TRUE(platform::ListDirectory(dir.path(), "*.txt", &listing));
  ASSERT_EQ(listing.size(), 2u);
  EXPECT_EQ(listing.name(0), "gr\xFC\xDF.txt");
  EXPECT_EQ(listing.name(1), cyrillic);
  platform::ListedFileReader reader(dir.path());
  uint64_t size = 0;
  ASSERT_EQ(reader.Open(listing, 1, &size), platform::ListedFileReader::Result::kOk);
  char text[8];
  EXPECT_EQ(reader.Read(text, sizeof text), 3u);
  EXPECT_EQ(std::string(text, 3), "one");
  reader.Close();  // Windows renames no file that is open
  platform::FileStatus st;
  EXPECT_TRUE(platform::GetFileStatus(dir.File(cyrillic), &st));
  const std::string renamed = platform::HeldName("\xD0\x96.txt", true);
  EXPECT_TRUE(platform::RenameReplace(dir.File(cyrillic), dir.File(renamed)));
  EXPECT_TRUE(platform::RemoveFile(dir.File(renamed)));
}

// Bytes that are a name in the code page and, read as UTF-8, another name (C4 B1: "A-umlaut
// plus-minus" in Windows-1252, a dotless i in UTF-8) name two files, each listed and opened
// as itself; in a directory whose own name is in the code page only, a name outside the
// code page opens too (the joined path is UTF-8 throughout).
TEST(ListDirectory, ACodePageNameIsNeverTakenForUtf8) {
  ScratchDir root;
  const std::string ansi = platform::HeldName("\xC4\xB1.txt", false);
  const std::string utf8 = platform::HeldName("\xC4\xB1.txt", true);
  if (ansi == utf8) GTEST_SKIP() << "names are bytes here: the two are one name";
  const std::string dir = root.File("J\xFCrgen");  // "Jürgen" in Windows-1252
  ASSERT_TRUE(platform::MakeDirectory(dir));
  const std::string cyrillic = platform::HeldName("\xD0\x96ur.txt", true);
  ASSERT_TRUE(WriteBytes(platform::JoinPath(dir, ansi), "ansi"));
  ASSERT_TRUE(WriteBytes(platform::JoinPath(dir, utf8), "utf-8"));
  ASSERT_TRUE(WriteBytes(platform::JoinPath(dir, cyrillic), "cyrillic"));
  platform::DirListing listing;
  ASSERT_TRUE(platform::ListDirectory(dir, "*.txt", &listing));
  ASSERT_EQ(listing.size(), 3u);
  // In byte order of the names' bytes, the code-page name before its UTF-8 twin.
  EXPECT_EQ(listing.name(0), ansi);
  EXPECT_EQ(listing.name(1), utf8);
  EXPECT_EQ(listing.name(2), cyrillic);
  platform::ListedFileReader reader(dir);
  for (size_t i = 0; i < 3; ++i) {
    uint64_t size = 0;
    ASSERT_EQ(reader.Open(listing, i, &size), platform::ListedFileReader::Result::kOk) << i;
    char text[16];
    size_t got = reader.Read(text, sizeof text);
    EXPECT_EQ(std::string(text, got), i == 0 ? "ansi" : i == 1 ? "utf-8" : "cyrillic");
    reader.Close();
  }
  EXPECT_EQ(ReadBytes(platform::JoinPath(dir, ansi)), "ansi");
  EXPECT_EQ(platform::StoredName(platform::JoinPath(dir, utf8)), utf8);
  EXPECT_TRUE(platform::RemoveDirectoryTree(dir));
}
