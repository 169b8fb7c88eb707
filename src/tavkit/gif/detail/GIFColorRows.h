// Rows of pixels as colour reduction reads them: any bitmap's row as
// blue-green-red triples, and a row of triples mapped onto the web cube.
// Reduction and the frames' import of bitmaps share them.
#pragma once

#include <cstdint>
#include <vector>

#include <tavkit/platform/graphics/Bitmap.h>

namespace tavkit::detail {

// Answers a bitmap's rows as blue-green-red triples: a 24-bit row in place,
// any other converted into a buffer that the next row reuses.
class TBGRRowReader {
 public:
  explicit TBGRRowReader(const TBitmap& bitmap) : FBitmap(bitmap) {}
  const std::uint8_t* Row(int y);

 private:
  const TBitmap& FBitmap;
  std::vector<std::uint8_t> FBuffer;
  std::vector<TColor> FColors;
};

// The web-cube entry nearest to each of width triples, as
// TNetscapeColorLookup chooses it: each component rounded to the nearest of
// its six levels.
void WebCubeIndices(const std::uint8_t* bgr, int width, std::uint8_t* indices);

}  // namespace tavkit::detail
