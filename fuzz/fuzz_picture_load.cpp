// Feeds arbitrary bytes to the picture loader, which picks the format by its
// signature (BMP and PNG of the platform, and any format registered beside
// them). Whatever loads is saved in its own format and loaded again: the copy
// must load without an error and show the same size and the same colour at
// every pixel. Any crash, sanitizer report or a saved file that does not
// read back is a fault.
#include <cstddef>
#include <cstdint>
#include <vector>

#include <tavkit/package/Package.h>
#include <tavkit/platform/base/Exceptions.h>
#include <tavkit/platform/base/Streams.h>
#include <tavkit/platform/graphics/Bitmap.h>
#include <tavkit/platform/graphics/Picture.h>

namespace {

using tavkit::TBitmap;
using tavkit::TMemoryStream;
using tavkit::TPicture;

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

// The colours of a picture, row by row, as a bitmap of it shows them.
std::vector<tavkit::TColor> Colours(TPicture& picture) {
  TBitmap& bitmap = picture.Bitmap();
  std::vector<tavkit::TColor> colours;
  colours.reserve(static_cast<std::size_t>(bitmap.GetWidth()) *
                  static_cast<std::size_t>(bitmap.GetHeight()));
  for (int y = 0; y < bitmap.GetHeight(); ++y)
    for (int x = 0; x < bitmap.GetWidth(); ++x) colours.push_back(bitmap.GetPixel(x, y));
  return colours;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool registered = (tavkit::RegisterPackage(), true);
  (void)registered;

  TPicture picture;
  try {
    TMemoryStream stream(std::vector<std::uint8_t>(data, data + size));
    picture.LoadFromStream(stream);
  } catch (const tavkit::Exception&) {
    Require(picture.GetGraphic() == nullptr);  // a failed load leaves nothing behind
    return 0;
  }
  if (picture.GetGraphic() == nullptr || picture.GetGraphic()->GetEmpty()) return 0;

  TMemoryStream saved;
  picture.SaveToStream(saved);
  saved.SetPosition(0);
  TPicture copy;
  copy.LoadFromStream(saved);  // an exception here ends the run as a finding
  Require(copy.GetWidth() == picture.GetWidth() && copy.GetHeight() == picture.GetHeight());
  Require(Colours(copy) == Colours(picture));
  return 0;
}
