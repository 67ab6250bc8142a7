// A small real index shared by the fuzz targets: three documents, built once per process
// in a scratch directory; a target replaces one of its files with the fuzz input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "index/in_memory_index.h"

namespace norvel_fuzz {

struct FuzzEnv {
  std::string root;       // scratch directory
  std::string app_dir;    // norvel.ini, xcludelist.ini, the log
  std::string data_dir;   // the three documents
  std::string index_dir;  // the current index (pristine copy in pristine_dir)
  std::string pristine_dir;
};

// Builds the environment the first time; later calls return it.
const FuzzEnv& Env();

// Puts the pristine index back, then writes the fuzz input as index file `name`.
void ResetIndexWith(const char* name, const uint8_t* data, size_t size);

// Writes bytes to a file, replacing it.
void WriteFile(const std::string& path, const uint8_t* data, size_t size);

// Loads the index and runs a set of queries, with the first result page of each.
void LoadAndSearch();

}  // namespace norvel_fuzz
