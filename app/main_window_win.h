// The main window's procedure, its resize handling and the focus it passes on.
#pragma once

#include <windows.h>

namespace norvel {

LRESULT CALLBACK MainWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
// The main window's resize handling; false when the back buffer could not be made again.
bool HandleResize(UINT kind);
// Makes the window the focus holder and gives it the focus.
void GiveFocusTo(HWND holder);

}  // namespace norvel
