// C mode strings read into what they ask of an open file.
#include "platform/file_mode.h"

namespace platform {

bool ParseOpenMode(const char* mode, OpenMode* out) {
  *out = OpenMode();
  switch (mode[0]) {
    case 'r':
      out->read = true;
      break;
    case 'w':
      out->write = out->create = out->truncate = true;
      break;
    case 'a':
      out->write = out->create = out->append = true;
      break;
    default:
      return false;
  }
  for (const char* c = mode + 1; *c; ++c) {
    if (*c == '+') {
      out->read = out->write = true;
    } else if (*c != 'b') {
      return false;
    }
  }
  return true;
}

}  // namespace platform
