// The GIF codec in one include: the document model with its colour maps and
// extensions, reading and writing GIF streams, the colour reduction that
// turns any bitmap into a frame, and the picture face with its animation
// painter. The LZW coders and the byte-level reader stay inside the codec.
//
// ```cpp
// TGIFImage gif;
// gif.LoadFromFile("banner.gif");             // GIFException when it is no GIF
// int frames = gif.GetImages().GetCount();
// TBitmap* first = gif.GetImages().GetImage(0)->GetBitmap();  // the frame, rendered
// TBitmap photo;
// photo.LoadFromFile("photo.bmp");
// TGIFImage made;
// made.Add(&photo);                           // reduced to 256 colours on the way
// made.SaveToFile("photo.gif");
// ```
#pragma once

#include <tavkit/gif/GIFColorMap.h>
#include <tavkit/gif/GIFColorReduction.h>
#include <tavkit/gif/GIFExtensions.h>
#include <tavkit/gif/GIFGraphic.h>
#include <tavkit/gif/GIFModel.h>
#include <tavkit/gif/GIFPainter.h>
#include <tavkit/gif/GIFTypes.h>
