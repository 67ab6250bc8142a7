// A simulated AR server for the export tests: fixture files in a scratch folder that the
// stand-in library reads, the log of the program, and the library variant to load.
#pragma once

#include <string>
#include <vector>

#include "recording_ui.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace norvel_test {

class ArTestServer {
 public:
  // Makes the folder of server kName with an empty server.txt, points the library at the
  // scratch root, the log at a scratch folder, and the program at the full library.
  ArTestServer();
  ~ArTestServer();

  static constexpr const char* kName = "test";

  // Appends lines to server.txt / writes a schema file.
  void AddServerLines(const std::string& lines);
  void AddSchema(const std::string& file_name, const std::string& text);

  // Loads the build's variant of the library that lacks function.
  void UseLibraryLacking(const std::string& function);

  std::string folder() const;
  const std::string& data_dir() const { return data_.path(); }
  std::string DataFile(const std::string& name) const { return data_.File(name); }
  // The texts of the log entries written so far, without their time stamps.
  std::vector<std::string> Log() const;
  // Every name in the data folder, sorted.
  std::vector<std::string> DataFiles() const;

 private:
  ScratchDir root_;
  ScratchDir data_;
  ScratchDir log_;
};

// While it lives, memory allocated on this thread is not reported as leaked: a library
// without a release function cannot get back what it handed out.
class LeaksExpected {
 public:
#if defined(__SANITIZE_ADDRESS__)
  LeaksExpected() {
    __lsan_disable();
  }
  ~LeaksExpected() {
    __lsan_enable();
  }
#else
  LeaksExpected() {}
  ~LeaksExpected() {}  // user-provided, so that holders count as used
#endif
  LeaksExpected(const LeaksExpected&) = delete;
  LeaksExpected& operator=(const LeaksExpected&) = delete;
};

// The texts of the entries of a log file.
std::vector<std::string> ReadLogTexts(const std::string& log_file);

// Sets a variable of the process environment (seen by the library too).
void SetEnvironment(const char* name, const std::string& value);

}  // namespace norvel_test
