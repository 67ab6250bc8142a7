// The characters of the system's ANSI code page.
#include <windows.h>

#include "platform/ansi.h"

namespace platform {

uint32_t AnsiCodePoint(unsigned char b) {
  if (b < 0x80) return b;
  const char c = static_cast<char>(b);
  wchar_t w = 0;
  if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, &c, 1, &w, 1) != 1) return b;
  return w;
}

}  // namespace platform
