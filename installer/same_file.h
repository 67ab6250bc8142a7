// What the extraction needs to know of the platform's file names, kept out of the
// portable extraction so that the installer links nothing but its own files.
#pragma once

#include <cstdio>

namespace norvel {

// The separator the installer puts between a directory and "norvel.exe".
extern const char kPathSeparator;

// True when both paths name one file: an installer renamed to norvel.exe must not
// truncate itself.
bool SameFile(const char* a, const char* b);

// Opens path for writing in binary, created or emptied, as fopen "wb" would, but never
// through a link planted at the name (a symbolic link, or on Windows any reparse point
// there): such a name, and anything that is not a regular file, is refused with null and
// left as it is.
FILE* OpenTargetForWriting(const char* path);

}  // namespace norvel
