// Helpers for the engine's tests: a corpus in a scratch directory with its data, index and
// application directories, built and loaded through the real routines.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "index/build.h"
#include "index/in_memory_index.h"
#include "index/index_files.h"
#include "index/load.h"
#include "index/swap.h"
#include "platform/file.h"
#include "platform/path.h"
#include "recording_ui.h"

namespace norvel_test {

class Corpus {
 public:
  Corpus() : data(root.File("data")), index(root.File("index")), app(root.File("app")) {
    platform::MakeDirectory(data);
    platform::MakeDirectory(index);
    platform::MakeDirectory(app);
    norvel::SetLogDirectory(app);
  }

  void Add(const std::string& name, const std::string& bytes) {
    ASSERT_TRUE(WriteBytes(platform::JoinPath(data, name), bytes));
  }
  void Exclude(const std::string& words) {
    ASSERT_TRUE(WriteBytes(platform::JoinPath(app, "xcludelist.ini"), words));
  }
  std::string IndexFile(const std::string& name) const { return platform::JoinPath(index, name); }

  // Builds the new index and swaps it into place, loading it into loaded.
  int Build() {
    int result = norvel::doIndex(data, index, app, nullptr);
    if (norvel::NewIndexPending(index)) {
      norvel::RenAndReloadNdx(index, app, &loaded, nullptr, nullptr);
      norvel::RecordIndexTime(index, &loaded);
    }
    return result;
  }
  int Load() {
    int r = norvel::readIndexIntoMem(index, app, &loaded);
    norvel::RecordIndexTime(index, &loaded);
    return r;
  }
  std::string Log() const { return ReadBytes(platform::JoinPath(app, "norvel_log.txt")); }
  bool Logged(const std::string& text) const { return Log().find("]" + text) != std::string::npos; }

  RecordingUi ui;
  ScratchDir root;
  std::string data, index, app;
  norvel::InMemoryIndex loaded;
};

// Little-endian bytes of 32-bit values, for writing and expecting index files.
inline std::string LE(std::initializer_list<uint32_t> values) {
  std::string out;
  for (uint32_t v : values) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  }
  return out;
}

// A words-file or file-list record: u32 field, u8 length, the text.
inline std::string Record(uint32_t field, const std::string& text) {
  return LE({field}) + static_cast<char>(text.size()) + text;
}

}  // namespace norvel_test
