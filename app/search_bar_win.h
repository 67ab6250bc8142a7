// The search bar's procedure, the child windows of the main window and their layout rule.
#pragma once

#include <windows.h>

namespace norvel {

LRESULT CALLBACK SearchBarProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

// Creates the search bar (with its field and button), the status bar and the two scroll
// bars and places them; false as soon as one cannot be created.
bool CreateChildWindows();
// The layout rule: the search bar across the top, 30 high; the status bar at the bottom;
// the vertical bar at the right between them; the horizontal bar above the status bar.
void ApplyLayoutRule();

}  // namespace norvel
