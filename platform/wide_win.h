// Names on Windows: the program holds a file name in the ANSI code page when that code
// page can spell it, so that such names keep the bytes they always had, and as UTF-8 when
// it cannot (a Cyrillic name on a Western system, an emoji); the wide API takes both.
#pragma once

#include <windows.h>

#include <string>

namespace platform {

// The UTF-16 of a UTF-8 text; empty when the text is no valid UTF-8.
inline std::wstring WideFromUtf8(const std::string& text) {
  if (text.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                              static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                      &wide[0], n);
  return wide;
}

// The ANSI spelling of a wide text; false when the code page cannot spell it exactly.
inline bool AnsiFromWide(const std::wstring& wide, std::string* out) {
  out->clear();
  if (wide.empty()) return true;
  BOOL lossy = FALSE;
  int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(),
                              static_cast<int>(wide.size()), nullptr, 0, nullptr, &lossy);
  if (n <= 0 || lossy) return false;
  out->resize(static_cast<size_t>(n));
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                      &(*out)[0], n, nullptr, &lossy);
  return !lossy;
}

// A name as the program holds it: ANSI when the code page spells it, UTF-8 otherwise.
inline std::string NameFromWide(const wchar_t* wide) {
  std::wstring w(wide);
  std::string name;
  if (AnsiFromWide(w, &name)) return name;
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr,
                              nullptr);
  name.resize(n > 0 ? static_cast<size_t>(n) : 0);
  if (n > 0) {
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), &name[0], n, nullptr,
                        nullptr);
  }
  return name;
}

// A path as the wide API takes it: UTF-8 when its bytes are valid UTF-8 that the code page
// cannot spell (only NameFromWide makes such names), the ANSI code page otherwise.
inline std::wstring WidePath(const std::string& path) {
  bool ascii = true;
  for (char c : path) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (!ascii) {
    std::wstring wide = WideFromUtf8(path);
    std::string ansi;
    if (!wide.empty() && !AnsiFromWide(wide, &ansi)) return wide;
  }
  int n = MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
  std::wstring wide(n > 0 ? static_cast<size_t>(n) : 0, L'\0');
  if (n > 0) {
    MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), &wide[0], n);
  }
  return wide;
}

}  // namespace platform
