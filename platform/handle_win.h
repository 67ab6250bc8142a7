// Small owners of kernel handles: a thread, file or other kernel object closed with
// CloseHandle, a FindFirstFile search closed with FindClose and a global memory block freed
// with GlobalFree, each exactly once.
// Header-only, so that the installer, which links no project library, can use them too.
#pragma once

#include <windows.h>

#include <utility>

namespace platform {

// Owns a handle and closes it with Traits::Close when it goes out of scope or is replaced.
// Both null and INVALID_HANDLE_VALUE stand for "no handle": the Win32 calls that make
// handles disagree on which one means failure.
template <typename Traits>
class ScopedHandle {
 public:
  ScopedHandle() = default;
  explicit ScopedHandle(HANDLE h) : h_(h) {}
  ~ScopedHandle() { reset(); }
  ScopedHandle(ScopedHandle&& other) noexcept : h_(std::exchange(other.h_, nullptr)) {}
  ScopedHandle& operator=(ScopedHandle&& other) noexcept {
    if (this != &other) reset(std::exchange(other.h_, nullptr));
    return *this;
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;

  HANDLE get() const { return h_; }
  bool valid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
  explicit operator bool() const { return valid(); }
  // Closes the handle held so far (if any) and holds h instead.
  void reset(HANDLE h = nullptr) {
    if (valid()) Traits::Close(h_);
    h_ = h;
  }
  // Gives the handle up without closing it.
  HANDLE release() { return std::exchange(h_, nullptr); }

 private:
  HANDLE h_ = nullptr;
};

struct KernelHandleTraits {
  static void Close(HANDLE h) { CloseHandle(h); }
};

struct FindHandleTraits {
  static void Close(HANDLE h) { FindClose(h); }
};

struct GlobalMemoryTraits {
  static void Close(HANDLE h) { GlobalFree(h); }
};

// A thread, process, file, event or other kernel object, closed with CloseHandle.
using KernelHandle = ScopedHandle<KernelHandleTraits>;

// A FindFirstFile search handle, closed with FindClose.
using FindHandle = ScopedHandle<FindHandleTraits>;

// A GlobalAlloc block, freed with GlobalFree unless released to a new owner (the clipboard).
using GlobalMemory = ScopedHandle<GlobalMemoryTraits>;

// A directory search: FindFirstFileA on construction, FindNextFileA through Next(),
// FindClose at the end. A pattern that matches nothing leaves it invalid with the reason
// in GetLastError().
class FindFiles {
 public:
  FindFiles(const char* pattern, WIN32_FIND_DATAA* found)
      : handle_(FindFirstFileA(pattern, found)) {}
  bool valid() const { return handle_.valid(); }
  // The next match into *found; false at the end of the listing.
  bool Next(WIN32_FIND_DATAA* found) { return FindNextFileA(handle_.get(), found) != FALSE; }

 private:
  FindHandle handle_;
};

// The same over the wide API, for names the ANSI code page cannot spell.
class FindFilesW {
 public:
  FindFilesW(const wchar_t* pattern, WIN32_FIND_DATAW* found)
      : handle_(FindFirstFileW(pattern, found)) {}
  bool valid() const { return handle_.valid(); }
  bool Next(WIN32_FIND_DATAW* found) { return FindNextFileW(handle_.get(), found) != FALSE; }

 private:
  FindHandle handle_;
};

}  // namespace platform
