// The console on Windows: _isatty, and the console's echo turned off with SetConsoleMode
// (line input stays on, so the console still edits the line and Enter ends it).
#include <io.h>
#include <windows.h>

#include "platform/console.h"

namespace platform {

struct HiddenTyping::Saved {
  DWORD mode;
};

bool IsTerminal(int fd) {
  return _isatty(fd) != 0;
}

HiddenTyping::HiddenTyping() {
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  auto saved = std::make_unique<Saved>();
  if (in == INVALID_HANDLE_VALUE || !GetConsoleMode(in, &saved->mode)) return;
  if (SetConsoleMode(in, saved->mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT))) {
    saved_ = std::move(saved);
  }
}

HiddenTyping::~HiddenTyping() {
  if (saved_) SetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), saved_->mode);
}

}  // namespace platform
