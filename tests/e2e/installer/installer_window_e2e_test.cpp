// The installer window as a user meets it: layout, texts, painting, the radio buttons
// and the focus ring of Tab and the arrow keys.
#include <string>

#include "installer/license_text.h"
#include "installer_e2e_fixture.h"

namespace norvel_e2e {
namespace {

using namespace e2e;

void ExpectRect(HWND control, int left, int top, int width, int height) {
  RECT r = RectInParent(control);
  EXPECT_EQ(left, r.left) << GetText(control);
  EXPECT_EQ(top, r.top) << GetText(control);
  EXPECT_EQ(width, r.right - r.left) << GetText(control);
  EXPECT_EQ(height, r.bottom - r.top) << GetText(control);
}

using InstallerWindowTest = InstallerTest;

TEST_F(InstallerWindowTest, ShowsTheAgreementWithItsControlsInPlace) {
  Start(MakeInstaller(StandIn()));
  EXPECT_EQ("Setup - Norvel", GetText(w_.main));
  RECT outer = WindowRect(w_.main);
  EXPECT_EQ(520, outer.right - outer.left);
  EXPECT_EQ(400, outer.bottom - outer.top);
  RECT desktop = WindowRect(GetDesktopWindow());
  EXPECT_EQ(desktop.left + (desktop.right - 520) / 2, outer.left);
  EXPECT_EQ(desktop.top + (desktop.bottom - 400) / 2, outer.top);
  LONG style = Style(w_.main);
  EXPECT_EQ(0, style & (WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));

  EXPECT_EQ(std::string(norvel::kLicenseAgreement), GetText(w_.license));
  EXPECT_EQ("Edit", ClassName(w_.license));
  const LONG edit_style = WS_VSCROLL | ES_MULTILINE | ES_AUTOHSCROLL | ES_READONLY | ES_WANTRETURN;
  EXPECT_EQ(edit_style, Style(w_.license) & edit_style);
  EXPECT_TRUE(GetWindowLongA(w_.license, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
  ExpectRect(w_.license, 16, 52, 480, 200);

  RECT r = ClientRect(w_.main);
  EXPECT_EQ("I accept the agreement", GetText(w_.accept));
  EXPECT_EQ("I do not accept the agreement", GetText(w_.decline));
  EXPECT_EQ("Install", GetText(w_.install));
  EXPECT_EQ("Cancel", GetText(w_.cancel));
  ExpectRect(w_.accept, r.left + 16, r.bottom - 102, 200, 20);
  ExpectRect(w_.decline, r.left + 16, r.bottom - 82, 200, 20);
  ExpectRect(w_.install, r.right - 164, r.bottom - 32, 80, 20);
  ExpectRect(w_.cancel, r.right - 82, r.bottom - 32, 80, 20);
  // Radio buttons the window checks itself, not automatic ones.
  EXPECT_EQ(BS_RADIOBUTTON, Style(w_.accept) & BS_TYPEMASK);
  EXPECT_EQ(BS_RADIOBUTTON, Style(w_.decline) & BS_TYPEMASK);
  EXPECT_TRUE(Style(w_.install) & BS_PUSHLIKE);
  EXPECT_FALSE(IsChecked(w_.accept));
  EXPECT_TRUE(IsChecked(w_.decline));
}

TEST_F(InstallerWindowTest, PaintsHeadingRulesAndWhiteAgreement) {
  Start(MakeInstaller(StandIn()));
  ASSERT_TRUE(BringToFront(w_.main));
  RECT r = ClientRect(w_.main);
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  Image image;
  // A settled picture with the agreement box painted white: everything is drawn.
  ASSERT_TRUE(WaitUntil([&] {
    return CaptureSettled(w_.main, &image, true) && image.Pixel(470, 240) == RGB(255, 255, 255);
  }));
  EXPECT_EQ(RGB(128, 128, 128), image.Pixel(r.right / 2, r.bottom - 42));
  EXPECT_EQ(RGB(255, 255, 255), image.Pixel(r.right / 2, r.bottom - 43));
  EXPECT_EQ(face, image.Pixel(r.right / 2, r.bottom - 41));
  EXPECT_EQ(face, image.Pixel(r.right - 8, r.bottom - 60));
  bool text_in_heading = false;
  for (int x = 16; x < 140 && !text_in_heading; ++x) {
    for (int y = 2; y < 17; ++y) text_in_heading |= image.Pixel(x, y) != face;
  }
  EXPECT_TRUE(text_in_heading) << "\"License Agreement\" not drawn";
  std::string shot = SaveScreenshot(w_.main, "installer-window");
  EXPECT_FALSE(shot.empty());
  std::printf("screenshot: %s\n", shot.c_str());
}

TEST_F(InstallerWindowTest, RadioButtonsKeepExactlyOneChecked) {
  Start(MakeInstaller(StandIn()));
  Accept();
  ASSERT_TRUE(ClickButton(w_.accept));  // again: stays checked
  ASSERT_TRUE(ClickButton(w_.decline));
  ASSERT_TRUE(WaitUntil([&] { return IsChecked(w_.decline); }));
  EXPECT_FALSE(IsChecked(w_.accept));
  ASSERT_TRUE(ClickButton(w_.decline));
  ASSERT_TRUE(Ping(w_.main));
  EXPECT_TRUE(WaitUntil([&] { return IsChecked(w_.decline) && !IsChecked(w_.accept); }));
}

// Tab cycles licence text, the checked radio button, Install, Cancel; the arrows move
// between the radio buttons and their neighbours without changing the check.
TEST_F(InstallerWindowTest, TabAndArrowsMoveTheFocusAroundTheRing) {
  Start(MakeInstaller(StandIn()));
  HWND at = nullptr;  // where the focus is
  auto enter_ring = [&] {
    // Tab on the window itself leads into the ring at the licence text.
    ASSERT_TRUE(PostKey(w_.main, VK_TAB));
    ASSERT_TRUE(WaitForFocus(w_.license));
    at = w_.license;
  };
  auto press = [&](UINT vk, HWND expected) {
    ASSERT_TRUE(PostKey(at, vk));
    EXPECT_TRUE(WaitForFocus(expected))
        << "key " << vk << " from \"" << GetText(at) << "\" went to \""
        << GetText(FocusedWindow(w_.main)) << "\"";
    at = expected;
  };
  // The window starts with the focus in the licence text.
  ASSERT_TRUE(WaitForFocus(w_.license));
  at = w_.license;
  press(VK_TAB, w_.decline);  // the checked one
  press(VK_TAB, w_.install);
  press(VK_TAB, w_.cancel);
  press(VK_TAB, w_.license);
  press(VK_TAB, w_.decline);
  press(VK_UP, w_.accept);
  press(VK_UP, w_.license);
  press(VK_TAB, w_.decline);
  press(VK_DOWN, w_.install);
  enter_ring();
  EXPECT_TRUE(IsChecked(w_.decline));
  EXPECT_FALSE(IsChecked(w_.accept));

  Accept();
  enter_ring();
  press(VK_TAB, w_.accept);  // now the checked one
  press(VK_TAB, w_.install);
  enter_ring();
  press(VK_TAB, w_.accept);
  press(VK_DOWN, w_.decline);
  press(VK_DOWN, w_.install);
  press(VK_TAB, w_.cancel);
  EXPECT_TRUE(IsChecked(w_.accept));
  EXPECT_FALSE(IsChecked(w_.decline));
}

TEST_F(InstallerWindowTest, RealKeyboardFollowsTheSameRing) {
  Start(MakeInstaller(StandIn()));
  ASSERT_TRUE(BringToFront(w_.main));
  ASSERT_TRUE(SendKey(VK_TAB));
  // From the window or from the licence text, one or two Tabs reach the ring's start.
  if (!WaitForFocus(w_.decline, 3000)) {
    ASSERT_TRUE(WaitForFocus(w_.license));
    ASSERT_TRUE(SendKey(VK_TAB));
    ASSERT_TRUE(WaitForFocus(w_.decline));
  }
  ASSERT_TRUE(SendKey(VK_UP));
  EXPECT_TRUE(WaitForFocus(w_.accept));
  ASSERT_TRUE(SendKey(VK_TAB));
  EXPECT_TRUE(WaitForFocus(w_.install));
  ASSERT_TRUE(SendKey(VK_TAB));
  EXPECT_TRUE(WaitForFocus(w_.cancel));
  ASSERT_TRUE(SendKey(VK_TAB));
  EXPECT_TRUE(WaitForFocus(w_.license));
  // Space on a radio button chooses it, as a click does.
  ASSERT_TRUE(SendKey(VK_TAB));
  ASSERT_TRUE(WaitForFocus(w_.decline));
  ASSERT_TRUE(SendKey(VK_UP));
  ASSERT_TRUE(WaitForFocus(w_.accept));
  ASSERT_TRUE(SendKey(VK_SPACE));
  EXPECT_TRUE(WaitUntil([&] { return IsChecked(w_.accept) && !IsChecked(w_.decline); }));
}

}  // namespace
}  // namespace norvel_e2e
