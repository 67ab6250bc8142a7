// The sizes of listed files on Windows: the listing holds them.
#include <new>
#include <string>

#include "platform/dir_sizes.h"
#include "platform/file.h"
#include "platform/path.h"

namespace platform {

void ListedFileSizes(const std::string& dir, const DirListing& listing, size_t begin, size_t end,
                     uint64_t* sizes, size_t stride) {
  for (size_t i = begin, k = 0; i < end; i += stride, ++k) {
    if (listing.size_known()) {
      sizes[k] = listing.file_size(i);
      continue;
    }
    FileStatus st;
    bool known = false;
    try {
      known = GetFileStatus(JoinPath(dir, std::string(listing.name(i))), &st);
    } catch (const std::bad_alloc&) {
    }
    sizes[k] = known ? st.size : 0;
  }
}

}  // namespace platform
