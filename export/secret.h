// Texts that must not outlive their use, such as the AR password: their memory is
// overwritten before it is given back.
#pragma once

#include <cstddef>
#include <string>

namespace norvel {

// Overwrites n bytes in a way the compiler may not leave out.
inline void WipeMemory(void* data, size_t n) {
  volatile unsigned char* p = static_cast<volatile unsigned char*>(data);
  while (n--) *p++ = 0;
}

// A text that wipes its characters when cleared, replaced or destroyed.
class SecretText {
 public:
  SecretText() = default;
  explicit SecretText(const std::string& text) : text_(text) {}
  SecretText(const SecretText&) = delete;
  SecretText& operator=(const SecretText&) = delete;
  ~SecretText() { Clear(); }

  void Assign(const std::string& text) { Assign(text.data(), text.size()); }
  void Assign(const char* text, size_t n) {
    Clear();
    text_.reserve(n);
    text_.append(text, n);
  }
  void Clear() {
    if (!text_.empty()) WipeMemory(&text_[0], text_.size());
    text_.clear();
  }
  const std::string& str() const { return text_; }
  bool empty() const { return text_.empty(); }

 private:
  std::string text_;
};

}  // namespace norvel
