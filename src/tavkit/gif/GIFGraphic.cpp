// The registration of GIF pictures with the host framework's picture class,
// for files and for the clipboard.
#include <tavkit/gif/GIFGraphic.h>

#include <memory>

#include <tavkit/gif/GIFImage.h>
#include <tavkit/platform/graphics/Clipboard.h>
#include <tavkit/platform/graphics/Picture.h>

namespace tavkit {

TClipboardFormat GIFClipboardFormat() {
  static const TClipboardFormat format = RegisterClipboardFormat("GIF Image");
  return format;
}

void GIFImage::Initialize() {
  TPicture::RegisterFileFormat(
      "gif", "GIF Image", [] { return std::make_unique<TGIFImage>(); }, "GIF");
  TPicture::RegisterClipboardFormat(GIFClipboardFormat(),
                                    [] { return std::make_unique<TGIFImage>(); });
  DoAutoDither = DisplayBitsPerPixel() <= 8;
}

void GIFImage::Finalize() {
  TPicture::UnregisterFileFormat("gif");
  TPicture::UnregisterClipboardFormat(GIFClipboardFormat());
}

}  // namespace tavkit
