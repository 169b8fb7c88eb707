// The PNG file format of TBitmap, through libpng's simplified interface,
// which reports failures as return values instead of jumping across C++
// frames. Files are checked against the library's size limits, and against
// the image data they actually hold, before pixels are allocated.
#include <tavkit/platform/graphics/Bitmap.h>

#include <png.h>

#include <algorithm>
#include <cstring>

#include <tavkit/platform/base/Exceptions.h>
#include <tavkit/platform/base/Streams.h>
#include <tavkit/platform/graphics/detail/BitmapLayout.h>

namespace tavkit {

using namespace detail;

namespace {

// Frees a libpng simplified-interface image on every path.
struct TPngImageGuard {
  png_image& Image;
  ~TPngImageGuard() { png_image_free(&Image); }
};

}  // namespace

void TBitmap::LoadFromPNGStream(TStream& stream) {
  std::int64_t start = stream.GetPosition();
  std::int64_t available = stream.GetSize() - start;
  std::vector<std::uint8_t> data(static_cast<std::size_t>(std::max<std::int64_t>(available, 0)));
  stream.ReadBuffer(data.data(), static_cast<std::int64_t>(data.size()));
  static const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (data.size() < 33 || std::memcmp(data.data(), signature, 8) != 0)
    throw EInvalidGraphic("Invalid PNG image: not a PNG file");
  // The file ends after its IEND chunk; whatever follows belongs to the stream.
  std::size_t end = 8;
  std::int64_t compressed = 0;  // bytes of image data (IDAT chunks)
  while (end + 12 <= data.size()) {
    std::uint32_t length = (std::uint32_t{data[end]} << 24) | (std::uint32_t{data[end + 1]} << 16) |
                           (std::uint32_t{data[end + 2]} << 8) | data[end + 3];
    bool last = std::memcmp(&data[end + 4], "IEND", 4) == 0;
    if (std::memcmp(&data[end + 4], "IDAT", 4) == 0) compressed += length;
    if (length > data.size() - end - 12) {
      end = data.size();
      break;
    }
    end += 12 + length;
    if (last) break;
  }
  end = std::min(end, data.size());
  int fileDepth = data[24];

  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  TPngImageGuard guard{image};
  if (!png_image_begin_read_from_memory(&image, data.data(), end))
    throw EInvalidGraphic(std::string("Invalid PNG image: ") + image.message);
  CheckSize<EInvalidGraphic>(image.width, image.height, 32, "Invalid PNG image: too large (");
  // Deflate makes at most 1032 bytes of one (a 258-byte match in two bits),
  // so image data too short for the pixels the header claims is refused
  // before their memory is taken: a file of a hundred bytes must not cost a
  // gigabyte. The header was checked by libpng, and the size is within the
  // bitmap limits, so the product stays far inside 64 bits.
  static const int channels[7] = {1, 0, 3, 1, 2, 0, 4};
  const int colourType = data[25];
  const std::int64_t pixelBytes = std::int64_t{image.width} * image.height * fileDepth *
                                  (colourType < 7 ? channels[colourType] : 4) / 8;
  if (pixelBytes > compressed * 1032 + 1032)
    throw EInvalidGraphic("Invalid PNG image: the pixel data is truncated");

  int width = static_cast<int>(image.width), height = static_cast<int>(image.height);
  TBitmap result;
  if (image.format & PNG_FORMAT_FLAG_ALPHA) {
    image.format = PNG_FORMAT_BGRA;
    result.Allocate(width, height, TPixelFormat::pf32bit);
  } else if (image.format & PNG_FORMAT_FLAG_COLORMAP) {
    image.format = PNG_FORMAT_RGB_COLORMAP;
    TPixelFormat format = fileDepth == 1   ? TPixelFormat::pf1bit
                          : fileDepth <= 4 ? TPixelFormat::pf4bit
                                           : TPixelFormat::pf8bit;
    std::vector<std::uint8_t> indices(static_cast<std::size_t>(width) * height);
    std::vector<std::uint8_t> colormap(256 * 3);
    if (!png_image_finish_read(&image, nullptr, indices.data(), width, colormap.data()))
      throw EInvalidGraphic(std::string("Invalid PNG image: ") + image.message);
    std::size_t entries =
        std::min<std::size_t>(image.colormap_entries, std::size_t{1} << BitsPerPixel(format));
    TPalette palette;
    for (std::size_t i = 0; i < entries; ++i)
      palette.push_back(
          TPaletteEntry{colormap[3 * i], colormap[3 * i + 1], colormap[3 * i + 2], 0});
    result.Reset(0, 0, format, palette);
    result.Allocate(width, height, format);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        result.SetRawPixel(x, y, indices[static_cast<std::size_t>(y) * width + x]);
  } else {
    image.format = PNG_FORMAT_BGR;
    result.Allocate(width, height, TPixelFormat::pf24bit);
  }
  if (!IsPaletted(result.FFormat) &&
      !png_image_finish_read(&image, nullptr, result.FPixels.data(), result.BytesPerRow(), nullptr))
    throw EInvalidGraphic(std::string("Invalid PNG image: ") + image.message);

  stream.SetPosition(start + static_cast<std::int64_t>(end));
  FPixels.swap(result.FPixels);
  Reset(result.FWidth, result.FHeight, result.FFormat, result.FPalette);
  Changed(this);
}

void TBitmap::SaveToPNGStream(TStream& stream) {
  if (GetEmpty()) throw EInvalidGraphic("Cannot save an empty bitmap as PNG");
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(FWidth);
  image.height = static_cast<png_uint_32>(FHeight);
  TPngImageGuard guard{image};

  std::vector<std::uint8_t> pixels;
  std::vector<std::uint8_t> colormap;
  const void* buffer = nullptr;
  png_int_32 stride = 0;
  if (IsPaletted(FFormat)) {
    // Indices beyond the palette get black entries, as they read.
    pixels.resize(static_cast<std::size_t>(FWidth) * FHeight);
    std::uint32_t highest = 0;
    for (int y = 0; y < FHeight; ++y)
      for (int x = 0; x < FWidth; ++x) {
        std::uint32_t index = GetRawPixel(x, y);
        highest = std::max(highest, index);
        pixels[static_cast<std::size_t>(y) * FWidth + x] = static_cast<std::uint8_t>(index);
      }
    std::size_t entries = std::max<std::size_t>({FPalette.size(), highest + 1, 2});
    colormap.assign(entries * 3, 0);
    for (std::size_t i = 0; i < FPalette.size(); ++i) {
      colormap[3 * i] = FPalette[i].peRed;
      colormap[3 * i + 1] = FPalette[i].peGreen;
      colormap[3 * i + 2] = FPalette[i].peBlue;
    }
    image.format = PNG_FORMAT_RGB_COLORMAP;
    image.colormap_entries = static_cast<png_uint_32>(entries);
    buffer = pixels.data();
    stride = FWidth;
  } else if (FFormat == TPixelFormat::pf24bit) {
    image.format = PNG_FORMAT_BGR;
    buffer = FPixels.data();
    stride = BytesPerRow();
  } else {
    pixels.resize(static_cast<std::size_t>(FWidth) * FHeight * 3);
    for (int y = 0; y < FHeight; ++y)
      for (int x = 0; x < FWidth; ++x) {
        TColor c = PixelToColor(GetRawPixel(x, y));
        std::uint8_t* p = &pixels[(static_cast<std::size_t>(y) * FWidth + x) * 3];
        p[0] = GetBValue(c);
        p[1] = GetGValue(c);
        p[2] = GetRValue(c);
      }
    image.format = PNG_FORMAT_BGR;
    buffer = pixels.data();
    stride = FWidth * 3;
  }

  png_alloc_size_t size = 0;
  const void* map = colormap.empty() ? nullptr : colormap.data();
  if (!png_image_write_to_memory(&image, nullptr, &size, 0, buffer, stride, map))
    throw EInvalidGraphic(std::string("Cannot write PNG image: ") + image.message);
  std::vector<std::uint8_t> out(size);
  if (!png_image_write_to_memory(&image, out.data(), &size, 0, buffer, stride, map))
    throw EInvalidGraphic(std::string("Cannot write PNG image: ") + image.message);
  stream.WriteBuffer(out.data(), static_cast<std::int64_t>(size));
}

void TBitmap::SaveToPNGFile(const std::string& fileName) {
  TMemoryStream stream;
  SaveToPNGStream(stream);
  stream.SaveToFile(fileName);
}

}  // namespace tavkit
