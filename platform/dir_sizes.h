// The sizes of the files of a directory listing, for sharing work out by bytes before the
// files are read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/dir.h"

namespace platform {

// Fills sizes[k] with the size of listed file begin + k * stride, for each such file
// before end: from the listing where it holds them, else from a status call per file. A file whose
// status cannot be taken gets 0. Any number of threads may fill parts of one listing;
// nothing is thrown.
void ListedFileSizes(const std::string& dir, const DirListing& listing, size_t begin, size_t end,
                     uint64_t* sizes, size_t stride = 1);

}  // namespace platform
