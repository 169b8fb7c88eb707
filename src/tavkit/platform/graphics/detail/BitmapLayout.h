// What TBitmap shares with its file codecs: the row layout of the pixel
// formats, the check of a size against the library's bitmap limits, and the
// little-endian reading of pixel words and file fields.
#pragma once

#include <cstdint>
#include <string>

#include <tavkit/platform/base/Limits.h>
#include <tavkit/platform/graphics/Bitmap.h>

namespace tavkit::detail {

inline bool IsPaletted(TPixelFormat format) {
  return BitsPerPixel(format) <= 8;
}

// Bytes of one row of width pixels of the given bits, padded to 4 bytes.
inline std::int64_t RowBytes(std::int64_t width, int bits) {
  return ((width * bits + 31) / 32) * 4;
}

// "640x480", for messages.
std::string SizeText(std::int64_t width, std::int64_t height);

// Raises E with "<refusal>WxH)" when no bitmap of this size and depth may be
// made: beyond MaxBitmapSide or MaxBitmapBytes as ETooLarge, with a negative
// side as E alone.
template <class E>
void CheckSize(std::int64_t width, std::int64_t height, int bits, const char* refusal) {
  auto message = [&] { return refusal + SizeText(width, height) + ")"; };
  if (width < 0 || height < 0) throw E(message());
  if (width > MaxBitmapSide || height > MaxBitmapSide)
    throw ETooLargeAs<E>("MaxBitmapSide", MaxBitmapSide, message());
  if (RowBytes(width, bits) * height > MaxBitmapBytes)
    throw ETooLargeAs<E>("MaxBitmapBytes", MaxBitmapBytes, message());
}

// Little-endian readers over a byte buffer whose length the caller checked.
inline std::uint16_t U16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t U32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

}  // namespace tavkit::detail
