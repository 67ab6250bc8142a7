// The sizes of listed files on Linux: a status call per file, its name resolved from the
// directory itself.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <new>
#include <string_view>

#include "platform/dir_sizes.h"
#include "platform/path.h"

namespace platform {

void ListedFileSizes(const std::string& dir, const DirListing& listing, size_t begin, size_t end,
                     uint64_t* sizes, size_t stride) {
  if (listing.size_known()) {
    for (size_t i = begin, k = 0; i < end; i += stride, ++k) sizes[k] = listing.file_size(i);
    return;
  }
  int at = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  char name[PATH_MAX];
  for (size_t i = begin, k = 0; i < end; i += stride, ++k) {
    sizes[k] = 0;
    std::string_view listed = listing.name(i);
    std::string joined;
    const char* path = name;
    if (at >= 0 && listed.size() < sizeof name) {
      std::memcpy(name, listed.data(), listed.size());
      name[listed.size()] = '\0';
    } else {
      try {
        joined = JoinPath(dir, std::string(listed));
      } catch (const std::bad_alloc&) {
        continue;  // no size: 0
      }
      path = joined.c_str();
    }
    struct stat st;
    // A joined path is the directory's path and the name: resolved as any path is.
    if (fstatat(path == name ? at : AT_FDCWD, path, &st, 0) == 0) {
      sizes[k] = static_cast<uint64_t>(st.st_size);
    }
  }
  if (at >= 0) close(at);
}

}  // namespace platform
