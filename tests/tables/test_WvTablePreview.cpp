// The design preview of a table, painted the way the designer paints it and
// checked where it matters: cells placed by border, spacing, widths and
// heights, header and row colours, texts in their fonts' colours, pictures
// stretched over their cell, short rows, MaxRows rows whatever StartIndex
// says, and the dashed frame.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include <tavkit/platform/graphics/Bitmap.h>
#include <tavkit/platform/graphics/Canvas.h>
#include <tavkit/platform/graphics/Picture.h>
#include <tavkit/tables/WvTable.h>

#include "TestSupport.h"

namespace tavkit {
namespace {

using testsupport::CountPixels;

constexpr int kWidth = 330;
constexpr int kHeight = 120;

class TablePreview : public ::testing::Test {
 protected:
  void SetUp() override {
    form.SetDesigning(true);
    table->SetBounds(1, 1, kWidth, kHeight);
    table->SetBackGroundColor(clYellow);
    table->SetBorder(2);
    table->SetSpacing(3);
  }

  std::unique_ptr<TBitmap> Paint(const std::string& name) {
    auto bitmap = std::make_unique<TBitmap>(kWidth, kHeight, TPixelFormat::pf24bit);
    table->PaintTo(bitmap->Canvas(), 0, 0);
    std::filesystem::create_directories(TAVKIT_BINARY_DIR "/previews");
    bitmap->SaveToPNGFile(TAVKIT_BINARY_DIR "/previews/" + name);
    return bitmap;
  }

  TComponent form{nullptr};
  TWvTable* table = new TWvTable(&form);
};

// Cells start at Border + 1 = 3 and move on by width (or height) plus 3.
constexpr int kCol[] = {3, 106, 209};
constexpr int kHeaderTop = 3;
constexpr int kRowTop[] = {26, 49, 72, 95, 118};

TRect Cell(int col, int top, int height = 20) {
  return Rect(kCol[col], top, kCol[col] + 100, top + height);
}

TEST_F(TablePreview, CellsSitOnTheGridOfBorderSpacingAndSizes) {
  TStringList first({"", "Hello", ""});
  table->AddRow(&first);
  TStringList second({"", "", "right"});
  table->AddRow(&second);
  table->Columns(2)->SetDataAlign(taRight);
  const auto bitmap = Paint("table.png");

  // Background around the cells and in the gaps between them.
  EXPECT_EQ(bitmap->GetPixel(2, 10), clYellow);
  EXPECT_EQ(bitmap->GetPixel(104, 10), clYellow);
  EXPECT_EQ(bitmap->GetPixel(50, 24), clYellow);
  EXPECT_EQ(bitmap->GetPixel(312, 30), clYellow);

  // Header cells in navy with the white header text, centred.
  for (int c = 0; c < 3; ++c) {
    EXPECT_EQ(bitmap->GetPixel(kCol[c], kHeaderTop), TColor(0x800000));
    EXPECT_EQ(bitmap->GetPixel(kCol[c] + 99, kHeaderTop + 19), TColor(0x800000));
    EXPECT_GT(CountPixels(*bitmap, Cell(c, kHeaderTop), clWhite), 30) << c;
    EXPECT_EQ(CountPixels(*bitmap, Rect(kCol[c], kHeaderTop, kCol[c] + 20, 23), clWhite), 0);
  }

  // Rows alternate white (even) and light grey (odd), MaxRows of them as far
  // as the control reaches, whether or not the table has that row.
  const TColor rowColors[] = {clWhite, TColor(0xEEEEEE), clWhite, TColor(0xEEEEEE)};
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 3; ++c) {
      EXPECT_EQ(bitmap->GetPixel(kCol[c] + 1, kRowTop[r] + 1), rowColors[r]) << r << c;
      EXPECT_EQ(bitmap->GetPixel(kCol[c] + 99, kRowTop[r] + 19), rowColors[r]) << r << c;
    }
  EXPECT_EQ(bitmap->GetPixel(50, kRowTop[4]), clWhite);

  // Texts in the row font's black, one pixel below the cell's top, aligned
  // by the column; empty cells stay clean.
  EXPECT_GT(CountPixels(*bitmap, Cell(1, kRowTop[0]), clBlack), 30);
  EXPECT_EQ(CountPixels(*bitmap, Rect(kCol[1], kRowTop[0], kCol[1] + 100, kRowTop[0] + 1), clBlack),
            0);
  EXPECT_EQ(CountPixels(*bitmap, Cell(0, kRowTop[0]), clBlack), 0);
  EXPECT_EQ(CountPixels(*bitmap, Cell(1, kRowTop[1]), clBlack), 0);
  EXPECT_GT(CountPixels(*bitmap, Rect(kCol[2] + 70, kRowTop[1], kCol[2] + 100, 69), clBlack), 20);
  EXPECT_EQ(CountPixels(*bitmap, Rect(kCol[2], kRowTop[1], kCol[2] + 50, 69), clBlack), 0);
}

TEST_F(TablePreview, PicturesAreStretchedOverTheirCell) {
  auto red = std::make_unique<TBitmap>(2, 2, TPixelFormat::pf24bit);
  red->Canvas().Brush().Color = clRed;
  red->Canvas().FillRect(Rect(0, 0, 2, 2));
  auto picture = std::make_unique<TPicture>();
  picture->SetGraphic(std::move(red));
  table->GetItem(2, 1)->SetPicture(std::move(picture));
  // A cell whose picture holds nothing keeps its row colour.
  table->GetItem(0, 1)->SetPicture(std::make_unique<TPicture>());
  const auto bitmap = Paint("table-picture.png");
  EXPECT_EQ(CountPixels(*bitmap, Cell(2, kRowTop[1]), clRed), 100 * 20);
  EXPECT_EQ(CountPixels(*bitmap, Rect(0, 0, kWidth, kHeight), clRed), 100 * 20);
  EXPECT_EQ(CountPixels(*bitmap, Cell(0, kRowTop[1]), TColor(0xEEEEEE)), 100 * 20);
}

TEST_F(TablePreview, ShortRowsLeaveTheirMissingCellsEmpty) {
  TStringList one({"x"});
  table->AddRow(&one);
  table->InsertRow(1);
  TStringList third({"", "", "z"});
  table->AddRow(&third);
  const auto bitmap = Paint("table-short.png");
  EXPECT_GT(CountPixels(*bitmap, Cell(0, kRowTop[0]), clBlack), 5);
  EXPECT_EQ(CountPixels(*bitmap, Cell(1, kRowTop[0]), clWhite), 100 * 20);
  EXPECT_EQ(CountPixels(*bitmap, Cell(0, kRowTop[1]), TColor(0xEEEEEE)), 100 * 20);
  // The rows after a short one are drawn all the same.
  EXPECT_GT(CountPixels(*bitmap, Cell(2, kRowTop[2]), clBlack), 5);
}

TEST_F(TablePreview, WithoutHeaderTheFirstRowStartsAtTheBorder) {
  table->SetDisplayHeader(false);
  table->SetMaxRows(2);
  table->SetStartIndex(1);
  TStringList first({"first", "", ""});
  table->AddRow(&first);
  TStringList second({"", "", ""});
  table->AddRow(&second);
  const auto bitmap = Paint("table-noheader.png");
  EXPECT_EQ(bitmap->GetPixel(kCol[0], 3), clWhite);
  EXPECT_EQ(bitmap->GetPixel(kCol[0], 26), TColor(0xEEEEEE));
  // The preview shows the store from its first row, ignoring StartIndex.
  EXPECT_GT(CountPixels(*bitmap, Cell(0, 3), clBlack), 20);
  // MaxRows 2: below the second row only the background.
  EXPECT_EQ(CountPixels(*bitmap, Rect(1, 49, kWidth - 1, kHeight - 1), clYellow),
            (kWidth - 2) * (kHeight - 50));
}

TEST_F(TablePreview, ExtremeSizesDrawWhatFitsAndEndTheDrawing) {
  table->SetMaxRows(2000000000);
  table->SetRowHeight(-5);
  table->Columns(0)->Setwidth(2000000000);
  table->SetheaderHeight(2000000000);
  const auto bitmap = Paint("table-extreme.png");
  EXPECT_EQ(bitmap->GetPixel(50, 50), TColor(0x800000));
  table->SetheaderHeight(20);
  table->SetSpacing(-3);
  const auto negative = Paint("table-negative.png");
  EXPECT_EQ(negative->GetPixel(50, 10), TColor(0x800000));
}

TEST_F(TablePreview, DashedFrameAroundTheControl) {
  table->SetBorder(5);
  const auto bitmap = Paint("table-frame.png");
  // The frame inverts what lies under it, in dashes: yellow becomes blue.
  const int framed = CountPixels(*bitmap, Rect(0, 0, kWidth, 1), clBlue);
  EXPECT_GT(framed, kWidth / 4);
  EXPECT_LT(framed, kWidth);
  EXPECT_EQ(bitmap->GetPixel(3, 3), clYellow);
}

}  // namespace
}  // namespace tavkit
