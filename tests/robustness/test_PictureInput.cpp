// Pictures from files an application does not control: bitmaps and PNG
// images that claim sizes their data cannot fill, or no size at all. Each
// loads as what it holds or fails with a clear error, without undefined
// behaviour and without taking memory for pixels that are not there.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include <tavkit/platform/base/Exceptions.h>
#include <tavkit/platform/base/Streams.h>
#include <tavkit/platform/graphics/Bitmap.h>
#include <tavkit/platform/graphics/Picture.h>

namespace tavkit {
namespace {

void Put32LE(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void Put32BE(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
}

std::uint32_t Crc32(const std::uint8_t* bytes, std::size_t count) {
  std::uint32_t crc = 0xFFFFFFFF;
  for (std::size_t i = 0; i < count; ++i) {
    crc ^= bytes[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
  }
  return ~crc;
}

std::vector<std::uint8_t> PngOf(TBitmap& bitmap) {
  TMemoryStream stream;
  bitmap.SaveToPNGStream(stream);
  return stream.Bytes();
}

// Loads bytes as a picture; the error message, or "WxH" of what loaded.
std::string Load(const std::vector<std::uint8_t>& bytes) {
  TPicture picture;
  TMemoryStream stream(bytes);
  try {
    picture.LoadFromStream(stream);
  } catch (const Exception& e) {
    return e.Message();
  }
  return std::to_string(picture.GetWidth()) + "x" + std::to_string(picture.GetHeight());
}

// Found by the picture fuzz target: rows of no bytes were copied from and
// to no memory at all.
TEST(HostilePictures, ABitmapWithoutWidthLoadsEmpty) {
  std::vector<std::uint8_t> bmp(54 + 8, 0);
  bmp[0] = 'B', bmp[1] = 'M';
  Put32LE(bmp, 10, 54 + 8);  // pixels after a table of two colours
  Put32LE(bmp, 14, 40);
  Put32LE(bmp, 18, 0);  // width
  Put32LE(bmp, 22, 3);  // height
  bmp[26] = 1;
  bmp[28] = 1;  // bits per pixel
  Put32LE(bmp, 46, 2);
  EXPECT_EQ(Load(bmp), "0x3");
}

TEST(HostilePictures, PngDataTooShortForItsSizeIsRefusedBeforeTheMemoryIsTaken) {
  TBitmap small(4, 4, TPixelFormat::pf24bit);
  std::vector<std::uint8_t> png = PngOf(small);
  ASSERT_EQ(Load(png), "4x4");

  // The same data under a header that claims 16000 x 16000 pixels: 768 MB
  // from a file of a hundred bytes.
  Put32BE(png, 16, 16000);
  Put32BE(png, 20, 16000);
  Put32BE(png, 29, Crc32(&png[12], 17));
  EXPECT_EQ(Load(png), "Invalid PNG image: the pixel data is truncated");

  // A real picture that compresses as well as any can still loads.
  TBitmap plain(3000, 3000, TPixelFormat::pf24bit);
  std::vector<std::uint8_t> packed = PngOf(plain);
  EXPECT_LT(packed.size(), 3000u * 3000u * 3u / 500u);
  EXPECT_EQ(Load(packed), "3000x3000");
}

}  // namespace
}  // namespace tavkit
