// norvel-cli's shared pieces: option parsing, the console sink, the log watch, the load.
#include "cli/cli.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include "cli/commands.h"
#include "index/in_memory_index.h"
#include "index/index_lock.h"
#include "index/marker.h"
#include "index/swap.h"
#include "platform/console.h"
#include "platform/file.h"
#include "platform/path.h"

namespace norvel_cli {

bool ParsedArgs::Has(const std::string& flag) const {
  return std::find(flags.begin(), flags.end(), flag) != flags.end();
}

std::string ParsedArgs::Value(const std::string& option, const std::string& fallback) const {
  auto it = values.find(option);
  return it == values.end() ? fallback : it->second;
}

bool ParseArgs(const std::vector<std::string>& args, const OptionSpec& spec, ParsedArgs* out) {
  auto listed = [](const std::vector<std::string>& v, const std::string& s) {
    return std::find(v.begin(), v.end(), s) != v.end();
  };
  bool options_done = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--" && !options_done) {
      options_done = true;
      continue;
    }
    // Options are long ("--name"): a query such as "-outlook email" stays an argument.
    if (options_done || a.size() < 3 || a.compare(0, 2, "--") != 0) {
      out->positional.push_back(a);
      continue;
    }
    size_t eq = a.find('=');
    std::string name = a.substr(0, eq);
    if (listed(spec.flags, name) && eq == std::string::npos) {
      out->flags.push_back(name);
    } else if (listed(spec.with_value, name)) {
      if (eq != std::string::npos) {
        out->values[name] = a.substr(eq + 1);
      } else if (i + 1 < args.size()) {
        out->values[name] = args[++i];
      } else {
        Complain("option " + name + " needs a value");
        return false;
      }
    } else {
      Complain("unknown option " + a);
      return false;
    }
  }
  return true;
}

void Complain(const std::string& text) {
  std::fprintf(stderr, "norvel-cli: %s\n", text.c_str());
}

int UsageError(const Command& command, const std::string& problem) {
  if (!problem.empty()) Complain(problem);
  std::fprintf(stderr, "%s", command.usage);
  return kExitError;
}

const Command& FindCommand(const std::string& name) {
  for (const Command& c : Commands()) {
    if (name == c.name) return c;
  }
  return Commands().front();
}

int StartCommand(const char* name, const std::vector<std::string>& args, OptionSpec spec,
                 Positionals positionals, ParsedArgs* parsed) {
  const Command& self = FindCommand(name);
  if (std::find(spec.flags.begin(), spec.flags.end(), "--help") == spec.flags.end()) {
    spec.flags.push_back("--help");
  }
  if (!ParseArgs(args, spec, parsed)) return UsageError(self, "");
  if (parsed->Has("--help")) {
    std::printf("%s", self.usage);
    return kExitOk;
  }
  if (positionals.count == 0 && !parsed->positional.empty()) {
    return UsageError(self, "unexpected " + parsed->positional[0]);
  }
  if (positionals.count > 0 && parsed->positional.size() != size_t(positionals.count)) {
    return UsageError(self, positionals.expected);
  }
  return kGoOn;
}

bool IsTerminal(int fd) {
  return platform::IsTerminal(fd);
}

bool EnableColorOutput() {
  return platform::EnableColorOutput();
}

std::string ForTerminal(const std::string& text) {
  std::string shown;
  shown.reserve(text.size());
  for (unsigned char c : text) {
    if ((c < 0x20 && c != '\t') || c == 0x7f) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
      shown += escaped;
    } else {
      shown += static_cast<char>(c);
    }
  }
  return shown;
}

int RunShowingProgress(const std::function<int()>& work, const std::function<void()>& show) {
  int result = -1;
  bool done = false;
  std::mutex m;
  std::condition_variable cv;
  std::thread job([&] {
    int r = work();
    std::lock_guard<std::mutex> lock(m);
    result = r;
    done = true;
    cv.notify_one();
  });
  std::unique_lock<std::mutex> lock(m);
  while (!cv.wait_for(lock, std::chrono::milliseconds(200), [&] { return done; })) show();
  lock.unlock();
  job.join();
  std::fprintf(stderr, "\r%70s\r", "");
  return result;
}

norvel::BoxAnswer ConsoleUi::ShowBox(const std::string& text, const std::string& caption,
                                     norvel::BoxStyle, bool) {
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  return norvel::BoxAnswer::kOk;
}

std::string AppDirectory(const ParsedArgs& args) {
  std::string dir = args.Value("--app-dir", platform::ProgramDirectory());
  norvel::SetLogDirectory(dir);
  return dir;
}

LogWatch::LogWatch(const std::string& app_dir)
    : path_(platform::JoinPath(app_dir, "norvel_log.txt")) {
  platform::FileStatus st;
  if (platform::GetFileStatus(path_, &st)) start_ = st.size;
}

void LogWatch::PrintNewEntries() const {
  platform::File log;
  if (!log.Open(path_, "rb") || !log.Seek(start_)) return;
  std::string text;
  char buf[4096];
  size_t n;
  while ((n = log.Read(buf, sizeof buf)) > 0) text.append(buf, n);
  // Each entry is "\r\n[mm/dd/yyyy hh:mm:ss]" followed by its text.
  size_t pos = 0;
  while ((pos = text.find("\r\n[", pos)) != std::string::npos) {
    size_t close = text.find(']', pos);
    if (close == std::string::npos) break;
    size_t next = text.find("\r\n[", close);
    Complain(
        text.substr(close + 1, next == std::string::npos ? std::string::npos : next - close - 1));
    pos = close;
  }
}

bool LoadIndexAtStartup(const std::string& index_dir, const std::string& app_dir,
                        norvel::InMemoryIndex* index, norvel::SwapLock* reading) {
  // The marker only when there is a swap to complete: a search that took it every time
  // would turn away a build of the same application directory starting that moment.
  if (norvel::NewIndexPending(index_dir) && norvel::TryLockMarker(app_dir)) {
    if (norvel::LockIndexWriter(index_dir) == norvel::LockResult::kLocked &&
        norvel::NewIndexPending(index_dir)) {
      norvel::RenAndReloadNdx(index_dir, app_dir, index, nullptr, nullptr);
    }
    norvel::UnlockMarker();
  }
  return norvel::ReadIndexAsReader(index_dir, app_dir, index, reading) == 0;
}

}  // namespace norvel_cli
