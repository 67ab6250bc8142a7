// The few operating-system services the stand-in library needs: its own location, an
// environment variable, and the files of a directory.
#pragma once

#include <string>
#include <vector>

namespace arsim {

// Directory that holds this library file; empty when it cannot be found.
std::string LibraryDirectory();

// The process environment's value of name; empty when unset.
std::string EnvironmentValue(const char* name);

// Names of the entries of dir (files and folders, without "." and ".."), sorted in byte
// order. False when the directory cannot be read.
bool ListEntries(const std::string& dir, std::vector<std::string>* names);

extern const char kPathSep;

}  // namespace arsim
