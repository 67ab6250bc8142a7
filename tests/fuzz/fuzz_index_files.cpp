// Fuzz targets for the index files: one file of a real index replaced by the input, then
// loaded and searched. Which file is chosen at compile time (NORVEL_FUZZ_FILE).
#include <cstddef>
#include <cstdint>

#include "fuzz_env.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  norvel_fuzz::ResetIndexWith(NORVEL_FUZZ_FILE, data, size);
  norvel_fuzz::LoadAndSearch();
  return 0;
}
