// Painting previews into PNG files. A control is painted twice, over white
// and over black: where both agree it painted the pixel itself, where they
// differ the difference tells how much of the background shows through.
#include "design/PreviewPainter.h"

#include <png.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <vector>

#include <tavkit/elements/WvImage.h>
#include <tavkit/platform/base/Exceptions.h>
#include <tavkit/platform/base/Limits.h>
#include <tavkit/platform/base/Registry.h>
#include <tavkit/platform/base/Streams.h>
#include <tavkit/platform/data/DataSet.h>
#include <tavkit/platform/graphics/Bitmap.h>
#include <tavkit/platform/graphics/Canvas.h>
#include <tavkit/platform/graphics/DecodeBudget.h>
#include <tavkit/tables/WvDBImage.h>
#include <tavkit/tables/WvDBPanel.h>
#include "design/DesignFiles.h"
#include "design/PageFiles.h"

namespace tavkit::design {

namespace {

namespace fs = std::filesystem;

// A picture file named by an image element, read from the form's folder.
void ReadImageFile(const std::string& path, const std::string& folder, TElementPicture& shown) {
  if (path.empty() || folder.empty()) return;
  const std::string name = PageFileName(path);
  if (name.empty()) {
    shown.Error = "The picture " + path +
                  " is not a file of the form's folder, which is all the design can show";
    return;
  }
  std::error_code error;
  const std::string real = fs::canonical(folder, error).string();
  std::string bytes;
  if (error || !ReadFileBelow(real, name, MaxFormFileSize, bytes)) {
    shown.Error = "The picture file " + name +
                  (fs::exists(fs::path(folder) / name, error)
                       ? " cannot be read (it must be a file of the form's folder of at most " +
                             std::to_string(MaxFormFileSize) + " bytes)"
                       : " does not exist in the form's folder");
    return;
  }
  try {
    TMemoryStream stream(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    auto picture = std::make_unique<TPicture>();
    const TDecodeBudget budget("MaxElementPicturePixels", MaxElementPicturePixels);
    picture->LoadFromStream(stream);
    shown.Picture = std::move(picture);
  } catch (const std::exception& e) {
    shown.Error = "The picture file " + name + " cannot be read: " + e.what();
  }
}

// The picture of a data-bound image's field, at the record its panel names
// or else at the first.
void ReadFieldPicture(TWvDBImage& image, TElementPicture& shown) {
  TField* field = image.GetField();
  if (field == nullptr) return;
  TDataSet& dataSet = field->DataSet();
  if (!dataSet.DesignFailure().empty()) {
    shown.Error = dataSet.DesignFailure();
    return;
  }
  auto* panel = dynamic_cast<TWvDBPanel*>(image.GetParent());
  const int record = panel != nullptr && panel->DataSet() == &dataSet ? panel->GetDBIndex() : 0;
  try {
    TWvDataSetVisit visit(dataSet);
    visit.MoveTo(record);
    auto picture = std::make_unique<TPicture>();
    const TDecodeBudget budget("MaxElementPicturePixels", MaxElementPicturePixels);
    picture->Assign(field);
    if (picture->GetGraphic() != nullptr && !picture->GetGraphic()->GetEmpty())
      shown.Picture = std::move(picture);
  } catch (const std::exception& e) {
    shown.Error = e.what();
  }
}

std::unique_ptr<TBitmap> PaintOver(TControl& control, const TElementPicture& shown,
                                   TColor background) {
  const int width = control.GetWidth(), height = control.GetHeight();
  auto picture = std::make_unique<TBitmap>(width, height, TPixelFormat::pf24bit);
  TCanvas& canvas = picture->Canvas();
  canvas.Brush().Color = background;
  canvas.FillRect(TRect{0, 0, width, height});
  if (!shown.Picture) {
    // The plain control's PaintTo paints the control alone, not its children.
    control.TControl::PaintTo(canvas, 0, 0);
    return picture;
  }
  TGraphic& graphic = *shown.Picture->GetGraphic();
  if (shown.Stretch)
    canvas.StretchDraw(TRect{0, 0, width, height}, graphic);
  else
    canvas.Draw(0, 0, graphic);
  // The element's dashed outline, inverting what lies under it as the
  // element's own preview draws it.
  canvas.Pen().Mode = TPenMode::pmNot;
  canvas.Pen().Style = TPenStyle::psDash;
  canvas.Pen().Color = clBlack;
  canvas.MoveTo(0, 0);
  canvas.LineTo(0, height - 1);
  canvas.LineTo(width - 1, height - 1);
  canvas.LineTo(width - 1, 0);
  canvas.LineTo(0, 0);
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

TElementPicture ReadElementPicture(TControl& control, const std::string& folder) {
  TElementPicture shown;
  if (auto* image = dynamic_cast<TWvImage*>(&control)) {
    shown.Stretch = image->GetStretch();
    ReadImageFile(image->GetImagePath(), folder, shown);
  } else if (auto* dbImage = dynamic_cast<TWvDBImage*>(&control)) {
    shown.Stretch = dbImage->GetStretch();
    ReadFieldPicture(*dbImage, shown);
  }
  return shown;
}

std::string PaintPreviewPng(TControl& control, const std::string& folder) {
  const int width = control.GetWidth(), height = control.GetHeight();
  if (width <= 0 || height <= 0) return std::string();
  if (static_cast<long long>(width) * height > MaxPreviewPixels)
    throw ETooLargeAs<Exception>("MaxPreviewPixels", MaxPreviewPixels, "The control " + control.GetName() + " is too large to paint (" +
                    std::to_string(width) + " x " + std::to_string(height) + ")");
  const TElementPicture shown = ReadElementPicture(control, folder);
  const auto overWhite = PaintOver(control, shown, clWhite);
  const auto overBlack = PaintOver(control, shown, clBlack);
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
