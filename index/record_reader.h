// Reading files of length-prefixed records (u32 field, u8 length, that many bytes) block
// by block, with an incomplete record carried over to the next block.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/file.h"

namespace norvel {

inline uint32_t LoadLE32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline void StoreLE32(unsigned char* p, uint32_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
  p[2] = static_cast<unsigned char>(v >> 16);
  p[3] = static_cast<unsigned char>(v >> 24);
}

enum class RecordsEnd { kWhole, kCutOff, kReadError };

// Calls on_record(field, bytes, length, offset_of_record) for each record of the open file,
// where offset_of_record is the record's byte offset in the file. A false return stops the
// reading (the result is then kWhole). kCutOff when the file ends inside a record.
template <typename OnRecord>
RecordsEnd ReadRecords(platform::File& file, OnRecord&& on_record) {
  constexpr size_t kBlock = 64 * 1024;
  constexpr size_t kLongestRecord = 4 + 1 + 255;
  std::vector<unsigned char> buf(kBlock + kLongestRecord);
  size_t held = 0;
  uint64_t base = 0;  // file offset of buf[0]
  for (;;) {
    size_t got = file.Read(buf.data() + held, kBlock);
    if (got == 0) {
      if (file.Error()) return RecordsEnd::kReadError;
      return held == 0 ? RecordsEnd::kWhole : RecordsEnd::kCutOff;
    }
    held += got;
    size_t pos = 0;
    while (held - pos >= 5) {
      size_t len = buf[pos + 4];
      if (held - pos < 5 + len) break;
      if (!on_record(LoadLE32(&buf[pos]), reinterpret_cast<const char*>(&buf[pos + 5]), len,
                     base + pos)) {
        return RecordsEnd::kWhole;
      }
      pos += 5 + len;
    }
    std::memmove(buf.data(), buf.data() + pos, held - pos);
    held -= pos;
    base += pos;
  }
}

}  // namespace norvel
