// The GIF codec in one include: the document model (image, header, frames,
// colour maps, extensions), reading and writing GIF streams, the colour
// reduction that turns any bitmap into a frame, and the picture face with its
// animation painter. The LZW coders and the byte-level reader stay inside.
// An application that uses the codec as a whole includes this header alone.
//
// ```cpp
// TGIFImage gif;
// gif.LoadFromFile("banner.gif");
// TGIFHeader& screen = gif.GetHeader();       // the logical screen and the global colours
// for (int i = 0; i < gif.GetImages().GetCount(); ++i) {
//   TGIFSubImage& frame = *gif.GetImages().GetImage(i);  // descriptor, colours, pixels
//   std::cout << frame.GetWidth() << "x" << frame.GetHeight() << " at " << frame.GetLeft() << ","
//             << frame.GetTop() << ", " << frame.GetExtensions().GetCount() << " extensions\n";
// }
// gif.SaveToFile("copy.gif");                 // header, frames and trailer written again
// ```
#pragma once

#include <tavkit/gif/GIFColorMap.h>
#include <tavkit/gif/GIFColorReduction.h>
#include <tavkit/gif/GIFExtensionList.h>
#include <tavkit/gif/GIFExtensions.h>
#include <tavkit/gif/GIFGraphic.h>
#include <tavkit/gif/GIFHeader.h>
#include <tavkit/gif/GIFImage.h>
#include <tavkit/gif/GIFImageList.h>
#include <tavkit/gif/GIFItem.h>
#include <tavkit/gif/GIFPainter.h>
#include <tavkit/gif/GIFSubImage.h>
#include <tavkit/gif/GIFTrailer.h>
#include <tavkit/gif/GIFTypes.h>
