// A started program: launch with a working directory and command line, wait with a
// limit, exit code, kill. The process is killed when the handle goes away while it runs.
#pragma once

#include <windows.h>

#include <string>

namespace e2e {

class Process {
 public:
  Process() = default;
  ~Process();
  Process(Process&& other) noexcept;
  Process& operator=(Process&& other) noexcept;
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  // Starts `program` with the command line "\"program\" arguments" in working_dir (the
  // test's own directory when empty). Check ok(); error() says why it failed.
  static Process Launch(const std::string& program, const std::string& arguments = "",
                        const std::string& working_dir = "", int show = SW_SHOWNORMAL);
  // Starts with an exact command line, for programs that read their own command line.
  // An empty application name lets the system find the program from the command line.
  static Process LaunchCommandLine(const std::string& command_line,
                                   const std::string& working_dir = "",
                                   const std::string& application = "", int show = SW_SHOWNORMAL);

  bool ok() const { return process_ != nullptr; }
  const std::string& error() const { return error_; }
  DWORD id() const { return pid_; }
  DWORD main_thread_id() const { return tid_; }
  HANDLE handle() const { return process_; }

  // True when the process ended within timeout_ms.
  bool WaitForExit(unsigned timeout_ms);
  bool HasExited() const;
  // Exit code once ended; -1 while it runs or when it never started.
  long ExitCode() const;
  // Ends the process (exit code 1) and waits for it to be gone.
  void Kill();

 private:
  void Release();

  HANDLE process_ = nullptr;
  DWORD pid_ = 0;
  DWORD tid_ = 0;
  std::string error_;
};

}  // namespace e2e
