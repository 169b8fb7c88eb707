// Bitmaps written as GIF files: the one way the rest of the library uses the
// GIF codec. A bitmap becomes a single-frame image with the codec's defaults
// (web palette, nearest colour, LZW), so that every generated picture is a
// small GIF 87a file that any browser shows.
//
// ```cpp
// TBitmap picture(120, 40);
// picture.Canvas().Brush().Color = clYellow;
// picture.Canvas().FillRect(Rect(0, 0, 120, 40));
// picture.Canvas().TextOut(10, 12, "Sale");
// WvGifToFile(picture, "sale.gif");
// ```
#pragma once

#include <string>

namespace tavkit {

class TBitmap;
class TStream;

// Writes the bitmap to the stream as a GIF image. The bitmap is only read.
void WvGifToStream(const TBitmap& bitmap, TStream& stream);

// Writes the bitmap as a GIF image into the file, which is created or
// replaced. The picture is encoded before the file is touched, so a bitmap
// that cannot be encoded leaves an existing file as it was.
void WvGifToFile(const TBitmap& bitmap, const std::string& fileName);

}  // namespace tavkit
