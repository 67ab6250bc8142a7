// Files: RAII binary streams, Windows text-mode reading and writing on every platform,
// file status, and the few file-system operations the program needs.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace platform {

struct FileStatus {
  uint64_t size = 0;
  // Modification time in the platform's finest unit; only compared for equality.
  int64_t mtime = 0;
  bool is_directory = false;
};

// False when the path does not exist or its status cannot be taken.
bool GetFileStatus(const std::string& path, FileStatus* out);

// An owned C stream, always opened in binary mode ("rb", "wb", "ab", "r+b").
class File {
 public:
  File() = default;
  ~File() { Close(); }
  File(File&& other) noexcept : f_(other.f_) { other.f_ = nullptr; }
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Opens only a regular file, and never waits in the opening itself: a FIFO, a device
  // or a directory at the name is refused. A mode that writes ("wb", "ab", "r+b") also
  // refuses a symbolic link at the name (on Windows a reparse point that names another
  // file), dangling or not, so nothing is ever written or created through one; reading
  // follows links. False on any refusal, as on any other failure to open.
  bool Open(const std::string& path, const char* mode);
  bool is_open() const { return f_ != nullptr; }
  FILE* get() const { return f_; }

  size_t Read(void* dst, size_t n) { return f_ ? std::fread(dst, 1, n, f_) : 0; }
  bool Write(const void* src, size_t n) { return f_ && std::fwrite(src, 1, n, f_) == n; }
  bool Seek(uint64_t offset);
  // Reads n bytes at offset in one system call where one suffices, past the stream's
  // buffer: true only when all n came. For files that are only read this way (the
  // stream's own position is left undefined: Seek before a Read after it). Threads may
  // read one file this way at the same time.
  bool ReadAt(uint64_t offset, void* dst, size_t n) const;
  bool Error() const { return f_ && std::ferror(f_) != 0; }
  // Flushes the stream and waits until the file's data is on the disk itself, not only in
  // the system's cache: what is renamed into place must survive a power cut. False when
  // either fails.
  bool Sync();
  // Flushes the stream and has the system begin writing the file's data to the disk
  // without waiting for it (where it can: on Linux), so that a Sync later waits less.
  // Promises nothing of its own. False when the flush fails.
  bool StartSync();
  // Flushes and closes; false when a buffered write failed.
  bool Close();

 private:
  FILE* f_ = nullptr;
};

// Reads a text file as the Windows C runtime's text mode does, on every platform:
// a CR LF pair arrives as one LF, a lone CR stays, and byte 0x1A ends the text.
// Read() fills the whole request unless the text ends, like fread. Open() takes regular
// files only, as File::Open does.
class TextReader {
 public:
  bool Open(const std::string& path);
  size_t Read(char* dst, size_t n);
  bool Error() const { return error_; }
  void Close() { file_.Close(); }

 private:
  bool Refill();

  File file_;
  char raw_[8192];
  size_t pos_ = 0;
  size_t len_ = 0;
  bool eof_ = false;  // raw end of file, or 0x1A seen
  bool error_ = false;
};

// Writes a text file as the Windows C runtime's text mode does: every LF becomes CR LF.
class TextWriter {
 public:
  // Creates or truncates the file, as File::Open does: never through a symbolic link.
  bool Open(const std::string& path);
  bool Write(const std::string& text);
  bool Sync() { return file_.Sync(); }  // as File::Sync
  bool Close();                         // false when any write failed
  bool is_open() const { return file_.is_open(); }

 private:
  File file_;
  bool ok_ = true;
};

// A file held open by the name it has now, so that once that name is replaced or removed
// the file's blocks are freed when it is let go (Release, or the destructor), not by the
// rename or the deletion (a large file's take milliseconds to free). Nothing is held where
// an open file's name cannot be replaced (Windows), nor where the name opens no file.
class HeldFile {
 public:
  HeldFile() = default;
  explicit HeldFile(const std::string& path);
  ~HeldFile() { Release(); }
  HeldFile(HeldFile&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  HeldFile& operator=(HeldFile&& other) noexcept {
    if (this != &other) {
      Release();
      fd_ = other.fd_;
      other.fd_ = -1;
    }
    return *this;
  }
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;
  void Release();

 private:
  int fd_ = -1;
};

bool RemoveFile(const std::string& path);
// Renames, replacing an existing target. Retries for a short while when either file is
// momentarily in use (a virus scanner, another reader), then gives up. On Windows the
// rename is written through to the disk before it returns.
bool RenameReplace(const std::string& from, const std::string& to);
// Renames from, a file written to replace to, over to, keeping what belongs to to rather
// than to its content: on POSIX its permission bits, owner and group (given to from first;
// an owner that this process may not give is left as it is), on Windows its attributes
// and access control list (ReplaceFileW). Without a file at to, RenameReplace. Retries
// as RenameReplace does; false when from was not renamed.
bool ReplaceKeepingAttributes(const std::string& from, const std::string& to);
// Waits until the names in a directory (files created, renamed or deleted there) are on
// the disk, so that a later change cannot reach it before them. Where the file system
// cannot sync a directory it does nothing: false only when a sync was tried and failed.
bool SyncDirectory(const std::string& path);
bool MakeDirectory(const std::string& path);
bool IsDirectory(const std::string& path);
bool FileExists(const std::string& path);

void SleepMillis(unsigned ms);

}  // namespace platform
