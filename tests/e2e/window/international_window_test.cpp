// The search window over an international index under Wine: an accented query typed in
// the code page, a UTF-8 excerpt shown readably in it, and a document whose name the code
// page cannot spell found, named and opened.
#include <gtest/gtest.h>

#include <string>

#include "index/build.h"
#include "index/in_memory_index.h"
#include "index/swap.h"
#include "search_window.h"

using norvel_e2e::SearchWindow;

namespace {

constexpr int kViewTop = 30;

int LineY(int line) {
  return kViewTop + 15 * line + 4;
}

// Writes a document under a name given in UTF-16, as a user's program would.
bool WriteWide(const std::wstring& path, const std::string& data) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(h, data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
            written == data.size();
  CloseHandle(h);
  return ok;
}

std::wstring Wide(const std::string& ansi) {
  std::wstring w(ansi.size(), L'\0');
  int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), &w[0],
                              static_cast<int>(w.size()));
  w.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return w;
}

}  // namespace

TEST(InternationalWindow, AccentedWordsAndANameOutsideTheCodePage) {
  SearchWindow w;
  e2e::WriteFileBytes(w.data() + "\\a.txt", "Drucker im B\xC3\xBCro von Herrn M\xC3\x9CLLER\r\n");
  // "Жur.txt": the Cyrillic letter is in no Western code page.
  ASSERT_TRUE(WriteWide(Wide(w.data()) + L"\\\x0416ur.txt", "M\xC3\xBCller \xD0\x96\r\n"));
  ASSERT_EQ(norvel::doIndex(w.data(), w.index(), w.app(), nullptr, norvel::BuildTuning(),
                            norvel::WordRules::kInternational),
            0);
  norvel::InMemoryIndex scratch;
  norvel::RenAndReloadNdx(w.index(), w.app(), &scratch, nullptr, nullptr);
  ASSERT_TRUE(scratch.loaded());
  w.WriteSettings();
  ASSERT_TRUE(w.Start()) << w.why();

  // Wine's fonts under Xvfb draw bold like regular, so the bold decision is checked by
  // the result view's own tests; the screenshot shows the page for a person.
  w.Search(
      "m\xFC"
      "ller drucker");  // typed in the window's code page
  std::string last;
  ASSERT_TRUE(w.HoverShows(650, LineY(0), "Page=1/1|Total=2", &last)) << last;
  ASSERT_TRUE(e2e::BringToFront(w.main));
  e2e::PostMouseMove(w.main, 690, 500);
  ASSERT_TRUE(w.WaitUntilDrawn());
  std::string path = e2e::SaveScreenshot(w.main, "international_result_page");
  std::printf("screenshot: %s\n", path.c_str());

  e2e::ClearClipboard();
  w.Command(3010);  // Select All
  w.Command(3000);  // Copy
  const std::string page = "1.\nDrucker im B\xFCro von Herrn M\xDCLLER \n\n2.\nM\xFCller ? \n\n\n";
  EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::ClipboardText() == page; })) << e2e::ClipboardText();

  // The second title names the document; its name shows '?' for the Cyrillic letter.
  EXPECT_TRUE(w.HoverShows(4, LineY(3), "?ur.txt", &last)) << last;
  e2e::BringToFront(w.main);
  e2e::PostLeftClick(w.main, 4, LineY(3));
  ASSERT_TRUE(w.HoverShows(4, LineY(0), "Page=1/1|Total=2", &last)) << last;
  e2e::ClearClipboard();
  w.Command(3010);
  w.Command(3000);
  EXPECT_TRUE(e2e::WaitUntil([] { return e2e::ClipboardText() == "M\xFCller ?\n\nBack\n"; }))
      << e2e::ClipboardText();
  EXPECT_EQ(e2e::FindMessageBox(w.process.id()).hwnd, nullptr);
}
