// The native controls paint themselves and their children into a bitmap, and
// travel through form files like any component.
#include <gtest/gtest.h>

#include <memory>

#include <tavkit/platform/controls/Chart.h>
#include <tavkit/platform/controls/StdCtrls.h>
#include <tavkit/platform/formfile/FormFile.h>
#include <tavkit/platform/graphics/Bitmap.h>
#include <tavkit/platform/graphics/Canvas.h>

#include "TestSupport.h"

namespace tavkit {
namespace {

using testsupport::CountPixels;

std::unique_ptr<TBitmap> Paint(TControl& control) {
  auto result =
      std::make_unique<TBitmap>(control.GetWidth(), control.GetHeight(), TPixelFormat::pf24bit);
  TBitmap& bitmap = *result;
  bitmap.Canvas().Brush().Color = clFuchsia;  // shows what was not painted
  bitmap.Canvas().FillRect(TRect{0, 0, control.GetWidth(), control.GetHeight()});
  control.PaintTo(bitmap.Canvas(), 0, 0);
  return result;
}

TEST(NativeControls, PanelBevelCaptionAndChildren) {
  TComponent form(nullptr);
  auto* panel = new TPanel(&form);
  panel->SetBounds(0, 0, 120, 60);
  panel->SetCaption("Hi");
  panel->SetColor(clSilver);
  auto* label = new TLabel(&form);
  label->SetParent(panel);
  label->SetBounds(10, 40, 30, 15);
  label->SetColor(clYellow);

  std::unique_ptr<TBitmap> bitmapOwned = Paint(*panel);
  const TBitmap& bitmap = *bitmapOwned;
  EXPECT_EQ(bitmap.GetPixel(0, 0), clWhite);  // raised: light top and left
  EXPECT_EQ(bitmap.GetPixel(0, 30), clWhite);
  EXPECT_EQ(bitmap.GetPixel(119, 30), clGray);  // dark right and bottom
  EXPECT_EQ(bitmap.GetPixel(60, 59), clGray);
  EXPECT_EQ(bitmap.GetPixel(100, 10), clSilver);
  EXPECT_EQ(bitmap.GetPixel(11, 41), clYellow);  // the child label
  EXPECT_EQ(CountPixels(bitmap, TRect{0, 0, 120, 60}, clFuchsia), 0);
  // The caption in black, centred.
  int ink = CountPixels(bitmap, TRect{40, 15, 80, 45}, clBlack);
  EXPECT_GT(ink, 10);
  EXPECT_EQ(CountPixels(bitmap, TRect{2, 2, 40, 30}, clBlack), 0);
}

TEST(NativeControls, TransparentLabelLeavesTheBackground) {
  TComponent form(nullptr);
  TLabel label(&form);
  label.SetBounds(0, 0, 40, 16);
  label.SetTransparent(true);
  label.SetCaption("x");
  std::unique_ptr<TBitmap> bitmapOwned = Paint(label);
  const TBitmap& bitmap = *bitmapOwned;
  EXPECT_EQ(bitmap.GetPixel(39, 0), clFuchsia);
  EXPECT_GT(CountPixels(bitmap, TRect{0, 0, 40, 16}, clBlack), 0);
}

TEST(NativeControls, ButtonFrameAndDefaultRing) {
  TComponent form(nullptr);
  TButton button(&form);
  button.SetCaption("OK");
  std::unique_ptr<TBitmap> plainOwned = Paint(button);
  const TBitmap& plain = *plainOwned;
  EXPECT_EQ(plain.GetPixel(0, 0), clWhite);
  EXPECT_EQ(plain.GetPixel(74, 24), clBlack);
  EXPECT_EQ(plain.GetPixel(73, 23), clGray);
  EXPECT_EQ(plain.GetPixel(5, 5), clSilver);
  button.SetDefault(true);
  std::unique_ptr<TBitmap> ringedOwned = Paint(button);
  const TBitmap& ringed = *ringedOwned;
  EXPECT_EQ(ringed.GetPixel(0, 0), clBlack);
  EXPECT_EQ(ringed.GetPixel(1, 1), clWhite);
}

TEST(NativeControls, ShapesStayInsideTheirControl) {
  TComponent form(nullptr);
  TShape shape(&form);
  shape.SetBounds(0, 0, 40, 20);
  shape.SetShape(stCircle);
  shape.SetBrushColor(clRed);
  std::unique_ptr<TBitmap> bitmapOwned = Paint(shape);
  const TBitmap& bitmap = *bitmapOwned;
  EXPECT_EQ(bitmap.GetPixel(20, 10), clRed);
  EXPECT_EQ(bitmap.GetPixel(2, 10), clFuchsia);  // a circle of 20 in the middle of 40
  EXPECT_EQ(bitmap.GetPixel(10, 10), clBlack);   // its left edge
  EXPECT_EQ(bitmap.GetPixel(29, 10), clBlack);   // its right edge

  shape.SetShape(stRectangle);
  shape.SetPenWidth(3);
  std::unique_ptr<TBitmap> thickOwned = Paint(shape);
  const TBitmap& thick = *thickOwned;
  for (int x : {0, 1, 2}) EXPECT_EQ(thick.GetPixel(x, 10), clBlack) << x;
  for (int x : {37, 38, 39}) EXPECT_EQ(thick.GetPixel(x, 10), clBlack) << x;
  EXPECT_EQ(thick.GetPixel(3, 10), clRed);
}

TEST(BarChart, AxisRoundsUpToTheGridStep) {
  TComponent form(nullptr);
  TBarChart chart(&form);
  EXPECT_EQ(chart.AxisMaximum(), 1);  // nothing to show: an axis from 0 to 1
  chart.AddValue("a", 3);
  chart.AddValue("b", 17);
  chart.AddValue("c", 42);
  EXPECT_EQ(chart.GridStep(), 10);
  EXPECT_EQ(chart.AxisMaximum(), 50);
  chart.AddValue("d", 1234);
  EXPECT_EQ(chart.GridStep(), 500);
  EXPECT_EQ(chart.AxisMaximum(), 1500);
  chart.SetMaxValue(2000);
  EXPECT_EQ(chart.AxisMaximum(), 2000);
  EXPECT_EQ(chart.GridStep(), 500);
}

TEST(BarChart, BarsAreProportionalToTheirValues) {
  TComponent form(nullptr);
  TBarChart chart(&form);
  chart.SetBounds(0, 0, 300, 200);
  chart.SetTitle("Sales");
  chart.AddValue("Mon", 10);
  chart.AddValue("Tue", 40, clRed);
  chart.SetMaxValue(40);
  std::unique_ptr<TBitmap> bitmapOwned = Paint(chart);
  const TBitmap& bitmap = *bitmapOwned;
  TRect plot = chart.PlotRect();
  int slot = (plot.Right - plot.Left) / 2;
  auto barHeight = [&](int x, TColor colour) {
    int h = 0;
    for (int y = plot.Top; y < plot.Bottom; ++y) h += bitmap.GetPixel(x, y) == colour;
    return h;
  };
  int plotHeight = plot.Bottom - plot.Top;
  EXPECT_EQ(barHeight(plot.Left + slot / 2, clNavy), plotHeight / 4);
  EXPECT_EQ(barHeight(plot.Left + slot + slot / 2, clRed), plotHeight);
  // The axes.
  EXPECT_EQ(bitmap.GetPixel(plot.Left, plot.Top + 5), clBlack);
  EXPECT_EQ(bitmap.GetPixel(plot.Right - 1, plot.Bottom), clBlack);
  // The title above the plot, and no unpainted pixel anywhere.
  EXPECT_GT(CountPixels(bitmap, TRect{100, 0, 200, plot.Top}, clBlack), 10);
  EXPECT_EQ(CountPixels(bitmap, TRect{0, 0, 300, 200}, clFuchsia), 0);
}

TEST(BarChart, FormFilesKeepTheValues) {
  StdCtrls::Register();
  Chart::Register();
  const std::string text = R"({
  "form": "F",
  "components": [
    {
      "class": "TBarChart",
      "name": "Chart1",
      "properties": {
        "Tag": 0,
        "Left": 0,
        "Top": 0,
        "Width": 200,
        "Height": 100,
        "Title": "Visits",
        "Values": [
          {
            "Label": "Jan",
            "Value": 12,
            "Color": "clNone"
          },
          {
            "Label": "Feb",
            "Value": 30,
            "Color": "clRed"
          }
        ],
        "Color": "clWhite",
        "BarColor": "clNavy",
        "AxisColor": "clBlack",
        "MaxValue": 0,
        "Font": {
          "Name": "ARIAL",
          "Height": 13,
          "Color": "clBlack",
          "Bold": false,
          "Italic": false,
          "Underline": false
        }
      }
    }
  ]
}
)";
  TComponent form(nullptr);
  LoadFormFromText(text, form);
  auto* chart = dynamic_cast<TBarChart*>(form.FindComponent("Chart1"));
  ASSERT_NE(chart, nullptr);
  ASSERT_EQ(chart->GetValues()->Count(), 2);
  EXPECT_EQ(chart->GetValues()->Items(1)->GetColor(), clRed);
  EXPECT_EQ(SaveForm(form), text);
}

}  // namespace
}  // namespace tavkit
