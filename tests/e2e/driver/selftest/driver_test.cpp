// Self-test of the end-to-end driver against the probe window: every way the driver
// acts on a program and reads it back, so a failing product test points at the product.
#include <gtest/gtest.h>

#include "tests/e2e/driver/e2e.h"

namespace {

using namespace e2e;

std::string ProbePath() {
  return ProgramDir() + "\\e2e_probe.exe";
}

const int kEditId = 101, kGreetId = 102;
const int kCopyCommand = 200, kQuitCommand = 201;

TEST(ProcessTest, ReportsExitCodeAndKillsAHungProgram) {
  Process quick = Process::Launch(ProbePath(), "nowindow exit=7");
  ASSERT_TRUE(quick.ok()) << quick.error();
  ASSERT_TRUE(quick.WaitForExit(kDefaultTimeoutMs));
  EXPECT_EQ(7, quick.ExitCode());

  Process hung = Process::Launch(ProbePath(), "hang");
  ASSERT_TRUE(hung.ok()) << hung.error();
  EXPECT_FALSE(hung.HasExited());
  EXPECT_EQ(-1, hung.ExitCode());
  hung.Kill();
  EXPECT_TRUE(hung.HasExited());
  EXPECT_EQ(1, hung.ExitCode());
}

TEST(ProcessTest, LaunchFailureSaysWhy) {
  Process missing = Process::Launch(ProgramDir() + "\\no-such-program.exe");
  EXPECT_FALSE(missing.ok());
  EXPECT_NE(std::string::npos, missing.error().find("CreateProcess"));
}

TEST(ProcessTest, StartsInTheGivenWorkingDirectory) {
  TestDir dir("cwd");
  // A command line without a path makes the system look in the working directory.
  ASSERT_TRUE(CopyFileTo(ProbePath(), dir.File("probe copy.exe")));
  Process p = Process::LaunchCommandLine("\"probe copy.exe\" nowindow exit=3", dir.path(),
                                         dir.File("probe copy.exe"));
  ASSERT_TRUE(p.ok()) << p.error();
  ASSERT_TRUE(p.WaitForExit(kDefaultTimeoutMs));
  EXPECT_EQ(3, p.ExitCode());
}

class ProbeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    probe_ = Process::Launch(ProbePath(), "exit=5");
    ASSERT_TRUE(probe_.ok()) << probe_.error();
    main_ = WaitForTopWindow(probe_.id(), "E2eProbe");
    ASSERT_NE(nullptr, main_);
    edit_ = FindChild(main_, kEditId);
    status_ = FindStatusBar(main_);
    ASSERT_NE(nullptr, edit_);
    ASSERT_NE(nullptr, status_);
  }

  bool StatusIs(const std::string& text, int part = 0) {
    std::string last;
    bool ok = WaitForStatusText(
        status_, [&](const std::string& s) { return s == text; }, &last, part);
    if (!ok)
      ADD_FAILURE() << "status part " << part << " is \"" << last << "\", not \"" << text << "\"";
    return ok;
  }

  Process probe_;
  HWND main_ = nullptr, edit_ = nullptr, status_ = nullptr;
};

TEST_F(ProbeTest, FindsWindowsAndControls) {
  EXPECT_EQ("Driver Probe", GetText(main_));
  EXPECT_EQ(main_, FindTopWindow(probe_.id(), "e2eprobe", "Driver Probe"));
  EXPECT_EQ(nullptr, FindTopWindow(probe_.id(), "E2eProbe", "Other Caption"));
  EXPECT_EQ(nullptr, FindTopWindow(probe_.id() + 4, "E2eProbe"));
  EXPECT_EQ(edit_, FindChildByClass(main_, "Edit"));
  HWND greet = FindChildByText(main_, "Greet");
  EXPECT_EQ(kGreetId, ControlId(greet));
  EXPECT_EQ("Button", ClassName(greet));
  RECT r = RectInParent(greet);
  EXPECT_EQ(220, r.left);
  EXPECT_EQ(10, r.top);
  EXPECT_EQ(80, r.right - r.left);
  EXPECT_TRUE(WaitForFocus(edit_));
}

TEST_F(ProbeTest, ReadsBothStatusBarParts) {
  EXPECT_TRUE(StatusIs("ready", 0));
  EXPECT_TRUE(StatusIs("second", 1));
}

TEST_F(ProbeTest, SetsTextAndAnswersTheBoxItOpens) {
  ASSERT_TRUE(SetText(edit_, "world"));
  EXPECT_EQ("world", GetText(edit_));
  ASSERT_TRUE(ClickButton(FindChild(main_, kGreetId)));
  MessageBoxInfo box = WaitForMessageBox(probe_.id());
  ASSERT_NE(nullptr, box.hwnd);
  EXPECT_EQ("Probe", box.caption);
  EXPECT_EQ("Hello, world", box.text);
  EXPECT_EQ(main_, box.owner);
  EXPECT_EQ((std::vector<std::string>{"OK", "Cancel"}), box.buttons);
  ASSERT_TRUE(AnswerMessageBox(box.hwnd, IDCANCEL));
  EXPECT_TRUE(StatusIs("answer 2"));
  EXPECT_EQ(nullptr, FindMessageBox(probe_.id()).hwnd);
}

TEST_F(ProbeTest, MenuCommandPutsTextOnTheClipboard) {
  ASSERT_TRUE(SetClipboardText("before"));
  EXPECT_EQ("before", ClipboardText());
  ASSERT_TRUE(SetText(edit_, "clip me"));
  ASSERT_TRUE(PostCommand(main_, kCopyCommand));
  EXPECT_TRUE(StatusIs("copied 7"));
  EXPECT_EQ("clip me", ClipboardText());
}

TEST_F(ProbeTest, PostedMouseArrivesAtClientPoints) {
  ASSERT_TRUE(PostLeftClick(main_, 50, 120));
  EXPECT_TRUE(StatusIs("up 50,120"));
  EXPECT_TRUE(StatusIs("move 50,120", 1));
  ASSERT_TRUE(PostLeftDrag(main_, 10, 100, 90, 140));
  EXPECT_TRUE(StatusIs("up 90,140"));
}

TEST_F(ProbeTest, PostedKeysAreTranslatedIntoCharacters) {
  ASSERT_TRUE(WaitForFocus(edit_));
  // A posted key-down goes through the program's TranslateMessage: 'A' types "a". The
  // character is queued behind whatever was posted meanwhile, so wait for it first.
  ASSERT_TRUE(PostKey(edit_, 'A'));
  ASSERT_TRUE(WaitForText(edit_, "a"));
  ASSERT_TRUE(PostText(edit_, "bc"));
  EXPECT_TRUE(WaitForText(edit_, "abc")) << GetText(edit_);
  ASSERT_TRUE(PostKey(main_, VK_F5));
  EXPECT_TRUE(StatusIs("key 116 ctrl=0", 1));
}

TEST_F(ProbeTest, RealInputCarriesModifiersAndMovesTheCursor) {
  ASSERT_TRUE(BringToFront(main_));
  ASSERT_TRUE(SendLeftClick(main_, 60, 130));
  EXPECT_TRUE(StatusIs("up 60,130"));
  POINT cursor = CursorInClient(main_);
  EXPECT_EQ(60, cursor.x);
  EXPECT_EQ(130, cursor.y);
  ASSERT_TRUE(WaitForFocus(main_));
  ASSERT_TRUE(SendKey('K', {VK_CONTROL}));
  EXPECT_TRUE(StatusIs("key 75 ctrl=1", 1));
  ASSERT_TRUE(SendText("q"));
  EXPECT_TRUE(StatusIs("char 113"));
}

TEST_F(ProbeTest, ScreenshotShowsWhatIsPainted) {
  ASSERT_TRUE(BringToFront(main_));
  Image image;
  // Painting follows showing; wait for the square rather than for a fixed time.
  ASSERT_TRUE(WaitUntil([&] {
    return CaptureWindow(main_, &image, true) && image.Pixel(320, 80) == RGB(255, 0, 0);
  }));
  RECT client = ClientRect(main_);
  EXPECT_EQ(client.right, image.width);
  EXPECT_EQ(client.bottom, image.height);
  EXPECT_NE(RGB(255, 0, 0), image.Pixel(290, 80));

  std::string png = SaveScreenshot(main_, "driver-probe");
  ASSERT_FALSE(png.empty());
  EXPECT_EQ(std::string("\x89PNG\r\n\x1a\n", 8), ReadFileBytes(png).substr(0, 8));
  TestDir dir("shot");
  ASSERT_TRUE(SaveBmp(image, dir.File("probe.bmp")));
  int64_t row = (image.width * 3 + 3) / 4 * 4;
  EXPECT_EQ(54 + row * image.height, FileSize(dir.File("probe.bmp")));
}

TEST_F(ProbeTest, QuitEndsWithTheExitCode) {
  ASSERT_TRUE(PostCommand(main_, kQuitCommand));
  ASSERT_TRUE(probe_.WaitForExit(kDefaultTimeoutMs));
  EXPECT_EQ(5, probe_.ExitCode());
  EXPECT_FALSE(IsWindow(main_));
}

TEST(FilesTest, BytesSurviveExactlyAndTestDirsGoAway) {
  std::string where;
  {
    TestDir dir("files");
    where = dir.path();
    ASSERT_TRUE(DirectoryExists(where));
    const std::string bytes(
        "a\r\nb\n\0\x1a"
        "end",
        10);
    ASSERT_TRUE(WriteFileBytes(dir.File("one.bin"), bytes));
    EXPECT_EQ(bytes, ReadFileBytes(dir.File("one.bin")));
    EXPECT_EQ(10, FileSize(dir.File("one.bin")));
    ASSERT_TRUE(CopyFileTo(dir.File("one.bin"), dir.File("two.bin")));
    EXPECT_EQ(bytes, ReadFileBytes(dir.File("two.bin")));
    ASSERT_TRUE(MakeDirectories(dir.File("sub\\deeper")));
    ASSERT_TRUE(WriteFileBytes(dir.File("sub\\deeper\\ro.txt"), "x"));
    // Removal must clear the read-only attribute first (Windows refuses otherwise).
    ASSERT_TRUE(SetReadOnly(dir.File("sub\\deeper\\ro.txt"), true));
    EXPECT_FALSE(FileExists(dir.File("sub")));
    EXPECT_EQ(-1, FileSize(dir.File("missing")));
  }
  EXPECT_FALSE(DirectoryExists(where));
}

TEST(FilesTest, BuildPathsBecomeWindowsPaths) {
  EXPECT_EQ("Z:\\work\\a b\\c.exe", WindowsPath("/work/a b/c.exe"));
  EXPECT_EQ("C:\\x\\y", WindowsPath("C:/x/y"));
  EXPECT_TRUE(DirectoryExists(ArtifactsDir()));
}

}  // namespace
