// Dynamic libraries on Windows.
#include <windows.h>

#include "platform/dynlib.h"

namespace platform {

std::string SharedLibraryFileName(const std::string& stem) {
  return stem + ".dll";
}

bool DynamicLibrary::Open(const std::string& name) {
  Close();
  handle_ = reinterpret_cast<void*>(LoadLibraryA(name.c_str()));
  return handle_ != nullptr;
}

void* DynamicLibrary::Symbol(const char* name) const {
  if (!handle_) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

void DynamicLibrary::Close() {
  if (handle_) FreeLibrary(static_cast<HMODULE>(handle_));
  handle_ = nullptr;
}

}  // namespace platform
