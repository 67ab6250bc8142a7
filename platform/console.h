// The console: whether a standard stream is a terminal, colour escapes, and typing that is not
// shown.
#pragma once

#include <memory>

namespace platform {

// True when the stream (0 standard input, 1 standard output, 2 standard error) is a
// terminal (a console window on Windows).
bool IsTerminal(int fd);

// Makes the terminal of standard output show colour escape sequences (a Windows console
// does only once asked, and only from Windows 10 on). False when it cannot.
bool EnableColorOutput();

// While it lives, what is typed at the terminal of standard input is not shown; the
// terminal's mode comes back when it goes. No effect when standard input is no terminal.
class HiddenTyping {
 public:
  HiddenTyping();
  ~HiddenTyping();
  HiddenTyping(const HiddenTyping&) = delete;
  HiddenTyping& operator=(const HiddenTyping&) = delete;

 private:
  struct Saved;
  std::unique_ptr<Saved> saved_;
};

}  // namespace platform
