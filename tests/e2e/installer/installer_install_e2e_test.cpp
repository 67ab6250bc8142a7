// Installing: acceptance first, the carried program written out exactly, replaced when
// present, nothing written on Cancel, renamed installers, and every failure reported
// with nothing half-written left behind.
#include <string>
#include <vector>

#include "installer_e2e_fixture.h"

namespace norvel_e2e {
namespace {

using namespace e2e;

using InstallTest = InstallerTest;

const char kThanks[] = "Thanks for installing and using Norvel!";

TEST_F(InstallTest, DeclinedAgreementShowsTheAcceptanceBoxAndWritesNothing) {
  Start(MakeInstaller(StandIn()));
  MessageBoxInfo box = PressInstall();
  EXPECT_EQ("Info", box.caption);
  EXPECT_EQ("Please Accept the license Agreement in order to install.", box.text);
  EXPECT_FALSE(FileExists(Target()));
  DismissAndExpectWindowStays(box);
  EXPECT_TRUE(IsChecked(w_.decline));
  EXPECT_EQ(std::vector<std::string>{"installer.exe"}, DirListing());
}

TEST_F(InstallTest, AcceptedInstallWritesTheProgramThanksAndEnds) {
  Start(MakeInstaller(StandIn()));
  Accept();
  MessageBoxInfo box = PressInstall();
  EXPECT_EQ("Info", box.caption);
  EXPECT_EQ(kThanks, box.text);
  // Written in full before the thanks.
  EXPECT_TRUE(FileHolds(Target(), StandIn()));
  ASSERT_TRUE(AnswerMessageBox(box.hwnd));
  EXPECT_TRUE(EndsCleanly());

  // What was installed runs.
  Process installed = Process::Launch(Target(), "", dir().path());
  ASSERT_TRUE(installed.ok()) << installed.error();
  HWND window = WaitForTopWindow(installed.id(), "NorvelStandIn");
  EXPECT_NE(nullptr, window);
  PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_TRUE(installed.WaitForExit(kDefaultTimeoutMs));
}

TEST_F(InstallTest, PayloadsOfAnySizeArriveByteForByte) {
  for (size_t size : {size_t{1}, size_t{100}, size_t{1024}, size_t{2500}}) {
    SCOPED_TRACE(size);
    RemoveTree(Target());
    Start(MakeInstaller(Bytes(size)));
    Accept();
    MessageBoxInfo box = PressInstall();
    EXPECT_EQ(kThanks, box.text);
    AnswerMessageBox(box.hwnd);
    EXPECT_TRUE(EndsCleanly());
    EXPECT_TRUE(FileHolds(Target(), Bytes(size)));
  }
}

TEST_F(InstallTest, InstallerWithoutPayloadHasNothingToExtract) {
  Start(MakeInstaller(""));
  EXPECT_EQ(53248, FileSize(dir().File("installer.exe")));
  Accept();
  MessageBoxInfo box = PressInstall();
  EXPECT_EQ("Info", box.caption);
  EXPECT_EQ("Nothing to extract!", box.text);
  DismissAndExpectWindowStays(box);
  EXPECT_FALSE(FileExists(Target()));
  ASSERT_TRUE(ClickButton(w_.cancel));
  EXPECT_TRUE(EndsCleanly());
}

TEST_F(InstallTest, ExistingProgramIsReplaced) {
  ASSERT_TRUE(WriteFileBytes(Target(), std::string(300000, 'x')));
  Start(MakeInstaller(StandIn()));
  Accept();
  MessageBoxInfo box = PressInstall();
  EXPECT_EQ(kThanks, box.text);
  AnswerMessageBox(box.hwnd);
  EXPECT_TRUE(EndsCleanly());
  EXPECT_TRUE(FileHolds(Target(), StandIn()));
}

TEST_F(InstallTest, CancelEndsWithoutWritingAnything) {
  for (bool accepted : {false, true}) {
    SCOPED_TRACE(accepted ? "accepted" : "declined");
    Start(MakeInstaller(StandIn()));
    if (accepted) Accept();
    ASSERT_TRUE(ClickButton(w_.cancel));
    EXPECT_TRUE(EndsCleanly());
    EXPECT_EQ(std::vector<std::string>{"installer.exe"}, DirListing());
  }
}

// Regression: the installer looked for a file named installer.exe, so a renamed one
// (a second download, a setup.exe) failed with "Error reading installer.exe".
TEST_F(InstallTest, RenamedInstallerInstallsBesideItself) {
  TestDir elsewhere("cwd");
  for (const char* name : {"setup.exe", "installer (1).exe", "Norvel Setup.EXE"}) {
    SCOPED_TRACE(name);
    RemoveTree(Target());
    std::string installer = MakeInstaller(StandIn(), name);
    // Started from elsewhere: the target follows the installer, not the working directory.
    Start(installer, elsewhere.path());
    Accept();
    MessageBoxInfo box = PressInstall();
    EXPECT_EQ(kThanks, box.text);
    AnswerMessageBox(box.hwnd);
    EXPECT_TRUE(EndsCleanly());
    EXPECT_TRUE(FileHolds(Target(), StandIn()));
    EXPECT_FALSE(FileExists(elsewhere.File("norvel.exe")));
    RemoveTree(installer);
  }
}

TEST_F(InstallTest, CommandLineWithoutAPathStillFindsTheInstaller) {
  std::string installer = MakeInstaller(StandIn(), "setup.exe");
  StartWithCommandLine(installer, "setup.exe", dir().path());
  Accept();
  MessageBoxInfo box = PressInstall();
  EXPECT_EQ(kThanks, box.text);
  AnswerMessageBox(box.hwnd);
  EXPECT_TRUE(EndsCleanly());
  EXPECT_TRUE(FileHolds(Target(), StandIn()));
}

TEST_F(InstallTest, TargetThatCannotBeWrittenIsReportedAndLeftAsItWas) {
  // A folder where the program should go.
  ASSERT_TRUE(MakeDirectories(Target()));
  ASSERT_TRUE(WriteFileBytes(Target() + "\\keep.txt", "mine"));
  Start(MakeInstaller(StandIn()));
  Accept();
  MessageBoxInfo box = PressInstall();
  EXPECT_EQ("Error", box.caption);
  EXPECT_EQ("Error extracting Application", box.text);
  DismissAndExpectWindowStays(box);
  EXPECT_TRUE(FileHolds(Target() + "\\keep.txt", "mine"));

  // The program in use: held open without sharing, as a running program holds it. The
  // user's copy must survive the failed attempt, not be removed as a partial one.
  ASSERT_TRUE(RemoveTree(Target()));
  ASSERT_TRUE(WriteFileBytes(Target(), "old program"));
  HANDLE held = CreateFileA(Target().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  box = PressInstall();
  EXPECT_EQ("Error extracting Application", box.text);
  DismissAndExpectWindowStays(box);
  CloseHandle(held);
  EXPECT_TRUE(FileHolds(Target(), "old program"));

  // Released, the same window installs on the next try.
  box = PressInstall();
  EXPECT_EQ(kThanks, box.text);
  AnswerMessageBox(box.hwnd);
  EXPECT_TRUE(EndsCleanly());
  EXPECT_TRUE(FileHolds(Target(), StandIn()));
}

TEST_F(InstallTest, InstallerNamedNorvelExeDoesNotOverwriteItself) {
  std::string installer = MakeInstaller(StandIn(), "norvel.exe");
  const std::string before = ReadFileBytes(installer);
  Start(installer);
  Accept();
  MessageBoxInfo box = PressInstall();
  EXPECT_EQ("Error extracting Application", box.text);
  DismissAndExpectWindowStays(box);
  ASSERT_TRUE(ClickButton(w_.cancel));
  EXPECT_TRUE(EndsCleanly());
  EXPECT_TRUE(FileHolds(installer, before));
}

// The release as a user gets it: dist\installer.exe carries the norvel.exe of this build.
TEST_F(InstallTest, ReleaseInstallerInstallsTheBuiltNorvel) {
  const std::string built = ProgramDir() + "\\norvel.exe";
  const std::string release = WindowsPath(NORVEL_DIST_DIR) + "\\installer.exe";
  if (!FileExists(built)) GTEST_SKIP() << "norvel.exe is not built in this tree";
  ASSERT_TRUE(FileExists(release)) << release << " missing: build the dist target";
  const std::string program = ReadFileBytes(built);
  ASSERT_TRUE(FileHolds(release, InstallerImage() + program)) << "the release installer is stale";

  std::string installer = dir().File("installer.exe");
  ASSERT_TRUE(CopyFileTo(release, installer));
  Start(installer);
  Accept();
  MessageBoxInfo box = PressInstall();
  EXPECT_EQ(kThanks, box.text);
  AnswerMessageBox(box.hwnd);
  EXPECT_TRUE(EndsCleanly());
  EXPECT_TRUE(FileHolds(Target(), program));

  Process norvel = Process::Launch(Target(), "", dir().path());
  ASSERT_TRUE(norvel.ok()) << norvel.error();
  HWND window = WaitForTopWindow(norvel.id(), "Norvel");
  EXPECT_NE(nullptr, window) << "the installed norvel.exe opened no window";
  if (window) {
    std::string shot = SaveScreenshot(window, "installed-norvel");
    std::printf("screenshot: %s\n", shot.c_str());
  }
  norvel.Kill();
}

}  // namespace
}  // namespace norvel_e2e
