// The export dialog under Wine: its fields from the settings, Get Schemas with
// re-selection, the Tab chain, the field checks in their order, Done and the close box.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "export_window.h"

using norvel_e2e::ExportWindow;
using Strings = std::vector<std::string>;

namespace {

std::string SavedSettings(const ExportWindow& w) {
  return "index_dir=" + w.index() + "\r\nserver_name=demo\r\nuser_id=demo\r\n" +
         "schema_list_num=2\r\nschema=KB:Known Issue\r\nschema=hpd:case\r\n" +
         "query='Status' = \"Open\"\r\nmax_records=250\r\ndata_dir=" + w.data() + "\r\n";
}

}  // namespace

TEST(ExportDialog, OpensWithTheSavedFieldsAndGetSchemasSelectsTheSavedSchemasAgain) {
  ExportWindow w;
  w.AddDemoServer();
  w.WriteSettingsText(SavedSettings(w));
  ASSERT_TRUE(w.Start()) << w.why();
  ASSERT_TRUE(w.OpenDialog()) << w.dialog_why();
  const auto& d = w.dialog;
  EXPECT_FALSE(e2e::IsEnabled(w.main));
  EXPECT_TRUE(e2e::WaitForFocus(d.server));
  EXPECT_EQ(e2e::GetText(d.server), "demo");
  EXPECT_EQ(e2e::GetText(d.user), "demo");
  EXPECT_EQ(e2e::GetText(d.password), "");
  EXPECT_EQ(e2e::GetText(d.query), "'Status' = \"Open\"");
  EXPECT_EQ(e2e::GetText(d.max_records), "250");
  EXPECT_EQ(e2e::GetText(d.data_dir), w.data());
  EXPECT_EQ(e2e::GetText(d.index_dir), w.index());
  EXPECT_EQ(d.Items(), (Strings{"KB:Known Issue", "hpd:case"}));
  EXPECT_EQ(d.Selected(), (std::vector<int>{0, 1}));

  e2e::SetText(d.password, "demo");
  w.Press(d.get_schemas);
  ASSERT_TRUE(e2e::WaitUntil([&] { return d.Items().size() == 3; }));
  e2e::Ping(d.window);
  EXPECT_EQ(d.Items(), (Strings{"HPD:Case", "CHG:Change Request", "KB:Known Issue"}));
  // The saved "hpd:case" differs from the server's name only in letter case.
  EXPECT_EQ(d.Selected(), (std::vector<int>{0, 2}));
  // A second fetch selects every name the list already held.
  w.Press(d.get_schemas);
  EXPECT_TRUE(e2e::WaitUntil([&] { return d.Selected().size() == 3; }));

  e2e::BringToFront(d.window);
  EXPECT_FALSE(e2e::SaveScreenshot(d.window, "export_dialog").empty());
}

TEST(ExportDialog, GetSchemasThatFailsKeepsTheListAndSaysSo) {
  ExportWindow w;
  w.AddDemoServer();
  w.WriteSettingsText(SavedSettings(w));
  ASSERT_TRUE(w.Start()) << w.why();
  ASSERT_TRUE(w.OpenDialog()) << w.dialog_why();
  e2e::SetText(w.dialog.password, "wrong");
  w.Press(w.dialog.get_schemas);
  EXPECT_EQ(w.ExpectBox("Error", "Export error.Please check the logs."), "");
  EXPECT_EQ(w.dialog.Items(), (Strings{"KB:Known Issue", "hpd:case"}));
  EXPECT_EQ(w.dialog.Selected(), (std::vector<int>{0, 1}));
  // The password reached neither the log nor the settings.
  EXPECT_NE(w.LogText().find("Authentication failed"), std::string::npos) << w.LogText();
  EXPECT_EQ(w.LogText().find("wrong"), std::string::npos);
}

TEST(ExportDialog, TabRunsThroughTheFieldsAndButtonsAndBackToServer) {
  ExportWindow w;
  ASSERT_TRUE(w.Start()) << w.why();
  ASSERT_TRUE(w.OpenDialog()) << w.dialog_why();
  const auto& d = w.dialog;
  const std::vector<HWND> chain = {d.user,  d.password,    d.get_schemas, d.list,
                                   d.query, d.max_records, d.data_dir,    d.index_dir,
                                   d.index, d.done,        d.server};
  ASSERT_TRUE(e2e::WaitForFocus(d.server));
  HWND at = d.server;
  for (HWND next : chain) {
    e2e::PostKey(at, VK_TAB);
    ASSERT_TRUE(e2e::WaitForFocus(next)) << "Tab from control " << e2e::ControlId(at);
    at = next;
  }
}

TEST(ExportDialog, FieldChecksReportTheFirstFaultInTheirOrderAndFocusItsField) {
  ExportWindow w;  // no settings: empty fields, Max records "0"
  ASSERT_TRUE(w.Start()) << w.why();
  ASSERT_TRUE(w.OpenDialog()) << w.dialog_why();
  const auto& d = w.dialog;
  EXPECT_EQ(e2e::GetText(d.server), "");
  EXPECT_EQ(e2e::GetText(d.max_records), "0");
  EXPECT_TRUE(d.Items().empty());

  struct Step {
    const char* message;
    HWND field;
    HWND fill;
    const char* text;
  };
  const Step steps[] = {
      {"Invalid Server Name.", d.server, d.server, "demo"},
      {"Invalid User Id.", d.user, d.user, "demo"},
      {"Invalid Query.", d.query, d.query, "'Status' = \"Open\""},
      {"Invalid Max records.", d.max_records, d.max_records, "abc"},
      {"Invalid Max records.", d.max_records, d.max_records, "-5"},  // any value but 0 passes
      {"Invalid Data Dir.", d.data_dir, d.data_dir, "C:\\data"},
      {"Invalid Index Dir.", d.index_dir, nullptr, nullptr},
  };
  for (const Step& step : steps) {
    w.Press(d.index);
    e2e::MessageBoxInfo box = e2e::WaitForMessageBox(w.process.id());
    ASSERT_NE(box.hwnd, nullptr) << "expected " << step.message;
    EXPECT_EQ(box.caption, "Error");
    EXPECT_EQ(box.text, step.message);
    EXPECT_EQ(box.owner, d.window);
    ASSERT_TRUE(e2e::AnswerMessageBox(box.hwnd));
    EXPECT_TRUE(e2e::WaitForFocus(step.field)) << step.message;
    EXPECT_TRUE(e2e::IsVisible(d.window)) << "a failing check keeps the dialog open";
    if (step.fill) e2e::SetText(step.fill, step.text);
  }
  EXPECT_FALSE(e2e::FileExists(w.SettingsPath()));
}

TEST(ExportDialog, DoneSavesTheFieldsAndGivesTheFocusBack) {
  ExportWindow w;
  w.AddDemoServer();
  w.WriteSettingsText(SavedSettings(w));
  ASSERT_TRUE(w.Start()) << w.why();
  ASSERT_TRUE(e2e::WaitForFocus(w.field));
  ASSERT_TRUE(w.OpenDialog()) << w.dialog_why();
  const auto& d = w.dialog;
  e2e::SetText(d.password, "demo");
  e2e::SetText(d.query, "'Priority' = \"High\"");
  e2e::SetText(d.max_records, "100000");
  d.Select(0, false);  // only "hpd:case" stays selected
  w.Press(d.done);
  ASSERT_TRUE(w.DialogClosed());
  EXPECT_TRUE(e2e::IsEnabled(w.main));
  EXPECT_TRUE(e2e::WaitForFocus(w.field));
  EXPECT_EQ(w.SettingsText(), "index_dir=" + w.index() +
                                  "\r\nserver_name=demo\r\nuser_id=demo\r\n"
                                  "schema_list_num=1\r\nschema=hpd:case\r\n"
                                  "query='Priority' = \"High\"\r\nmax_records=100000\r\n"
                                  "data_dir=" +
                                  w.data() + "\r\n");
  // Done starts no job: the marker stays held until Cancel.
  w.Command(2010);
  ASSERT_TRUE(w.OpenDialog()) << w.dialog_why();
  EXPECT_EQ(e2e::GetText(w.dialog.password), "") << "the password is never kept";
  EXPECT_EQ(w.dialog.Items(), (Strings{"hpd:case"}));
}

TEST(ExportDialog, TheCloseBoxSavesNothingAndTheMarkerStaysHeldUntilCancel) {
  ExportWindow w;
  w.AddDemoServer();
  w.WriteSettingsText(SavedSettings(w));
  const std::string before = w.SettingsText();
  ASSERT_TRUE(w.Start()) << w.why();
  ASSERT_TRUE(e2e::WaitForFocus(w.field));
  ASSERT_TRUE(w.OpenDialog()) << w.dialog_why();
  e2e::SetText(w.dialog.server, "elsewhere");
  e2e::SetText(w.dialog.max_records, "7");
  PostMessageA(w.dialog.window, WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_TRUE(w.DialogClosed());
  EXPECT_EQ(w.SettingsText(), before);
  EXPECT_TRUE(e2e::IsEnabled(w.main));
  // The keyboard goes back to where it was, not to the window that is gone.
  EXPECT_TRUE(e2e::WaitForFocus(w.field));

  e2e::PostCommand(w.main, 2000);
  EXPECT_EQ(w.ExpectBox("Info", "Indexing in progress.Please try later."), "");
  w.Command(2010);
  ASSERT_TRUE(w.OpenDialog()) << w.dialog_why();
  EXPECT_EQ(e2e::GetText(w.dialog.server), "demo");
}

TEST(ExportDialog, ASettingsFileThatCannotBeReadShowsEmptyFieldsAndLeavesTheWindowAlone) {
  ExportWindow w;
  w.WriteDocs(3);
  w.Index();
  w.WriteSettings();
  ASSERT_TRUE(w.Start()) << w.why();
  // The file goes away while the program runs: the dialog reads nothing.
  ASSERT_TRUE(e2e::RemoveTree(w.SettingsPath()));
  ASSERT_TRUE(w.OpenDialog()) << w.dialog_why();
  EXPECT_EQ(e2e::GetText(w.dialog.data_dir), "");
  EXPECT_EQ(e2e::GetText(w.dialog.max_records), "0");
  PostMessageA(w.dialog.window, WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_TRUE(w.DialogClosed());
  // The window still searches its index and shows its documents.
  w.Search("alpha");
  std::string last;
  EXPECT_TRUE(e2e::WaitForStatusText(
      w.status, [](const std::string& s) { return s.find("|Total=3") != std::string::npos; },
      &last))
      << last;
  EXPECT_TRUE(w.HoverShows(4, 34, "doc00.txt", &last)) << last;
  EXPECT_FALSE(e2e::FileExists(w.SettingsPath()));
}
