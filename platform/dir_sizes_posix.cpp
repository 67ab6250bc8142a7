// The sizes of listed files on Linux: a status call per file, its name resolved from the
// directory itself.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/dir_sizes.h"
#include "platform/path.h"

namespace platform {

void ListedFileSizes(const std::string& dir, const DirListing& listing, size_t begin, size_t end,
                     uint64_t* sizes) {
  if (listing.size_known()) {
    for (size_t i = begin; i < end; ++i) sizes[i - begin] = listing.file_size(i);
    return;
  }
  int at = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  std::string path;
  for (size_t i = begin; i < end; ++i) {
    path.assign(listing.name(i));
    if (at < 0) path = JoinPath(dir, path);
    struct stat st;
    bool known = fstatat(at >= 0 ? at : AT_FDCWD, path.c_str(), &st, 0) == 0;
    sizes[i - begin] = known ? static_cast<uint64_t>(st.st_size) : 0;
  }
  if (at >= 0) close(at);
}

}  // namespace platform
