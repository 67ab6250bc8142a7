// Dynamic libraries on Linux.
#include <dlfcn.h>

#include "platform/dynlib.h"

namespace platform {

std::string SharedLibraryFileName(const std::string& stem) {
  return "lib" + stem + ".so";
}

bool DynamicLibrary::Open(const std::string& name) {
  Close();
  handle_ = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
  return handle_ != nullptr;
}

void* DynamicLibrary::Symbol(const char* name) const {
  return handle_ ? dlsym(handle_, name) : nullptr;
}

void DynamicLibrary::Close() {
  if (handle_) dlclose(handle_);
  handle_ = nullptr;
}

}  // namespace platform
