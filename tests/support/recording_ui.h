// Test helpers: a user interface sink that records every box and status text, and a
// scratch directory that is removed again.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "core/messages.h"
#include "platform/file.h"
#include "platform/path.h"

namespace norvel_test {

struct RecordedBox {
  std::string text;
  std::string caption;
  norvel::BoxStyle style;
  bool owned_by_main;
};

class RecordingUi : public norvel::UserInterface {
 public:
  RecordingUi() { norvel::InstallUserInterface(this); }
  ~RecordingUi() override { norvel::InstallUserInterface(nullptr); }

  norvel::BoxAnswer ShowBox(const std::string& text, const std::string& caption,
                            norvel::BoxStyle style, bool owned_by_main) override {
    boxes.push_back({text, caption, style, owned_by_main});
    return next_answer;
  }
  void SetStatusText(const std::string& text) override { status.push_back(text); }

  std::vector<RecordedBox> boxes;
  std::vector<std::string> status;
  norvel::BoxAnswer next_answer = norvel::BoxAnswer::kOk;
};

// Reads a whole file as bytes; empty when missing.
inline std::string ReadBytes(const std::string& path) {
  std::string data;
  platform::File f;
  if (!f.Open(path, "rb")) return data;
  char buf[4096];
  size_t n;
  while ((n = f.Read(buf, sizeof buf)) > 0) data.append(buf, n);
  return data;
}

inline bool WriteBytes(const std::string& path, const std::string& data) {
  platform::File f;
  return f.Open(path, "wb") && f.Write(data.data(), data.size()) && f.Close();
}

// A fresh, empty directory under the system's temporary directory, removed (with the
// files directly inside it) when the object goes away.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return platform::JoinPath(path_, name); }

 private:
  std::string path_;
};

}  // namespace norvel_test
