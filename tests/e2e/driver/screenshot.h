// Pictures of windows: captured from the screen, checked pixel by pixel, saved as PNG or
// BMP files a person can look at.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "wait.h"

namespace e2e {

struct Image {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;  // rows top to bottom, 3 bytes (red, green, blue) a pixel

  COLORREF Pixel(int x, int y) const {
    const uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
    return RGB(p[0], p[1], p[2]);
  }
};

// What the screen shows of the window (its frame too unless client_only), so the window
// must be visible and not covered. False when nothing could be read.
bool CaptureWindow(HWND hwnd, Image* out, bool client_only = false);

// Asks the window and its children to paint now, then captures until two captures in a
// row are the same, so the picture shows the window finished rather than half drawn.
// False when it could not capture or the picture never settled within timeout_ms.
bool CaptureSettled(HWND hwnd, Image* out, bool client_only = false, unsigned timeout_ms = 10000);

// 24-bit uncompressed BMP.
bool SaveBmp(const Image& image, const std::string& path);
// 8-bit RGB PNG (stored, not compressed: any viewer opens it, no library needed).
bool SavePng(const Image& image, const std::string& path);

// Captures the window once it is settled and saves it as <artefacts dir>\<name>.png; returns the
// file's path, empty on failure. The artefacts directory outlives the test run.
std::string SaveScreenshot(HWND hwnd, const std::string& name);

}  // namespace e2e
