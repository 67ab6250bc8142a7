// Names on Windows: the program holds a file name in the ANSI code page when that code
// page can spell it, so that such names keep the bytes they always had, and as UTF-8
// behind a mark when it cannot (platform/path.h); the wide API takes both.
#pragma once

#include <windows.h>

#include <string>

#include "platform/path.h"

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

// The UTF-8 of a wide text.
inline std::string Utf8FromWide(const std::wstring& w) {
  std::string out;
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr,
                              nullptr);
  out.resize(n > 0 ? static_cast<size_t>(n) : 0);
  if (n > 0) {
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), &out[0], n, nullptr,
                        nullptr);
  }
  return out;
}

// The UTF-16 of a text in the ANSI code page.
inline std::wstring WideFromAnsi(const std::string& text) {
  int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(n > 0 ? static_cast<size_t>(n) : 0, L'\0');
  if (n > 0) {
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
  }
  return wide;
}

// A name as the program holds it (platform/path.h): ANSI when the code page spells it,
// UTF-8 behind the mark otherwise.
inline std::string NameFromWide(const wchar_t* wide) {
  std::wstring w(wide);
  std::string name;
  if (AnsiFromWide(w, &name)) return name;
  return HeldName(Utf8FromWide(w), true);
}

// A path as the wide API takes it: UTF-8 when it is held so (behind the mark), the ANSI
// code page otherwise. Nothing is guessed from the bytes: ANSI bytes that happen to be
// valid UTF-8 stay ANSI.
inline std::wstring WidePath(const std::string& path) {
  if (HeldAsUtf8(path)) return WideFromUtf8(path.substr(1));
  return WideFromAnsi(path);
}

}  // namespace platform
