// A dynamically loaded library and its exported symbols.
#pragma once

#include <string>

namespace platform {

// The file name of the shared library called stem here: "stem.dll" on Windows,
// "libstem.so" on Linux.
std::string SharedLibraryFileName(const std::string& stem);

class DynamicLibrary {
 public:
  DynamicLibrary() = default;
  ~DynamicLibrary() { Close(); }
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;

  // Loads by path or bare name (the platform's search order applies to a bare name).
  bool Open(const std::string& name);
  // The exported symbol, or null when the library lacks it.
  void* Symbol(const char* name) const;
  void Close();
  bool is_open() const { return handle_ != nullptr; }

 private:
  void* handle_ = nullptr;
};

}  // namespace platform
