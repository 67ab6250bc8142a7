// What a C mode string ("rb", "wb", "ab", "r+b") asks of File::Open, for the platform
// parts of the file layer, which open files themselves instead of through fopen.
#pragma once

namespace platform {

struct OpenMode {
  bool read = false;      // the stream reads
  bool write = false;     // the stream writes
  bool create = false;    // a missing file is created ("w", "a")
  bool truncate = false;  // an existing file is emptied ("w")
  bool append = false;    // every write goes to the end ("a")
};

// False for anything but 'r', 'w' or 'a' followed by any of '+' and 'b'.
bool ParseOpenMode(const char* mode, OpenMode* out);

}  // namespace platform
