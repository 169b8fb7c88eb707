// Text drawing for previews: line heights per HTML size, the background fill
// and where each alignment puts the text.
#include <gtest/gtest.h>

#include <tavkit/core/WvFont.h>
#include <tavkit/core/WvMiscTools.h>
#include <tavkit/platform/graphics/Bitmap.h>
#include <tavkit/platform/graphics/Canvas.h>

namespace tavkit {
namespace {

class WvDrawStringTest : public ::testing::Test {
 protected:
  WvDrawStringTest() : bitmap(240, 60, TPixelFormat::pf24bit) {
    TCanvas& canvas = bitmap.Canvas();
    canvas.Brush().Color = clYellow;
    canvas.FillRect(Rect(0, 0, 240, 60));
  }

  // The first column of rect that holds a pixel of the text's colour, or -1.
  int FirstInkColumn(const TRect& rect, TColor ink) const {
    for (int x = rect.Left; x < rect.Right; ++x)
      for (int y = rect.Top; y < rect.Bottom; ++y)
        if (bitmap.GetPixel(x, y) == ink) return x;
    return -1;
  }

  int Draw(const std::string& text, const TRect& rect, t_WvTextAlign align) {
    return WvDrawString(text, font, bitmap.Canvas(), rect, clWhite, align);
  }

  TBitmap bitmap;
  TWvFont font;
};

TEST_F(WvDrawStringTest, LineHeightFollowsTheHtmlSize) {
  const int heights[] = {13, 16, 18, 21, 27, 36};
  for (int size = 1; size <= 6; ++size) {
    font.SetFontSize(size);
    EXPECT_EQ(Draw("Text", Rect(0, 0, 240, 60), taLeft), heights[size - 1]) << size;
    EXPECT_EQ(Draw("", Rect(0, 0, 240, 60), taNone), heights[size - 1]) << size;
  }
}

TEST_F(WvDrawStringTest, FillsTheRectangleWithTheGivenColourOnly) {
  font.SetColor(clRed);
  const TRect rect = Rect(20, 10, 120, 40);
  WvDrawString("", font, bitmap.Canvas(), rect, clBlue, taLeft);
  EXPECT_EQ(bitmap.GetPixel(20, 10), clBlue);
  EXPECT_EQ(bitmap.GetPixel(119, 39), clBlue);
  EXPECT_EQ(bitmap.GetPixel(19, 10), clYellow);
  EXPECT_EQ(bitmap.GetPixel(120, 39), clYellow);
  EXPECT_EQ(bitmap.GetPixel(119, 40), clYellow);
  EXPECT_EQ(FirstInkColumn(rect, clRed), -1);
}

TEST_F(WvDrawStringTest, CanvasFontTakesFaceFlagsHeightAndColour) {
  font.SetPrimaryFont("COURIER NEW");
  font.SetFontSize(4);
  font.SetItalic(true);
  font.SetStrikeout(true);
  font.SetColor(clNone);
  Draw("x", Rect(0, 0, 100, 30), taLeft);
  const TFont& used = bitmap.Canvas().Font();
  EXPECT_EQ(used.Name, "COURIER NEW");
  EXPECT_EQ(used.Height, 21);
  EXPECT_EQ(used.Style, unsigned{fsItalic | fsStrikeOut});
  EXPECT_EQ(used.Color, clNone);
  font.SetItalic(false);
  font.SetStrikeout(false);
  font.SetBold(true);
  font.SetUnderline(true);
  Draw("x", Rect(0, 0, 100, 30), taLeft);
  EXPECT_EQ(bitmap.Canvas().Font().Style, unsigned{fsBold | fsUnderline});
}

TEST_F(WvDrawStringTest, AlignmentPlacesTheTextStart) {
  font.SetFontSize(3);
  const std::string text = "HIH";
  const TRect rect = Rect(30, 5, 211, 40);
  Draw(text, rect, taLeft);
  const int left = FirstInkColumn(rect, clBlack);
  ASSERT_GE(left, rect.Left);
  const int bearing = left - rect.Left;
  const int width = bitmap.Canvas().TextWidth(text);
  ASSERT_GT(width, 10);

  Draw(text, rect, taNone);
  EXPECT_EQ(FirstInkColumn(rect, clBlack), rect.Left + bearing);
  Draw(text, rect, taRight);
  EXPECT_EQ(FirstInkColumn(rect, clBlack), rect.Left + rect.Width() - width + bearing);
  Draw(text, rect, taCenter);
  EXPECT_EQ(FirstInkColumn(rect, clBlack), rect.Left + rect.Width() / 2 - width / 2 + bearing);
  // The text hangs one pixel below the top edge, never above it.
  for (int x = rect.Left; x < rect.Right; ++x) EXPECT_EQ(bitmap.GetPixel(x, rect.Top), clWhite);
}

TEST_F(WvDrawStringTest, TextWiderThanTheRectangleStartsAtItsLeftEdge) {
  const std::string text = "HHHHHHHHHHHH";
  const TRect rect = Rect(50, 10, 80, 30);
  Draw(text, rect, taLeft);
  const int left = FirstInkColumn(rect, clBlack);
  ASSERT_GE(left, rect.Left);
  for (t_WvTextAlign align : {taCenter, taRight}) {
    Draw(text, rect, align);
    EXPECT_EQ(FirstInkColumn(rect, clBlack), left) << int{align};
  }
  // Nothing is drawn outside the rectangle.
  for (int y = 0; y < 60; ++y) {
    EXPECT_EQ(bitmap.GetPixel(49, y), clYellow);
    EXPECT_EQ(bitmap.GetPixel(80, y), clYellow);
  }
}

}  // namespace
}  // namespace tavkit
