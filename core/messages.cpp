// Message composition, the log file and the status text.
#include "core/messages.h"

#include <cstring>
#include <ctime>
#include <mutex>

#include "platform/clock.h"
#include "platform/file.h"
#include "platform/path.h"
#include "platform/syserror.h"

namespace norvel {

namespace {

// Stored exactly as shipped: codes 6 and 7 have no full stop, code 13 a capital "E".
const char kMessageTable[kMessageCount][22] = {
    "Indexing in progress.", "Index read error.",   "Error opening file.",
    "File open error.",      "File seek error.",    "File write error.",
    "File rename error",     "File creation error", "File read error.",
    "File format error.",    "Malloc failure.",     "Property error.",
    "Invalid value.",        "Thread Error.",       "Files reindexed.",
    "Function not found.",   "AR error.",           "Dll load error.",
    "Words limit error.",    "List error.",         "Export error.",
    "Index error.",
};

constexpr size_t kMaxComposed = 255;

UserInterface* g_ui = nullptr;

std::mutex g_log_mutex;
std::string g_log_dir;  // guarded by g_log_mutex

}  // namespace

const char* MessageTableText(int code) {
  if (code < 0 || code >= kMessageCount) return nullptr;
  return kMessageTable[code];
}

void InstallUserInterface(UserInterface* ui) {
  g_ui = ui;
}
UserInterface* CurrentUserInterface() {
  return g_ui;
}

BoxAnswer ShowBox(const std::string& text, const std::string& caption, BoxStyle style,
                  bool owned_by_main) {
  if (!g_ui) return BoxAnswer::kOk;
  return g_ui->ShowBox(text, caption, style, owned_by_main);
}

bool ComposeMessage(int kind, int code, const char* detail, std::string* caption,
                    std::string* text) {
  const char* table = MessageTableText(code);
  if ((kind != kInfo && kind != kError) || !table) return false;
  if (!detail) detail = "";
  if (std::strlen(table) + std::strlen(detail) > kMaxComposed) return false;
  *caption = kind == kInfo ? "Info" : "Error";
  *text = std::string(table) + detail;
  return true;
}

int ShowMessage(int kind, int code, const char* detail) {
  std::string caption, text;
  if (!ComposeMessage(kind, code, detail, &caption, &text)) {
    return static_cast<int>(ShowBox("Wrong Message Format", "Error", BoxStyle::kInfoOk));
  }
  return static_cast<int>(ShowBox(text, caption, BoxStyle::kInfoOk));
}

void SetLogDirectory(const std::string& dir) {
  std::lock_guard<std::mutex> lock(g_log_mutex);
  g_log_dir = dir;
}

std::string LogDirectory() {
  std::lock_guard<std::mutex> lock(g_log_mutex);
  return g_log_dir.empty() ? platform::ProgramDirectory() : g_log_dir;
}

int WriteLog(const char* text) {
  char stamp[30];
  std::tm tm;
  if (!platform::LocalTime(std::time(nullptr), &tm) ||
      std::strftime(stamp, sizeof stamp, "\r\n[%m/%d/%Y %H:%M:%S]", &tm) == 0) {
    std::strcpy(stamp, "\r\n[00/00/0000 00:00:00]");
  }
  std::string path = platform::JoinPath(LogDirectory(), "norvel_log.txt");
  std::lock_guard<std::mutex> lock(g_log_mutex);
  platform::File log;
  if (!log.Open(path, "ab")) return -1;
  log.Write(stamp, std::strlen(stamp));
  if (text) log.Write(text, std::strlen(text));
  log.Close();
  return 0;
}

void SetStatusText(const char* text) {
  if (!g_ui) return;
  std::string s = text ? text : "";
  if (s.size() > kMaxComposed) s.resize(kMaxComposed);
  g_ui->SetStatusText(s);
}

void ShowSystemError() {
  ShowBox(platform::LastSystemErrorText(), "Error", BoxStyle::kInfoOk, /*owned_by_main=*/false);
}

}  // namespace norvel
