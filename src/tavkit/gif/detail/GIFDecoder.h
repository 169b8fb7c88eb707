// The LZW decoder for GIF image data. It is apart from the encoders so that
// a program that only reads GIF files links only this. Image data is read
// from memory: the sub-blocks of one frame are first joined into one buffer,
// codes are taken from it with 64-bit loads, and strings are copied whole,
// straight into the frame's pixels.
#pragma once

#include <cstddef>
#include <cstdint>

#include <tavkit/gif/detail/GIFStream.h>

namespace tavkit {

// Bytes past the last pixel that the decoder may write scratch values into;
// pixel buffers handed to it carry this much room beyond width x height.
inline constexpr std::size_t GIFPixelSlack = 16;

// What went wrong in image data that still decoded as far as it went.
struct TGIFDecodeResult {
  // The stream ended inside a sub-block that decoding needed.
  bool PrematureEnd = false;
  // Codes were still needed after the data's terminating empty sub-block.
  bool Underrun = false;
};

// Reads one frame's image data (minimum code size byte, data sub-blocks,
// terminator) and stores width x height indices, rows from the top, into
// pixels, which must be zeroed and have GIFPixelSlack spare bytes. Interlaced
// data is put back into top-to-bottom row order. Pixels the data does not
// reach stay 0. Afterwards the reader stands behind the terminator (or at
// the end). Raises GIFException for a code size above 11 and for a string
// table whose entries form a cycle.
TGIFDecodeResult DecodeGIFImageData(TGIFReader& reader, std::uint8_t* pixels, int width, int height,
                                    bool interlaced);

}  // namespace tavkit
