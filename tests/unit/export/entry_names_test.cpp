// Entry file names from Request IDs: ordinary IDs keep their names, unsafe ones are made
// safe before they reach the file system, and two Request IDs never share a file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>
#include <vector>

#include "ar_test_server.h"
#include "export/ar_connection.h"
#include "export/entry_file_name.h"
#include "platform/dir.h"
#include "platform/path.h"

namespace {

using norvel::EntryFileStem;
using norvel::SafeFileStem;

TEST(SafeFileStem, OrdinaryRequestIdsKeepTheirNames) {
  for (const char* id : {"HD0000000000001", "CHG000123", "KB-17", "a b", "x.y", "Ärger_1",
                         "CONSOLE", "COM10", "LPT", "NULL", ".hidden"}) {
    EXPECT_EQ(SafeFileStem(id, 251), id);
  }
}

TEST(SafeFileStem, UnsafeRequestIdsAreMadeSafe) {
  struct {
    const char* id;
    const char* stem;
  } cases[] = {
      {"../../evil", ".._.._evil"},
      {"..\\..\\evil", ".._.._evil"},
      {"..", "__"},
      {".", "_"},
      {"C:evil", "C_evil"},
      {"\\\\server\\share", "__server_share"},
      {"/etc/passwd", "_etc_passwd"},
      {"a<b>c:d\"e|f?g*h", "a_b_c_d_e_f_g_h"},
      {"tab\there", "tab_here"},
      {"new\nline", "new_line"},
      {"CON", "_CON"},
      {"con", "_con"},
      {"NUL.txt", "_NUL.txt"},
      {"Aux.readme", "_Aux.readme"},
      {"COM1", "_COM1"},
      {"lpt9", "_lpt9"},
      {"CONOUT$", "_CONOUT$"},
      {"CON ", "CON_"},
      {"dots...", "dots___"},
      {"blank  ", "blank__"},
      {"", "_"},
  };
  for (const auto& c : cases) EXPECT_EQ(SafeFileStem(c.id, 251), c.stem) << c.id;
}

TEST(SafeFileStem, LongNamesAreCut) {
  EXPECT_EQ(SafeFileStem(std::string(300, 'x'), 251), std::string(251, 'x'));
  // Cutting must not leave a trailing dot or a device name behind.
  EXPECT_EQ(SafeFileStem("ab." + std::string(10, 'c'), 3), "ab_");
  EXPECT_EQ(SafeFileStem("CONSOLE", 3), "_ON");
}

TEST(EntryFileStem, OrdinaryRequestIdsKeepTheirNames) {
  for (const char* id : {"HD0000000000001", "a_b", "_", "KB-17", "x~1234", "x~1234abc",
                         "x~1234abcg", "x1234abcd", "~"}) {
    EXPECT_EQ(EntryFileStem(id, 251), id);
  }
  EXPECT_EQ(EntryFileStem(std::string(251, 'x'), 251), std::string(251, 'x'));
}

// The suffix is "~" and the FNV-1a hash of the Request ID's bytes: the same everywhere.
TEST(EntryFileStem, ChangedRequestIdsGetAStableSuffix) {
  EXPECT_EQ(EntryFileStem("a/b", 251), "a_b~3a8e75c1");
  EXPECT_EQ(EntryFileStem("", 251), "_~811c9dc5");
  EXPECT_EQ(EntryFileStem(".", 251), "_~2b0c98f1");
  EXPECT_EQ(EntryFileStem("CON", 251), "_CON~3367e86b");
  // An ordinary Request ID that looks like a suffixed name is suffixed too.
  EXPECT_EQ(EntryFileStem("a_b~00000000", 251), "a_b~00000000~5215bcbd");
  // A cut Request ID keeps as much of its stem as the suffix leaves room for.
  EXPECT_EQ(EntryFileStem(std::string(300, 'L'), 251), std::string(242, 'L') + "~e29ca105");
}

TEST(EntryFileStem, DistinctRequestIdsNeverShareAName) {
  std::string mimic = "a_b~3a8e75c1";  // what "a/b" becomes
  std::vector<std::string> ids = {"a/b", "a_b", "a\\b", "a:b",  "a*b",  "",    ".",           "_",
                                  "..",  "__",  "CON",  "_CON", "con ", mimic, "A_B~3A8E75C1"};
  ids.push_back(mimic + "~x");
  for (size_t n : {251, 252}) ids.push_back(std::string(n, 'x'));
  for (const char* tail : {"1", "2"}) ids.push_back(std::string(300, 'x') + tail);
  for (size_t max_length : {size_t(251), size_t(12)}) {
    SCOPED_TRACE(max_length);
    // No two names alike, even where letter case is ignored.
    std::set<std::string> folded;
    for (const std::string& id : ids) {
      std::string stem = EntryFileStem(id, max_length);
      ASSERT_FALSE(stem.empty()) << id;
      EXPECT_LE(stem.size(), max_length) << id;
      EXPECT_EQ(SafeFileStem(stem, max_length), stem) << id;  // the name is safe as it is
      for (char& c : stem) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      EXPECT_TRUE(folded.insert(stem).second) << id << " shares the name " << stem;
    }
  }
}

TEST(EntryFileStem, NoRoomForTheSuffixMeansNoName) {
  EXPECT_EQ(EntryFileStem("HD1", 9), "HD1");
  EXPECT_EQ(EntryFileStem("a/b", 10), "a~3a8e75c1");
  EXPECT_EQ(EntryFileStem("a/b", 9), "");
  EXPECT_EQ(EntryFileStem("HD1", 0), "");
}

TEST(EntryFilePath, FitsTheProgramsPathLength) {
  std::string path;
  ASSERT_TRUE(norvel::EntryFilePath("data", "HD1", &path));
  EXPECT_EQ(path, platform::JoinPath("data", "HD1.txt"));
  std::string dir(200, 'd');
  ASSERT_TRUE(norvel::EntryFilePath(dir, std::string(100, 'r'), &path));
  EXPECT_EQ(path.size(), norvel::kMaxPathLength);
  EXPECT_EQ(path.substr(path.size() - 13), "~67e7e585.txt");
  EXPECT_FALSE(norvel::EntryFilePath(std::string(norvel::kMaxPathLength - 5, 'd'), "x", &path));
  // Room for "HD1.txt" but not for a suffixed name.
  std::string tight(norvel::kMaxPathLength - 1 - 4 - 9, 'd');
  EXPECT_TRUE(norvel::EntryFilePath(tight, "HD1", &path));
  EXPECT_FALSE(norvel::EntryFilePath(tight, "a/b", &path));
}

TEST(EntryFileNames, UnsafeRequestIdsStayInsideTheDataDirectory) {
  norvel_test::ArTestServer server;
  std::vector<std::string> ids = {"HD0000000000001", "../escape", "..\\escape2",
                                  "C:drive",         "CON",       "nul.txt",
                                  "a<b>c",           "trail. ",   std::string(300, 'L')};
  std::string schema = "schema Names\nfield 1 char Id max=400\nfield 8 char Text max=40\n";
  for (const std::string& id : ids) schema += "entry\nset 1 \"" + id + "\"\nset 8 body\n";
  // The schema file holds backslashes: escape them for the fixture's quoted words.
  std::string escaped;
  for (char c : schema) escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
  server.AddSchema("names.schema", escaped);

  ASSERT_EQ(norvel::ExportData(norvel_test::ArTestServer::kName, "u", "p", "Names", 100, "",
                               server.data_dir(), nullptr),
            0);
  size_t room = norvel::kMaxPathLength - (server.data_dir().size() + 1 + 4);
  if (room > 251) room = 251;
  std::vector<std::string> expected = {"HD0000000000001.txt",
                                       ".._escape~0796e859.txt",
                                       ".._escape2~2c911142.txt",
                                       "C_drive~d17c3c90.txt",
                                       "_CON~3367e86b.txt",
                                       "_nul.txt~d7a6aff6.txt",
                                       "a_b_c~db798301.txt",
                                       "trail__~5e206215.txt",
                                       std::string(room - 9, 'L') + "~e29ca105.txt"};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(server.DataFiles(), expected);
  // Nothing beside the data directory.
  std::vector<std::string> beside;
  std::string parent =
      server.data_dir().substr(0, server.data_dir().find_last_of(platform::kPathSep));
  platform::ListDirectory(parent, "*escape*", &beside);
  EXPECT_TRUE(beside.empty());
  EXPECT_TRUE(server.Log().empty());
}

// Request IDs that the safe-name rule once turned into one name overwrote each other's
// files without a word.
TEST(EntryFileNames, RequestIdsMadeAlikeBySafeNamesKeepTheirOwnFiles) {
  norvel_test::ArTestServer server;
  std::vector<std::string> ids = {
      "a/b", "a_b", "", ".", std::string(300, 'x') + "1", std::string(300, 'x') + "2"};
  std::string schema = "schema Alike\nfield 1 char Id max=400\nfield 8 char Text max=40\n";
  for (size_t i = 0; i < ids.size(); ++i) {
    schema += "entry\nset 1 \"" + ids[i] + "\"\nset 8 \"body number " + std::to_string(i) + "\"\n";
  }
  server.AddSchema("alike.schema", schema);

  norvel::ExportTally tally;
  ASSERT_EQ(norvel::ExportData(norvel_test::ArTestServer::kName, "u", "p", "Alike", 100, "",
                               server.data_dir(), nullptr, &tally),
            0);
  EXPECT_EQ(tally.written, ids.size());
  std::vector<std::string> names = server.DataFiles();
  ASSERT_EQ(names.size(), ids.size());
  // Each file holds its own entry.
  std::set<std::string> bodies;
  for (const std::string& name : names) {
    std::string text = norvel_test::ReadBytes(server.DataFile(name));
    size_t at = text.find("body number ");
    ASSERT_NE(at, std::string::npos) << name;
    bodies.insert(text.substr(at, 13));
  }
  EXPECT_EQ(bodies.size(), ids.size());
  EXPECT_TRUE(server.Log().empty());
}

// On Windows "c1" opened the file of an earlier "C1" and overwrote it. Where the file
// system ignores letter case the later one takes its suffixed name; elsewhere both keep
// their own. Exporting again rewrites the same two files.
TEST(EntryFileNames, RequestIdsDifferingOnlyInCaseKeepTheirOwnFiles) {
  norvel_test::ArTestServer server;
  server.AddSchema("case.schema",
                   "schema Case\nfield 1 char Id max=15\nfield 8 char Text max=40\n"
                   "entry\nset 1 C1\nset 8 \"upper one\"\n"
                   "entry\nset 1 c1\nset 8 \"lower one\"\n");
  for (int run = 0; run < 2; ++run) {
    norvel::ExportTally tally;
    ASSERT_EQ(norvel::ExportData(norvel_test::ArTestServer::kName, "u", "p", "Case", 100, "",
                                 server.data_dir(), nullptr, &tally),
              0);
    EXPECT_EQ(tally.written, 2u);
    std::vector<std::string> names = server.DataFiles();
    ASSERT_EQ(names.size(), 2u) << run;
    EXPECT_EQ(names[0], "C1.txt");
#ifdef _WIN32
    std::string suffixed;
    ASSERT_TRUE(norvel::EntryFilePath(server.data_dir(), "c1", &suffixed, true));
    EXPECT_EQ(server.DataFile(names[1]), suffixed);
    EXPECT_EQ(names[1].rfind("c1~", 0), 0u);
#else
    EXPECT_EQ(names[1], "c1.txt");
#endif
    EXPECT_NE(norvel_test::ReadBytes(server.DataFile(names[0])).find("upper one"),
              std::string::npos);
    EXPECT_NE(norvel_test::ReadBytes(server.DataFile(names[1])).find("lower one"),
              std::string::npos);
  }
  EXPECT_TRUE(server.Log().empty());
}

}  // namespace
