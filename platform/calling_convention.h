// __cdecl, the calling convention that vendor interfaces name: the compiler's own keyword
// on Windows; elsewhere there is one convention and the word stands for nothing.
#pragma once

#ifndef _WIN32
#ifndef __cdecl
#define __cdecl
#endif
#endif
