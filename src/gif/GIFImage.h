// The GIF codec in one include: the document model with its colour maps and
// extensions, reading and writing GIF streams, the LZW coders, the colour
// reduction that turns any bitmap into a frame, and the picture face with
// its animation painter.
#pragma once

#include "gif/GIFColorMap.h"
#include "gif/GIFColorReduction.h"
#include "gif/GIFDecoder.h"
#include "gif/GIFExtensions.h"
#include "gif/GIFGraphic.h"
#include "gif/GIFLZW.h"
#include "gif/GIFModel.h"
#include "gif/GIFPainter.h"
#include "gif/GIFStream.h"
#include "gif/GIFTypes.h"
