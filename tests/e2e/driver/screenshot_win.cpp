// Screen capture of a window and the BMP and PNG writers.
#include <cstdio>
#include <utility>

#include "files.h"
#include "screenshot.h"

namespace e2e {

namespace {

// Device contexts and a bitmap, released in the right order whatever happens.
struct ScreenCapture {
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = nullptr;
  HGDIOBJ previous = nullptr;
  ~ScreenCapture() {
    if (previous) SelectObject(memory, previous);
    if (bitmap) DeleteObject(bitmap);
    if (memory) DeleteDC(memory);
    if (screen) ReleaseDC(nullptr, screen);
  }
};

void PutBe32(std::string* out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<char>(v >> shift));
}

uint32_t Crc32(const std::string& data, size_t from) {
  static uint32_t table[256];
  if (!table[1]) {
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[n] = c;
    }
  }
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = from; i < data.size(); ++i) {
    crc = table[(crc ^ static_cast<uint8_t>(data[i])) & 0xFF] ^ (crc >> 8);
  }
  return crc ^ 0xFFFFFFFFu;
}

void PutChunk(std::string* png, const char* type, const std::string& body) {
  PutBe32(png, static_cast<uint32_t>(body.size()));
  size_t start = png->size();
  png->append(type, 4);
  png->append(body);
  PutBe32(png, Crc32(*png, start));
}

// A zlib stream of stored (uncompressed) deflate blocks.
std::string StoredZlib(const std::string& raw) {
  std::string z = "\x78\x01";
  uint32_t a = 1, b = 0;
  for (unsigned char c : raw) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  size_t pos = 0;
  do {
    size_t n = raw.size() - pos < 65535 ? raw.size() - pos : 65535;
    bool last = pos + n == raw.size();
    z.push_back(last ? 1 : 0);
    z.push_back(static_cast<char>(n & 0xFF));
    z.push_back(static_cast<char>(n >> 8));
    z.push_back(static_cast<char>(~n & 0xFF));
    z.push_back(static_cast<char>((~n >> 8) & 0xFF));
    z.append(raw, pos, n);
    pos += n;
  } while (pos < raw.size());
  PutBe32(&z, (b << 16) | a);
  return z;
}

}  // namespace

bool CaptureWindow(HWND hwnd, Image* out, bool client_only) {
  RECT r;
  if (client_only) {
    GetClientRect(hwnd, &r);
    MapWindowPoints(hwnd, HWND_DESKTOP, reinterpret_cast<POINT*>(&r), 2);
  } else {
    GetWindowRect(hwnd, &r);
  }
  int width = r.right - r.left, height = r.bottom - r.top;
  if (width <= 0 || height <= 0) return false;
  ScreenCapture cap;
  if (!cap.screen || !cap.memory) return false;
  cap.bitmap = CreateCompatibleBitmap(cap.screen, width, height);
  if (!cap.bitmap) return false;
  cap.previous = SelectObject(cap.memory, cap.bitmap);
  if (!BitBlt(cap.memory, 0, 0, width, height, cap.screen, r.left, r.top, SRCCOPY)) return false;
  SelectObject(cap.memory, cap.previous);
  cap.previous = nullptr;

  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<uint8_t> bgra(static_cast<size_t>(width) * height * 4);
  if (GetDIBits(cap.memory, cap.bitmap, 0, height, bgra.data(), &info, DIB_RGB_COLORS) != height) {
    return false;
  }
  out->width = width;
  out->height = height;
  out->rgb.resize(static_cast<size_t>(width) * height * 3);
  for (size_t i = 0, n = static_cast<size_t>(width) * height; i < n; ++i) {
    out->rgb[i * 3] = bgra[i * 4 + 2];
    out->rgb[i * 3 + 1] = bgra[i * 4 + 1];
    out->rgb[i * 3 + 2] = bgra[i * 4];
  }
  return true;
}

bool CaptureSettled(HWND hwnd, Image* out, bool client_only, unsigned timeout_ms) {
  RedrawWindow(hwnd, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  Image previous;
  bool have_previous = false;
  return WaitUntil(
      [&] {
        Image now;
        if (!CaptureWindow(hwnd, &now, client_only)) return false;
        bool same = have_previous && now.width == previous.width && now.height == previous.height &&
                    now.rgb == previous.rgb;
        previous = std::move(now);
        have_previous = true;
        if (same) *out = previous;
        return same;
      },
      timeout_ms, 100);
}

bool SaveBmp(const Image& image, const std::string& path) {
  const uint32_t row = (static_cast<uint32_t>(image.width) * 3 + 3) & ~3u;
  const uint32_t pixels = row * image.height;
  BITMAPFILEHEADER file = {};
  BITMAPINFOHEADER head = {};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof head;
  file.bfSize = file.bfOffBits + pixels;
  head.biSize = sizeof head;
  head.biWidth = image.width;
  head.biHeight = image.height;  // bottom-up, as most readers expect
  head.biPlanes = 1;
  head.biBitCount = 24;
  head.biCompression = BI_RGB;
  head.biSizeImage = pixels;
  std::string data(reinterpret_cast<const char*>(&file), sizeof file);
  data.append(reinterpret_cast<const char*>(&head), sizeof head);
  for (int y = image.height - 1; y >= 0; --y) {
    const uint8_t* src = &image.rgb[static_cast<size_t>(y) * image.width * 3];
    for (int x = 0; x < image.width; ++x) {
      data.push_back(static_cast<char>(src[x * 3 + 2]));
      data.push_back(static_cast<char>(src[x * 3 + 1]));
      data.push_back(static_cast<char>(src[x * 3]));
    }
    data.append(row - image.width * 3, '\0');
  }
  return WriteFileBytes(path, data);
}

bool SavePng(const Image& image, const std::string& path) {
  std::string png = "\x89PNG\r\n\x1a\n";
  std::string header;
  PutBe32(&header, static_cast<uint32_t>(image.width));
  PutBe32(&header, static_cast<uint32_t>(image.height));
  header.append("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, no filter, no interlace
  PutChunk(&png, "IHDR", header);
  std::string raw;
  raw.reserve((static_cast<size_t>(image.width) * 3 + 1) * image.height);
  for (int y = 0; y < image.height; ++y) {
    raw.push_back('\0');  // filter: none
    raw.append(reinterpret_cast<const char*>(&image.rgb[static_cast<size_t>(y) * image.width * 3]),
               static_cast<size_t>(image.width) * 3);
  }
  PutChunk(&png, "IDAT", StoredZlib(raw));
  PutChunk(&png, "IEND", std::string());
  return WriteFileBytes(path, png);
}

std::string SaveScreenshot(HWND hwnd, const std::string& name) {
  Image image;
  if (!CaptureSettled(hwnd, &image)) return std::string();
  std::string path = ArtifactPath(name + ".png");
  return SavePng(image, path) ? path : std::string();
}

}  // namespace e2e
