// Text through FreeType and fontconfig: classic font names resolve to
// installed faces, the cell height is exactly the font's Height, text starts
// at its x and hangs from its top, glyphs are monochrome, TextRect clips,
// and drawing from several threads gives the same pixels. Also writes
// canvas-sample.png into the build directory to be looked at, every line of
// it drawn and the file exactly as drawn.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include <tavkit/platform/graphics/Bitmap.h>
#include <tavkit/platform/graphics/Canvas.h>
#include <tavkit/platform/graphics/detail/FontEngine.h>

#include "TestSupport.h"

namespace tavkit {
namespace {

using testsupport::CountPixels;
using testsupport::LoadPNG;

TFont MakeFont(const std::string& name, int height, unsigned style = 0) {
  TFont font;
  font.Name = name;
  font.Height = height;
  font.Style = style;
  return font;
}

// The box around the pixels of colour c; empty when there are none.
TRect Extent(const TBitmap& b, TColor c) {
  TRect r{b.GetWidth(), b.GetHeight(), 0, 0};
  for (int y = 0; y < b.GetHeight(); ++y)
    for (int x = 0; x < b.GetWidth(); ++x)
      if (b.GetPixel(x, y) == c) {
        r.Left = std::min(r.Left, x), r.Top = std::min(r.Top, y);
        r.Right = std::max(r.Right, x + 1), r.Bottom = std::max(r.Bottom, y + 1);
      }
  return r.IsEmpty() ? TRect{} : r;
}

TEST(TextTest, ClassicNamesFindInstalledFaces) {
  TFontEngine& engine = TFontEngine::Instance();
  EXPECT_EQ(engine.ResolveFace(MakeFont("ARIAL", 13)).Family, "Liberation Sans");
  EXPECT_EQ(engine.ResolveFace(MakeFont("arial", 13)).Family, "Liberation Sans");
  EXPECT_EQ(engine.ResolveFace(MakeFont("COURIER NEW", 13)).Family, "Liberation Mono");
  EXPECT_EQ(engine.ResolveFace(MakeFont("Times New Roman", 13)).Family, "Liberation Serif");
  EXPECT_EQ(engine.ResolveFace(MakeFont("SYSTEM", 13)).Family, "Liberation Sans");
  EXPECT_EQ(engine.ResolveFace(MakeFont("MS Sans Serif", 13)).Family, "Liberation Sans");
  TFaceInfo bold = engine.ResolveFace(MakeFont("Arial", 13, fsBold | fsItalic));
  EXPECT_EQ(bold.Style, "Bold Italic");
  EXPECT_FALSE(bold.SyntheticBold);
  EXPECT_FALSE(bold.SyntheticItalic);
  EXPECT_EQ(engine.ResolveFace(MakeFont("", 13)).FileName.empty(), false);
}

TEST(TextTest, TextHeightIsTheFontHeight) {
  TCanvas canvas;  // measuring needs no target
  for (const char* name : {"ARIAL", "COURIER NEW", "Times New Roman", "MS Sans Serif"})
    for (int height : {13, 16, 18, 21, 27, 36})
      for (unsigned style : {0u, unsigned{fsBold}, unsigned{fsItalic}}) {
        canvas.Font() = MakeFont(name, height, style);
        for (const char* text : {"", "W", "gjpq|", "\xC9tude"})
          ASSERT_EQ(canvas.TextHeight(text), height) << name << " " << height << " " << text;
      }
  // A negative height sizes the em square; the cell is then a little taller.
  canvas.Font() = MakeFont("ARIAL", -12);
  EXPECT_EQ(canvas.TextHeight("x"), 13);
  canvas.Font() = MakeFont("ARIAL", 0);
  EXPECT_EQ(canvas.TextHeight("x"), 13);
}

TEST(TextTest, TextWidthAddsTheAdvances) {
  TCanvas canvas;
  canvas.Font() = MakeFont("ARIAL", 16);
  EXPECT_EQ(canvas.TextWidth(""), 0);
  EXPECT_EQ(canvas.TextWidth("AVATAR"), canvas.TextWidth("AV") + canvas.TextWidth("ATAR"));
  EXPECT_GT(canvas.TextWidth("WWW"), canvas.TextWidth("iii"));
  int regular = canvas.TextWidth("Heading");
  canvas.Font().Style = fsBold;
  EXPECT_GT(canvas.TextWidth("Heading"), regular);
  canvas.Font() = MakeFont("COURIER NEW", 16);
  EXPECT_EQ(canvas.TextWidth("iiii"), canvas.TextWidth("WWWW"));
  EXPECT_EQ(canvas.TextWidth("iiii"), 4 * canvas.TextWidth("i"));
}

TEST(TextTest, TextIsPlacedByTheTopLeftOfItsCell) {
  TBitmap b(120, 40, TPixelFormat::pf24bit);
  TCanvas& c = b.Canvas();
  c.Font() = MakeFont("ARIAL", 21);
  c.Font().Color = clRed;
  c.Brush().Style = TBrushStyle::bsClear;
  c.TextOut(10, 5, "HIH");
  TRect ink = Extent(b, clRed);
  TFontMetrics m = TFontEngine::Instance().GetMetrics(c.Font());
  EXPECT_GE(ink.Left, 10);
  EXPECT_LE(ink.Left, 12);
  EXPECT_LE(ink.Right, 10 + c.TextWidth("HIH"));
  EXPECT_EQ(ink.Bottom, 5 + m.Ascent);  // capitals sit on the baseline
  EXPECT_GE(ink.Top, 5);
  EXPECT_EQ(c.GetPenPos(), (TPoint{10 + c.TextWidth("HIH"), 5}));

  // With a solid brush the cell is filled first, exactly.
  TBitmap f(120, 40, TPixelFormat::pf24bit);
  f.Canvas().Font() = MakeFont("ARIAL", 21);
  f.Canvas().Brush().Color = clYellow;
  f.Canvas().TextOut(10, 5, "HIH");
  TRect cell = Extent(f, clYellow);
  EXPECT_EQ(cell, Rect(10, 5, 10 + f.Canvas().TextWidth("HIH"), 26));

  // Descenders reach into the cell below the baseline but not beyond it.
  TBitmap d(60, 40, TPixelFormat::pf24bit);
  d.Canvas().Font() = MakeFont("Times New Roman", 27);
  d.Canvas().Brush().Style = TBrushStyle::bsClear;
  d.Canvas().TextOut(2, 3, "gjpq");
  TRect low = Extent(d, clBlack);
  EXPECT_GT(low.Bottom, 3 + TFontEngine::Instance().GetMetrics(d.Canvas().Font()).Ascent);
  EXPECT_LE(low.Bottom, 3 + 27);
}

TEST(TextTest, GlyphsAreMonochrome) {
  for (TPixelFormat format : {TPixelFormat::pf24bit, TPixelFormat::pf8bit}) {
    TBitmap b(200, 30, format);
    TCanvas& c = b.Canvas();
    c.Brush().Color = clNavy;
    c.FillRect(Rect(0, 0, 200, 30));
    c.Font() = MakeFont("Times New Roman", 18, fsItalic);
    c.Font().Color = clYellow;
    c.TextOut(3, 3, "Smooth curves & slopes \xE9\xE8");
    int yellow = 0;
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 200; ++x) {
        TColor p = b.GetPixel(x, y);
        ASSERT_TRUE(p == clNavy || p == clYellow) << x << "," << y;
        yellow += p == clYellow;
      }
    EXPECT_GT(yellow, 150);
  }
}

TEST(TextTest, TextRectFillsAndClipsToItsRectangle) {
  TBitmap b(100, 30, TPixelFormat::pf24bit);
  TCanvas& c = b.Canvas();
  c.Font() = MakeFont("ARIAL", 16);
  c.Brush().Color = clSilver;
  c.TextRect(Rect(10, 5, 40, 20), 12, 6, "Clipped text that runs on");
  TRect filled = Extent(b, clSilver);
  TRect ink = Extent(b, clBlack);
  EXPECT_EQ(filled, Rect(10, 5, 40, 20));
  EXPECT_GE(ink.Left, 12);
  EXPECT_LE(ink.Right, 40);
  EXPECT_LE(ink.Bottom, 20);
  EXPECT_EQ(b.GetPixel(50, 10), clWhite);

  // A clear brush leaves the background, whatever its colour says; only the
  // text is drawn, and the pen does not move.
  TBitmap t(100, 30, TPixelFormat::pf24bit);
  TCanvas& clear = t.Canvas();
  clear.Brush().Color = clAqua;
  clear.FillRect(Rect(0, 0, 100, 30));
  clear.Font() = MakeFont("ARIAL", 16);
  clear.Brush().Color = clYellow;
  clear.Brush().Style = TBrushStyle::bsClear;
  clear.TextRect(Rect(0, 0, 100, 30), 2, 2, "ab");
  EXPECT_EQ(CountPixels(t, clYellow), 0);
  EXPECT_GT(CountPixels(t, clBlack), 20);
  EXPECT_EQ(CountPixels(t, clAqua) + CountPixels(t, clBlack), 100 * 30);
  EXPECT_EQ(clear.GetPenPos(), (TPoint{0, 0}));
}

TEST(TextTest, UnderlineAndStrikeOutSpanTheText) {
  TBitmap b(80, 20, TPixelFormat::pf24bit);
  TCanvas& c = b.Canvas();
  c.Font() = MakeFont("ARIAL", 16, fsUnderline | fsStrikeOut);
  c.TextOut(5, 2, "a b");
  TFontMetrics m = TFontEngine::Instance().GetMetrics(c.Font());
  int width = c.TextWidth("a b");
  for (int row : {2 + m.UnderlineTop, 2 + m.StrikeOutTop})
    for (int x = 5; x < 5 + width; ++x) ASSERT_EQ(b.GetPixel(x, row), clBlack) << x << "," << row;
  EXPECT_LT(m.StrikeOutTop, m.Ascent);
  EXPECT_GE(m.UnderlineTop, m.Ascent);
  EXPECT_LT(m.UnderlineTop, 16);
}

TEST(TextTest, ThreadsDrawTheSamePixels) {
  auto draw = [](TBitmap& b, int seed) {
    TCanvas& c = b.Canvas();
    for (int i = 0; i < 40; ++i) {
      c.Font() = MakeFont(i % 2 ? "ARIAL" : "COURIER NEW", 12 + (i + seed) % 20,
                          i % 3 ? 0u : unsigned{fsBold});
      c.TextOut(i, i, "The quick brown fox " + std::to_string(i));
    }
  };
  std::vector<std::unique_ptr<TBitmap>> bitmaps;
  for (int i = 0; i < 4; ++i)
    bitmaps.push_back(std::make_unique<TBitmap>(300, 80, TPixelFormat::pf24bit));
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) threads.emplace_back(draw, std::ref(*bitmaps[i]), i % 2);
  for (std::thread& t : threads) t.join();
  TBitmap alone(300, 80, TPixelFormat::pf24bit);
  draw(alone, 0);
  for (int i = 0; i < 4; i += 2)
    for (int y = 0; y < 80; ++y)
      for (int x = 0; x < 300; ++x) ASSERT_EQ(bitmaps[i]->GetPixel(x, y), alone.GetPixel(x, y));
}

TEST(TextTest, SampleShowsShapesAndFonts) {
  TBitmap b(420, 300, TPixelFormat::pf24bit);
  TCanvas& c = b.Canvas();
  c.Brush().Color = RGB(0xF0, 0xF0, 0xE8);
  c.FillRect(Rect(0, 0, 420, 300));
  c.Brush().Color = clAqua;
  c.Pen().Color = clNavy;
  c.Rectangle(10, 10, 110, 70);
  c.Brush().Color = clYellow;
  c.Pen().Width = 3;
  c.Ellipse(120, 10, 220, 70);
  c.Pen().Width = 1;
  c.Brush().Color = clLime;
  c.RoundRect(230, 10, 330, 70, 20, 20);
  const TPoint star[] = {{370, 8}, {385, 70}, {340, 30}, {400, 30}, {355, 70}};
  c.Brush().Color = clFuchsia;
  c.Polygon(star, 5);
  c.Pen().Style = TPenStyle::psDash;
  c.Pen().Mode = TPenMode::pmNot;
  c.MoveTo(5, 5);
  c.LineTo(5, 75);
  c.LineTo(410, 75);
  c.LineTo(410, 5);
  c.LineTo(5, 5);
  c.Pen().Style = TPenStyle::psSolid;
  c.Pen().Mode = TPenMode::pmCopy;
  c.Brush().Style = TBrushStyle::bsClear;
  int y = 82;
  std::vector<TRect> cells;
  const struct {
    const char* Name;
    int Height;
    unsigned Style;
  } lines[] = {{"ARIAL", 13, 0},
               {"ARIAL", 16, fsBold},
               {"COURIER NEW", 18, 0},
               {"Times New Roman", 21, fsItalic},
               {"MS Sans Serif", 27, fsUnderline},
               {"SYSTEM", 36, fsStrikeOut}};
  for (const auto& line : lines) {
    c.Font() = MakeFont(line.Name, line.Height, line.Style);
    c.Font().Color = clMaroon;
    std::string text =
        std::string(line.Name) + " " + std::to_string(line.Height) + " \xC0gypt \xE9t\xE9";
    c.TextOut(10, y, text);
    cells.push_back(Rect(0, y, 420, y + c.TextHeight(text)));
    y = cells.back().Bottom;
  }
  c.Brush().Style = TBrushStyle::bsSolid;
  c.Brush().Color = clTeal;
  c.Font() = MakeFont("ARIAL", 16, fsBold);
  c.Font().Color = clWhite;
  c.TextRect(Rect(300, 200, 410, 230), 305, 206, "TextRect clips this");
  const std::string file = std::string(TAVKIT_BINARY_DIR) + "/canvas-sample.png";
  b.SaveToPNGFile(file);

  // Every face and style drew its line, in the row of cells it was given.
  for (const TRect& cell : cells) EXPECT_GT(CountPixels(b, cell, clMaroon), 30) << cell.Top;
  // The file a person opens shows exactly what was drawn.
  const auto saved = LoadPNG(file);
  ASSERT_EQ(saved->GetWidth(), 420);
  ASSERT_EQ(saved->GetHeight(), 300);
  for (int py = 0; py < 300; ++py)
    for (int px = 0; px < 420; ++px)
      ASSERT_EQ(saved->GetPixel(px, py), b.GetPixel(px, py)) << px << "," << py;
}

}  // namespace
}  // namespace tavkit
