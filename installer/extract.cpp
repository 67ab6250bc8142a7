// Extraction of the carried program, in portable C stdio so that the installer stays a
// small program and its failure paths can be tested on every platform.
#include "installer/extract.h"

#include <sys/stat.h>

#include <cstring>

#include "installer/same_file.h"

namespace norvel {

namespace {

const char kTargetName[] = "norvel.exe";

size_t DefaultRead(void* data, size_t length, FILE* source, void*) {
  return std::fread(data, 1, length, source);
}

size_t DefaultWrite(const void* data, size_t length, FILE* target, void*) {
  return std::fwrite(data, 1, length, target);
}

const ExtractHooks kStdioHooks = {DefaultRead, DefaultWrite, nullptr};

bool FileSize(const char* path, uint64_t* size) {
  struct stat status;
  if (stat(path, &status) != 0) return false;
  *size = static_cast<uint64_t>(status.st_size);
  return true;
}

// Copies block by block until a read delivers nothing; the caller closes the files. A
// copy that ends before the whole payload was read hit a read error, not the end.
ExtractResult CopyBlocks(FILE* in, FILE* out, size_t block, uint64_t payload,
                         const ExtractHooks& io) {
  static char buffer[kCopyBlockLimit];
  uint64_t copied = 0;
  for (;;) {
    size_t got = io.read_block(buffer, block, in, io.context);
    if (got == 0) break;
    if (io.write_block(buffer, got, out, io.context) != got) return ExtractResult::kWriteFailed;
    copied += got;
  }
  return std::ferror(in) || copied < payload ? ExtractResult::kCannotReadInstaller
                                             : ExtractResult::kOk;
}

}  // namespace

size_t CopyBlockSize(uint64_t installer_size) {
  if (installer_size <= kPayloadOffset) return 0;
  uint64_t payload = installer_size - kPayloadOffset;
  return payload < kCopyBlockLimit ? static_cast<size_t>(payload) : kCopyBlockLimit;
}

bool InstallPaths(const char* installer_path, char* source, char* target) {
  size_t length = std::strlen(installer_path);
  const char* last = nullptr;
  for (const char* p = installer_path; *p; ++p) {
    if (*p == '\\' || *p == '/') last = p;
  }
  size_t dir_length = last ? static_cast<size_t>(last - installer_path) : 1;
  if (length >= kInstallerPathMax || dir_length + 1 + sizeof kTargetName > kInstallerPathMax) {
    return false;
  }
  std::memcpy(source, installer_path, length + 1);
  std::memcpy(target, last ? installer_path : ".", dir_length);
  target[dir_length] = kPathSeparator;
  std::memcpy(target + dir_length + 1, kTargetName, sizeof kTargetName);
  return true;
}

ExtractMessage MessageFor(ExtractResult result) {
  switch (result) {
    case ExtractResult::kOk:
      return {"", ""};
    case ExtractResult::kCannotReadInstaller:
      return {"Error reading installer.exe", "Error"};
    case ExtractResult::kNothingToExtract:
      return {"Nothing to extract!", "Info"};
    case ExtractResult::kSeekFailed:
      return {"Seek error in extracting Application", "Error"};
    case ExtractResult::kCannotCreateTarget:
    case ExtractResult::kWriteFailed:
      break;
  }
  return {"Error extracting Application", "Error"};
}

ExtractResult ExtractPayload(const char* source, const char* target, const ExtractHooks* hooks) {
  uint64_t size = 0;
  if (!FileSize(source, &size)) return ExtractResult::kCannotReadInstaller;
  size_t block = CopyBlockSize(size);
  if (block == 0) return ExtractResult::kNothingToExtract;
  if (SameFile(source, target)) return ExtractResult::kCannotCreateTarget;
  FILE* in = std::fopen(source, "rb");
  if (!in) return ExtractResult::kCannotReadInstaller;
  FILE* out = OpenTargetForWriting(target);
  if (!out) {
    std::fclose(in);
    return ExtractResult::kCannotCreateTarget;
  }
  ExtractResult result =
      std::fseek(in, kPayloadOffset, SEEK_SET) != 0
          ? ExtractResult::kSeekFailed
          : CopyBlocks(in, out, block, size - kPayloadOffset, hooks ? *hooks : kStdioHooks);
  // Closing flushes the last buffered bytes: a full disk often shows only here.
  if (std::fclose(out) != 0 && result == ExtractResult::kOk) result = ExtractResult::kWriteFailed;
  std::fclose(in);
  if (result != ExtractResult::kOk) std::remove(target);
  return result;
}

}  // namespace norvel
