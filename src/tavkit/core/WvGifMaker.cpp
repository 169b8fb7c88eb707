// Bitmap to GIF through the library's own codec: a TGIFImage is given the
// bitmap and saved. The image lives only for the call.
#include <tavkit/core/WvGifMaker.h>

#include <tavkit/gif/GIF.h>
#include <tavkit/platform/base/Streams.h>
#include <tavkit/platform/graphics/Bitmap.h>

namespace tavkit {

void WvGifToStream(const TBitmap& bitmap, TStream& stream) {
  TGIFImage image;
  image.Assign(&bitmap);
  image.SaveToStream(stream);
}

void WvGifToFile(const TBitmap& bitmap, const std::string& fileName) {
  TMemoryStream encoded;
  WvGifToStream(bitmap, encoded);
  encoded.SaveToFile(fileName);
}

}  // namespace tavkit
