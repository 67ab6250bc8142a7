// The export dialog window (class NorvelDB): server, user and password, the schema list
// with "Get Schemas", query, max records, the two directories, "Index" and "Done".
#pragma once

#include <windows.h>

namespace norvel {

// The window procedure of class NorvelDB.
LRESULT CALLBACK ExportDialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

// Creates the dialog, centres it on the desktop, makes it the focus holder and shows it.
// The dialog gives the focus back to `remembered` when it closes. False when the window
// could not be created.
bool OpenExportDialog(HWND remembered);

// Releases the schema names the dialog keeps from one opening to the next (shutdown).
void ReleaseExportDialog();

}  // namespace norvel
