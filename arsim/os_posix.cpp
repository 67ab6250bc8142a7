// Operating-system services of the stand-in library on Linux.
#include <dirent.h>
#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>

#include "arsim/os.h"

namespace arsim {

const char kPathSep = '/';

std::string LibraryDirectory() {
  Dl_info info;
  if (!dladdr(reinterpret_cast<void*>(&LibraryDirectory), &info) || !info.dli_fname) return {};
  std::string path = info.dli_fname;
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string EnvironmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

bool ListEntries(const std::string& dir, std::vector<std::string>* names) {
  names->clear();
  DIR* d = opendir(dir.c_str());
  if (!d) return false;
  while (struct dirent* e = readdir(d)) {
    std::string name = e->d_name;
    if (name != "." && name != "..") names->push_back(name);
  }
  closedir(d);
  std::sort(names->begin(), names->end());
  return true;
}

}  // namespace arsim
