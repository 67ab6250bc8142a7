// A small application directory for shell tests: documents, an index built by the
// engine, and the settings file that names them.
#pragma once

#include <string>

#include "index/build.h"
#include "index/swap.h"
#include "platform/file.h"
#include "platform/path.h"
#include "recording_ui.h"

namespace norvel_test {

class AppDirs {
 public:
  AppDirs() {
    platform::MakeDirectory(data());
    platform::MakeDirectory(index());
  }
  std::string app() const { return root_.path(); }
  std::string data() const { return root_.File("docs"); }
  std::string index() const { return root_.File("index"); }
  std::string Doc(const std::string& name) const { return platform::JoinPath(data(), name); }
  std::string IndexFile(const std::string& name) const { return platform::JoinPath(index(), name); }

  // count documents doc00.txt, doc01.txt, ... each holding "alpha common" and its number
  // word; words are written out so each document is a few lines long.
  void WriteDocs(int count, const std::string& first_word = "alpha") const {
    for (int i = 0; i < count; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "doc%02d.txt", i);
      std::string text = "Title of document " + std::to_string(i) + "\r\n" + first_word +
                         " common text about number" + std::to_string(i) + ".\r\n";
      WriteBytes(Doc(name), text);
    }
  }
  void WriteSettings() const {
    WriteBytes(platform::JoinPath(app(), "norvel.ini"),
               "index_dir=" + index() + "\r\ndata_dir=" + data() + "\r\n");
  }
  // Builds the new index files ("_new" names) from the documents.
  bool BuildNew() const { return norvel::doIndex(data(), index(), app(), nullptr) == 0; }
  // Builds and swaps in, so the current index files exist.
  bool Build() const {
    if (!BuildNew()) return false;
    norvel::InMemoryIndex scratch;
    norvel::RenAndReloadNdx(index(), app(), &scratch, nullptr, nullptr);
    return !norvel::NewIndexPending(index());
  }

 private:
  ScratchDir root_;
};

}  // namespace norvel_test
