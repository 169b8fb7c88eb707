// The span rasterizer behind TCanvas: inks (how an operation combines its
// colour with the target), clipped row spans and pixels written in the
// target's own pixel format, the dash patterns of cosmetic pens, and the row
// spans of rounded rectangles, ellipses, convex polygons and discs.
#pragma once

#include <cstdint>
#include <vector>

#include <tavkit/platform/base/Types.h>
#include <tavkit/platform/graphics/Bitmap.h>
#include <tavkit/platform/graphics/Canvas.h>

namespace tavkit::detail {

// Target coordinates are 64-bit, so that no canvas coordinate plus origin
// can overflow before it is clipped.
using Int = std::int64_t;

// How a drawing operation combines its colour with the target.
enum class TOp { Copy, Not, Xor, Nop };

struct TInk {
  TOp Op = TOp::Nop;
  std::uint32_t Pixel = 0;
};

TInk MakeInk(const TBitmap& target, TPenMode mode, TColor color);

// Writes pixels x0..x1-1 of row y; the caller has clipped them.
void FillSpan(TBitmap& bitmap, int y, int x0, int x1, std::uint32_t pixel);

// Applies the ink to pixels x0..x1-1 of row y that lie inside clip.
void ApplySpan(TBitmap& bitmap, const TRect& clip, Int y, Int x0, Int x1, const TInk& ink);

// Line drawing calls this once a pixel, so it stays inline.
inline void ApplyPixel(TBitmap& bitmap, const TRect& clip, Int x, Int y, const TInk& ink) {
  if (x < clip.Left || x >= clip.Right || y < clip.Top || y >= clip.Bottom) return;
  int px = static_cast<int>(x);
  int py = static_cast<int>(y);
  if (ink.Op == TOp::Copy)
    bitmap.SetRawPixel(px, py, ink.Pixel);
  else if (ink.Op == TOp::Xor)
    bitmap.SetRawPixel(px, py, bitmap.GetRawPixel(px, py) ^ ink.Pixel);
}

// Whether the dash pattern of the style is on at a position along the line.
bool PatternOn(TPenStyle style, Int position);

// Whether the pen draws a dash pattern (only cosmetic pens of width 1 do).
bool IsDashed(const TPen& pen);

struct TSpan {
  Int Left = 0;
  Int Right = -1;  // inclusive; Left > Right is empty
  bool Empty() const { return Left > Right; }
};

// A rectangle with elliptic corners of size cornerWidth x cornerHeight (an
// ellipse when they equal the box), sampled at pixel centres.
struct TRoundShape {
  Int X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;
  double A = 0, B = 0;  // corner radii

  TRoundShape(Int x1, Int y1, Int x2, Int y2, Int cornerWidth, Int cornerHeight);

  TSpan Row(Int y) const;
  // The pixels of row y that are not on the shape's one-pixel boundary.
  TSpan Inside(Int y) const;
  // Distance along the outline, clockwise from the top-left end of the top
  // edge, of a boundary pixel; dash patterns follow it round the shape.
  double OutlinePosition(Int x, Int y) const;
};

// Merges up to a few intervals of one row and applies each once.
void ApplyUnion(TBitmap& bitmap, const TRect& clip, Int y, std::vector<TSpan>& spans,
                const TInk& ink);

// The pixels of row y whose centres lie inside a convex polygon. Coverage is
// half-open (a centre on the left or top edge is in, on the right or bottom
// edge out), so that a band of width w covers exactly w rows or columns.
TSpan ConvexRow(const double (*corners)[2], int count, Int y);

// The pixels of row y whose centres lie inside a disc, half-open like ConvexRow.
TSpan DiscRow(double cx, double cy, double r, Int y);

}  // namespace tavkit::detail
