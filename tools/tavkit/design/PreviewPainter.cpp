// Painting previews into PNG files. A control is painted twice, over white
// and over black: where both agree it painted the pixel itself, where they
// differ the difference tells how much of the background shows through.
#include "design/PreviewPainter.h"

#include <png.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include <tavkit/platform/base/Exceptions.h>
#include <tavkit/platform/base/Limits.h>
#include <tavkit/platform/base/Registry.h>
#include <tavkit/platform/base/Streams.h>
#include <tavkit/platform/graphics/Bitmap.h>
#include <tavkit/platform/graphics/Canvas.h>

namespace tavkit::design {

namespace {

std::unique_ptr<TBitmap> PaintOver(TControl& control, TColor background) {
  const int width = control.GetWidth(), height = control.GetHeight();
  auto picture = std::make_unique<TBitmap>(width, height, TPixelFormat::pf24bit);
  picture->Canvas().Brush().Color = background;
  picture->Canvas().FillRect(TRect{0, 0, width, height});
  // The plain control's PaintTo paints the control alone, not its children.
  control.TControl::PaintTo(picture->Canvas(), 0, 0);
  return picture;
}

std::string EncodeRgba(const std::vector<std::uint8_t>& pixels, int width, int height) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGBA;
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr))
    throw EInvalidGraphic(std::string("Cannot write PNG: ") + image.message);
  std::string bytes(size, '\0');
  if (!png_image_write_to_memory(&image, bytes.data(), &size, 0, pixels.data(), 0, nullptr))
    throw EInvalidGraphic(std::string("Cannot write PNG: ") + image.message);
  png_image_free(&image);
  bytes.resize(size);
  return bytes;
}

}  // namespace

std::string PaintPreviewPng(TControl& control) {
  const int width = control.GetWidth(), height = control.GetHeight();
  if (width <= 0 || height <= 0) return std::string();
  if (static_cast<long long>(width) * height > MaxPreviewPixels)
    throw ETooLargeAs<Exception>("MaxPreviewPixels", MaxPreviewPixels, "The control " + control.GetName() + " is too large to paint (" +
                    std::to_string(width) + " x " + std::to_string(height) + ")");
  const auto overWhite = PaintOver(control, clWhite);
  const auto overBlack = PaintOver(control, clBlack);
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 4);
  std::uint8_t* out = pixels.data();
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x, out += 4) {
      const TColor white = overWhite->GetPixel(x, y);
      const TColor black = overBlack->GetPixel(x, y);
      const int channels[3][2] = {{GetRValue(white), GetRValue(black)},
                                  {GetGValue(white), GetGValue(black)},
                                  {GetBValue(white), GetBValue(black)}};
      // Over white a pixel of coverage a gives a*c + (1-a)*255, over black
      // a*c: the difference is (1-a)*255 in every channel.
      int shows = 0;
      for (const auto& c : channels) shows = std::max(shows, c[0] - c[1]);
      const int alpha = std::clamp(255 - shows, 0, 255);
      out[3] = static_cast<std::uint8_t>(alpha);
      for (int i = 0; i < 3; ++i)
        out[i] =
            alpha == 0 ? 0 : static_cast<std::uint8_t>(std::min(255, channels[i][1] * 255 / alpha));
    }
  return EncodeRgba(pixels, width, height);
}

std::string PaletteIconPng(const std::string& className) {
  std::unique_ptr<TBitmap> icon = PaletteBitmap(className);
  if (!icon) return std::string();
  TMemoryStream stream;
  icon->SaveToPNGStream(stream);
  return stream.ToString();
}

}  // namespace tavkit::design
