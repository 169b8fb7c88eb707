// The GIF codec in one include: the document model (image, header, frames,
// colour maps, extensions), reading and writing GIF streams, the colour
// reduction that turns any bitmap into a frame, and the picture face with its
// animation painter. The LZW coders and the byte-level reader stay inside.
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
