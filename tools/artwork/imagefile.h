// Byte-exact writers for the game's 32-bit BMP files and for PNG previews and icons.
#ifndef GLIMTRA_ARTWORK_IMAGEFILE_H
#define GLIMTRA_ARTWORK_IMAGEFILE_H

#include <cstdint>
#include <string>
#include <vector>

namespace art {

// 8-bit pixels, top row first, each 0xAARRGGBB.
struct Image {
  int w = 0, h = 0;
  std::vector<uint32_t> px;
  uint32_t &at(int x, int y) { return px[static_cast<size_t>(y) * w + x]; }
  uint32_t at(int x, int y) const { return px[static_cast<size_t>(y) * w + x]; }
};

// 32 bpp BI_BITFIELDS with xRGB masks and no alpha mask; the alpha byte is written as zero.
std::vector<uint8_t> encodeBmp(const Image &img);
// 8-bit RGBA (or RGB when `alpha` is false) with stored deflate blocks: larger but with no library
// whose version could change the bytes.
std::vector<uint8_t> encodePng(const Image &img, bool alpha);
// The pixels of a BMP file that encodeBmp wrote; throws on any file it would not have written.
Image decodeBmp(const std::vector<uint8_t> &bytes);
void writeFile(const std::string &path, const std::vector<uint8_t> &bytes);
std::vector<uint8_t> readFile(const std::string &path);

}  // namespace art

#endif
