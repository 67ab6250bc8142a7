// The settings file: round trip, the reading rules, and every failure with its message.
#include "export/settings.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/file.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif
#include "recording_ui.h"

using norvel::Settings;
using norvel::SettingsFields;
using norvel_test::ReadBytes;
using norvel_test::RecordingUi;
using norvel_test::ScratchDir;
using norvel_test::WriteBytes;

namespace {

class SettingsFile : public ::testing::Test {
 protected:
  void SetUp() override { s.app_dir = dir.path(); }
  void Write(const std::string& text) {
    ASSERT_TRUE(WriteBytes(norvel::SettingsPath(dir.path()), text));
  }
  std::string Text() { return ReadBytes(norvel::SettingsPath(dir.path())); }
  SettingsFields Fields() {
    SettingsFields f;
    f.server = "arserver";
    f.user = "demo";
    f.query = "'Status' = \"Open\"";
    f.max_records = "250";
    f.data_dir = "C:\\norvel\\data";
    f.index_dir = "C:\\norvel\\index";
    f.schema_items = {"HPD:Help Desk", "CHG:Change", "PBM:Known Error"};
    f.selected = {2, 0};
    return f;
  }
  RecordingUi ui;
  ScratchDir dir;
  Settings s;
};

}  // namespace

TEST_F(SettingsFile, SaveThenReadRestoresEveryField) {
  ASSERT_EQ(norvel::SaveProperties(Fields(), &s), 0);
  EXPECT_EQ(Text(),
            "index_dir=C:\\norvel\\index\r\nserver_name=arserver\r\nuser_id=demo\r\n"
            "schema_list_num=2\r\nschema=HPD:Help Desk\r\nschema=PBM:Known Error\r\n"
            "query='Status' = \"Open\"\r\nmax_records=250\r\ndata_dir=C:\\norvel\\data\r\n");
  Settings back;
  back.app_dir = dir.path();
  ASSERT_EQ(norvel::ReadProperties(&back), 0);
  EXPECT_EQ(back.server, "arserver");
  EXPECT_EQ(back.user, "demo");
  EXPECT_EQ(back.query, "'Status' = \"Open\"");  // everything after the first '='
  EXPECT_EQ(back.max_records, 250);
  EXPECT_EQ(back.data_dir, "C:\\norvel\\data");
  EXPECT_EQ(back.index_dir, "C:\\norvel\\index");
  EXPECT_EQ(back.schema_names, (std::vector<std::string>{"HPD:Help Desk", "PBM:Known Error"}));
  Settings startup;
  ASSERT_EQ(norvel::ReadStartupProperties(dir.path(), &startup), 0);
  EXPECT_EQ(startup.app_dir, dir.path());
  EXPECT_EQ(startup.data_dir, "C:\\norvel\\data");
  EXPECT_EQ(startup.index_dir, "C:\\norvel\\index");
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(SettingsFile, SavingFieldsAsTheDialogHoldsThem) {
  SettingsFields f = Fields();
  f.schema_items.clear();
  f.selected.clear();
  f.max_records = "lots";
  f.query = std::string(600, 'q');
  f.server = "line\r\ndata_dir=/elsewhere";  // a field is one line
  ASSERT_EQ(norvel::SaveProperties(f, &s), 0);
  std::string text = Text();
  EXPECT_EQ(text.find("schema_list_num"), std::string::npos);
  EXPECT_NE(text.find("max_records=0\r\n"), std::string::npos);
  EXPECT_NE(text.find("query=" + std::string(511, 'q') + "\r\n"), std::string::npos);
  EXPECT_NE(text.find("server_name=line\r\n"), std::string::npos);
  EXPECT_EQ(text.find("/elsewhere"), std::string::npos);
  f.max_records = "1234567";  // the field holds six characters; no more are read
  ASSERT_EQ(norvel::SaveProperties(f, &s), 0);
  EXPECT_EQ(s.max_records, 123456);
}

TEST_F(SettingsFile, SixDigitMaxRecordsAreSavedAsTyped) {
  SettingsFields f = Fields();
  for (const char* typed : {"100000", "999999", "-99999"}) {
    f.max_records = typed;
    ASSERT_EQ(norvel::SaveProperties(f, &s), 0);
    EXPECT_NE(Text().find(std::string("max_records=") + typed + "\r\n"), std::string::npos)
        << typed;
    Settings back;
    back.app_dir = s.app_dir;
    ASSERT_EQ(norvel::ReadProperties(&back), 0);
    EXPECT_EQ(std::to_string(back.max_records), typed);
  }
}

TEST_F(SettingsFile, ReadingRules) {
  Write(
      "Data_dir=/wrong\nnot a "
      "setting\nindex_dir=/idx\nserver_name=a=b\nmax_records=42x\ndata_dir=/docs");
  ASSERT_EQ(norvel::ReadProperties(&s), 0);
  EXPECT_EQ(s.data_dir, "/docs");  // the last line needs no line feed
  EXPECT_EQ(s.index_dir, "/idx");
  EXPECT_EQ(s.server, "a=b");
  EXPECT_EQ(s.max_records, 42);
  s.user = "kept";
  Write("index_dir=/other\r\n");
  ASSERT_EQ(norvel::ReadProperties(&s), 0);
  EXPECT_EQ(s.user, "kept");  // absent keys keep their value
  EXPECT_EQ(s.data_dir, "");  // the directories are emptied first
}

TEST_F(SettingsFile, SchemaCounts) {
  Write("schema_list_num=2\nschema=a\nschema=b\nschema=c\n");
  ASSERT_EQ(norvel::ReadProperties(&s), 0);
  EXPECT_EQ(s.schema_names, (std::vector<std::string>{"a", "b"}));
  Write("schema_list_num=0\n");
  ASSERT_EQ(norvel::ReadProperties(&s), 0);
  EXPECT_TRUE(s.schema_names.empty());
  Write("schema=early\nschema_list_num=2\nschema=a\n");
  EXPECT_EQ(norvel::ReadProperties(&s), -1);
  EXPECT_TRUE(s.schema_names.empty());
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text, "Property error.ReadProperties():Invalid number of Schemas.");
}

TEST_F(SettingsFile, MissingFile) {
  EXPECT_EQ(norvel::ReadProperties(&s), -1);
  Settings startup;
  startup.data_dir = "old";
  EXPECT_EQ(norvel::ReadStartupProperties(dir.path(), &startup), 0);
  EXPECT_EQ(startup.data_dir, "");
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(SettingsFile, LinesOver1024Bytes) {
  Write("index_dir=/i\nquery=" + std::string(1018, 'q') + "\n");  // 1024 bytes: fits
  ASSERT_EQ(norvel::ReadProperties(&s), 0);
  Write("index_dir=/i\nquery=" + std::string(1019, 'q') + "\ndata_dir=/d\n");
  EXPECT_EQ(norvel::ReadProperties(&s), -1);
  EXPECT_EQ(s.index_dir, "/i");  // lines before the failure stay
  EXPECT_EQ(s.data_dir, "");
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text, "Property error.Line too long.");
  Settings startup;
  EXPECT_EQ(norvel::ReadStartupProperties(dir.path(), &startup), -1);
  ASSERT_EQ(ui.boxes.size(), 2u);
  EXPECT_EQ(ui.boxes[1].text, "Property error.");
  Write("query=" + std::string(3000, 'q'));  // no line feed at all
  EXPECT_EQ(norvel::ReadProperties(&s), -1);
}

TEST_F(SettingsFile, DirectoryTooLongIsRefused) {
  Write("data_dir=" + std::string(260, 'd') + "\n");
  EXPECT_EQ(norvel::ReadProperties(&s), -1);
  Settings startup;
  EXPECT_EQ(norvel::ReadStartupProperties(dir.path(), &startup), -1);
  EXPECT_EQ(startup.data_dir, "");
  ASSERT_EQ(ui.boxes.size(), 2u);
  EXPECT_EQ(ui.boxes[0].text, "File open error.Property too long.");
  Write("data_dir=" + std::string(259, 'd') + "\n");
  EXPECT_EQ(norvel::ReadStartupProperties(dir.path(), &startup), 0);
  EXPECT_EQ(startup.data_dir.size(), 259u);
}

TEST_F(SettingsFile, FileThatCannotBeWritten) {
  s.app_dir = dir.File("missing-dir");
  EXPECT_EQ(norvel::SaveProperties(Fields(), &s), -1);
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text, "Property error.SaveProperties().");
  EXPECT_EQ(s.server, "");  // nothing taken over when the file cannot be opened
}

#ifndef _WIN32
TEST_F(SettingsFile, AFileThatDidNotReachTheDiskIsReported) {
  if (!platform::FileExists("/dev/full")) GTEST_SKIP();
  ASSERT_EQ(symlink("/dev/full", norvel::SettingsPath(dir.path()).c_str()), 0);
  EXPECT_EQ(norvel::SaveProperties(Fields(), &s), -1);
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text, "Property error.SaveProperties().");
}
#endif

// A save whose temporary file cannot be written leaves no norvel.ini where there was none
// (not even an empty one, which would read as settings without directories).
TEST_F(SettingsFile, AFailedSaveLeavesNoSettingsFileWhereThereWasNone) {
  ASSERT_TRUE(platform::MakeDirectory(norvel::SettingsPath(dir.path()) + ".tmp"));
  EXPECT_EQ(norvel::SaveProperties(Fields(), &s), -1);
  EXPECT_FALSE(platform::FileExists(norvel::SettingsPath(dir.path())));
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text, "Property error.SaveProperties().");
}

#ifdef _WIN32
// The rewritten file keeps the attributes of the one it replaces (its ACL with them).
TEST_F(SettingsFile, TheRewrittenFileKeepsItsAttributes) {
  Write("index_dir=C:\\old\n");
  std::string path = norvel::SettingsPath(dir.path());
  ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  ASSERT_EQ(norvel::SaveProperties(Fields(), &s), 0);
  DWORD attributes = GetFileAttributesA(path.c_str());
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN) << attributes;
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_SYSTEM) << attributes;
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}
#else
// The rewritten file keeps the permission bits, owner and group of the one it replaces.
TEST_F(SettingsFile, TheRewrittenFileKeepsItsPermissionsAndOwner) {
  Write("index_dir=/old\n");
  std::string path = norvel::SettingsPath(dir.path());
  ASSERT_EQ(chmod(path.c_str(), 0604), 0);  // no umask makes these bits
  bool root = geteuid() == 0;
  if (root) {
    ASSERT_EQ(chown(path.c_str(), 4321, 4322), 0);
  }
  ASSERT_EQ(norvel::SaveProperties(Fields(), &s), 0);
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0604u);
  if (root) {
    EXPECT_EQ(st.st_uid, 4321u);
    EXPECT_EQ(st.st_gid, 4322u);
  }
  EXPECT_NE(Text().find("index_dir=C:\\norvel\\index"), std::string::npos);
}
#endif

TEST_F(SettingsFile, ResultOrderHasALineOfItsOwnThatDoneKeeps) {
  Write("index_dir=C:\\ix\r\nfont=Courier\r\nquery=a=b\r\n");
  s.order_by_relevance = true;
  ASSERT_EQ(norvel::SaveResultOrder(s), 0);
  // Every other line as it was, the choice last.
  EXPECT_EQ(Text(), "index_dir=C:\\ix\r\nfont=Courier\r\nquery=a=b\r\nresult_order=relevance\r\n");
  Settings read;
  ASSERT_EQ(norvel::ReadStartupProperties(dir.path(), &read), 0);
  EXPECT_TRUE(read.order_by_relevance);
  EXPECT_EQ(read.index_dir, "C:\\ix");
  // The export dialog's Done rewrites the file and keeps the choice.
  ASSERT_EQ(norvel::SaveProperties(Fields(), &read), 0);
  const std::string line = "result_order=relevance\r\n";
  std::string saved = Text();
  ASSERT_GT(saved.size(), line.size());
  const std::string tail = "data_dir=C:\\norvel\\data\r\n" + line;
  EXPECT_EQ(saved.substr(saved.size() - tail.size()), tail);
  read.app_dir = dir.path();
  read.order_by_relevance = false;
  ASSERT_EQ(norvel::ReadProperties(&read), 0);
  EXPECT_TRUE(read.order_by_relevance);
  EXPECT_EQ(read.schema_names.size(), 2u);
  // Back to index order: the line goes, and Done then writes the file as it always did.
  read.order_by_relevance = false;
  ASSERT_EQ(norvel::SaveResultOrder(read), 0);
  EXPECT_EQ(Text(), saved.substr(0, saved.size() - line.size()));
  ASSERT_EQ(norvel::SaveProperties(Fields(), &read), 0);
  EXPECT_EQ(Text(), saved.substr(0, saved.size() - line.size()));
  EXPECT_TRUE(ui.boxes.empty());
}
