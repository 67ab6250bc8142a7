// Last error text on Windows: the system message table, language neutral with the
// user's default sublanguage.
#include <windows.h>

#include "platform/syserror.h"

namespace platform {

std::string LastSystemErrorText() {
  DWORD code = GetLastError();
  char* text = nullptr;
  DWORD n = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&text), 0,
      nullptr);
  std::string result = n && text ? std::string(text, n) : std::string();
  if (text) LocalFree(text);
  return result;
}

}  // namespace platform
