// Starting, waiting for and ending programs under test.
#include <vector>

#include "process.h"

namespace e2e {

namespace {

std::string LastErrorText(const char* what) {
  DWORD code = GetLastError();
  char buf[512] = {0};
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, buf,
                 sizeof buf, nullptr);
  return std::string(what) + " failed (" + std::to_string(code) + "): " + buf;
}

}  // namespace

Process::~Process() {
  if (process_ && !HasExited()) Kill();
  Release();
}

Process::Process(Process&& other) noexcept
    : process_(other.process_),
      pid_(other.pid_),
      tid_(other.tid_),
      error_(std::move(other.error_)) {
  other.process_ = nullptr;
}

Process& Process::operator=(Process&& other) noexcept {
  if (this != &other) {
    if (process_ && !HasExited()) Kill();
    Release();
    process_ = other.process_;
    pid_ = other.pid_;
    tid_ = other.tid_;
    error_ = std::move(other.error_);
    other.process_ = nullptr;
  }
  return *this;
}

void Process::Release() {
  if (process_) CloseHandle(process_);
  process_ = nullptr;
}

Process Process::Launch(const std::string& program, const std::string& arguments,
                        const std::string& working_dir, int show) {
  std::string command_line = "\"" + program + "\"";
  if (!arguments.empty()) command_line += " " + arguments;
  return LaunchCommandLine(command_line, working_dir, program, show);
}

Process Process::LaunchCommandLine(const std::string& command_line, const std::string& working_dir,
                                   const std::string& application, int show) {
  Process p;
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = static_cast<WORD>(show);
  PROCESS_INFORMATION pi = {};
  // CreateProcess may write into the command line buffer.
  std::vector<char> cmd(command_line.begin(), command_line.end());
  cmd.push_back('\0');
  if (!CreateProcessA(application.empty() ? nullptr : application.c_str(), cmd.data(), nullptr,
                      nullptr, FALSE, 0, nullptr,
                      working_dir.empty() ? nullptr : working_dir.c_str(), &si, &pi)) {
    p.error_ = LastErrorText("CreateProcess");
    return p;
  }
  CloseHandle(pi.hThread);
  p.process_ = pi.hProcess;
  p.pid_ = pi.dwProcessId;
  p.tid_ = pi.dwThreadId;
  return p;
}

bool Process::WaitForExit(unsigned timeout_ms) {
  return process_ && WaitForSingleObject(process_, timeout_ms) == WAIT_OBJECT_0;
}

bool Process::HasExited() const {
  return process_ && WaitForSingleObject(process_, 0) == WAIT_OBJECT_0;
}

long Process::ExitCode() const {
  DWORD code = 0;
  if (!HasExited() || !GetExitCodeProcess(process_, &code)) return -1;
  return static_cast<long>(code);
}

void Process::Kill() {
  if (!process_) return;
  TerminateProcess(process_, 1);
  WaitForSingleObject(process_, 10000);
}

}  // namespace e2e
