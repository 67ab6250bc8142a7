// Scratch directories for tests.
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/dir.h"
#include "platform/file.h"
#include "recording_ui.h"

namespace norvel_test {

static std::string TempRoot() {
  for (const char* var : {"TMPDIR", "TEMP", "TMP"}) {
    if (const char* v = std::getenv(var)) {
      if (*v) return v;
    }
  }
#ifdef _WIN32
  return ".";
#else
  return "/tmp";
#endif
}

ScratchDir::ScratchDir() {
  static unsigned counter = 0;
  for (;;) {
    std::string name = "norvel-test-" + std::to_string(platform::MonotonicMillis()) + "-" +
                       std::to_string(++counter);
    path_ = platform::JoinPath(TempRoot(), name);
    if (platform::MakeDirectory(path_)) return;
  }
}

ScratchDir::~ScratchDir() {
  platform::RemoveDirectoryTree(path_);
}

}  // namespace norvel_test
