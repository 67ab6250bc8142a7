// The background job under Wine with the stand-in arapi51.dll: the export from the demo
// server through to the swap at the next search, the growing wait text, the indexing
// marker against a second Index and a second instance, Cancel, and the question for a
// data directory that does not exist.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "export_window.h"

using norvel_e2e::ExportWindow;
using norvel_e2e::SearchWindow;

namespace {

const char kPassword[] = "s3cret-Pw";
const char kProgressPattern[] =
    "Exported = (\\d+)/(\\d+) \\| Indexed = (\\d+)/(\\d+) \\| Saved = (\\d+)/(\\d+)";

const char kCases[] = R"(schema "HD:Case"
field 1 char "Request ID" max=15
field 8 char "Summary" max=128
entry
set 1 HD0000000000001
set 8 "Printer jams on the second floor"
entry
set 1 HD0000000000002
set 8 "Mail server refuses attachments"
entry
set 1 HD0000000000003
set 8 "Badge reader offline at the east entrance"
)";

const char kNotes[] = R"(schema "HD:Note"
field 1 char "Note ID" max=15
field 8 char "Text" max=128
entry
set 1 NT0000000000001
set 8 "Zeppelin hangar keys are at the front desk"
entry
set 1 NT0000000000002
set 8 "Zeppelin tours resume in spring"
)";

// Server "helpdesk" (login agent / s3cret-Pw) with two schemas and the given extra lines.
void AddHelpdesk(ExportWindow* w, const std::string& directives = "") {
  w->AddServer("helpdesk", std::string("user agent ") + kPassword + "\n" + directives,
               {{"10-cases.schema", kCases}, {"20-notes.schema", kNotes}});
}

// Opens the dialog, fetches the schemas of server "helpdesk", selects them all and fills
// the rest.
void SetUpHelpdeskExport(ExportWindow* w, const std::string& data_dir) {
  ASSERT_TRUE(w->OpenDialog()) << w->dialog_why();
  const auto& d = w->dialog;
  d.Fill("helpdesk", "agent", kPassword, "'1' != $NULL$", "50", data_dir, w->index());
  w->Press(d.get_schemas);
  ASSERT_TRUE(e2e::WaitUntil([&] { return d.Items().size() == 2; }));
  d.Select(0);
  d.Select(1);
}

bool WaitForProgressText(ExportWindow& w, std::smatch* parts, std::string* last) {
  static const std::regex pattern(kProgressPattern);
  return e2e::WaitForStatusText(
      w.status,
      [&](const std::string& s) {
        *last = s;
        return std::regex_match(*last, *parts, pattern);
      },
      last);
}

bool WaitForTotal(ExportWindow& w, const std::string& total, std::string* last) {
  return e2e::WaitForStatusText(
      w.status,
      [&](const std::string& s) { return s.find("|Total=" + total) != std::string::npos; }, last);
}

// Searches for words that only the exported entries hold. Until the job has set its ready
// flag, a search still meets the old index (or none) and answers with a box: it is
// answered and the search made again. The status text once a search found something.
std::string SearchTheNewIndex(ExportWindow& w, const std::string& query) {
  std::string status;
  e2e::WaitUntil([&] {
    w.Search(query);
    bool found = false;
    e2e::WaitUntil([&] {
      e2e::MessageBoxInfo box = e2e::FindMessageBox(w.process.id());
      if (box.hwnd) return e2e::AnswerMessageBox(box.hwnd);
      status = w.StatusNow();
      return found = status.find("seconds|Total=") != std::string::npos;
    });
    return found;
  });
  return status;
}

// The message boxes the program shows now, read.
std::vector<e2e::MessageBoxInfo> Boxes(DWORD pid) {
  std::vector<e2e::MessageBoxInfo> boxes;
  for (HWND top : e2e::TopWindows(pid)) {
    if (e2e::ClassName(top) == "#32770") boxes.push_back(e2e::ReadMessageBox(top));
  }
  return boxes;
}

}  // namespace

TEST(BackgroundJob, ExportsTwoDemoSchemasAndTheNextSearchSwapsTheNewIndexIn) {
  ExportWindow w;
  w.AddDemoServer();
  w.WriteDocs(3);
  w.Index();
  w.WriteSettings();
  ASSERT_TRUE(w.Start()) << w.why();
  ASSERT_TRUE(w.OpenDialog()) << w.dialog_why();
  const auto& d = w.dialog;
  d.Fill("demo", "demo", "demo", "'1' != $NULL$", "1000", w.data(), w.index());
  w.Press(d.get_schemas);
  ASSERT_TRUE(e2e::WaitUntil([&] { return d.Items().size() == 3; }));
  d.Select(0);  // HPD:Case, 180 cases
  d.Select(2);  // KB:Known Issue, 40 issues
  w.Press(d.index);
  ASSERT_TRUE(w.DialogClosed());

  std::smatch parts;
  std::string last;
  ASSERT_TRUE(WaitForProgressText(w, &parts, &last)) << last;
  // The final text: every entry written, then indexed with the three documents.
  ASSERT_TRUE(e2e::WaitForStatusText(
      w.status, [](const std::string& s) { return s.find("Indexed = 223/") != std::string::npos; },
      &last))
      << last;
  EXPECT_EQ(last.rfind("Exported = 220/", 0), 0u) << last;
  EXPECT_TRUE(e2e::FileExists(w.data() + "\\KI0000000000001.txt"));
  EXPECT_EQ(w.SettingsText().find("schema_list_num=2\r\nschema=HPD:Case\r\nschema=KB:Known Issue"),
            w.SettingsText().find("schema_list_num"))
      << w.SettingsText();

  // The next search swaps the new index in and finds the exported entries.
  last = SearchTheNewIndex(w, "hotfix");
  EXPECT_TRUE(std::regex_search(last, std::regex("\\|Total=4$"))) << last;
  EXPECT_FALSE(e2e::FileExists(w.index() + "\\_newstats.dat"));
  // The first title is an exported known issue: its file is named after its Request ID.
  EXPECT_TRUE(e2e::WaitUntil([&] {
    e2e::PostMouseMove(w.main, 4, 34);
    e2e::Ping(w.main);
    last = w.StatusNow();
    return std::regex_match(last, std::regex("KI\\d{13}\\.txt"));
  })) << last;
  // The old documents are in the new index too.
  w.Search("alpha");
  EXPECT_TRUE(WaitForTotal(w, "3", &last)) << last;
  // The swap released the marker: Index works again.
  ASSERT_TRUE(w.OpenDialog()) << w.dialog_why();
  EXPECT_EQ(e2e::GetText(w.dialog.password), "");
}

TEST(BackgroundJob, WaitTextGrowsThenTheMarkerKeepsOutEveryOtherIndexUntilTheSwap) {
  ExportWindow w;
  AddHelpdesk(&w, "hold ARGetListEntryWithFields schema=HD:Case\n");
  w.WriteDocs(3);
  w.Index();
  w.WriteSettings();
  ASSERT_TRUE(w.Start()) << w.why();
  SetUpHelpdeskExport(&w, w.data());
  w.Press(w.dialog.index);
  ASSERT_TRUE(w.DialogClosed());
  ASSERT_TRUE(w.WaitUntilHeld("helpdesk", "ARGetListEntryWithFields"));

  // Nothing counted yet: every tick shows one more character of the wait text.
  const std::string wait_text = "Please wait...";
  std::vector<std::string> seen;
  std::string last;
  EXPECT_TRUE(e2e::WaitForStatusText(
      w.status,
      [&](const std::string&) {
        const std::string s = w.StatusNow();
        if (seen.empty() || seen.back() != s) seen.push_back(s);
        return s == wait_text;
      },
      &last))
      << last;
  for (const std::string& s : seen) {
    if (s == "Ready") continue;  // before the first tick
    EXPECT_EQ(wait_text.compare(0, s.size(), s), 0) << s;
    EXPECT_GE(s.size(), 2u) << "the first tick shows two characters";
  }
  EXPECT_GE(seen.size(), 3u);
  // ... and then starts again from one character.
  EXPECT_TRUE(e2e::WaitForStatusText(
      w.status, [](const std::string& s) { return s == "P"; }, &last))
      << last;

  // A running job holds the marker against this instance and any other.
  e2e::PostCommand(w.main, 2000);
  EXPECT_EQ(w.ExpectBox("Info", "Indexing in progress.Please try later."), "");
  {
    SearchWindow second(w.app());
    ASSERT_TRUE(second.Start()) << second.why();
    e2e::PostCommand(second.main, 2000);
    e2e::MessageBoxInfo box = e2e::WaitForMessageBox(second.process.id());
    EXPECT_EQ(box.text, "Indexing in progress.Please try later.");
    EXPECT_EQ(box.owner, second.main);
    e2e::AnswerMessageBox(box.hwnd);
    EXPECT_EQ(e2e::FindTopWindow(second.process.id(), "NorvelDB"), nullptr);
    EXPECT_TRUE(second.Exit());
  }

  w.Release("helpdesk", "ARGetListEntryWithFields");
  std::smatch parts;
  ASSERT_TRUE(WaitForProgressText(w, &parts, &last)) << last;
  ASSERT_TRUE(e2e::WaitForStatusText(
      w.status, [](const std::string& s) { return s.find("Indexed = 8/") != std::string::npos; },
      &last))
      << last;
  EXPECT_EQ(last.rfind("Exported = 5/", 0), 0u) << last;

  // A finished new index waiting for its swap holds the marker too.
  ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::FileExists(w.index() + "\\_newstats.dat"); }));
  e2e::PostCommand(w.main, 2000);
  EXPECT_EQ(w.ExpectBox("Info", "Indexing in progress.Please try later."), "");

  // The password reached neither the settings nor the log.
  EXPECT_EQ(w.SettingsText().find(kPassword), std::string::npos) << w.SettingsText();
  EXPECT_EQ(w.LogText().find(kPassword), std::string::npos) << w.LogText();

  last = SearchTheNewIndex(w, "zeppelin");
  EXPECT_TRUE(std::regex_search(last, std::regex("\\|Total=2$"))) << last;
  ASSERT_TRUE(w.OpenDialog()) << w.dialog_why();
}

TEST(BackgroundJob, CancelStopsTheExportAndTheBuildAndLeavesTheOldIndex) {
  ExportWindow w;
  AddHelpdesk(&w, "hold ARGetEntry schema=HD:Case entry=HD0000000000002\n");
  w.WriteDocs(3);
  w.Index();
  w.WriteSettings();
  ASSERT_TRUE(w.Start()) << w.why();
  SetUpHelpdeskExport(&w, w.data());
  w.Press(w.dialog.index);
  ASSERT_TRUE(w.DialogClosed());
  ASSERT_TRUE(w.WaitUntilHeld("helpdesk", "ARGetEntry"));

  // Cancel sets the stop flag and waits for the job, handling messages meanwhile: the
  // character posted after it arrives only once Cancel is waiting.
  e2e::PostCommand(w.main, 2010);
  e2e::PostChar(w.field, 'x');
  ASSERT_TRUE(e2e::WaitForText(w.field, "x"));
  w.Release("helpdesk", "ARGetEntry");
  // The export of the first schema stops before its next entry, the second before its
  // listing, which counts as its failure; the build stops before its next document.
  EXPECT_EQ(w.ExpectBox("Error", "Export error.Please check the logs."), "");
  EXPECT_EQ(w.ExpectBox("Error", "Index error.Please check the logs."), "");
  std::string last;
  EXPECT_TRUE(e2e::WaitForStatusText(
      w.status, [](const std::string& s) { return s.empty(); }, &last))
      << last;
  EXPECT_TRUE(e2e::FileExists(w.data() + "\\HD0000000000002.txt"));
  EXPECT_FALSE(e2e::FileExists(w.data() + "\\HD0000000000003.txt"));
  EXPECT_FALSE(e2e::FileExists(w.data() + "\\NT0000000000001.txt"));
  // Nothing of the stopped build is left to be swapped in at the next start.
  EXPECT_TRUE(ExportWindow::FilesIn(w.index(), "_new*").empty());

  e2e::SetText(w.field, "");
  w.Search("alpha");
  EXPECT_TRUE(WaitForTotal(w, "3", &last)) << last;
  // Cancel released the marker once the job had ended.
  EXPECT_TRUE(w.WaitForMarkerFree());
  ASSERT_TRUE(w.OpenDialog()) << w.dialog_why();
}

TEST(BackgroundJob, AMissingDataDirectoryIsOfferedForCreation) {
  ExportWindow w;
  AddHelpdesk(&w);
  w.WriteSettings();
  ASSERT_TRUE(w.Start()) << w.why();
  const std::string missing = w.data() + "\\exported\\today";

  // Declined: the job ends and releases the marker; nothing else is said.
  SetUpHelpdeskExport(&w, missing);
  w.Press(w.dialog.index);
  ASSERT_TRUE(w.DialogClosed());
  e2e::MessageBoxInfo box = e2e::WaitForMessageBox(w.process.id());
  ASSERT_NE(box.hwnd, nullptr);
  EXPECT_EQ(box.caption, "Info");
  EXPECT_EQ(box.text, missing + " doesn't exist. Create it ?");
  EXPECT_EQ(box.buttons, (std::vector<std::string>{"OK", "Cancel"}));
  EXPECT_EQ(box.owner, w.main);
  ASSERT_TRUE(e2e::AnswerMessageBox(box.hwnd, IDCANCEL));
  EXPECT_TRUE(w.WaitForMarkerFree());
  EXPECT_FALSE(e2e::DirectoryExists(w.data() + "\\exported"));

  // Agreed: both levels are made and the job goes on.
  ASSERT_TRUE(w.OpenDialog()) << w.dialog_why();
  e2e::SetText(w.dialog.password, kPassword);
  w.Press(w.dialog.index);
  ASSERT_TRUE(w.DialogClosed());
  EXPECT_EQ(w.ExpectBox("Info", missing + " doesn't exist. Create it ?"), "");
  std::string last;
  ASSERT_TRUE(e2e::WaitForStatusText(
      w.status, [](const std::string& s) { return s.find("Indexed = 5/") != std::string::npos; },
      &last))
      << last;
  EXPECT_TRUE(e2e::FileExists(missing + "\\NT0000000000002.txt"));
}

// A failed job releases the marker before it shows its failure, from its own thread.
TEST(BackgroundJob, IndexWaitsUntilTheLastJobHasEndedBeforeTheDialogOpens) {
  ExportWindow w;
  w.WriteSettings();  // the data directory holds nothing to index
  ASSERT_TRUE(w.Start()) << w.why();
  ASSERT_TRUE(w.OpenDialog()) << w.dialog_why();
  w.dialog.Fill("helpdesk", "agent", "", "'1' != $NULL$", "5", w.data(), w.index());
  w.Press(w.dialog.index);  // no schema selected: straight to the build, which fails
  ASSERT_TRUE(w.DialogClosed());
  e2e::MessageBoxInfo failure = e2e::WaitForMessageBox(w.process.id());
  ASSERT_EQ(failure.text, "Index error.Please check the logs.");

  // Index is handled (the character posted after it arrives) but no dialog opens while
  // the job's thread still shows its box.
  e2e::PostCommand(w.main, 2000);
  e2e::PostChar(w.field, 'x');
  ASSERT_TRUE(e2e::WaitForText(w.field, "x"));
  EXPECT_EQ(e2e::FindTopWindow(w.process.id(), "NorvelDB"), nullptr);
  EXPECT_EQ(Boxes(w.process.id()).size(), 1u);
  ASSERT_TRUE(e2e::AnswerMessageBox(failure.hwnd));
  EXPECT_NE(e2e::WaitForTopWindow(w.process.id(), "NorvelDB", "Index"), nullptr);
  EXPECT_NE(w.LogText().find("doIndex():Nothing to index."), std::string::npos);
}

// The job's boxes show on the window's thread while the job waits for their answer: a
// Cancel arriving meanwhile must not wait for the job there, or neither would ever go on.
TEST(BackgroundJob, CancelWhileTheJobShowsABoxEndsOnceTheBoxIsAnswered) {
  ExportWindow w;
  w.WriteSettings();  // the data directory holds nothing to index
  ASSERT_TRUE(w.Start()) << w.why();
  ASSERT_TRUE(w.OpenDialog()) << w.dialog_why();
  w.dialog.Fill("helpdesk", "agent", "", "'1' != $NULL$", "5", w.data(), w.index());
  w.Press(w.dialog.index);
  ASSERT_TRUE(w.DialogClosed());
  e2e::MessageBoxInfo failure = e2e::WaitForMessageBox(w.process.id());
  ASSERT_EQ(failure.text, "Index error.Please check the logs.");

  e2e::PostCommand(w.main, 2010);
  e2e::PostChar(w.field, 'x');
  ASSERT_TRUE(e2e::WaitForText(w.field, "x"));
  ASSERT_TRUE(e2e::AnswerMessageBox(failure.hwnd));

  // The job has ended and the window takes the next Index as usual.
  e2e::PostCommand(w.main, 2000);
  EXPECT_NE(e2e::WaitForTopWindow(w.process.id(), "NorvelDB", "Index"), nullptr);
}

TEST(BackgroundJob, ExitWhileTheJobRunsEndsTheProgramOnlyWhenTheJobHasEnded) {
  ExportWindow w;
  AddHelpdesk(&w, "hold ARGetListEntryWithFields schema=HD:Note\n");
  w.WriteDocs(3);
  w.Index();
  w.WriteSettings();
  ASSERT_TRUE(w.Start()) << w.why();
  SetUpHelpdeskExport(&w, w.data());
  w.Press(w.dialog.index);
  ASSERT_TRUE(w.DialogClosed());
  ASSERT_TRUE(w.WaitUntilHeld("helpdesk", "ARGetListEntryWithFields"));

  e2e::PostCommand(w.main, 2020);
  EXPECT_TRUE(e2e::WaitForNoTopWindow(w.process.id(), "Norvel"));
  EXPECT_FALSE(w.process.HasExited()) << "the job still runs";
  w.Release("helpdesk", "ARGetListEntryWithFields");
  ASSERT_TRUE(w.process.WaitForExit(e2e::kDefaultTimeoutMs));
  EXPECT_EQ(w.process.ExitCode(), 0);
  // The job finished its new index; the next start swaps it in.
  EXPECT_TRUE(e2e::FileExists(w.index() + "\\_newstats.dat"));
  ASSERT_TRUE(w.Start()) << w.why();
  EXPECT_FALSE(e2e::FileExists(w.index() + "\\_newstats.dat"));
  w.Search("zeppelin");
  std::string last;
  EXPECT_TRUE(WaitForTotal(w, "2", &last)) << last;
}

// A first run: no settings, no index; the user names the directories in the dialog.
TEST(BackgroundJob, AFirstRunExportsIndexesAndSearchesWithTheDirectoriesOfTheDialog) {
  ExportWindow w;
  w.AddDemoServer();
  ASSERT_TRUE(w.Start()) << w.why();
  ASSERT_TRUE(w.OpenDialog()) << w.dialog_why();
  const auto& d = w.dialog;
  const std::string data = w.data() + "\\ar";
  d.Fill("demo", "demo", "demo", "'Status' = \"Closed\"", "500", data, w.index());
  w.Press(d.get_schemas);
  ASSERT_TRUE(e2e::WaitUntil([&] { return d.Items().size() == 3; }));
  d.Select(1);  // CHG:Change Request
  d.Select(2);  // KB:Known Issue
  w.Press(d.index);
  ASSERT_TRUE(w.DialogClosed());
  EXPECT_EQ(w.ExpectBox("Info", data + " doesn't exist. Create it ?"), "");
  std::smatch parts;
  std::string last;
  ASSERT_TRUE(WaitForProgressText(w, &parts, &last)) << last;
  EXPECT_NE(w.SettingsText().find("data_dir=" + data + "\r\n"), std::string::npos);
  last = SearchTheNewIndex(w, "hotfix");
  EXPECT_NE(last.find("|Total="), std::string::npos) << last;
  // A document opens from the data directory the dialog named.
  e2e::PostLeftClick(w.main, 4, 34);
  EXPECT_TRUE(e2e::WaitUntil([&] {
    e2e::Ping(w.main);
    e2e::ClearClipboard();
    w.Command(3010);
    w.Command(3000);
    return e2e::ClipboardText().find("Vendor hotfix released") != std::string::npos;
  })) << e2e::ClipboardText();
}
