// Bitmap storage, format conversion and the BMP, PNG and PPM file formats:
// layouts byte by byte, round trips for every pixel format, and damaged
// files that must fail with EInvalidGraphic instead of reading past the data.
#include <png.h>
#include <zlib.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include <tavkit/platform/base/Exceptions.h>
#include <tavkit/platform/base/Streams.h>
#include <tavkit/platform/graphics/Bitmap.h>
#include <tavkit/platform/graphics/Canvas.h>
#include <tavkit/platform/graphics/Picture.h>

#include "TestSupport.h"

namespace tavkit {
namespace {

using testsupport::ErrorOf;
using testsupport::kNoError;

const TPixelFormat AllFormats[] = {
    TPixelFormat::pfDevice, TPixelFormat::pf1bit,  TPixelFormat::pf4bit,  TPixelFormat::pf8bit,
    TPixelFormat::pf15bit,  TPixelFormat::pf16bit, TPixelFormat::pf24bit, TPixelFormat::pf32bit};

// Colours every format holds exactly: paletted formats get them from their
// palette, 15 and 16 bits from channels whose low bits repeat the high ones.
std::vector<TColor> ExactColors(const TBitmap& b) {
  if (BitsPerPixel(b.GetPixelFormat()) <= 8) {
    std::vector<TColor> colors;
    for (const TPaletteEntry& e : b.GetPalette())
      colors.push_back(RGB(e.peRed, e.peGreen, e.peBlue));
    return colors;
  }
  return {clBlack, clWhite, clRed, clLime, clBlue, RGB(0x84, 0x10, 0xC6), RGB(0x21, 0xFF, 0x42)};
}

// Fills a bitmap with a pattern of its exact colours.
void Paint(TBitmap& b) {
  std::vector<TColor> colors = ExactColors(b);
  for (int y = 0; y < b.GetHeight(); ++y)
    for (int x = 0; x < b.GetWidth(); ++x)
      b.SetPixel(x, y, colors[(x * 7 + y * 3) % colors.size()]);
}

void ExpectSamePixels(const TBitmap& a, const TBitmap& b) {
  ASSERT_EQ(a.GetWidth(), b.GetWidth());
  ASSERT_EQ(a.GetHeight(), b.GetHeight());
  for (int y = 0; y < a.GetHeight(); ++y)
    for (int x = 0; x < a.GetWidth(); ++x)
      ASSERT_EQ(a.GetPixel(x, y), b.GetPixel(x, y)) << "at " << x << "," << y;
}

std::vector<std::uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<std::uint8_t> out;
  for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
  return out;
}

void Put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A BMP file with a 40-byte header; the caller appends masks, table and rows.
std::vector<std::uint8_t> BmpHeader(int width, int height, int bits, int compression,
                                    int colorsUsed, int extra) {
  std::vector<std::uint8_t> f(54, 0);
  f[0] = 'B', f[1] = 'M';
  Put32(f, 10, static_cast<std::uint32_t>(54 + extra));
  Put32(f, 14, 40);
  Put32(f, 18, static_cast<std::uint32_t>(width));
  Put32(f, 22, static_cast<std::uint32_t>(height));
  f[26] = 1;
  f[28] = static_cast<std::uint8_t>(bits);
  Put32(f, 30, static_cast<std::uint32_t>(compression));
  Put32(f, 46, static_cast<std::uint32_t>(colorsUsed));
  return f;
}

std::unique_ptr<TBitmap> LoadBmp(const std::vector<std::uint8_t>& bytes) {
  auto b = std::make_unique<TBitmap>();
  TMemoryStream stream(bytes);
  b->LoadFromStream(stream);
  return b;
}

std::string BmpError(const std::vector<std::uint8_t>& bytes) {
  return ErrorOf<EInvalidGraphic>([&] { LoadBmp(bytes); });
}

TEST(BitmapTest, RowsUseTheDeviceIndependentLayouts) {
  TBitmap b24(3, 2, TPixelFormat::pf24bit);
  EXPECT_EQ(b24.BytesPerRow(), 12);
  b24.SetPixel(1, 1, RGB(0x11, 0x22, 0x33));
  EXPECT_EQ(Bytes({0x33, 0x22, 0x11}),
            std::vector<std::uint8_t>(b24.ScanLine(1) + 3, b24.ScanLine(1) + 6));

  TBitmap b1(33, 1, TPixelFormat::pf1bit);
  EXPECT_EQ(b1.BytesPerRow(), 8);
  b1.Canvas().FillRect(Rect(0, 0, 33, 1));
  b1.SetPixel(1, 0, clBlack);
  b1.SetPixel(32, 0, clBlack);
  EXPECT_EQ(b1.ScanLine(0)[0], 0xBF);
  EXPECT_EQ(b1.ScanLine(0)[4] & 0x80, 0);

  TBitmap b4(2, 1, TPixelFormat::pf4bit);
  b4.SetRawPixel(0, 0, 0x9);
  b4.SetRawPixel(1, 0, 0x3);
  EXPECT_EQ(b4.ScanLine(0)[0], 0x93);

  TBitmap b15(1, 1, TPixelFormat::pf15bit), b16(1, 1, TPixelFormat::pf16bit);
  b15.SetPixel(0, 0, RGB(0xFF, 0x00, 0x08));
  b16.SetPixel(0, 0, RGB(0x00, 0xFF, 0x08));
  EXPECT_EQ(b15.ScanLine(0)[0] | (b15.ScanLine(0)[1] << 8), 0x7C01);
  EXPECT_EQ(b16.ScanLine(0)[0] | (b16.ScanLine(0)[1] << 8), 0x07E1);

  TBitmap device(1, 1);
  device.SetPixel(0, 0, RGB(1, 2, 3));
  EXPECT_EQ(device.BytesPerRow(), 4);
  EXPECT_EQ(Bytes({3, 2, 1, 0}),
            std::vector<std::uint8_t>(device.ScanLine(0), device.ScanLine(0) + 4));
}

TEST(BitmapTest, EveryFormatStartsWhiteAndKeepsItsColours) {
  for (TPixelFormat format : AllFormats) {
    TBitmap b(5, 4, format);
    EXPECT_EQ(b.GetPixel(4, 3), clWhite);
    for (TColor c : ExactColors(b)) {
      b.SetPixel(2, 1, c);
      ASSERT_EQ(b.GetPixel(2, 1), c) << "format " << static_cast<int>(format);
    }
    EXPECT_EQ(b.GetPixel(5, 0), clNone);
    EXPECT_EQ(b.GetPixel(-1, 0), clNone);
    b.SetPixel(-1, 99, clBlack);  // ignored
  }
}

TEST(BitmapTest, ScanLineRefusesRowsOutsideTheBitmap) {
  TBitmap b(4, 3, TPixelFormat::pf8bit);
  EXPECT_NO_THROW(b.ScanLine(2));
  for (int y : {-1, 3}) {
    try {
      b.ScanLine(y);
      FAIL() << "row " << y;
    } catch (const EInvalidGraphic& e) {
      EXPECT_EQ(e.Message(), "Scan line index out of range");
    }
  }
}

TEST(BitmapTest, ResizingKeepsPixelsAndRefusesAbsurdSizes) {
  TBitmap b(2, 2, TPixelFormat::pf4bit);
  b.SetPixel(1, 1, clRed);
  b.SetSize(3, 4);
  EXPECT_EQ(b.GetPixel(1, 1), clRed);
  EXPECT_EQ(b.GetPixel(2, 3), clWhite);
  b.SetSize(-5, 2);
  EXPECT_TRUE(b.GetEmpty());
  EXPECT_THROW(b.SetSize(1 << 20, 1 << 20), EOutOfMemory);
  EXPECT_EQ(b.GetHeight(), 2);
}

TEST(BitmapTest, ConversionPicksTheNearestPaletteEntry) {
  TBitmap b(3, 1, TPixelFormat::pf24bit);
  b.SetPixel(0, 0, RGB(250, 10, 5));
  b.SetPixel(1, 0, RGB(20, 20, 20));
  b.SetPixel(2, 0, RGB(200, 200, 200));
  b.SetPixelFormat(TPixelFormat::pf4bit);
  EXPECT_EQ(b.GetPixel(0, 0), clRed);
  EXPECT_EQ(b.GetPixel(1, 0), clBlack);
  EXPECT_EQ(b.GetPixel(2, 0), clSilver);
  b.SetPixelFormat(TPixelFormat::pf1bit);
  EXPECT_EQ(b.GetPalette().size(), 2u);
  EXPECT_EQ(b.GetPixel(1, 0), clBlack);
  EXPECT_EQ(b.GetPixel(2, 0), clWhite);
}

TEST(BitmapTest, PalettedConversionsKeepAPaletteThatFits) {
  TBitmap b(2, 1, TPixelFormat::pf8bit);
  b.SetPalette({{10, 20, 30, 0}, {40, 50, 60, 0}, {70, 80, 90, 0}});
  b.SetRawPixel(0, 0, 2);
  b.SetRawPixel(1, 0, 1);
  b.SetPixelFormat(TPixelFormat::pf4bit);
  EXPECT_EQ(b.GetPalette().size(), 3u);
  EXPECT_EQ(b.GetRawPixel(0, 0), 2u);
  EXPECT_EQ(b.GetPixel(1, 0), RGB(40, 50, 60));
  b.SetPixelFormat(TPixelFormat::pf32bit);
  b.SetPixelFormat(TPixelFormat::pfDevice);
  EXPECT_EQ(b.GetPixel(0, 0), RGB(70, 80, 90));
}

TEST(BitmapTest, PaletteChangesRecolourWithoutTouchingIndices) {
  TBitmap b(1, 1, TPixelFormat::pf1bit);
  b.SetRawPixel(0, 0, 1);
  b.SetPalette({{1, 2, 3, 0}, {4, 5, 6, 0}, {7, 8, 9, 0}});
  EXPECT_EQ(b.GetPalette().size(), 2u);
  EXPECT_EQ(b.GetPixel(0, 0), RGB(4, 5, 6));
  b.SetPalette({{1, 2, 3, 0}});
  EXPECT_EQ(b.GetPixel(0, 0), clBlack);  // index beyond the palette
  b.SetPalette({});
  EXPECT_EQ(b.GetPalette(), DefaultPalette(TPixelFormat::pf1bit));
  TBitmap rgb(1, 1, TPixelFormat::pf24bit);
  rgb.SetPalette({{1, 2, 3, 0}});
  EXPECT_TRUE(rgb.GetPalette().empty());
}

// Random rows, padding and spare bits included, under a palette shorter
// than the indices reach.
std::unique_ptr<TBitmap> RandomRows(TPixelFormat format, int width, int height, unsigned seed) {
  auto bitmap = std::make_unique<TBitmap>(width, height, format);
  TBitmap& b = *bitmap;
  std::mt19937 random(seed);
  if (BitsPerPixel(format) <= 8) {
    TPalette palette((std::size_t{1} << BitsPerPixel(format)) * 3 / 4);
    for (TPaletteEntry& e : palette)
      e = {static_cast<std::uint8_t>(random()), static_cast<std::uint8_t>(random()),
           static_cast<std::uint8_t>(random()), 0};
    b.SetPalette(palette);
  }
  for (int y = 0; y < height; ++y)
    for (int i = 0; i < b.BytesPerRow(); ++i)
      b.ScanLine(y)[i] = static_cast<std::uint8_t>(random());
  return bitmap;
}

TEST(BitmapTest, ScanLineColorsAnswerWhatGetPixelDoesForEveryFormat) {
  for (TPixelFormat format : AllFormats)
    for (int width : {1, 7, 33}) {
      SCOPED_TRACE(static_cast<int>(format) * 100 + width);
      const auto bitmap = RandomRows(format, width, 3, static_cast<unsigned>(width));
      const TBitmap& b = *bitmap;
      std::vector<TColor> row(static_cast<std::size_t>(width) + 1, clNone);
      for (int y = 0; y < 3; ++y) {
        b.ScanLineColors(y, row.data());
        for (int x = 0; x < width; ++x)
          ASSERT_EQ(row[static_cast<std::size_t>(x)], b.GetPixel(x, y)) << x << "," << y;
        EXPECT_EQ(row.back(), clNone);  // nothing written past the row
      }
      EXPECT_THROW(b.ScanLineColors(3, row.data()), EInvalidGraphic);
    }
}

// Converting into a format without a palette is pure arithmetic on each
// colour: every pixel must become what ColorToPixel makes of its colour.
TEST(BitmapTest, ConversionToTrueColourFormatsKeepsEveryPixelsColour) {
  const TPixelFormat targets[] = {TPixelFormat::pf15bit, TPixelFormat::pf16bit,
                                  TPixelFormat::pf24bit, TPixelFormat::pf32bit};
  for (TPixelFormat from : AllFormats)
    for (TPixelFormat to : targets) {
      SCOPED_TRACE(static_cast<int>(from) * 10 + static_cast<int>(to));
      const auto source = RandomRows(from, 13, 4, 7);
      TBitmap b;
      b.Assign(source.get());
      b.SetPixelFormat(to);
      ASSERT_EQ(b.GetPixelFormat(), to);
      // A bitmap already in the format, or in the display's format that
      // shares the 32-bit layout, keeps its pixels as they are.
      const bool sameLayout = from == to || (BitsPerPixel(from) == 32 && BitsPerPixel(to) == 32);
      for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 13; ++x)
          ASSERT_EQ(b.GetRawPixel(x, y),
                    sameLayout ? source->GetRawPixel(x, y) : b.ColorToPixel(source->GetPixel(x, y)))
              << x << "," << y;
    }
}

TEST(BitmapTest, AssignCopiesAndDrawStretchesByNearestNeighbour) {
  TBitmap source(2, 2, TPixelFormat::pf24bit);
  source.SetPixel(0, 0, clRed);
  source.SetPixel(1, 1, clBlue);
  TBitmap copy;
  copy.Assign(&source);
  source.SetPixel(0, 0, clLime);
  EXPECT_EQ(copy.GetPixelFormat(), TPixelFormat::pf24bit);
  EXPECT_EQ(copy.GetPixel(0, 0), clRed);

  TBitmap target(6, 6, TPixelFormat::pf8bit);
  target.Canvas().StretchDraw(Rect(1, 1, 5, 5), copy);
  EXPECT_EQ(target.GetPixel(0, 0), clWhite);
  EXPECT_EQ(target.GetPixel(1, 1), clRed);
  EXPECT_EQ(target.GetPixel(2, 2), clRed);
  EXPECT_EQ(target.GetPixel(3, 3), clBlue);
  EXPECT_EQ(target.GetPixel(4, 4), clBlue);
  EXPECT_EQ(target.GetPixel(4, 1), clWhite);
  EXPECT_EQ(target.GetPixel(5, 5), clWhite);

  copy.Assign(nullptr);
  EXPECT_TRUE(copy.GetEmpty());
}

TEST(BmpTest, WritesTheStandardFileLayout) {
  TBitmap b(2, 2, TPixelFormat::pf24bit);
  b.SetPixel(0, 0, RGB(1, 2, 3));
  b.SetPixel(1, 0, RGB(4, 5, 6));
  b.SetPixel(0, 1, RGB(7, 8, 9));
  b.SetPixel(1, 1, RGB(10, 11, 12));
  TMemoryStream out;
  b.SaveToStream(out);
  EXPECT_EQ(out.Bytes(), Bytes({'B', 'M', 70, 0, 0, 0,  0,  0,  0, 0, 54, 0, 0, 0,  //
                                40,  0,   0,  0, 2, 0,  0,  0,  2, 0, 0,  0, 1, 0, 24, 0, 0, 0, 0,
                                0,   16,  0,  0, 0, 0,  0,  0,  0, 0, 0,  0, 0, 0, 0,  0, 0, 0, 0,
                                0,   0,   9,  8, 7, 12, 11, 10, 0, 0, 3,  2, 1, 6, 5,  4, 0, 0}));
}

TEST(BmpTest, EveryFormatSurvivesARoundTrip) {
  for (TPixelFormat format : AllFormats) {
    TBitmap b(13, 5, format);
    if (format == TPixelFormat::pf8bit)
      b.SetPalette({{9, 8, 7, 0}, {1, 2, 3, 0}, {200, 100, 50, 0}});
    Paint(b);
    TMemoryStream stream;
    b.SaveToStream(stream);
    stream.SetPosition(0);
    TBitmap back;
    back.LoadFromStream(stream);
    EXPECT_EQ(stream.GetPosition(), stream.GetSize());
    TPixelFormat expected = format == TPixelFormat::pfDevice ? TPixelFormat::pf32bit : format;
    EXPECT_EQ(back.GetPixelFormat(), expected);
    EXPECT_EQ(back.GetPalette(), b.GetPalette());
    ExpectSamePixels(b, back);
  }
}

TEST(BmpTest, ReadsTopDownCoreAndBitFieldFiles) {
  // Top-down 8-bit with two palette entries.
  auto topDown = BmpHeader(1, -2, 8, 0, 2, 8);
  for (int v : {0, 0, 255, 0, 255, 0, 0, 0}) topDown.push_back(static_cast<std::uint8_t>(v));
  for (int v : {1, 0, 0, 0, 0, 0, 0, 0}) topDown.push_back(static_cast<std::uint8_t>(v));
  auto b = LoadBmp(topDown);
  EXPECT_EQ(b->GetPixel(0, 0), clBlue);
  EXPECT_EQ(b->GetPixel(0, 1), clRed);

  // Core header: 16-bit sizes, three-byte palette entries, bottom-up.
  std::vector<std::uint8_t> core =
      Bytes({'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0,   32, 0,   0,   0,   12,   0, 0, 0,
             2,   0,   1, 0, 1, 0, 1, 0, 0, 255, 0,  255, 255, 255, 0x40, 0, 0, 0});
  b = LoadBmp(core);
  EXPECT_EQ(b->GetPixelFormat(), TPixelFormat::pf1bit);
  EXPECT_EQ(b->GetPixel(0, 0), clLime);
  EXPECT_EQ(b->GetPixel(1, 0), clWhite);

  // 5-6-5 masks after a 40-byte header.
  auto rgb565 = BmpHeader(1, 1, 16, 3, 0, 12);
  for (int v : {0x00, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0, 0x1F, 0xF8, 0, 0})
    rgb565.push_back(static_cast<std::uint8_t>(v));
  b = LoadBmp(rgb565);
  EXPECT_EQ(b->GetPixelFormat(), TPixelFormat::pf16bit);
  EXPECT_EQ(b->GetPixel(0, 0), clFuchsia);

  // Unusual 32-bit masks (red in the top byte) are decoded into 24 bits.
  auto odd = BmpHeader(1, 1, 32, 3, 0, 12);
  for (int v : {0, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0x00, 0x20, 0x40, 0x80})
    odd.push_back(static_cast<std::uint8_t>(v));
  b = LoadBmp(odd);
  EXPECT_EQ(b->GetPixelFormat(), TPixelFormat::pf24bit);
  EXPECT_EQ(b->GetPixel(0, 0), RGB(0x80, 0x40, 0x20));
}

TEST(BmpTest, DamagedFilesRaiseClearErrors) {
  auto good = BmpHeader(2, 2, 24, 0, 0, 0);
  good.resize(good.size() + 16, 0);
  EXPECT_EQ(BmpError(good), kNoError);

  auto notBmp = good;
  notBmp[0] = 'X';
  EXPECT_EQ(BmpError(notBmp), "Invalid bitmap: not a BMP file");
  EXPECT_EQ(BmpError(Bytes({'B', 'M', 0})), "Invalid bitmap: the file is truncated");
  EXPECT_EQ(BmpError(std::vector<std::uint8_t>(good.begin(), good.end() - 7)),
            "Invalid bitmap: the pixel data is truncated");
  auto header = good;
  Put32(header, 14, 20);
  EXPECT_EQ(BmpError(header), "Invalid bitmap: unsupported header size 20");
  auto bits = good;
  bits[28] = 7;
  EXPECT_EQ(BmpError(bits), "Invalid bitmap: unsupported bit count 7");
  auto rle = good;
  rle[30] = 1;
  EXPECT_EQ(BmpError(rle), "Invalid bitmap: unsupported compression 1");
  auto huge = good;
  Put32(huge, 18, 10000);
  Put32(huge, 22, 10000);
  EXPECT_EQ(BmpError(huge), "Invalid bitmap: the pixel data is truncated");
  Put32(huge, 18, 0x7FFFFFFF);
  EXPECT_EQ(BmpError(huge), "Invalid bitmap: too large (2147483647x10000)");
  auto offset = good;
  Put32(offset, 10, 0xFFFFFFF0);
  EXPECT_EQ(BmpError(offset), "Invalid bitmap: the pixel data is truncated");
  auto palette = BmpHeader(1, 1, 8, 0, 200, 0);
  palette.resize(palette.size() + 20, 0);
  EXPECT_EQ(BmpError(palette), "Invalid bitmap: the file is truncated");

  // A failed load leaves the bitmap as it was.
  TBitmap b(3, 3, TPixelFormat::pf4bit);
  TMemoryStream stream(rle);
  EXPECT_THROW(b.LoadFromStream(stream), EInvalidGraphic);
  EXPECT_EQ(b.GetWidth(), 3);
  EXPECT_EQ(b.GetPixelFormat(), TPixelFormat::pf4bit);
}

std::vector<std::uint8_t> SavePng(TBitmap& b) {
  TMemoryStream stream;
  b.SaveToPNGStream(stream);
  return stream.Bytes();
}

std::unique_ptr<TBitmap> LoadPng(const std::vector<std::uint8_t>& bytes) {
  auto b = std::make_unique<TBitmap>();
  TMemoryStream stream(bytes);
  b->LoadFromPNGStream(stream);
  return b;
}

TEST(PngTest, EveryFormatSurvivesARoundTrip) {
  for (TPixelFormat format : AllFormats) {
    TBitmap b(11, 7, format);
    Paint(b);
    auto back = LoadPng(SavePng(b));
    int bits = BitsPerPixel(format);
    TPixelFormat expected = bits <= 8 ? format : TPixelFormat::pf24bit;
    EXPECT_EQ(back->GetPixelFormat(), expected) << "format " << static_cast<int>(format);
    if (bits <= 8) {
      EXPECT_EQ(back->GetPalette(), b.GetPalette());
    }
    ExpectSamePixels(b, *back);
  }
}

TEST(PngTest, ReadsAlphaAndGreyFiles) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = 2;
  image.height = 1;
  image.format = PNG_FORMAT_RGBA;
  const std::uint8_t rgba[] = {255, 0, 0, 128, 0, 0, 255, 255};
  png_alloc_size_t size = 0;
  ASSERT_TRUE(png_image_write_to_memory(&image, nullptr, &size, 0, rgba, 0, nullptr));
  std::vector<std::uint8_t> file(size);
  ASSERT_TRUE(png_image_write_to_memory(&image, file.data(), &size, 0, rgba, 0, nullptr));
  auto b = LoadPng(file);
  EXPECT_EQ(b->GetPixelFormat(), TPixelFormat::pf32bit);
  EXPECT_EQ(b->GetPixel(0, 0), clRed);
  EXPECT_EQ(b->ScanLine(0)[3], 128);
  EXPECT_EQ(b->GetPixel(1, 0), clBlue);

  image.format = PNG_FORMAT_GRAY;
  const std::uint8_t grey[] = {0x40, 0xC0};
  ASSERT_TRUE(png_image_write_to_memory(&image, nullptr, &size, 0, grey, 0, nullptr));
  file.resize(size);
  ASSERT_TRUE(png_image_write_to_memory(&image, file.data(), &size, 0, grey, 0, nullptr));
  b = LoadPng(file);
  EXPECT_EQ(b->GetPixelFormat(), TPixelFormat::pf24bit);
  EXPECT_EQ(b->GetPixel(0, 0), RGB(0x40, 0x40, 0x40));
  EXPECT_EQ(b->GetPixel(1, 0), RGB(0xC0, 0xC0, 0xC0));
}

TEST(PngTest, StopsAfterTheImageAndRejectsDamage) {
  TBitmap b(4, 4, TPixelFormat::pf24bit);
  Paint(b);
  std::vector<std::uint8_t> file = SavePng(b);
  std::vector<std::uint8_t> followed = file;
  followed.push_back('X');
  TMemoryStream stream(followed);
  TBitmap back;
  back.LoadFromPNGStream(stream);
  EXPECT_EQ(stream.GetPosition(), static_cast<std::int64_t>(file.size()));

  auto expectInvalid = [](const std::vector<std::uint8_t>& bytes) {
    TBitmap target(2, 2);
    TMemoryStream s(bytes);
    EXPECT_THROW(target.LoadFromPNGStream(s), EInvalidGraphic);
    EXPECT_EQ(target.GetWidth(), 2);
  };
  expectInvalid(std::vector<std::uint8_t>(file.begin(), file.begin() + file.size() / 2));
  expectInvalid(Bytes({'n', 'o', 't', ' ', 'p', 'n', 'g'}));
  std::vector<std::uint8_t> badCrc = file;
  badCrc[29] ^= 0xFF;  // inside the header chunk's checksum
  expectInvalid(badCrc);
  // A valid header claiming 100000 x 100000 pixels must not be allocated.
  std::vector<std::uint8_t> huge = file;
  for (std::size_t at : {16u, 20u}) {
    huge[at] = 0, huge[at + 1] = 0x01, huge[at + 2] = 0x86, huge[at + 3] = 0xA0;
  }
  uLong crc = crc32(0, huge.data() + 12, 17);
  for (int i = 0; i < 4; ++i) huge[29 + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
  expectInvalid(huge);
  TBitmap empty;
  TMemoryStream out;
  EXPECT_THROW(empty.SaveToPNGStream(out), EInvalidGraphic);
}

std::vector<std::uint8_t> Ppm(const std::string& header, const std::vector<int>& samples) {
  std::vector<std::uint8_t> out(header.begin(), header.end());
  for (int sample : samples) out.push_back(static_cast<std::uint8_t>(sample));
  return out;
}

TEST(PpmTest, ScalesSamplesOfAnyDepthAndStopsAfterThePixels) {
  struct Case {
    std::string Header;
    std::vector<int> Samples;
    TColor First, Second;
  };
  const Case cases[] = {
      {"P6\n# made by hand\n2 1\n255\n", {255, 0, 0, 1, 2, 3}, clRed, RGB(1, 2, 3)},
      {"P6 2 1 15\n", {15, 0, 0, 7, 8, 1}, clRed, RGB(119, 136, 17)},
      {"P6\n2 1\n65535\n",
       {0xFF, 0xFF, 0, 0, 0x80, 0, 0x12, 0x34, 0, 1, 0xFF, 0},
       RGB(255, 0, 128),
       RGB(18, 0, 254)},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> file = Ppm(c.Header, c.Samples);
    const auto length = static_cast<std::int64_t>(file.size());
    file.insert(file.end(), {'P', '6', '\n'});  // a second picture follows
    TMemoryStream stream(file);
    TBitmap b;
    b.LoadFromPPMStream(stream);
    EXPECT_EQ(stream.GetPosition(), length) << c.Header;
    EXPECT_EQ(b.GetPixelFormat(), TPixelFormat::pf24bit);
    EXPECT_EQ(b.GetWidth(), 2);
    EXPECT_EQ(b.GetHeight(), 1);
    EXPECT_EQ(b.GetPixel(0, 0), c.First) << c.Header;
    EXPECT_EQ(b.GetPixel(1, 0), c.Second) << c.Header;
  }
}

TEST(PpmTest, DamagedFilesRaiseClearErrorsAndLeaveTheBitmapAlone) {
  using ::testing::StrEq;
  using ::testing::ThrowsMessage;
  const std::pair<std::vector<std::uint8_t>, const char*> cases[] = {
      {Ppm("P3\n2 1\n255\n", {1, 2, 3, 4, 5, 6}), "not a PPM file"},
      {Ppm("P6\n2 1\n", {}), "malformed header"},
      {Ppm("P6\n2 x 1\n255\n", {}), "malformed header"},
      {Ppm("P6\n2 1\n255", {}), "malformed header"},
      {Ppm("P6\n99999999999 1\n255\n", {}), "number too large"},
      {Ppm("P6\n2 1\n0\n", {1, 2, 3, 4, 5, 6}), "largest sample out of range"},
      {Ppm("P6\n2 1\n70000\n", {1, 2, 3, 4, 5, 6}), "largest sample out of range"},
      {Ppm("P6\n2 1\n255\n", {1, 2, 3, 4, 5}), "the pixels are truncated"},
      {Ppm("P6\n2 1\n65535\n", {1, 2, 3, 4, 5, 6}), "the pixels are truncated"},
      // The samples are counted before 16777215 x 16777215 pixels are allocated.
      {Ppm("P6\n16777215 16777215\n255\n", {1, 2, 3}), "the pixels are truncated"},
  };
  for (const auto& [file, message] : cases) {
    TBitmap b(3, 3, TPixelFormat::pf4bit);
    TMemoryStream stream(file);
    EXPECT_THAT(
        [&] { b.LoadFromPPMStream(stream); },
        ThrowsMessage<EInvalidGraphic>(StrEq(std::string("Invalid PPM image: ") + message)));
    EXPECT_EQ(b.GetWidth(), 3);
    EXPECT_EQ(b.GetPixelFormat(), TPixelFormat::pf4bit);
  }
}

TEST(PpmTest, WritesOneByteSamplesAndReadsAsAPicture) {
  TBitmap b(3, 2, TPixelFormat::pf8bit);
  Paint(b);
  TMemoryStream stream;
  b.SaveToPPMStream(stream);
  const std::vector<std::uint8_t> file = stream.Bytes();
  const std::string header = "P6\n3 2\n255\n";
  ASSERT_EQ(file.size(), header.size() + 3 * 2 * 3);
  EXPECT_EQ(std::string(file.begin(), file.begin() + header.size()), header);
  const TColor last = b.GetPixel(2, 1);
  EXPECT_EQ(std::vector<std::uint8_t>(file.end() - 3, file.end()),
            Bytes({GetRValue(last), GetGValue(last), GetBValue(last)}));

  // The picture registry knows the format by its signature, and a PPM image
  // converts into the other bitmap-backed formats.
  ASSERT_TRUE(TPicture::FileFormatOf(file.data(), file.size()));
  EXPECT_EQ(TPicture::FileFormatOf(file.data(), file.size())->Extension, "ppm");
  TPicture picture;
  TMemoryStream in(file);
  picture.LoadFromStream(in);
  ASSERT_EQ(picture.GetGraphic()->ClassName(), "TPpmImage");
  TPngImage png;
  png.Assign(picture.GetGraphic());
  ExpectSamePixels(png.Bitmap(), b);
  ExpectSamePixels(picture.Bitmap(), b);
}

}  // namespace
}  // namespace tavkit
