// The simulated server used by the export tests.
#include "ar_test_server.h"

#include <cstdlib>

#include "core/messages.h"
#include "export/ar_connection.h"
#include "platform/dir.h"
#include "platform/path.h"

namespace norvel_test {

void SetEnvironment(const char* name, const std::string& value) {
#ifdef _WIN32
  _putenv_s(name, value.c_str());
#else
  setenv(name, value.c_str(), 1);
#endif
}

ArTestServer::ArTestServer() {
  platform::MakeDirectory(folder());
  WriteBytes(platform::JoinPath(folder(), "server.txt"), "");
  SetEnvironment("ARSIM_SERVERS", root_.path());
  norvel::SetLogDirectory(log_.path());
  norvel::SetArLibraryPath("");
}

ArTestServer::~ArTestServer() {
  norvel::SetArLibraryPath("");
  norvel::SetLogDirectory("");
}

std::string ArTestServer::folder() const {
  return root_.File(kName);
}

void ArTestServer::AddServerLines(const std::string& lines) {
  std::string path = platform::JoinPath(folder(), "server.txt");
  WriteBytes(path, ReadBytes(path) + lines + "\n");
}

void ArTestServer::AddSchema(const std::string& file_name, const std::string& text) {
  WriteBytes(platform::JoinPath(folder(), file_name), text);
}

void ArTestServer::UseLibraryLacking(const std::string& function) {
  std::string dir = platform::JoinPath(platform::ProgramDirectory(), "arsim-lacking");
  norvel::SetArLibraryPath(
      platform::JoinPath(platform::JoinPath(dir, function), norvel::ArLibraryFileName()));
}

std::vector<std::string> ArTestServer::Log() const {
  return ReadLogTexts(log_.File("norvel_log.txt"));
}

std::vector<std::string> ArTestServer::DataFiles() const {
  std::vector<std::string> names;
  platform::ListDirectory(data_dir(), "*", &names);
  return names;
}

std::vector<std::string> ReadLogTexts(const std::string& log_file) {
  // Each entry is "\r\n[mm/dd/yyyy hh:mm:ss]" and the text.
  const std::string kStart = "\r\n[";
  const size_t kStampLength = kStart.size() + 20;
  std::string log = ReadBytes(log_file);
  std::vector<std::string> texts;
  size_t at = log.find(kStart);
  while (at != std::string::npos) {
    size_t next = log.find(kStart, at + kStampLength);
    size_t begin = at + kStampLength;
    texts.push_back(log.substr(begin, (next == std::string::npos ? log.size() : next) - begin));
    at = next;
  }
  return texts;
}

}  // namespace norvel_test
