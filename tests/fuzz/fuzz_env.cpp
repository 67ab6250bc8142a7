// The fuzz targets' shared index and search routine.
#include "fuzz_env.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "core/messages.h"
#include "index/build.h"
#include "index/load.h"
#include "index/swap.h"
#include "platform/dir.h"
#include "platform/file.h"
#include "platform/path.h"
#include "recording_ui.h"
#include "viewer/search.h"

namespace norvel_fuzz {

namespace {

// Boxes and status texts go nowhere; the log goes into the scratch directory.
class SilentUi : public norvel::UserInterface {
 public:
  norvel::BoxAnswer ShowBox(const std::string&, const std::string&, norvel::BoxStyle,
                            bool) override {
    return norvel::BoxAnswer::kOk;
  }
  void SetStatusText(const std::string&) override {}
};

void CopyDir(const std::string& from, const std::string& to) {
  std::vector<std::string> names;
  platform::ListDirectory(from, "*", &names);
  for (const auto& n : names) {
    std::string bytes = norvel_test::ReadBytes(platform::JoinPath(from, n));
    norvel_test::WriteBytes(platform::JoinPath(to, n), bytes);
  }
}

FuzzEnv* Make() {
  static SilentUi ui;
  norvel::InstallUserInterface(&ui);
  auto* env = new FuzzEnv;
  static norvel_test::ScratchDir scratch;
  env->root = scratch.path();
  env->app_dir = platform::JoinPath(env->root, "app");
  env->data_dir = platform::JoinPath(env->root, "data");
  env->index_dir = platform::JoinPath(env->root, "index");
  env->pristine_dir = platform::JoinPath(env->root, "pristine");
  for (const auto* d : {&env->app_dir, &env->data_dir, &env->index_dir, &env->pristine_dir})
    platform::MakeDirectory(*d);
  norvel::SetLogDirectory(env->app_dir);
  norvel_test::WriteBytes(platform::JoinPath(env->data_dir, "a.txt"),
                          "cat dog\r\nthe printer jams\n");
  norvel_test::WriteBytes(platform::JoinPath(env->data_dir, "b.txt"), "dog bird-feeder x_1 cat");
  norvel_test::WriteBytes(platform::JoinPath(env->data_dir, "c.txt"),
                          "Bird PRINTER toner, the end.");
  norvel_test::WriteBytes(platform::JoinPath(env->app_dir, "xcludelist.ini"), "the");
  if (norvel::doIndex(env->data_dir, env->pristine_dir, env->app_dir, nullptr) != 0) std::abort();
  // The pristine copy holds the index under its current names.
  std::vector<std::string> names;
  platform::ListDirectory(env->pristine_dir, "_new*.dat", &names);
  for (const auto& n : names) {
    platform::RenameReplace(platform::JoinPath(env->pristine_dir, n),
                            platform::JoinPath(env->pristine_dir, "_" + n.substr(4)));
  }
  return env;
}

}  // namespace

const FuzzEnv& Env() {
  static FuzzEnv* env = Make();
  return *env;
}

void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
  norvel_test::WriteBytes(path, std::string(reinterpret_cast<const char*>(data), size));
}

void ResetIndexWith(const char* name, const uint8_t* data, size_t size) {
  const FuzzEnv& env = Env();
  CopyDir(env.pristine_dir, env.index_dir);
  WriteFile(platform::JoinPath(env.index_dir, name), data, size);
}

void LoadAndSearch() {
  const FuzzEnv& env = Env();
  norvel::InMemoryIndex index;
  if (norvel::readIndexIntoMem(env.index_dir, env.app_dir, &index) != 0) return;
  norvel::RecordIndexTime(env.index_dir, &index);
  norvel::PageSources sources;
  sources.data_dir = env.data_dir;
  sources.index_dir = env.index_dir;
  sources.index = &index;
  for (const char* q : {"cat", "dog bird", "+printer -dog", "cat dog bird printer toner end x_1",
                        "+bird +printer", "bird-feeder -cat"}) {
    norvel::SearchState state;
    norvel::RunSearch(q, sources, &state);
  }
}

}  // namespace norvel_fuzz
