// The in-process clipboard: named formats, blocks kept in the order they
// were put, bitmaps copied and pasted through pictures, and masks built
// from rows of bits.
#include <gtest/gtest.h>

#include <tavkit/platform/base/Exceptions.h>
#include <tavkit/platform/graphics/Bitmap.h>
#include <tavkit/platform/graphics/Canvas.h>
#include <tavkit/platform/graphics/Clipboard.h>
#include <tavkit/platform/graphics/Picture.h>

namespace tavkit {
namespace {

TEST(PlatformClipboard, NamedFormatsKeepTheirNumber) {
  const TClipboardFormat first = RegisterClipboardFormat("Tavkit Test Format");
  EXPECT_GE(first, 0xC000u);
  EXPECT_EQ(RegisterClipboardFormat("TAVKIT test format"), first);
  EXPECT_NE(RegisterClipboardFormat("Tavkit Other Format"), first);
  EXPECT_EQ(GetClipboardFormatName(first), "Tavkit Test Format");
  EXPECT_EQ(GetClipboardFormatName(CF_BITMAP), "");
  EXPECT_THROW(RegisterClipboardFormat(""), Exception);
}

TEST(PlatformClipboard, BlocksStayInTheOrderTheyWerePut) {
  const TClipboardFormat own = RegisterClipboardFormat("Tavkit Test Format");
  Clipboard().Clear();
  Clipboard().SetAsHandle(own, {1, 2, 3});
  Clipboard().SetAsHandle(CF_PALETTE, {9});
  Clipboard().SetAsHandle(own, {4});
  EXPECT_EQ(Clipboard().GetFormats(), (std::vector<TClipboardFormat>{own, CF_PALETTE}));
  EXPECT_EQ(Clipboard().GetAsHandle(own), (TClipboardData{4}));
  EXPECT_FALSE(Clipboard().GetAsHandle(CF_BITMAP).has_value());
  EXPECT_TRUE(Clipboard().HasFormat(CF_PALETTE));

  // No registered graphic reads these formats.
  TPicture picture;
  EXPECT_THROW(Clipboard().AssignToPicture(picture), EInvalidGraphic);
}

TEST(PlatformClipboard, ABitmapIsCopiedAndPastedWithItsPalette) {
  TBitmap bitmap(3, 2, TPixelFormat::pf8bit);
  bitmap.SetPalette({{10, 20, 30, 0}, {200, 100, 50, 0}});
  bitmap.SetRawPixel(0, 0, 0);
  bitmap.SetRawPixel(2, 1, 1);
  Clipboard().Assign(bitmap);
  EXPECT_EQ(Clipboard().GetFormats(), (std::vector<TClipboardFormat>{CF_BITMAP, CF_PALETTE}));
  EXPECT_EQ(PaletteFromClipboardData(*Clipboard().GetAsHandle(CF_PALETTE)), bitmap.GetPalette());

  TPicture picture;
  Clipboard().AssignToPicture(picture);
  auto* pasted = dynamic_cast<TBitmap*>(picture.GetGraphic());
  ASSERT_NE(pasted, nullptr);
  EXPECT_EQ(pasted->GetPixelFormat(), TPixelFormat::pf8bit);
  EXPECT_EQ(pasted->GetPalette(), bitmap.GetPalette());
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(pasted->GetPixel(x, y), bitmap.GetPixel(x, y));
}

TEST(PlatformMasks, MonochromeBitmapsComeFromPaddedRowsOfBits) {
  // Rows of two bytes, the leftmost pixel in the high bit.
  const std::uint8_t bits[] = {0xA0, 0x00, 0x01, 0x80};
  auto mask = CreateMonochromeBitmap(9, 2, bits, 2);
  ASSERT_EQ(mask->GetPixelFormat(), TPixelFormat::pf1bit);
  std::string seen;
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 9; ++x) seen += mask->GetPixel(x, y) == clWhite ? '1' : '0';
  EXPECT_EQ(seen,
            "101000000"
            "000000011");
  EXPECT_THROW(CreateMonochromeBitmap(17, 1, bits, 2), EInvalidGraphic);

  // Drawn as a mask, its white pixels keep what is under them.
  TBitmap source(9, 2, TPixelFormat::pf24bit);
  source.Canvas().Brush().Color = clRed;
  source.Canvas().FillRect(Rect(0, 0, 9, 2));
  TBitmap target(9, 2, TPixelFormat::pf24bit);
  target.Canvas().CopyFromBitmap(Rect(0, 0, 9, 2), source, Rect(0, 0, 9, 2), mask.get());
  EXPECT_EQ(target.GetPixel(0, 0), clWhite);
  EXPECT_EQ(target.GetPixel(1, 0), clRed);
  EXPECT_EQ(target.GetPixel(8, 1), clWhite);
}

}  // namespace
}  // namespace tavkit
