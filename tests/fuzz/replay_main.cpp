// Replays a fuzz target's seed corpus: every file of the given directories (or the given
// files) goes through LLVMFuzzerTestOneInput once. A crash or sanitizer report fails the test.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/dir.h"
#include "platform/file.h"
#include "platform/path.h"
#include "recording_ui.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

static int RunOne(const std::string& path) {
  std::string bytes = norvel_test::ReadBytes(path);
  LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  return 1;
}

int main(int argc, char** argv) {
  int runs = 0;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (platform::IsDirectory(arg)) {
      std::vector<std::string> names;
      platform::ListDirectory(arg, "*", &names);
      for (const auto& name : names) runs += RunOne(platform::JoinPath(arg, name));
    } else {
      runs += RunOne(arg);
    }
  }
  // Also the empty input, which every reader must take.
  LLVMFuzzerTestOneInput(nullptr, 0);
  std::printf("replayed %d inputs\n", runs + 1);
  return 0;
}
