// Test installers and a running installer window for the installer's end-to-end tests.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "tests/e2e/driver/e2e.h"

namespace norvel_e2e {

// Control identifiers of the installer window.
enum InstallerId {
  kLicenseId = 300,
  kInstallId = 310,
  kCancelId = 320,
  kAcceptId = 330,
  kDeclineId = 340
};

struct InstallerWindow {
  HWND main = nullptr, license = nullptr, accept = nullptr, decline = nullptr, install = nullptr,
       cancel = nullptr;
};

// Whether the file holds exactly `expected`; on failure says where they first differ
// rather than printing two programs byte by byte.
::testing::AssertionResult FileHolds(const std::string& path, const std::string& expected);

class InstallerTest : public ::testing::Test {
 protected:
  // The installer's padded program image, exactly the payload offset long.
  static const std::string& InstallerImage();
  // The stand-in program that test installers carry.
  static const std::string& StandIn();
  // Bytes that are not a program, for exact-copy checks.
  static std::string Bytes(size_t size);

  // Writes dir()\name (or `path` when given): the image followed by payload.
  std::string MakeInstaller(const std::string& payload, const std::string& name = "installer.exe");
  // Starts the installer with its path quoted on the command line, in working_dir
  // (the test directory when empty), and waits for its window and controls.
  void Start(const std::string& installer, const std::string& working_dir = "");
  // Starts with an exact command line.
  void StartWithCommandLine(const std::string& installer, const std::string& command_line,
                            const std::string& working_dir);

  void Accept();
  // Presses Install and returns the box it opens.
  e2e::MessageBoxInfo PressInstall();
  // Answers the box with OK; the installer window must still be there afterwards.
  void DismissAndExpectWindowStays(const e2e::MessageBoxInfo& box);
  // True when the installer ended by itself with exit code 0.
  bool EndsCleanly();
  // Names of the files in dir(), sorted.
  std::vector<std::string> DirListing() const;

  const e2e::TestDir& dir() const { return dir_; }
  std::string Target() const { return dir_.File("norvel.exe"); }

  e2e::TestDir dir_{"installer"};
  e2e::Process process_;
  InstallerWindow w_;

 private:
  void FindControls();
};

}  // namespace norvel_e2e
