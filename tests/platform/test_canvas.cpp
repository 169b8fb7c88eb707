// Canvas drawing checked pixel by pixel: fills and outlines with their
// exclusive right and bottom edges, dash patterns along an outline, the
// inverting and no-operation pen modes, clipping (also of coordinates far
// outside any bitmap), scaled copies with masks, and paletted targets.
#include <gtest/gtest.h>

#include <algorithm>

#include <chrono>
#include <climits>
#include <string>

#include <tavkit/platform/graphics/Bitmap.h>
#include <tavkit/platform/graphics/Canvas.h>

#include "TestSupport.h"

namespace tavkit {
namespace {

using testsupport::CountPixels;

// The row y of a bitmap as a string: '#' for colour c, '.' for anything else.
std::string Row(const TBitmap& b, int y, TColor c, int from = 0, int to = -1) {
  if (to < 0) to = b.GetWidth();
  std::string out;
  for (int x = from; x < to; ++x) out += b.GetPixel(x, y) == c ? '#' : '.';
  return out;
}

std::string Column(const TBitmap& b, int x, TColor c) {
  std::string out;
  for (int y = 0; y < b.GetHeight(); ++y) out += b.GetPixel(x, y) == c ? '#' : '.';
  return out;
}

TEST(CanvasTest, FillRectCoversExactlyTheRectangle) {
  TBitmap b(6, 4, TPixelFormat::pf24bit);
  TCanvas& c = b.Canvas();
  c.Brush().Color = clRed;
  c.FillRect(Rect(1, 1, 4, 3));
  EXPECT_EQ(Row(b, 0, clRed), "......");
  EXPECT_EQ(Row(b, 1, clRed), ".###..");
  EXPECT_EQ(Row(b, 2, clRed), ".###..");
  EXPECT_EQ(Row(b, 3, clRed), "......");
  c.Brush().Style = TBrushStyle::bsClear;
  c.Brush().Color = clBlue;
  c.FillRect(Rect(0, 0, 6, 4));
  EXPECT_EQ(CountPixels(b, clBlue), 0);
}

TEST(CanvasTest, RectangleOutlinesWithThePenAndFillsWithTheBrush) {
  TBitmap b(12, 12, TPixelFormat::pf24bit);
  TCanvas& c = b.Canvas();
  c.Brush().Color = clYellow;
  c.Rectangle(0, 0, 10, 10);
  EXPECT_EQ(Row(b, 0, clBlack), "##########..");
  EXPECT_EQ(Row(b, 9, clBlack), "##########..");
  EXPECT_EQ(Row(b, 5, clBlack), "#........#..");
  EXPECT_EQ(Row(b, 5, clYellow), ".########...");
  EXPECT_EQ(Row(b, 10, clWhite), "############");

  // A wide pen is centred on the outline; inside-frame keeps it within.
  TBitmap w(12, 12, TPixelFormat::pf24bit);
  w.Canvas().Pen().Width = 3;
  w.Canvas().Rectangle(2, 2, 10, 10);
  EXPECT_EQ(Row(w, 5, clBlack), ".###....###.");
  EXPECT_EQ(Column(w, 5, clBlack), ".###....###.");
  TBitmap f(12, 12, TPixelFormat::pf24bit);
  f.Canvas().Pen().Width = 3;
  f.Canvas().Pen().Style = TPenStyle::psInsideFrame;
  f.Canvas().Rectangle(2, 2, 10, 10);
  EXPECT_EQ(Row(f, 5, clBlack), "..###..###..");
  EXPECT_EQ(Row(f, 1, clBlack), "............");

  // Without a pen the brush covers the whole rectangle.
  TBitmap n(6, 6, TPixelFormat::pf24bit);
  n.Canvas().Pen().Style = TPenStyle::psClear;
  n.Canvas().Brush().Color = clRed;
  n.Canvas().Rectangle(1, 1, 5, 5);
  EXPECT_EQ(CountPixels(n, clRed), 16);
}

TEST(CanvasTest, LinesExcludeTheirLastPoint) {
  TBitmap b(12, 6, TPixelFormat::pf8bit);
  TCanvas& c = b.Canvas();
  c.MoveTo(0, 0);
  c.LineTo(10, 5);
  EXPECT_EQ(Row(b, 0, clBlack), "##..........");
  EXPECT_EQ(Row(b, 1, clBlack), "..##........");
  EXPECT_EQ(Row(b, 4, clBlack), "........##..");
  EXPECT_EQ(Row(b, 5, clBlack), "............");
  EXPECT_EQ(c.GetPenPos(), (TPoint{10, 5}));
  c.MoveTo(11, 5);
  c.LineTo(11, 0);
  EXPECT_EQ(Column(b, 11, clBlack), ".#####");
}

TEST(CanvasTest, WidePensCoverTheirWidthExactly) {
  for (int width : {2, 3, 4}) {
    TBitmap b(20, 20, TPixelFormat::pf24bit);
    TCanvas& c = b.Canvas();
    c.Pen().Width = width;
    c.MoveTo(5, 10);
    c.LineTo(15, 10);
    int rows = 0;
    for (int y = 0; y < 20; ++y) rows += b.GetPixel(10, y) == clBlack;
    EXPECT_EQ(rows, width) << "horizontal, width " << width;

    TBitmap v(20, 20, TPixelFormat::pf24bit);
    v.Canvas().Pen().Width = width;
    v.Canvas().MoveTo(10, 5);
    v.Canvas().LineTo(10, 15);
    std::string row = Row(v, 10, clBlack);
    EXPECT_EQ(row.find('#'), static_cast<std::size_t>(10 - width / 2)) << width;
    EXPECT_EQ(std::count(row.begin(), row.end(), '#'), width);
  }
}

TEST(CanvasTest, DashPatternsRunOnAlongConsecutiveLines) {
  // The frame a design preview draws: a dashed outline in the inverting mode.
  TBitmap b(30, 20, TPixelFormat::pf24bit);
  TCanvas& c = b.Canvas();
  c.Pen().Style = TPenStyle::psDash;
  c.Pen().Mode = TPenMode::pmNot;
  c.MoveTo(0, 0);
  c.LineTo(0, 19);
  c.LineTo(29, 19);
  c.LineTo(29, 0);
  c.LineTo(0, 0);
  c.Pen().Mode = TPenMode::pmCopy;
  // 18 on and 6 off, continuing round the corners: the left edge uses
  // positions 0..18, the bottom 19..47, the right 48..66, the top 67..95.
  EXPECT_EQ(Column(b, 0, clBlack), "##################..");
  EXPECT_EQ(Row(b, 19, clBlack), ".....##################......#");
  EXPECT_EQ(Column(b, 29, clBlack), "..##################");
  EXPECT_EQ(Row(b, 0, clBlack), "#......##################.....");

  const struct {
    TPenStyle Style;
    const char* Expected;
  } patterns[] = {
      {TPenStyle::psDot, "###...###...###...###...###...###...###...###..."},
      {TPenStyle::psDashDot, "#########......###......#########......###......"},
      {TPenStyle::psDashDotDot, "#########...###...###...#########...###...###..."},
  };
  for (const auto& p : patterns) {
    TBitmap line(48, 1, TPixelFormat::pf24bit);
    line.Canvas().Pen().Style = p.Style;
    line.Canvas().MoveTo(0, 0);
    line.Canvas().LineTo(20, 0);
    line.Canvas().LineTo(48, 0);
    EXPECT_EQ(Row(line, 0, clBlack), p.Expected);
  }

  TBitmap wide(10, 5, TPixelFormat::pf24bit);
  wide.Canvas().Pen().Style = TPenStyle::psDot;
  wide.Canvas().Pen().Width = 2;
  wide.Canvas().MoveTo(1, 2);
  wide.Canvas().LineTo(9, 2);
  EXPECT_EQ(Row(wide, 2, clBlack), "##########");
}

TEST(CanvasTest, PenModesInvertXorOrLeaveTheTarget) {
  TBitmap b(4, 1, TPixelFormat::pf24bit);
  TCanvas& c = b.Canvas();
  c.Brush().Color = clRed;
  c.FillRect(Rect(0, 0, 2, 1));
  c.Pen().Mode = TPenMode::pmNot;
  c.MoveTo(0, 0);
  c.LineTo(3, 0);
  EXPECT_EQ(b.GetPixel(0, 0), clAqua);
  EXPECT_EQ(b.GetPixel(2, 0), clBlack);
  EXPECT_EQ(b.GetPixel(3, 0), clWhite);
  c.MoveTo(0, 0);
  c.LineTo(3, 0);
  EXPECT_EQ(b.GetPixel(0, 0), clRed);
  EXPECT_EQ(b.GetPixel(2, 0), clWhite);

  c.Pen().Mode = TPenMode::pmXor;
  c.Pen().Color = clBlue;
  c.MoveTo(0, 0);
  c.LineTo(1, 0);
  EXPECT_EQ(b.GetPixel(0, 0), clFuchsia);

  // No operation: neither the outline nor the inside of a shape is drawn.
  c.Pen().Mode = TPenMode::pmNop;
  c.Brush().Color = clLime;
  c.Rectangle(0, 0, 4, 1);
  c.Ellipse(0, 0, 4, 1);
  c.MoveTo(0, 0);
  c.LineTo(4, 0);
  EXPECT_EQ(CountPixels(b, clLime), 0);
  EXPECT_EQ(b.GetPixel(3, 0), clWhite);

  // Paletted targets invert the index, which the default palettes arrange
  // to be the inverse colour for the standard colours.
  TBitmap p(2, 1, TPixelFormat::pf8bit);
  p.Canvas().Pen().Mode = TPenMode::pmNot;
  p.SetPixel(1, 0, clMaroon);
  p.Canvas().MoveTo(0, 0);
  p.Canvas().LineTo(2, 0);
  EXPECT_EQ(p.GetPixel(0, 0), clBlack);
  EXPECT_EQ(p.GetPixel(1, 0), clAqua);
}

TEST(CanvasTest, EllipsesAndRoundRectsStayInsideTheirBox) {
  TBitmap b(12, 12, TPixelFormat::pf24bit);
  TCanvas& c = b.Canvas();
  c.Brush().Color = clBlue;
  c.Ellipse(1, 1, 11, 11);
  EXPECT_EQ(Row(b, 0, clWhite), "############");
  EXPECT_EQ(Row(b, 1, clBlack), "....####....");
  EXPECT_EQ(Row(b, 6, clBlack), ".#........#.");
  EXPECT_EQ(Row(b, 6, clBlue), "..########..");
  EXPECT_EQ(Row(b, 10, clBlack), "....####....");
  EXPECT_EQ(Column(b, 1, clBlack), "....####....");
  EXPECT_EQ(Row(b, 11, clWhite), "############");
  for (int y = 0; y < 12; ++y) EXPECT_EQ(Row(b, y, clBlack), Row(b, 11 - y, clBlack));

  TBitmap r(10, 8, TPixelFormat::pf24bit);
  r.Canvas().RoundRect(0, 0, 10, 8, 4, 4);
  EXPECT_EQ(Row(r, 0, clBlack), ".########.");
  EXPECT_EQ(Row(r, 1, clBlack), "#........#");
  EXPECT_EQ(Row(r, 3, clBlack), "#........#");
  EXPECT_EQ(Row(r, 6, clBlack), "#........#");
  EXPECT_EQ(Row(r, 7, clBlack), ".########.");

  // A dashed ellipse draws part of its outline only.
  TBitmap d(60, 60, TPixelFormat::pf24bit);
  d.Canvas().Pen().Style = TPenStyle::psDash;
  d.Canvas().Ellipse(0, 0, 60, 60);
  TBitmap s(60, 60, TPixelFormat::pf24bit);
  s.Canvas().Ellipse(0, 0, 60, 60);
  EXPECT_GT(CountPixels(d, clBlack), CountPixels(s, clBlack) / 2);
  EXPECT_LT(CountPixels(d, clBlack), CountPixels(s, clBlack) * 7 / 8);
}

TEST(CanvasTest, PolygonsFillTheirInsideAndPolylinesTraceTheirPoints) {
  TBitmap b(10, 10, TPixelFormat::pf24bit);
  TCanvas& c = b.Canvas();
  c.Brush().Color = clRed;
  const TPoint triangle[] = {{1, 1}, {8, 1}, {1, 8}};
  c.Polygon(triangle, 3);
  EXPECT_EQ(Row(b, 1, clBlack), ".########.");
  EXPECT_EQ(Row(b, 3, clRed), "..####....");
  EXPECT_EQ(Row(b, 8, clBlack), ".#........");
  EXPECT_EQ(b.GetPixel(8, 8), clWhite);

  TBitmap l(6, 3, TPixelFormat::pf24bit);
  const TPoint zigzag[] = {{0, 0}, {3, 0}, {3, 2}, {6, 2}};
  l.Canvas().Polyline(zigzag, 4);
  EXPECT_EQ(Row(l, 0, clBlack), "####..");
  EXPECT_EQ(Row(l, 1, clBlack), "...#..");
  EXPECT_EQ(Row(l, 2, clBlack), "...###");
  l.Canvas().Polygon(zigzag, 0);
  l.Canvas().Polyline(nullptr, 5);
}

TEST(CanvasTest, ClipAndOriginBoundEveryOperation) {
  TBitmap b(8, 8, TPixelFormat::pf24bit);
  TCanvas& c = b.Canvas();
  c.SetOrigin(TPoint{2, 2});
  c.SetClipRect(Rect(0, 0, 3, 3));
  EXPECT_EQ(c.GetClipRect(), Rect(0, 0, 3, 3));
  c.Brush().Color = clRed;
  c.FillRect(Rect(-100, -100, 100, 100));
  EXPECT_EQ(CountPixels(b, clRed), 9);
  EXPECT_EQ(b.GetPixel(2, 2), clRed);
  EXPECT_EQ(b.GetPixel(4, 4), clRed);
  EXPECT_EQ(b.GetPixel(5, 5), clWhite);
  EXPECT_EQ(c.GetPixel(0, 0), clRed);
  EXPECT_EQ(c.GetPixel(3, 3), clNone);
  c.SetPixel(3, 3, clBlue);
  EXPECT_EQ(CountPixels(b, clBlue), 0);

  // A fresh target clips to itself and the unbound canvas draws nothing.
  c.SetTarget(&b);
  EXPECT_EQ(c.GetClipRect(), Rect(0, 0, 8, 8));
  TCanvas loose;
  loose.FillRect(Rect(0, 0, 5, 5));
  loose.LineTo(5, 5);
  EXPECT_EQ(loose.GetPixel(0, 0), clNone);
  EXPECT_EQ(loose.GetClipRect(), TRect{});
}

TEST(CanvasTest, FarCoordinatesCostNothingAndDrawTheVisiblePart) {
  TBitmap b(16, 16, TPixelFormat::pf24bit);
  TCanvas& c = b.Canvas();
  auto start = std::chrono::steady_clock::now();
  c.MoveTo(INT_MIN, 5);
  c.LineTo(INT_MAX, 5);
  c.MoveTo(INT_MIN, INT_MIN);
  c.LineTo(INT_MAX, INT_MAX);
  c.Pen().Width = 4;
  c.MoveTo(INT_MAX, INT_MIN);
  c.LineTo(INT_MIN, INT_MAX);
  c.Pen().Width = 1;
  c.Ellipse(INT_MIN, INT_MIN, INT_MAX, INT_MAX);
  c.RoundRect(-2000000000, 3, 2000000000, 9, INT_MAX, INT_MIN);
  const TPoint far[] = {{INT_MIN, INT_MIN}, {INT_MAX, 0}, {0, INT_MAX}};
  c.Polygon(far, 3);
  c.SetOrigin(TPoint{INT_MAX, INT_MAX});
  c.FillRect(Rect(INT_MIN, INT_MIN, INT_MAX, INT_MAX));
  c.TextOut(INT_MAX, INT_MAX, "far");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));

  TBitmap line(16, 16, TPixelFormat::pf24bit);
  line.Canvas().MoveTo(INT_MIN, 5);
  line.Canvas().LineTo(INT_MAX, 5);
  line.Canvas().MoveTo(-1000000, -1000000);
  line.Canvas().LineTo(1000000, 1000000);
  EXPECT_EQ(Row(line, 5, clBlack), "################");
  for (int i = 0; i < 16; ++i) EXPECT_EQ(line.GetPixel(i, i), clBlack);
  EXPECT_EQ(CountPixels(line, clBlack), 31);
}

TEST(CanvasTest, CopiesScaleMirrorAndHonourMasks) {
  TBitmap source(2, 2, TPixelFormat::pf24bit);
  source.SetPixel(0, 0, clRed);
  source.SetPixel(1, 0, clLime);
  source.SetPixel(0, 1, clBlue);
  source.SetPixel(1, 1, clBlack);

  TBitmap big(4, 4, TPixelFormat::pf4bit);
  big.Canvas().CopyRect(Rect(0, 0, 4, 4), source.Canvas(), Rect(0, 0, 2, 2));
  EXPECT_EQ(Row(big, 1, clRed), "##..");
  EXPECT_EQ(Row(big, 1, clLime), "..##");
  EXPECT_EQ(Row(big, 3, clBlue), "##..");

  TBitmap mirrored(2, 2, TPixelFormat::pf24bit);
  mirrored.Canvas().CopyRect(Rect(2, 0, 0, 2), source.Canvas(), Rect(0, 0, 2, 2));
  EXPECT_EQ(mirrored.GetPixel(0, 0), clLime);
  EXPECT_EQ(mirrored.GetPixel(1, 1), clBlue);

  // Mask pixels that are not black keep what the canvas had.
  TBitmap mask(2, 2, TPixelFormat::pf1bit);
  mask.Canvas().Brush().Color = clBlack;
  mask.Canvas().FillRect(Rect(0, 0, 2, 2));
  mask.SetPixel(1, 0, clWhite);
  TBitmap masked(2, 2, TPixelFormat::pf24bit);
  masked.Canvas().CopyFromBitmap(Rect(0, 0, 2, 2), source, Rect(0, 0, 2, 2), &mask);
  EXPECT_EQ(masked.GetPixel(0, 0), clRed);
  EXPECT_EQ(masked.GetPixel(1, 0), clWhite);
  EXPECT_EQ(masked.GetPixel(1, 1), clBlack);

  // A transparent bitmap leaves out the colour of its bottom-left pixel.
  TBitmap keyed(2, 2, TPixelFormat::pf24bit);
  source.SetTransparent(true);
  keyed.Canvas().Draw(0, 0, source);
  EXPECT_EQ(keyed.GetPixel(0, 1), clWhite);
  EXPECT_EQ(keyed.GetPixel(0, 0), clRed);

  // Copying within one bitmap reads the pixels as they were before.
  TBitmap strip(4, 1, TPixelFormat::pf24bit);
  strip.SetPixel(0, 0, clRed);
  strip.SetPixel(1, 0, clBlue);
  strip.Canvas().CopyRect(Rect(1, 0, 3, 1), strip.Canvas(), Rect(0, 0, 2, 1));
  EXPECT_EQ(strip.GetPixel(1, 0), clRed);
  EXPECT_EQ(strip.GetPixel(2, 0), clBlue);

  // Source pixels outside the source bitmap leave the target alone.
  TBitmap edge(3, 1, TPixelFormat::pf24bit);
  edge.Canvas().CopyFromBitmap(Rect(0, 0, 3, 1), source, Rect(-1, 0, 2, 1));
  EXPECT_EQ(edge.GetPixel(0, 0), clWhite);
  EXPECT_EQ(edge.GetPixel(1, 0), clRed);
}

// Unscaled copies between bitmaps of the same layout go row by row; each
// pixel must still land where the per-pixel rule puts it, with the source's
// edges and the target's clip respected.
TEST(CanvasTest, UnscaledCopiesKeepEveryPixelInPlace) {
  for (TPixelFormat format : {TPixelFormat::pf8bit, TPixelFormat::pf24bit, TPixelFormat::pf32bit}) {
    TBitmap source(5, 4, format);
    TBitmap target(6, 5, format == TPixelFormat::pf32bit ? TPixelFormat::pfDevice : format);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 5; ++x) source.SetRawPixel(x, y, static_cast<std::uint32_t>(10 * y + x));
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 6; ++x) target.SetRawPixel(x, y, 99);
    // Source rectangle (2,1)-(7,6) reaches past the source's right and
    // bottom edges; the target place (1,0)-(6,5) is clipped to its right.
    target.Canvas().CopyFromBitmap(Rect(1, 0, 6, 5), source, Rect(2, 1, 7, 6));
    for (int y = 0; y < 5; ++y) {
      for (int x = 0; x < 6; ++x) {
        const int sx = x - 1 + 2, sy = y + 1;
        const bool copied = x >= 1 && sx < 5 && sy < 4;
        EXPECT_EQ(target.GetRawPixel(x, y), copied ? static_cast<std::uint32_t>(10 * sy + sx) : 99u)
            << "format " << static_cast<int>(format) << " at " << x << "," << y;
      }
    }
  }
}

TEST(CanvasTest, PalettedTargetsGetTheNearestIndex) {
  TBitmap b(4, 1, TPixelFormat::pf8bit);
  b.SetPalette({{0, 0, 0, 0}, {250, 0, 0, 0}, {0, 0, 250, 0}, {255, 255, 255, 0}});
  b.Canvas().Brush().Color = clRed;
  b.Canvas().FillRect(Rect(0, 0, 2, 1));
  b.Canvas().Pen().Color = RGB(10, 10, 200);
  b.Canvas().MoveTo(2, 0);
  b.Canvas().LineTo(4, 0);
  EXPECT_EQ(b.GetRawPixel(0, 0), 1u);
  EXPECT_EQ(b.GetRawPixel(1, 0), 1u);
  EXPECT_EQ(b.GetRawPixel(2, 0), 2u);
  EXPECT_EQ(b.GetRawPixel(3, 0), 2u);
}

TEST(CanvasTest, DrawingReportsTheChange) {
  TBitmap b(2, 2, TPixelFormat::pf24bit);
  int changes = 0;
  b.OnChange = [&](TObject*) { ++changes; };
  b.Canvas().FillRect(Rect(0, 0, 1, 1));
  b.Canvas().TextOut(0, 0, "x");
  EXPECT_EQ(changes, 2);
  EXPECT_TRUE(b.GetModified());
}

}  // namespace
}  // namespace tavkit
