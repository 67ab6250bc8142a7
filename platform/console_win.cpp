// The console on Windows: _isatty, colour escapes switched on, and the console's echo turned off
// with SetConsoleMode (line input stays on, so the console still edits the line and Enter ends it).
#include <io.h>
#include <windows.h>

#include "platform/console.h"

// Older MinGW headers lack it; consoles before Windows 10 refuse it.
#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif

namespace platform {

struct HiddenTyping::Saved {
  DWORD mode;
};

bool IsTerminal(int fd) {
  return _isatty(fd) != 0;
}

bool EnableColorOutput() {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (out == INVALID_HANDLE_VALUE || !GetConsoleMode(out, &mode)) return false;
  if (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) return true;
  return SetConsoleMode(out, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
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
