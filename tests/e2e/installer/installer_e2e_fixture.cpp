// Making test installers and driving the installer window.
#include "installer_e2e_fixture.h"

#include <algorithm>
#include <vector>

#include "installer/extract.h"

namespace norvel_e2e {

using namespace e2e;

::testing::AssertionResult FileHolds(const std::string& path, const std::string& expected) {
  if (!FileExists(path)) return ::testing::AssertionFailure() << path << " does not exist";
  const std::string actual = ReadFileBytes(path);
  if (actual == expected) return ::testing::AssertionSuccess();
  size_t at = 0;
  while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
  return ::testing::AssertionFailure() << path << " holds " << actual.size() << " bytes, expected "
                                       << expected.size() << "; first difference at " << at;
}

const std::string& InstallerTest::InstallerImage() {
  static const std::string image = ReadFileBytes(ProgramDir() + "\\installer-image.exe");
  return image;
}

const std::string& InstallerTest::StandIn() {
  static const std::string program = ReadFileBytes(ProgramDir() + "\\e2e_payload.exe");
  return program;
}

std::string InstallerTest::Bytes(size_t size) {
  std::string data(size, '\0');
  for (size_t i = 0; i < size; ++i) data[i] = static_cast<char>((i * 131 + 7) % 251);
  return data;
}

std::string InstallerTest::MakeInstaller(const std::string& payload, const std::string& name) {
  EXPECT_EQ(norvel::kPayloadOffset, InstallerImage().size()) << "installer-image.exe not built";
  std::string path = dir_.File(name);
  EXPECT_TRUE(WriteFileBytes(path, InstallerImage() + payload)) << path;
  return path;
}

void InstallerTest::Start(const std::string& installer, const std::string& working_dir) {
  StartWithCommandLine(installer, "\"" + installer + "\"",
                       working_dir.empty() ? dir_.path() : working_dir);
}

void InstallerTest::StartWithCommandLine(const std::string& installer,
                                         const std::string& command_line,
                                         const std::string& working_dir) {
  process_ = Process::LaunchCommandLine(command_line, working_dir, installer);
  ASSERT_TRUE(process_.ok()) << process_.error();
  w_.main = WaitForTopWindow(process_.id(), "NorvelInstaller");
  ASSERT_NE(nullptr, w_.main) << "no installer window";
  FindControls();
}

void InstallerTest::FindControls() {
  w_.license = FindChild(w_.main, kLicenseId);
  w_.accept = FindChild(w_.main, kAcceptId);
  w_.decline = FindChild(w_.main, kDeclineId);
  w_.install = FindChild(w_.main, kInstallId);
  w_.cancel = FindChild(w_.main, kCancelId);
  ASSERT_TRUE(w_.license && w_.accept && w_.decline && w_.install && w_.cancel);
}

void InstallerTest::Accept() {
  ASSERT_TRUE(ClickButton(w_.accept));
  ASSERT_TRUE(WaitUntil([&] { return IsChecked(w_.accept); }));
  EXPECT_FALSE(IsChecked(w_.decline));
}

MessageBoxInfo InstallerTest::PressInstall() {
  EXPECT_TRUE(ClickButton(w_.install));
  MessageBoxInfo box = WaitForMessageBox(process_.id());
  EXPECT_NE(nullptr, box.hwnd) << "Install opened no box";
  if (box.hwnd) {
    EXPECT_EQ(w_.main, box.owner);
    EXPECT_EQ(std::vector<std::string>{"OK"}, box.buttons);
  }
  return box;
}

void InstallerTest::DismissAndExpectWindowStays(const MessageBoxInfo& box) {
  ASSERT_TRUE(AnswerMessageBox(box.hwnd, IDOK));
  EXPECT_TRUE(Ping(w_.main));
  EXPECT_TRUE(IsWindow(w_.main));
  EXPECT_FALSE(process_.HasExited());
}

bool InstallerTest::EndsCleanly() {
  return process_.WaitForExit(kDefaultTimeoutMs) && process_.ExitCode() == 0;
}

std::vector<std::string> InstallerTest::DirListing() const {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA(dir_.File("*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    std::string name = found.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(find, &found));
  FindClose(find);
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace norvel_e2e
