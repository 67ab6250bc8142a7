// What the extraction needs to know of the platform's file names, kept out of the
// portable extraction so that the installer links nothing but its own files.
#pragma once

namespace norvel {

// The separator the installer puts between a directory and "norvel.exe".
extern const char kPathSeparator;

// True when both paths name one file: an installer renamed to norvel.exe must not
// truncate itself.
bool SameFile(const char* a, const char* b);

}  // namespace norvel
