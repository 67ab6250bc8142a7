// Directory listing on Linux.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "platform/dir.h"
#include "platform/path.h"

namespace platform {

bool ListDirectory(const std::string& dir, const std::string& pattern,
                   std::vector<std::string>* names) {
  names->clear();
  DIR* d = opendir(dir.c_str());
  if (!d) return false;
  while (struct dirent* e = readdir(d)) {
    if (!WildcardMatch(pattern.c_str(), e->d_name)) continue;
    bool regular = e->d_type == DT_REG;
    if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
      struct stat st;
      regular = stat(JoinPath(dir, e->d_name).c_str(), &st) == 0 && S_ISREG(st.st_mode);
    }
    if (regular) names->emplace_back(e->d_name);
  }
  closedir(d);
  std::sort(names->begin(), names->end());
  return true;
}

}  // namespace platform

namespace platform {

bool RemoveDirectoryTree(const std::string& dir) {
  DIR* d = opendir(dir.c_str());
  if (!d) return false;
  bool ok = true;
  while (struct dirent* e = readdir(d)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    std::string path = JoinPath(dir, name);
    struct stat st;
    if (lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
      ok = RemoveDirectoryTree(path) && ok;
    } else {
      ok = unlink(path.c_str()) == 0 && ok;
    }
  }
  closedir(d);
  return rmdir(dir.c_str()) == 0 && ok;
}

}  // namespace platform
