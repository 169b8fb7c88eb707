// Design previews of texts and image maps, painted into bitmaps the way the
// designer paints them, and checked pixel by pixel where it matters: the
// background, where each line's ink lies, tags left out of the drawing, the
// alignment, and the see-through dashed frame of a hot spot.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>

#include <tavkit/elements/WvImage.h>
#include <tavkit/elements/WvImageMap.h>
#include <tavkit/elements/WvText.h>
#include <tavkit/layout/WvPanel.h>
#include <tavkit/platform/graphics/Bitmap.h>
#include <tavkit/platform/graphics/Canvas.h>

namespace tavkit {
namespace {

constexpr int kWidth = 90;
constexpr int kHeight = 40;

// Where pixels of one colour lie inside the frame of the element.
struct TInk {
  int Count = 0;
  int MinX = kWidth, MaxX = -1, MinY = kHeight, MaxY = -1;
};

TInk FindInk(const TBitmap& bitmap, TColor ink, int fromY = 1, int toY = kHeight - 1) {
  TInk found;
  for (int y = fromY; y < toY; ++y)
    for (int x = 1; x < kWidth - 1; ++x)
      if (bitmap.GetPixel(x, y) == ink) {
        ++found.Count;
        found.MinX = std::min(found.MinX, x);
        found.MaxX = std::max(found.MaxX, x);
        found.MinY = std::min(found.MinY, y);
        found.MaxY = std::max(found.MaxY, y);
      }
  return found;
}

void SavePreview(TBitmap& bitmap, const std::string& name) {
  std::filesystem::create_directories(TAVKIT_BINARY_DIR "/previews");
  bitmap.SaveToPNGFile(TAVKIT_BINARY_DIR "/previews/" + name);
}

class TextPreview : public ::testing::Test {
 protected:
  void SetUp() override { form.SetDesigning(true); }

  TWvText* MakeText(std::initializer_list<std::string> lines, TColor background = clYellow) {
    auto* text = new TWvText(&form);
    text->SetBounds(1, 1, kWidth, kHeight);
    text->SetBackGroundColor(background);
    TStringList list(lines);
    text->WriteText(&list);
    return text;
  }

  std::unique_ptr<TBitmap> Paint(TControl* control) {
    auto bitmap = std::make_unique<TBitmap>(kWidth, kHeight, TPixelFormat::pf24bit);
    control->PaintTo(bitmap->Canvas(), 0, 0);
    return bitmap;
  }

  TComponent form{nullptr};
};

TEST_F(TextPreview, EachLineOnItsOwnRowWithoutTags) {
  TWvText* text = MakeText({"<B>Hi</B> <a href=x>you</a>", "there"});
  const auto bitmap = Paint(text);
  SavePreview(*bitmap, "text.png");

  // A size-2 font is drawn 16 pixels high, one pixel below the line's top.
  const TInk first = FindInk(*bitmap, clBlack, 1, 17);
  const TInk second = FindInk(*bitmap, clBlack, 17, 33);
  EXPECT_GT(first.Count, 30);
  EXPECT_GT(second.Count, 30);
  EXPECT_GE(first.MinY, 2);
  EXPECT_GE(second.MinY, 18);
  EXPECT_EQ(FindInk(*bitmap, clBlack, 33).Count, 0);
  EXPECT_LE(first.MinX, 3);
  EXPECT_LE(second.MinX, 3);
  EXPECT_EQ(bitmap->GetPixel(kWidth - 5, 36), clYellow);
  // The dashed frame inverts the yellow at the corner.
  EXPECT_EQ(bitmap->GetPixel(0, 0), clBlue);

  // The tags are not drawn: the same text without them gives the same picture.
  const auto plain = Paint(MakeText({"Hi you", "there"}));
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      ASSERT_EQ(bitmap->GetPixel(x, y), plain->GetPixel(x, y)) << x << "," << y;
  // The line break choice does not change the preview.
  text->SetAutoLineBreak(false);
  const auto again = Paint(text);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      ASSERT_EQ(again->GetPixel(x, y), plain->GetPixel(x, y)) << x << "," << y;
}

TEST_F(TextPreview, AlignmentFontColourAndSize) {
  TWvText* text = MakeText({"Hi"});
  text->GetFont()->SetColor(clRed);
  const TInk left = FindInk(*Paint(text), clRed);
  text->SetAlign(taRight);
  const TInk right = FindInk(*Paint(text), clRed);
  text->SetAlign(taCenter);
  const TInk centre = FindInk(*Paint(text), clRed);

  ASSERT_GT(left.Count, 10);
  EXPECT_EQ(right.Count, left.Count);
  EXPECT_EQ(centre.Count, left.Count);
  EXPECT_GE(right.MaxX, kWidth - 4);
  const int width = left.MaxX - left.MinX;
  EXPECT_EQ(right.MaxX - right.MinX, width);
  EXPECT_NEAR((centre.MinX + centre.MaxX) / 2, kWidth / 2, 3);

  // A bigger HTML size draws bigger letters.
  text->GetFont()->SetFontSize(6);
  const TInk big = FindInk(*Paint(text), clRed);
  EXPECT_GT(big.MaxY - big.MinY, 2 * (left.MaxY - left.MinY) - 4);
}

TEST_F(TextPreview, TransparentTextShowsTheParentColour) {
  auto* panel = new TWvPanel(&form);
  panel->SetBounds(1, 1, kWidth, kHeight);
  panel->SetBackGroundColor(clRed);
  TWvText* text = MakeText({}, clNone);
  text->SetParent(panel);
  text->SetBounds(10, 10, 40, 20);
  const auto bitmap = Paint(panel);
  EXPECT_EQ(bitmap->GetPixel(30, 20), clRed);
  EXPECT_EQ(bitmap->GetPixel(10, 10), clAqua);  // the text's frame, red inverted
}

TEST_F(TextPreview, HotSpotIsADashedFrameOverThePicture) {
  auto* image = new TWvImage(&form);
  image->SetBounds(1, 1, kWidth, kHeight);
  image->SetBackGroundColor(clWhite);
  auto* map = new TWvImageMap(&form);
  map->SetParent(image);
  map->SetBounds(10, 10, 30, 20);
  const auto bitmap = Paint(image);
  SavePreview(*bitmap, "image-map.png");

  // Solid black dashes of 18 pixels with gaps of 6, carried on around the
  // corners; the last pixel of each side belongs to the next one.
  std::string left, bottom;
  for (int y = 10; y < 30; ++y) left += bitmap->GetPixel(10, y) == clBlack ? '#' : '.';
  for (int x = 10; x < 40; ++x) bottom += bitmap->GetPixel(x, 29) == clBlack ? '#' : '.';
  EXPECT_EQ(left, std::string(18, '#') + "..");
  EXPECT_EQ(bottom, "....." + std::string(18, '#') + "......" + "#");
  // Nothing inside is painted over.
  EXPECT_EQ(FindInk(*bitmap, clBlack, 11, 29).MinX, 10);
  for (int y = 11; y < 29; ++y)
    for (int x = 11; x < 39; ++x) ASSERT_EQ(bitmap->GetPixel(x, y), clWhite) << x << "," << y;
}

}  // namespace
}  // namespace tavkit
