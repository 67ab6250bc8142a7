// The message table, message boxes, the status text and the log file.
//
// Everything the user is told goes through the user interface sink that the front end
// installs: message boxes owned by the main window in the application, lines on stderr
// in norvel-cli, a recorder in tests. Without a sink, messages are dropped.
#pragma once

#include <string>

namespace norvel {

enum MessageKind { kInfo = 0, kError = 1 };
constexpr int kMessageCount = 22;

// The fixed text of a message code, or nullptr outside 0 to 21.
const char* MessageTableText(int code);

// How a box looks: the information icon with OK, no icon with OK, no icon with OK and Cancel.
enum class BoxStyle { kInfoOk, kPlainOk, kPlainOkCancel };
enum class BoxAnswer { kOk, kCancel };

class UserInterface {
 public:
  virtual ~UserInterface() = default;
  // A modal box; owned_by_main is false only for the system error box, which has no owner.
  virtual BoxAnswer ShowBox(const std::string& text, const std::string& caption, BoxStyle style,
                            bool owned_by_main) = 0;
  virtual void SetStatusText(const std::string& text) = 0;
};

// Installs the sink (nullptr removes it). Not owned.
void InstallUserInterface(UserInterface* ui);
UserInterface* CurrentUserInterface();

// Shows a box through the current sink; kOk when there is none.
BoxAnswer ShowBox(const std::string& text, const std::string& caption, BoxStyle style,
                  bool owned_by_main = true);

// Applies the rules of a message request: kind 0 or 1, code 0 to 21, table text plus
// detail at most 255 characters. Fills caption and text and returns true when they hold.
bool ComposeMessage(int kind, int code, const char* detail, std::string* caption,
                    std::string* text);

// Shows the table text of code followed directly by detail, under "Info" (kind 0) or
// "Error" (kind 1); a request that breaks the rules shows "Wrong Message Format".
int ShowMessage(int kind, int code, const char* detail);

// The directory of norvel_log.txt, recorded at start-up. Until it is set, the program's
// own directory is used.
void SetLogDirectory(const std::string& dir);
std::string LogDirectory();

// Appends "\r\n[mm/dd/yyyy hh:mm:ss]" and the text to the log. 0, or -1 when the log
// file cannot be opened. Two threads never interleave their entries.
int WriteLog(const char* text);
inline int WriteLog(const std::string& text) {
  return WriteLog(text.c_str());
}

// Puts at most 255 characters into the status bar.
void SetStatusText(const char* text);
inline void SetStatusText(const std::string& text) {
  SetStatusText(text.c_str());
}

// Shows the operating system's text for the calling thread's last error, caption "Error".
void ShowSystemError();

}  // namespace norvel
