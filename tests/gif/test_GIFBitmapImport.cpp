// Bitmaps assigned to GIF images: paletted bitmaps keep their colour tables,
// true-colour bitmaps are reduced with the image's settings, display bitmaps
// keep their exact colours and refuse a 257th, and the device-independent copy
// the import goes through. giflib reads every result back.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

#include <tavkit/platform/base/Strings.h>
#include <tavkit/platform/graphics/Picture.h>
#include "GIFTestSupport.h"

namespace tavkit {
namespace {

using namespace giftest;

std::unique_ptr<TBitmap> Filled(int width, int height, TPixelFormat format,
                                const std::vector<TColor>& colours) {
  auto bitmap = std::make_unique<TBitmap>(width, height, format);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      bitmap->SetPixel(x, y, colours[static_cast<std::size_t>(y * width + x) % colours.size()]);
  return bitmap;
}

// Every colour of a bitmap with `count` distinct colours, row by row.
std::vector<TColor> DistinctColours(int count) {
  std::vector<TColor> colours;
  for (int i = 0; i < count; ++i)
    colours.push_back(RGB(static_cast<std::uint8_t>(i * 37), static_cast<std::uint8_t>(i / 7),
                          static_cast<std::uint8_t>(i)));
  return colours;
}

std::vector<TColor> ColoursOf(TGIFColorMap& map) {
  std::vector<TColor> colours;
  for (int i = 0; i < map.GetCount(); ++i) colours.push_back(map.GetColor(i));
  return colours;
}

// The picture a frame shows: the colour of every pixel through its map.
std::vector<TColor> Shown(TGIFSubImage& frame) {
  std::vector<TColor> shown;
  for (int y = 0; y < frame.GetHeight(); ++y)
    for (int x = 0; x < frame.GetWidth(); ++x)
      shown.push_back(frame.GetActiveColorMap().GetColor(frame.GetPixel(x, y)));
  return shown;
}

TEST(BitmapImport, TrueColourBecomesOneFrameOfWebColours) {
  const auto bitmap = Filled(3, 2, TPixelFormat::pf24bit,
                             {clRed, clLime, clBlue, RGB(51, 102, 153), RGB(250, 0, 0), clWhite});
  TGIFImage image;
  WarningLog warnings;
  warnings.Attach(image);
  image.Assign(bitmap.get());
  ASSERT_EQ(image.GetImages().GetCount(), 1);
  TGIFSubImage& frame = *image.GetImages().GetImage(0);
  EXPECT_EQ(image.GetWidth(), 3);
  EXPECT_EQ(image.GetHeight(), 2);
  EXPECT_EQ(image.GetColorMap().GetCount(), 0);
  EXPECT_EQ(frame.GetExtensions().GetCount(), 0);
  std::vector<TColor> web;
  for (const TPaletteEntry& e : WebPalette()) web.push_back(RGB(e.peRed, e.peGreen, e.peBlue));
  EXPECT_EQ(ColoursOf(frame.GetColorMap()), web);
  EXPECT_EQ(Bytes(frame.GetData(), frame.GetData() + 6), Bytes({180, 30, 5, 51, 144, 215}));
  EXPECT_EQ(warnings.Messages, (std::vector<std::string>{sImageWidthTooSmall, sImageHeightTooSmall,
                                                         sImageExceedsScreen}));
  EXPECT_EQ(image.GetVersion(), gv87a);
  EXPECT_EQ(bitmap->GetPixelFormat(), TPixelFormat::pf24bit);

  const std::optional<std::vector<Frame>> decoded = GiflibDecode(Save(image));
  ASSERT_TRUE(decoded);
  EXPECT_EQ(*decoded, FramesOf(image));
}

TEST(BitmapImport, OneBitBitmapKeepsItsTwoColours) {
  auto bitmap = std::make_unique<TBitmap>(3, 2, TPixelFormat::pf1bit);
  bitmap->SetPalette({{255, 0, 0, 0}, {0, 0, 128, 0}});
  const std::uint8_t rows[2] = {0xA0, 0x40};  // 1 0 1 / 0 1 0
  for (int y = 0; y < 2; ++y) bitmap->ScanLine(y)[0] = rows[y];
  TGIFImage image;
  image.Assign(bitmap.get());
  // A one-bit frame: two colours, LZW codes of 3 bits (clear, 1, 0, 6),
  // then of 4 bits (6, end).
  // clang-format off
  const Bytes expected = {'G', 'I', 'F', '8', '7', 'a', 3, 0, 2, 0, 0x00, 0, 0,
                          0x2C, 0, 0, 0, 0, 3, 0, 2, 0, 0x80,
                          255, 0, 0, 0, 0, 128,
                          2, 3, 0x0C, 0x6C, 0x05, 0, 0x3B};
  // clang-format on
  EXPECT_EQ(Save(image), expected);
  EXPECT_EQ(GiflibDecode(expected), (std::vector<Frame>{{0, 0, 3, 2, {1, 0, 1, 0, 1, 0}}}));
}

TEST(BitmapImport, FourBitRowsUnpackHighNibbleFirst) {
  auto bitmap = std::make_unique<TBitmap>(3, 2, TPixelFormat::pf4bit);
  bitmap->ScanLine(0)[0] = 0x1E;
  bitmap->ScanLine(0)[1] = 0x7F;  // the low nibble lies beyond the row
  bitmap->ScanLine(1)[0] = 0x23;
  bitmap->ScanLine(1)[1] = 0x40;
  TGIFImage image;
  image.Assign(bitmap.get());
  TGIFSubImage& frame = *image.GetImages().GetImage(0);
  EXPECT_EQ(Bytes(frame.GetData(), frame.GetData() + 6), Bytes({1, 14, 7, 2, 3, 4}));
  EXPECT_EQ(frame.GetColorMap().GetCount(), 16);
  EXPECT_EQ(frame.GetColorMap().GetColor(14), bitmap->GetPalette()[14].peRed |
                                                  bitmap->GetPalette()[14].peGreen << 8 |
                                                  bitmap->GetPalette()[14].peBlue << 16);
}

TEST(BitmapImport, EightBitBitmapBringsAsManyColoursAsItsPaletteHolds) {
  auto bitmap = std::make_unique<TBitmap>(4, 1, TPixelFormat::pf8bit);
  bitmap->SetPalette({{1, 2, 3, 0}, {4, 5, 6, 0}, {7, 8, 9, 0}, {10, 11, 12, 0}, {13, 14, 15, 0}});
  const std::uint8_t row[4] = {4, 0, 2, 4};
  std::memcpy(bitmap->ScanLine(0), row, 4);
  TGIFImage image;
  image.Assign(bitmap.get());
  TGIFSubImage& frame = *image.GetImages().GetImage(0);
  EXPECT_EQ(ColoursOf(frame.GetColorMap()),
            (std::vector<TColor>{RGB(1, 2, 3), RGB(4, 5, 6), RGB(7, 8, 9), RGB(10, 11, 12),
                                 RGB(13, 14, 15)}));
  EXPECT_EQ(Bytes(frame.GetData(), frame.GetData() + 4), Bytes({4, 0, 2, 4}));
}

TEST(BitmapImport, DisplayBitmapKeepsItsExactColoursInTheOrderMet) {
  const auto bitmap = Filled(4, 2, TPixelFormat::pfDevice,
                             {RGB(1, 2, 3), RGB(200, 100, 0), RGB(1, 2, 3), RGB(9, 9, 9),
                              RGB(9, 9, 9), RGB(200, 100, 0), RGB(77, 0, 1), RGB(1, 2, 3)});
  TGIFImage image;
  image.Assign(bitmap.get());
  TGIFSubImage& frame = *image.GetImages().GetImage(0);
  EXPECT_EQ(ColoursOf(frame.GetColorMap()),
            (std::vector<TColor>{RGB(1, 2, 3), RGB(200, 100, 0), RGB(9, 9, 9), RGB(77, 0, 1)}));
  EXPECT_EQ(Bytes(frame.GetData(), frame.GetData() + 8), Bytes({0, 1, 0, 2, 2, 1, 3, 0}));
}

// A display bitmap is never reduced: with the defaults and with every other
// setting, its 257th colour is refused and what was read before it stays.
TEST(BitmapImport, DisplayBitmapOfTooManyColoursIsRefusedWhateverTheSettings) {
  const auto bitmap = Filled(20, 15, TPixelFormat::pfDevice, DistinctColours(300));
  for (TColorReduction reduction : {rmNetscape, rmQuantize})
    for (TDitherMode dither : {dmNearest, dmFloydSteinberg}) {
      TGIFImage image;
      image.SetColorReduction(reduction);
      image.SetDitherMode(dither);
      try {
        image.Assign(bitmap.get());
        ADD_FAILURE() << "300 colours taken";
      } catch (const GIFException& error) {
        EXPECT_STREQ(error.what(), sColorTableOverflow);
      }
      EXPECT_EQ(image.GetImages().GetCount(), 0);
      TGIFSubImage frame(&image);
      EXPECT_THROW(frame.Assign(bitmap.get()), GIFException);
      EXPECT_EQ(frame.GetColorMap().GetCount(), 256);
      EXPECT_EQ(ColoursOf(frame.GetColorMap()), std::vector<TColor>(DistinctColours(256)));
      EXPECT_EQ(frame.GetPixel(15, 12), 255);
      EXPECT_EQ(frame.GetPixel(16, 12), 0);
      EXPECT_EQ(bitmap->GetPixelFormat(), TPixelFormat::pfDevice);
    }
}

TEST(BitmapImport, WithoutReductionColoursAreTakenExactlyOrRefused) {
  TGIFImage image;
  image.SetColorReduction(rmNone);
  const auto few = Filled(3, 1, TPixelFormat::pf32bit, {clTeal, clMaroon, clTeal});
  image.Assign(few.get());
  EXPECT_EQ(ColoursOf(image.GetImages().GetImage(0)->GetColorMap()),
            (std::vector<TColor>{clTeal, clMaroon}));

  for (TPixelFormat format : {TPixelFormat::pfDevice, TPixelFormat::pf24bit}) {
    const auto many = Filled(20, 15, format, DistinctColours(300));
    TGIFSubImage frame(&image);
    try {
      frame.Assign(many.get());
      ADD_FAILURE() << "300 colours taken";
    } catch (const GIFException& error) {
      EXPECT_STREQ(error.what(), sColorTableOverflow);
    }
    // What was read before the 257th colour stays.
    EXPECT_EQ(frame.GetColorMap().GetCount(), 256);
    EXPECT_EQ(frame.GetPixel(15, 12), 255);
  }
}

TEST(BitmapImport, EveryTrueColourFormatReducesAlike) {
  const std::vector<TColor> colours = {clRed, clLime, clBlue, clWhite, clBlack, clYellow};
  for (TColorReduction reduction : {rmNetscape, rmQuantize})
    for (TDitherMode dither : {dmNearest, dmFloydSteinberg}) {
      std::vector<std::vector<TColor>> shown;
      for (TPixelFormat format : {TPixelFormat::pf24bit, TPixelFormat::pf32bit,
                                  TPixelFormat::pf16bit, TPixelFormat::pf15bit}) {
        const auto bitmap = Filled(3, 2, format, colours);
        TGIFImage image;
        image.SetColorReduction(reduction);
        image.SetDitherMode(dither);
        image.Assign(bitmap.get());
        shown.push_back(Shown(*image.GetImages().GetImage(0)));
      }
      EXPECT_EQ(shown[0], colours);
      for (std::size_t i = 1; i < shown.size(); ++i) EXPECT_EQ(shown[i], shown[0]) << i;
    }
}

TEST(BitmapImport, EmptyAndOversizedBitmaps) {
  TGIFImage image;
  TBitmap empty;
  image.Assign(&empty);
  ASSERT_EQ(image.GetImages().GetCount(), 1);
  EXPECT_TRUE(image.GetImages().GetImage(0)->GetEmpty());

  TBitmap tooWide(65536, 1, TPixelFormat::pf8bit);
  TGIFSubImage frame(&image);
  EXPECT_THROW(frame.Assign(&tooWide), GIFException);
  EXPECT_TRUE(frame.GetEmpty());
}

TEST(BitmapImport, AddingABitmapGrowsTheScreenToHoldIt) {
  TGIFImage image;
  WarningLog warnings;
  warnings.Attach(image);
  const auto bitmap = Filled(100, 50, TPixelFormat::pf24bit, {clGreen});
  EXPECT_EQ(image.Add(bitmap.get()), 0);
  EXPECT_EQ(image.GetWidth(), 100);
  EXPECT_EQ(image.GetHeight(), 50);
  EXPECT_EQ(warnings.Messages.size(), 3u);
  EXPECT_EQ(image.Add(bitmap.get()), 1);
  EXPECT_EQ(warnings.Messages.size(), 3u);
}

TEST(BitmapImport, OtherPicturesComeInThroughABitmap) {
  TPngImage png;
  png.Bitmap().Assign(Filled(4, 3, TPixelFormat::pf24bit, {clRed, clNavy, clOlive}).get());
  TGIFImage fromPng, fromBitmap;
  fromPng.Assign(&png);
  fromBitmap.Assign(&png.Bitmap());
  EXPECT_EQ(Save(fromPng), Save(fromBitmap));

  TStringList notAPicture;
  EXPECT_THROW(fromPng.Assign(&notAPicture), EConvertError);
  EXPECT_THROW(fromPng.Add(&notAPicture), GIFException);
}

TEST(BitmapToDIB, KeepsRowsBottomUpAndAnswersThemTopDown) {
  TGIFImage image;
  TGIFSubImage frame(&image);
  try {
    frame.GetScanLine(0);
    ADD_FAILURE() << "a scan line without a copy";
  } catch (const GIFException& error) {
    EXPECT_STREQ(error.what(), sNoDIB);
  }
  auto bitmap = std::make_unique<TBitmap>(5, 3, TPixelFormat::pf8bit);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) bitmap->ScanLine(y)[x] = static_cast<std::uint8_t>(y * 10 + x);
  frame.BitmapToDIB(*bitmap);
  for (int y = 0; y < 3; ++y)
    EXPECT_EQ(Bytes(frame.GetScanLine(y), frame.GetScanLine(y) + 5),
              Bytes({static_cast<std::uint8_t>(y * 10), static_cast<std::uint8_t>(y * 10 + 1),
                     static_cast<std::uint8_t>(y * 10 + 2), static_cast<std::uint8_t>(y * 10 + 3),
                     static_cast<std::uint8_t>(y * 10 + 4)}));
  // Rows are padded to 32 bits and stored from the bottom.
  EXPECT_EQ(frame.GetScanLine(0) - frame.GetScanLine(1), 8);
  EXPECT_THROW(frame.GetScanLine(3), EInvalidGraphic);
  EXPECT_THROW(frame.GetScanLine(-1), EInvalidGraphic);
  frame.FreeDIB();
  EXPECT_THROW(frame.GetScanLine(0), GIFException);

  TBitmap empty;
  EXPECT_THROW(frame.BitmapToDIB(empty), EInvalidGraphic);
  // A bitmap without a palette is copied at 8 bits through the default one.
  const auto trueColour = Filled(2, 1, TPixelFormat::pf24bit, {clBlack, clWhite});
  frame.BitmapToDIB(*trueColour);
  EXPECT_EQ(bitmap->GetPalette()[frame.GetScanLine(0)[0]], (TPaletteEntry{0, 0, 0, 0}));
  EXPECT_EQ(bitmap->GetPalette()[frame.GetScanLine(0)[1]], (TPaletteEntry{255, 255, 255, 0}));
}

// Every reduction, dithering, compression and interlacing: giflib reads
// back exactly the frame the codec holds.
TEST(BitmapImport, GiflibReadsEverySetting) {
  std::mt19937 random(11);
  auto bitmap = std::make_unique<TBitmap>(61, 37, TPixelFormat::pf24bit);
  for (int y = 0; y < 37; ++y)
    for (int x = 0; x < 61; ++x)
      bitmap->SetPixel(x, y,
                       RGB(static_cast<std::uint8_t>(x * 4), static_cast<std::uint8_t>(y * 7),
                           static_cast<std::uint8_t>(random() & 0x3F)));
  for (TColorReduction reduction : {rmNetscape, rmQuantize})
    for (TDitherMode dither : {dmNearest, dmFloydSteinberg})
      for (TGIFCompression compression : {gcLZW, gcRLE})
        for (bool interlaced : {false, true}) {
          TGIFImage image;
          image.SetColorReduction(reduction);
          image.SetDitherMode(dither);
          image.SetCompression(compression);
          image.Assign(bitmap.get());
          image.GetImages().GetImage(0)->SetInterlaced(interlaced);
          const std::optional<std::vector<Frame>> decoded = GiflibDecode(Save(image));
          ASSERT_TRUE(decoded);
          EXPECT_EQ(*decoded, FramesOf(image));
        }
}

}  // namespace
}  // namespace tavkit
