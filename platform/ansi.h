// The ANSI code page the window draws its text in: the character of each of its bytes.
#pragma once

#include <cstdint>

namespace platform {

// The Unicode code point of byte b in the ANSI code page (Windows-1252 where there is no
// such code page); b itself for a byte the code page leaves undefined or uses as the lead
// byte of a pair.
uint32_t AnsiCodePoint(unsigned char b);

}  // namespace platform
