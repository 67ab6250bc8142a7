// Portable part of the file layer: streams and text-mode translation.
#include "platform/file.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace platform {

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    f_ = other.f_;
    other.f_ = nullptr;
  }
  return *this;
}

bool File::Seek(uint64_t offset) {
  // fseek takes a long, 32-bit on Windows: the 64-bit seek reaches past 2 GB (a postings
  // file may reach 4 GB).
  if (!f_ || offset > static_cast<uint64_t>(INT64_MAX)) return false;
#ifdef _WIN32
  return _fseeki64(f_, static_cast<int64_t>(offset), SEEK_SET) == 0;
#else
  static_assert(sizeof(off_t) >= 8, "64-bit file offsets");
  return fseeko(f_, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

bool File::Close() {
  if (!f_) return true;
  bool ok = std::ferror(f_) == 0;
  ok = std::fclose(f_) == 0 && ok;
  f_ = nullptr;
  return ok;
}

bool FileExists(const std::string& path) {
  FileStatus st;
  return GetFileStatus(path, &st);
}

bool IsDirectory(const std::string& path) {
  FileStatus st;
  return GetFileStatus(path, &st) && st.is_directory;
}

bool TextReader::Open(const std::string& path) {
  pos_ = len_ = 0;
  eof_ = error_ = false;
  return file_.Open(path, "rb");
}

bool TextReader::Refill() {
  // Keep a trailing CR so that a CR LF pair split across raw reads still collapses.
  size_t keep = len_ - pos_;
  if (keep) std::memmove(raw_, raw_ + pos_, keep);
  pos_ = 0;
  len_ = keep;
  if (eof_) return false;
  size_t got = file_.Read(raw_ + len_, sizeof raw_ - len_);
  if (got == 0) {
    if (file_.Error()) error_ = true;
    eof_ = true;
    return false;
  }
  // Byte 0x1A ends the text: cut the raw buffer there and read no further.
  if (void* eot = std::memchr(raw_ + len_, 0x1A, got)) {
    got = static_cast<size_t>(static_cast<char*>(eot) - (raw_ + len_));
    eof_ = true;
  }
  len_ += got;
  return true;
}

size_t TextReader::Read(char* dst, size_t n) {
  size_t out = 0;
  while (out < n) {
    if (len_ - pos_ < 2 && !eof_) Refill();
    if (pos_ >= len_) break;
    // Copy the run up to the next CR in one go.
    const char* start = raw_ + pos_;
    size_t avail = len_ - pos_;
    size_t run = avail < n - out ? avail : n - out;
    const void* cr = std::memchr(start, '\r', run);
    size_t plain = cr ? static_cast<size_t>(static_cast<const char*>(cr) - start) : run;
    std::memcpy(dst + out, start, plain);
    out += plain;
    pos_ += plain;
    if (!cr || out >= n) continue;
    // raw_[pos_] is a CR: it collapses only with a following LF, which may still be unread.
    if (pos_ + 1 >= len_ && !eof_) Refill();
    if (pos_ + 1 < len_ && raw_[pos_ + 1] == '\n') {
      dst[out++] = '\n';
      pos_ += 2;
    } else {
      dst[out++] = '\r';
      pos_ += 1;
    }
  }
  return out;
}

bool TextWriter::Open(const std::string& path) {
  ok_ = true;
  return file_.Open(path, "wb");
}

bool TextWriter::Write(const std::string& text) {
  size_t start = 0;
  while (start < text.size()) {
    size_t lf = text.find('\n', start);
    size_t end = lf == std::string::npos ? text.size() : lf;
    if (end > start) ok_ = file_.Write(text.data() + start, end - start) && ok_;
    if (lf == std::string::npos) break;
    ok_ = file_.Write("\r\n", 2) && ok_;
    start = lf + 1;
  }
  return ok_;
}

bool TextWriter::Close() {
  bool closed = file_.Close();
  return closed && ok_;
}

}  // namespace platform
