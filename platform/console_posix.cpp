// The console on Linux: isatty, and the terminal's echo turned off through termios.
#include <termios.h>
#include <unistd.h>

#include "platform/console.h"

namespace platform {

struct HiddenTyping::Saved {
  termios mode;
};

bool IsTerminal(int fd) {
  return isatty(fd) != 0;
}

bool EnableColorOutput() {
  return true;  // terminals take the escape sequences as they come
}

HiddenTyping::HiddenTyping() {
  auto saved = std::make_unique<Saved>();
  if (tcgetattr(0, &saved->mode) != 0) return;
  termios quiet = saved->mode;
  quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
  if (tcsetattr(0, TCSAFLUSH, &quiet) == 0) saved_ = std::move(saved);
}

HiddenTyping::~HiddenTyping() {
  // TCSAFLUSH also drops whatever was typed past what the program read.
  if (saved_) tcsetattr(0, TCSAFLUSH, &saved_->mode);
}

}  // namespace platform
