// Entry file names from Request IDs: ordinary IDs keep their names, unsafe ones are made
// safe before they reach the file system.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ar_test_server.h"
#include "export/ar_connection.h"
#include "export/entry_file_name.h"
#include "platform/dir.h"
#include "platform/path.h"

namespace {

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

TEST(EntryFilePath, FitsTheProgramsPathLength) {
  std::string path;
  ASSERT_TRUE(norvel::EntryFilePath("data", "HD1", &path));
  EXPECT_EQ(path, platform::JoinPath("data", "HD1.txt"));
  std::string dir(200, 'd');
  ASSERT_TRUE(norvel::EntryFilePath(dir, std::string(100, 'r'), &path));
  EXPECT_EQ(path.size(), norvel::kMaxPathLength);
  EXPECT_FALSE(norvel::EntryFilePath(std::string(norvel::kMaxPathLength - 5, 'd'), "x", &path));
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
  std::vector<std::string> expected = {
      "HD0000000000001.txt", ".._escape.txt", ".._escape2.txt",
      "C_drive.txt",         "_CON.txt",      "_nul.txt.txt",
      "a_b_c.txt",           "trail__.txt",   std::string(room, 'L') + ".txt"};
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

}  // namespace
