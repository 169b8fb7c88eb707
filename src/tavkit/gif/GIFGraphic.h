// GIF pictures in the host framework: the registration that makes the
// picture class read and write ".gif" files as "GIF Image" and take GIF
// images from the clipboard, and the clipboard format their files travel
// under. The picture itself is TGIFImage (GIFImage.h).
//
// ```cpp
// GIFImage::Initialize();                     // RegisterPackage() does this too
// TPicture picture;
// picture.LoadFromFile("banner.gif");         // now holds a TGIFImage
// Clipboard().Assign(*picture.GetGraphic());  // a bitmap, and the file as "GIF Image"
// bool whole = Clipboard().HasFormat(GIFClipboardFormat());
// ```
#pragma once

#include <tavkit/platform/graphics/Graphic.h>

namespace tavkit {

// The clipboard format named "GIF Image".
TClipboardFormat GIFClipboardFormat();

namespace GIFImage {
// Registers the "GIF Image" file format (extension GIF) and clipboard
// format with the picture class and sets DoAutoDither from the display.
void Initialize();
// Takes both registrations back.
void Finalize();
}  // namespace GIFImage

}  // namespace tavkit
