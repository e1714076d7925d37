// BMP and PNG encoding for the artwork generator, written out by hand so every byte is ours to fix.
#include "imagefile.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace art {

static void le16(std::vector<uint8_t> &o, uint32_t v) {
  o.push_back(v & 0xFF);
  o.push_back((v >> 8) & 0xFF);
}

static void le32(std::vector<uint8_t> &o, uint32_t v) {
  le16(o, v & 0xFFFF);
  le16(o, v >> 16);
}

static void be32(std::vector<uint8_t> &o, uint32_t v) {
  o.push_back(v >> 24);
  o.push_back((v >> 16) & 0xFF);
  o.push_back((v >> 8) & 0xFF);
  o.push_back(v & 0xFF);
}

std::vector<uint8_t> encodeBmp(const Image &img) {
  const uint32_t headers = 14 + 40 + 12;
  const uint32_t imageSize = static_cast<uint32_t>(img.w) * img.h * 4;
  std::vector<uint8_t> o;
  o.reserve(headers + imageSize);
  o.push_back('B');
  o.push_back('M');
  le32(o, headers + imageSize);
  le32(o, 0);  // reserved
  le32(o, headers);
  le32(o, 40);  // BITMAPINFOHEADER
  le32(o, img.w);
  le32(o, img.h);  // positive height: rows stored bottom-up
  le16(o, 1);
  le16(o, 32);
  le32(o, 3);  // BI_BITFIELDS
  le32(o, imageSize);
  le32(o, 2835);  // 72 dpi, fixed so the file never depends on the machine
  le32(o, 2835);
  le32(o, 0);
  le32(o, 0);
  le32(o, 0x00FF0000);
  le32(o, 0x0000FF00);
  le32(o, 0x000000FF);
  for (int y = img.h - 1; y >= 0; --y)
    for (int x = 0; x < img.w; ++x) le32(o, img.at(x, y) & 0x00FFFFFF);
  return o;
}

static uint32_t rd32(const std::vector<uint8_t> &b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

Image decodeBmp(const std::vector<uint8_t> &bytes) {
  Image img;
  if (bytes.size() < 66) throw std::runtime_error("not one of our BMP files");
  img.w = static_cast<int>(rd32(bytes, 18));
  img.h = static_cast<int>(rd32(bytes, 22));
  if (img.w <= 0 || img.h <= 0 || bytes.size() != 66 + static_cast<size_t>(img.w) * img.h * 4)
    throw std::runtime_error("not one of our BMP files");
  img.px.resize(static_cast<size_t>(img.w) * img.h);
  for (int y = 0; y < img.h; ++y)
    for (int x = 0; x < img.w; ++x) img.at(x, y) = rd32(bytes, 66 + 4 * ((img.h - 1 - y) * img.w + x));
  // Every header byte is fixed by the size, so writing the pixels back must give the same file.
  if (encodeBmp(img) != bytes) throw std::runtime_error("not one of our BMP files");
  return img;
}

static uint32_t crc32(const uint8_t *p, size_t n, uint32_t crc = 0) {
  static uint32_t table[256];
  static bool ready = false;
  if (!ready) {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[i] = c;
    }
    ready = true;
  }
  crc = ~crc;
  for (size_t i = 0; i < n; ++i) crc = table[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

static void chunk(std::vector<uint8_t> &o, const char *type, const std::vector<uint8_t> &data) {
  be32(o, static_cast<uint32_t>(data.size()));
  size_t start = o.size();
  o.insert(o.end(), type, type + 4);
  o.insert(o.end(), data.begin(), data.end());
  be32(o, crc32(o.data() + start, o.size() - start));
}

std::vector<uint8_t> encodePng(const Image &img, bool alpha) {
  std::vector<uint8_t> raw;
  for (int y = 0; y < img.h; ++y) {
    raw.push_back(0);  // filter: none
    for (int x = 0; x < img.w; ++x) {
      uint32_t p = img.at(x, y);
      raw.push_back((p >> 16) & 0xFF);
      raw.push_back((p >> 8) & 0xFF);
      raw.push_back(p & 0xFF);
      if (alpha) raw.push_back(p >> 24);
    }
  }
  std::vector<uint8_t> z = {0x78, 0x01};
  size_t pos = 0;
  do {
    size_t n = std::min<size_t>(raw.size() - pos, 65535);
    z.push_back(pos + n == raw.size() ? 1 : 0);
    le16(z, static_cast<uint32_t>(n));
    le16(z, static_cast<uint32_t>(~n & 0xFFFF));
    z.insert(z.end(), raw.begin() + pos, raw.begin() + pos + n);
    pos += n;
  } while (pos < raw.size());
  uint32_t a = 1, b = 0;
  for (uint8_t v : raw) {
    a = (a + v) % 65521;
    b = (b + a) % 65521;
  }
  be32(z, (b << 16) | a);

  std::vector<uint8_t> o = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> ihdr;
  be32(ihdr, img.w);
  be32(ihdr, img.h);
  ihdr.push_back(8);
  ihdr.push_back(alpha ? 6 : 2);
  ihdr.push_back(0);
  ihdr.push_back(0);
  ihdr.push_back(0);
  chunk(o, "IHDR", ihdr);
  chunk(o, "IDAT", z);
  chunk(o, "IEND", {});
  return o;
}

void writeFile(const std::string &path, const std::vector<uint8_t> &bytes) {
  FILE *f = std::fopen(path.c_str(), "wb");
  if (!f) throw std::runtime_error("cannot write " + path);
  size_t n = std::fwrite(bytes.data(), 1, bytes.size(), f);
  if (std::fclose(f) != 0 || n != bytes.size()) throw std::runtime_error("cannot write " + path);
}

std::vector<uint8_t> readFile(const std::string &path) {
  FILE *f = std::fopen(path.c_str(), "rb");
  if (!f) throw std::runtime_error("cannot read " + path);
  std::vector<uint8_t> bytes;
  uint8_t buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
  bool failed = std::ferror(f);
  std::fclose(f);
  if (failed) throw std::runtime_error("cannot read " + path);
  return bytes;
}

}  // namespace art
