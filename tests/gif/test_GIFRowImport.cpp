// Bitmaps are made into frames a row at a time, with colours answered from
// tables. Whatever the pixel format and the settings, the frame must hold
// what a plain reading of the bitmap pixel by pixel gives: the same colour
// map and the same index for every pixel, and after a refused 257th colour
// the same pixels read before it.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <tavkit/gif/GIF.h>
#include <tavkit/gif/GIFColorReduction.h>

namespace tavkit {
namespace {

struct TFrameContent {
  std::vector<TColor> Colours;
  std::vector<std::uint8_t> Indices;
};

bool Paletted(TPixelFormat format) {
  return format == TPixelFormat::pf1bit || format == TPixelFormat::pf4bit ||
         format == TPixelFormat::pf8bit;
}

// Random rows (padding included) whose pixels come from a pool of raw
// values; a pool of a few hundred keeps a display bitmap within 256 colours
// or just beyond, a pool of none draws every pixel freely.
std::unique_ptr<TBitmap> RandomBitmap(TPixelFormat format, int width, int height, int pool,
                                      std::mt19937& random) {
  auto bitmap = std::make_unique<TBitmap>(width, height, format);
  if (Paletted(format)) {
    // Fewer entries than indices, so that some pixels point past the end.
    TPalette palette(std::max<std::size_t>(1, (std::size_t{1} << BitsPerPixel(format)) * 3 / 4));
    for (TPaletteEntry& entry : palette)
      entry =
          TPaletteEntry{static_cast<std::uint8_t>(random()), static_cast<std::uint8_t>(random()),
                        static_cast<std::uint8_t>(random()), 0};
    bitmap->SetPalette(palette);
  }
  std::vector<std::uint32_t> raw(static_cast<std::size_t>(pool));
  for (std::uint32_t& value : raw) value = static_cast<std::uint32_t>(random());
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = bitmap->ScanLine(y);
    for (int i = 0; i < bitmap->BytesPerRow(); ++i) row[i] = static_cast<std::uint8_t>(random());
    if (pool == 0) continue;
    for (int x = 0; x < width; ++x)
      bitmap->SetRawPixel(x, y, raw[random() % raw.size()] & ((1ull << BitsPerPixel(format)) - 1));
  }
  return bitmap;
}

// The colour map and indices a bitmap should give, read pixel by pixel with
// GetPixel and GetRawPixel.
TFrameContent Reference(const TBitmap& bitmap, TColorReduction reduction, TDitherMode dither) {
  const int width = bitmap.GetWidth(), height = bitmap.GetHeight();
  TFrameContent expected;
  const TPixelFormat format = bitmap.GetPixelFormat();
  if (Paletted(format)) {
    for (const TPaletteEntry& e : bitmap.GetPalette())
      expected.Colours.push_back(RGB(e.peRed, e.peGreen, e.peBlue));
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        expected.Indices.push_back(static_cast<std::uint8_t>(bitmap.GetRawPixel(x, y)));
    return expected;
  }
  if (format == TPixelFormat::pfDevice || reduction == rmNone) {
    std::map<TColor, int> met;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const TColor colour = bitmap.GetPixel(x, y);
        if (met.find(colour) == met.end()) {
          if (met.size() == 256) return expected;  // the 257th is refused
          met.emplace(colour, static_cast<int>(met.size()));
          expected.Colours.push_back(colour);
        }
        expected.Indices.push_back(static_cast<std::uint8_t>(met[colour]));
      }
    return expected;
  }
  TPalette palette = WebPalette();
  if (reduction == rmQuantize) {
    TColorQuantizer quantizer;
    for (int y = height - 1; y >= 0; --y)
      for (int x = 0; x < width; ++x) {
        const TColor colour = bitmap.GetPixel(x, y);
        quantizer.AddColor(GetRValue(colour), GetGValue(colour), GetBValue(colour));
      }
    const std::vector<TGIFColor> table = quantizer.GetColorTable();
    palette.assign(256, TPaletteEntry{});
    for (int i = 0; i < 10; ++i) {
      palette[static_cast<std::size_t>(i)] = StaticPaletteColors[static_cast<std::size_t>(i)];
      palette[static_cast<std::size_t>(246 + i)] =
          StaticPaletteColors[static_cast<std::size_t>(10 + i)];
    }
    for (std::size_t i = 0; i < table.size() && i < 236; ++i)
      palette[10 + i] = TPaletteEntry{table[i].Red, table[i].Green, table[i].Blue, 0};
  }
  for (const TPaletteEntry& e : palette)
    expected.Colours.push_back(RGB(e.peRed, e.peGreen, e.peBlue));
  expected.Indices.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  if (reduction == rmNetscape && dither == dmNearest) {
    const auto level = [](int c) { return (c + 3) / 51; };
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const TColor c = bitmap.GetPixel(x, y);
        expected.Indices[static_cast<std::size_t>(y * width + x)] = static_cast<std::uint8_t>(
            level(GetRValue(c)) * 36 + level(GetGValue(c)) * 6 + level(GetBValue(c)));
      }
    return expected;
  }
  TNetscapeColorLookup web;
  TFastColorLookup quantized(palette);
  TColorLookup& lookup = reduction == rmNetscape ? static_cast<TColorLookup&>(web) : quantized;
  TDitherEngine nearest(lookup, width);
  TFloydSteinbergEngine diffusion(lookup, width);
  TDitherEngine& engine = dither == dmNearest ? nearest : diffusion;
  TGIFColor chosen;
  for (int y = 0; y < height; ++y) {
    for (int i = 0; i < width; ++i) {
      const int x = engine.GetPosition();
      const TColor c = bitmap.GetPixel(x, y);
      expected.Indices[static_cast<std::size_t>(y * width + x)] = static_cast<std::uint8_t>(
          engine.Dither(GetRValue(c), GetGValue(c), GetBValue(c), chosen));
    }
    engine.NextLine();
  }
  return expected;
}

// What the frame holds after taking the bitmap; refused tells whether it
// raised "Color table overflow".
TFrameContent Imported(const TBitmap& bitmap, TColorReduction reduction, TDitherMode dither,
                       bool& refused) {
  TGIFImage image;
  image.SetColorReduction(reduction);
  image.SetDitherMode(dither);
  TGIFSubImage frame(&image);
  refused = false;
  try {
    frame.Assign(&bitmap);
  } catch (const GIFException& error) {
    EXPECT_STREQ(error.what(), sColorTableOverflow);
    refused = true;
  }
  TFrameContent content;
  for (int i = 0; i < frame.GetColorMap().GetCount(); ++i)
    content.Colours.push_back(frame.GetColorMap().GetColor(i));
  content.Indices.assign(frame.GetData(), frame.GetData() + frame.GetDataSize());
  return content;
}

const TPixelFormat kFormats[] = {
    TPixelFormat::pf1bit,  TPixelFormat::pf4bit,  TPixelFormat::pf8bit,  TPixelFormat::pf15bit,
    TPixelFormat::pf16bit, TPixelFormat::pf24bit, TPixelFormat::pf32bit, TPixelFormat::pfDevice};

const struct {
  TColorReduction Reduction;
  TDitherMode Dither;
} kSettings[] = {{rmNone, dmNearest},
                 {rmNetscape, dmNearest},
                 {rmNetscape, dmFloydSteinberg},
                 {rmQuantize, dmNearest},
                 {rmQuantize, dmFloydSteinberg}};

TEST(RowImport, EveryFormatAndSettingMatchesAPixelByPixelReading) {
  std::mt19937 random(20261208);
  // Odd widths leave part of the last byte of 1 and 4-bit rows, and rows
  // padded by 1 to 3 bytes; the pools give a display bitmap fewer than 256
  // colours, nearly 256, and more (refused part way).
  const struct {
    int Width, Height, Pool;
  } kPictures[] = {{37, 23, 40}, {61, 9, 250}, {19, 30, 0}, {1, 5, 3}};
  for (TPixelFormat format : kFormats)
    for (const auto& picture : kPictures) {
      const auto bitmap = RandomBitmap(format, picture.Width, picture.Height, picture.Pool, random);
      for (const auto& setting : kSettings) {
        SCOPED_TRACE("format " + std::to_string(static_cast<int>(format)) + ", " +
                     std::to_string(picture.Width) + "x" + std::to_string(picture.Height) +
                     " pool " + std::to_string(picture.Pool) + ", reduction " +
                     std::to_string(setting.Reduction) + ", dither " +
                     std::to_string(setting.Dither));
        const TFrameContent expected = Reference(*bitmap, setting.Reduction, setting.Dither);
        bool refused = false;
        const TFrameContent got = Imported(*bitmap, setting.Reduction, setting.Dither, refused);
        EXPECT_EQ(got.Colours, expected.Colours);
        const std::size_t pixels =
            static_cast<std::size_t>(picture.Width) * static_cast<std::size_t>(picture.Height);
        ASSERT_EQ(got.Indices.size(), pixels);
        EXPECT_EQ(refused, expected.Indices.size() < pixels);
        // After a refusal only the pixels read before the 257th colour are
        // known; the rest of the frame stays 0.
        std::vector<std::uint8_t> want = expected.Indices;
        want.resize(pixels, 0);
        EXPECT_EQ(got.Indices, want);
      }
    }
}

}  // namespace
}  // namespace tavkit
