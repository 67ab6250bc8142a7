// File names on Windows: backslashes, and names that ignore case.
#include "installer/same_file.h"

namespace norvel {

const char kPathSeparator = '\\';

namespace {

char Folded(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
bool IsSeparator(char c) {
  return c == '/' || c == '\\';
}

}  // namespace

bool SameFile(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    if (Folded(*a) != Folded(*b) && !(IsSeparator(*a) && IsSeparator(*b))) return false;
  }
  return *a == *b;
}

}  // namespace norvel
