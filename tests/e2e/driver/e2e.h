// The Win32 end-to-end test driver in one include: processes, windows, input, message
// boxes, status bar and clipboard, screenshots, files. See README.md in this folder.
#pragma once

#include "desktop.h"
#include "files.h"
#include "input.h"
#include "message_box.h"
#include "process.h"
#include "screenshot.h"
#include "wait.h"
#include "window.h"
