// Controls placed and sized at the extremes of int: the bounds are held
// within MaxControlCoordinate, so that the layout's edges and distances and
// the offsets of nested previews are plain integers. Found by the page fuzz
// target as an overflow in the container's grid.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include <tavkit/layout/WvPage.h>
#include <tavkit/layout/WvPanel.h>
#include <tavkit/layout/WvStandardComponent.h>
#include <tavkit/platform/graphics/Bitmap.h>
#include <tavkit/platform/graphics/Canvas.h>

namespace tavkit {
namespace {

TEST(ExtremeBounds, ControlsHoldTheirBoundsWithinTheLimit) {
  TComponent form(nullptr);
  auto* page = new TWvPage(&form);
  page->SetBounds(INT_MIN, INT_MAX, INT_MAX, INT_MIN);
  EXPECT_EQ(page->GetLeft(), -MaxControlCoordinate);
  EXPECT_EQ(page->GetTop(), MaxControlCoordinate);
  EXPECT_EQ(page->GetWidth(), MaxControlCoordinate);
  EXPECT_EQ(page->GetHeight(), 0);

  // Ordinary values, the limit itself and elements kept off the container's
  // first row and column are as they were.
  auto* element = new TWvStandardComponent(&form);
  element->SetBounds(-7, MaxControlCoordinate, -3, MaxControlCoordinate);
  EXPECT_EQ(element->GetLeft(), 1);
  EXPECT_EQ(element->GetTop(), MaxControlCoordinate);
  EXPECT_EQ(element->GetWidth(), 0);
  EXPECT_EQ(element->GetHeight(), MaxControlCoordinate);
  element->SetWidth(INT_MAX);
  EXPECT_EQ(element->GetWidth(), MaxControlCoordinate);
}

TEST(ExtremeBounds, ElementAtTheFarCornerKeepsTheGridInRange) {
  TComponent form(nullptr);
  auto* page = new TWvPage(&form);
  page->SetBounds(0, 0, 40, 20);
  auto* far = new TWvStandardComponent(&form);
  far->SetParent(page);
  far->SetBounds(INT_MAX, INT_MAX, INT_MAX, INT_MAX);
  far->GetHTMLInside()->Add("far");
  EXPECT_EQ(
      page->put(nullptr),
      "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\"><HTML><HEAD><TITLE></TITLE>"
      "<META NAME=\"Generator\" CONTENT=\"Vettmark Taveno (C)\"><script "
      "language=\"JavaScript\">\r\n</script></HEAD><BODY BGCOLOR=\"#FFFFFF\" LINK=\"#000000\" "
      "VLINK=\"000000\" TEXT=\"000000\"  ><TABLE BGCOLOR=\"#FFFFFF\" BORDER=0 CELLSPACING=0 "
      "CELLPADDING=0 WIDTH=40><TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=20 WIDTH=40 ></TD>"
      "<TD HEIGHT=20 WIDTH=16777176 ></TD><TD HEIGHT=20 WIDTH=16777216 ></TD><TD></TD></TR>"
      "<TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=16777196 ></TD><TD COLSPAN=2></TD></TR>"
      "<TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=16777216 ></TD><TD></TD>"
      "<TD  HEIGHT=16777216    > far</TD><TD></TD></TR></TABLE></BODY></HTML>");
}

TEST(ExtremeBounds, NestedPreviewsFarOutsideTheBitmapPaintNothing) {
  TComponent form(nullptr);
  form.SetDesigning(true);
  auto* page = new TWvPage(&form);
  page->SetBounds(0, 0, 8, 8);
  TWinControl* parent = page;
  for (int level = 0; level < 64; ++level) {
    auto* panel = new TWvPanel(&form);
    panel->SetParent(parent);
    panel->SetBounds(INT_MAX, INT_MAX, INT_MAX, INT_MAX);
    parent = panel;
  }
  TBitmap picture(8, 8, TPixelFormat::pf24bit);
  picture.Canvas().Brush().Color = clBlack;
  picture.Canvas().FillRect(TRect{0, 0, 8, 8});
  page->PaintTo(picture.Canvas(), 0, 0);
  // The page's own preview fills it white; nothing of the panels shows.
  EXPECT_EQ(picture.Canvas().GetPixel(4, 4), clWhite);
}

}  // namespace
}  // namespace tavkit
