// Extraction of the program the installer carries: the installer file is the installer's
// own program image, padded to kPayloadOffset bytes, followed directly by norvel.exe.
// The payload's size is not stored: it is the file's size minus the offset.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace norvel {

constexpr uint32_t kPayloadOffset = 53248;
constexpr size_t kCopyBlockLimit = 1024;
constexpr size_t kInstallerPathMax = 520;

// Bytes copied at a time for an installer file of that size: min(1024, payload size),
// 0 when there is no payload.
size_t CopyBlockSize(uint64_t installer_size);

// The installer's own file and the program it writes next to it: source is
// installer_path itself, target is "norvel.exe" in the same directory (".\norvel.exe"
// when the path names no directory). False when either does not fit kInstallerPathMax.
bool InstallPaths(const char* installer_path, char* source, char* target);

enum class ExtractResult {
  kOk,
  kCannotReadInstaller,  // no status, cannot open, or a read failed midway
  kNothingToExtract,     // the file is no longer than the offset
  kCannotCreateTarget,   // cannot be opened for writing, or is the installer itself
  kSeekFailed,
  kWriteFailed,  // a write or the final flush failed; the partial target is removed
};

// The box the installer shows for a result other than kOk.
struct ExtractMessage {
  const char* text;
  const char* caption;
};
ExtractMessage MessageFor(ExtractResult result);

// The reads and writes of the copy loop, fread and fwrite unless a test puts its own in
// place to watch the blocks or to make a read or a write fail.
struct ExtractHooks {
  size_t (*read_block)(void* data, size_t length, FILE* source, void* context);
  size_t (*write_block)(const void* data, size_t length, FILE* target, void* context);
  void* context;
};

// Copies the payload of the installer file `source` into `target`, replacing it. On any
// failure after the target was created, the target is removed again: a partial program
// must not be mistaken for an installed one.
ExtractResult ExtractPayload(const char* source, const char* target,
                             const ExtractHooks* hooks = nullptr);

}  // namespace norvel
