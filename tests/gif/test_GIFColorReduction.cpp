// Colour reduction: the web and static palettes, the two lookups, the
// serpentine walk, Floyd-Steinberg diffusion checked pixel by pixel against
// a plain textbook implementation, the octree quantizer and ReduceColors.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <random>
#include <set>
#include <vector>

#include <tavkit/gif/GIFColorReduction.h>

namespace tavkit {
namespace {

struct RGBValue {
  int Red, Green, Blue;
};

std::unique_ptr<TBitmap> Picture(int width, int height, TPixelFormat format,
                                 const std::vector<RGBValue>& pixels) {
  auto bitmap = std::make_unique<TBitmap>(width, height, format);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const RGBValue& p = pixels[static_cast<std::size_t>(y * width + x)];
      bitmap->SetPixel(x, y,
                       RGB(static_cast<std::uint8_t>(p.Red), static_cast<std::uint8_t>(p.Green),
                           static_cast<std::uint8_t>(p.Blue)));
    }
  return bitmap;
}

std::vector<RGBValue> RandomPixels(int count, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> component(0, 255);
  std::vector<RGBValue> pixels;
  for (int i = 0; i < count; ++i)
    pixels.push_back({component(random), component(random), component(random)});
  return pixels;
}

TEST(WebPalette, HoldsTheColourCubeRedOutermost) {
  const TPalette palette = WebPalette();
  ASSERT_EQ(palette.size(), 216u);
  const int levels[6] = {0, 51, 102, 153, 204, 255};
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b) {
        const TPaletteEntry& e = palette[static_cast<std::size_t>(r * 36 + g * 6 + b)];
        EXPECT_EQ(e, (TPaletteEntry{static_cast<std::uint8_t>(levels[r]),
                                    static_cast<std::uint8_t>(levels[g]),
                                    static_cast<std::uint8_t>(levels[b]), 0}));
      }
  EXPECT_EQ(palette[1], (TPaletteEntry{0, 0, 51, 0}));
  EXPECT_EQ(palette[36], (TPaletteEntry{51, 0, 0, 0}));
  EXPECT_EQ(palette[215], (TPaletteEntry{255, 255, 255, 0}));
}

TEST(StaticPalette, HoldsTheTwentyColoursOfAPaletteDisplay) {
  const std::array<std::uint32_t, 20> expected = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080,
                                                  0x800080, 0x008080, 0xC0C0C0, 0xC0DCC0, 0xA6CAF0,
                                                  0xFFFBF0, 0xA0A0A4, 0x808080, 0xFF0000, 0x00FF00,
                                                  0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
  for (std::size_t i = 0; i < 20; ++i) {
    const TPaletteEntry& e = StaticPaletteColors[i];
    EXPECT_EQ((e.peRed << 16) | (e.peGreen << 8) | e.peBlue, static_cast<int>(expected[i])) << i;
    EXPECT_EQ(e.peFlags, 0);
  }
}

TEST(NetscapeColorLookup, RoundsEachComponentToItsLevel) {
  TNetscapeColorLookup lookup;
  EXPECT_EQ(lookup.GetColors(), 216);
  TGIFColor chosen;
  EXPECT_EQ(lookup.Lookup(0, 47, 48, chosen), 1);
  EXPECT_EQ(chosen, (TGIFColor{0, 0, 51}));
  EXPECT_EQ(lookup.Lookup(255, 255, 255, chosen), 215);
  EXPECT_EQ(chosen, (TGIFColor{255, 255, 255}));
  EXPECT_EQ(lookup.Lookup(250, 0, 0, chosen), 144);
  EXPECT_EQ(chosen, (TGIFColor{204, 0, 0}));
  // The level thresholds 48, 99, 150, 201 and 252, one below and at each.
  const int below[5] = {47, 98, 149, 200, 251};
  for (int level = 1; level <= 5; ++level) {
    const auto at = static_cast<std::uint8_t>(below[level - 1] + 1);
    EXPECT_EQ(lookup.Lookup(at, 0, 0, chosen), level * 36);
    EXPECT_EQ(lookup.Lookup(static_cast<std::uint8_t>(below[level - 1]), 0, 0, chosen),
              (level - 1) * 36);
  }
}

TEST(FastColorLookup, FindsTheNearestEntryTheLowestOnTies) {
  const TPalette palette = {
      {0, 0, 0, 0}, {255, 255, 255, 0}, {100, 100, 100, 0}, {16, 0, 0, 0}, {0, 16, 0, 0}};
  TFastColorLookup lookup(palette);
  EXPECT_EQ(lookup.GetColors(), 5);
  TGIFColor chosen;
  EXPECT_EQ(lookup.Lookup(90, 90, 90, chosen), 2);
  EXPECT_EQ(chosen, (TGIFColor{100, 100, 100}));
  EXPECT_EQ(lookup.Lookup(250, 240, 255, chosen), 1);
  // (8, 8, 0) lies 16 away from entries 0, 3 and 4: the first one wins.
  EXPECT_EQ(lookup.Lookup(8, 8, 0, chosen), 0);
  EXPECT_EQ(lookup.Lookup(13, 0, 0, chosen), 3);
}

TEST(FastColorLookup, EveryColourOfACellGetsTheCellsAnswer) {
  // Both entries lie in the first 15-bit cell: the lower index owns it.
  TFastColorLookup owned({{0, 0, 0, 0}, {7, 7, 7, 0}});
  TGIFColor chosen;
  EXPECT_EQ(owned.Lookup(7, 7, 7, chosen), 0);
  EXPECT_EQ(chosen, (TGIFColor{0, 0, 0}));
  // A cell without an entry remembers the first answer found for it.
  TFastColorLookup remembered({{0, 0, 0, 0}, {60, 60, 60, 0}});
  EXPECT_EQ(remembered.Lookup(31, 31, 31, chosen), 1);  // 87 from (60,60,60), 93 from black
  EXPECT_EQ(remembered.Lookup(24, 24, 24, chosen), 1);  // same cell, though black is nearer
}

TEST(FastColorLookup, KeepsAtMost256Entries) {
  TPalette palette(300, TPaletteEntry{9, 9, 9, 0});
  EXPECT_EQ(TFastColorLookup(palette).GetColors(), 256);
  EXPECT_EQ(TFastColorLookup(TPalette{}).GetColors(), 0);
}

TEST(DitherEngine, WalksRowsInSerpentineOrder) {
  TNetscapeColorLookup lookup;
  for (int fs = 0; fs < 2; ++fs) {
    std::unique_ptr<TDitherEngine> engine = fs ? std::make_unique<TFloydSteinbergEngine>(lookup, 3)
                                               : std::make_unique<TDitherEngine>(lookup, 3);
    std::vector<int> walk;
    TGIFColor chosen;
    for (int row = 0; row < 3; ++row) {
      for (int i = 0; i < 3; ++i) {
        walk.push_back(engine->GetPosition());
        engine->Dither(0, 0, 0, chosen);
      }
      engine->NextLine();
    }
    EXPECT_EQ(walk, (std::vector<int>{0, 1, 2, 2, 1, 0, 0, 1, 2}));
    EXPECT_EQ(engine->GetStep(), -1);
  }
}

// Textbook serpentine Floyd-Steinberg onto the web cube, with the errors
// kept in sixteenths: 7 to the next pixel of the row, 3, 5 and 1 to the
// pixels below behind, below and below ahead.
std::vector<int> ReferenceFloydSteinberg(int width, int height,
                                         const std::vector<RGBValue>& pixels) {
  const auto level = [](int c) {
    const int thresholds[5] = {48, 99, 150, 201, 252};
    return static_cast<int>(
        std::count_if(thresholds, thresholds + 5, [c](int t) { return c >= t; }));
  };
  std::vector<int> indices(static_cast<std::size_t>(width * height));
  std::vector<std::array<int, 3>> below(static_cast<std::size_t>(width), {0, 0, 0});
  for (int y = 0; y < height; ++y) {
    std::vector<std::array<int, 3>> next(static_cast<std::size_t>(width), {0, 0, 0});
    std::array<int, 3> carry = {0, 0, 0};
    const int step = y % 2 == 0 ? 1 : -1;
    for (int i = 0; i < width; ++i) {
      const int x = step > 0 ? i : width - 1 - i;
      const RGBValue& p = pixels[static_cast<std::size_t>(y * width + x)];
      const int components[3] = {p.Red, p.Green, p.Blue};
      int index = 0;
      std::array<int, 3> error{};
      for (int c = 0; c < 3; ++c) {
        const int owed = below[static_cast<std::size_t>(x)][static_cast<std::size_t>(c)] +
                         carry[static_cast<std::size_t>(c)];
        const int value = std::clamp(components[c] + (owed + 8) / 16, 0, 255);
        index = index * 6 + level(value);
        error[static_cast<std::size_t>(c)] = value - level(value) * 51;
      }
      indices[static_cast<std::size_t>(y * width + x)] = index;
      for (int c = 0; c < 3; ++c) {
        const int e = error[static_cast<std::size_t>(c)];
        carry[static_cast<std::size_t>(c)] = 7 * e;
        const auto spread = [&](int at, int weight) {
          if (at >= 0 && at < width)
            next[static_cast<std::size_t>(at)][static_cast<std::size_t>(c)] += weight * e;
        };
        spread(x - step, 3);
        spread(x, 5);
        spread(x + step, 1);
      }
    }
    below = next;
  }
  return indices;
}

std::vector<int> IndicesOf(const TBitmap& bitmap) {
  std::vector<int> indices;
  for (int y = 0; y < bitmap.GetHeight(); ++y)
    for (int x = 0; x < bitmap.GetWidth(); ++x) indices.push_back(bitmap.ScanLine(y)[x]);
  return indices;
}

TEST(FloydSteinberg, MatchesTheTextbookDiffusionPixelByPixel) {
  // A 4 by 3 grey ramp: small enough to follow by hand. Row 0 left to right
  // starts at 40 (level 0, error 40: the next pixel is owed 40 * 7 / 16).
  const std::vector<RGBValue> ramp = {{40, 40, 40},    {40, 40, 40},    {100, 100, 100},
                                      {130, 130, 130}, {20, 20, 20},    {200, 200, 200},
                                      {10, 10, 10},    {255, 255, 255}, {128, 128, 128},
                                      {128, 128, 128}, {128, 128, 128}, {128, 128, 128}};
  const auto small = Picture(4, 3, TPixelFormat::pf24bit, ramp);
  const auto reduced = ReduceColors(*small, rmNetscape, dmFloydSteinberg);
  // First row worked out by hand: 40 -> level 0 (error 40), 40 + (280 + 8)
  // div 16 = 58 -> level 1 (error 7), 100 + (49 + 8) div 16 = 103 -> level
  // 2 (error 1), 130 + (7 + 8) div 16 = 130 -> level 2.
  const std::vector<int> expected = ReferenceFloydSteinberg(4, 3, ramp);
  EXPECT_EQ(std::vector<int>(expected.begin(), expected.begin() + 4),
            (std::vector<int>{0, 43, 86, 86}));
  EXPECT_EQ(IndicesOf(*reduced), expected);

  const std::vector<RGBValue> noise = RandomPixels(23 * 17, 7);
  const auto larger = Picture(23, 17, TPixelFormat::pf24bit, noise);
  EXPECT_EQ(IndicesOf(*ReduceColors(*larger, rmNetscape, dmFloydSteinberg)),
            ReferenceFloydSteinberg(23, 17, noise));
}

TEST(FloydSteinberg, AColourOfThePaletteSpreadsNoError) {
  const auto uniform =
      Picture(9, 5, TPixelFormat::pf24bit, std::vector<RGBValue>(45, RGBValue{51, 153, 255}));
  EXPECT_EQ(IndicesOf(*ReduceColors(*uniform, rmNetscape, dmFloydSteinberg)),
            std::vector<int>(45, 1 * 36 + 3 * 6 + 5));
}

TEST(FloydSteinberg, KeepsTheAverageOfAFlatColour) {
  // 128 lies between levels 102 and 153: nearest colour draws it all at 102,
  // diffusion mixes the two so that the average stays close to 128.
  const auto grey =
      Picture(32, 32, TPixelFormat::pf24bit, std::vector<RGBValue>(1024, RGBValue{128, 128, 128}));
  const auto average = [](const TBitmap& bitmap) {
    double sum = 0;
    for (int index : IndicesOf(bitmap))
      sum += bitmap.GetPalette()[static_cast<std::size_t>(index)].peRed;
    return sum / 1024;
  };
  EXPECT_EQ(average(*ReduceColors(*grey, rmNetscape, dmNearest)), 102);
  EXPECT_NEAR(average(*ReduceColors(*grey, rmNetscape, dmFloydSteinberg)), 128, 1);
}

std::vector<TGIFColor> Table(std::initializer_list<TGIFColor> colours) {
  return std::vector<TGIFColor>(colours);
}

TEST(ColorQuantizer, KeepsEveryColourWhileThereAreFewEnough) {
  TColorQuantizer quantizer;
  quantizer.AddColor(255, 0, 0);
  quantizer.AddColor(0, 0, 255);
  quantizer.AddColor(255, 0, 0);
  quantizer.AddColor(10, 20, 30);
  EXPECT_EQ(quantizer.GetLeaves(), 3);
  // Tree order: the colours sorted by their bits, red's first.
  EXPECT_EQ(quantizer.GetColorTable(), Table({{10, 20, 30}, {0, 0, 255}, {255, 0, 0}}));
}

TEST(ColorQuantizer, FoldsTheNewestNodeOfTheDeepestLevelFirst) {
  // Depth 2, at most 2 colours. Black and (64,0,0) share the node of red
  // bit 0; white makes a third leaf. The newest node of level 1 (white's,
  // one child) folds without gain, then black's node folds its two leaves.
  TColorQuantizer quantizer(2, 2);
  quantizer.AddColor(0, 0, 0);
  quantizer.AddColor(64, 0, 0);
  quantizer.AddColor(255, 255, 255);
  EXPECT_EQ(quantizer.GetLeaves(), 2);
  EXPECT_EQ(quantizer.GetColorTable(), Table({{32, 0, 0}, {255, 255, 255}}));
  // Depth 1 with nothing to fold below the root: the root takes everything.
  TColorQuantizer flat(2, 1);
  flat.AddColor(0, 0, 0);
  flat.AddColor(255, 0, 0);
  flat.AddColor(0, 255, 0);
  EXPECT_EQ(flat.GetLeaves(), 1);
  EXPECT_EQ(flat.GetColorTable(), Table({{85, 85, 0}}));
}

TEST(ColorQuantizer, StaysWithinTheLimitForAnyPicture) {
  const auto noise = Picture(64, 64, TPixelFormat::pf24bit, RandomPixels(4096, 3));
  for (int limit : {1, 8, 64, 236}) {
    TColorQuantizer quantizer(limit);
    quantizer.ProcessImage(*noise);
    EXPECT_LE(quantizer.GetLeaves(), limit);
    // Folding one node removes at most seven leaves.
    EXPECT_GE(quantizer.GetLeaves(), limit - 7);
    EXPECT_EQ(quantizer.GetColorTable().size(), static_cast<std::size_t>(quantizer.GetLeaves()));
  }
}

TEST(ColorQuantizer, ReadsEveryPixelFormatAsTrueColour) {
  const std::vector<RGBValue> pixels = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
  std::vector<TGIFColor> tables[5];
  const TPixelFormat formats[5] = {TPixelFormat::pf24bit, TPixelFormat::pf32bit,
                                   TPixelFormat::pfDevice, TPixelFormat::pf16bit,
                                   TPixelFormat::pf15bit};
  for (int i = 0; i < 5; ++i) {
    TColorQuantizer quantizer;
    quantizer.ProcessImage(*Picture(2, 2, formats[i], pixels));
    tables[i] = quantizer.GetColorTable();
  }
  EXPECT_EQ(tables[0], Table({{0, 0, 255}, {0, 255, 0}, {255, 0, 0}, {255, 255, 255}}));
  for (int i = 1; i < 5; ++i) EXPECT_EQ(tables[i], tables[0]) << i;
}

TEST(QuantizedPalette, ReservesTheStaticColoursAroundThePicturesColours) {
  const auto picture = Picture(3, 1, TPixelFormat::pf24bit, {{1, 2, 3}, {200, 100, 50}, {1, 2, 3}});
  const TPalette palette = QuantizedPalette(*picture);
  ASSERT_EQ(palette.size(), 256u);
  for (std::size_t i = 0; i < 10; ++i) EXPECT_EQ(palette[i], StaticPaletteColors[i]);
  for (std::size_t i = 0; i < 10; ++i) EXPECT_EQ(palette[246 + i], StaticPaletteColors[10 + i]);
  EXPECT_EQ(palette[10], (TPaletteEntry{1, 2, 3, 0}));
  EXPECT_EQ(palette[11], (TPaletteEntry{200, 100, 50, 0}));
  for (std::size_t i = 12; i < 246; ++i) EXPECT_EQ(palette[i], (TPaletteEntry{0, 0, 0, 0})) << i;
}

TEST(ReduceColors, MapsOntoTheWebPaletteAndLeavesTheSourceAlone) {
  const auto source =
      Picture(3, 2, TPixelFormat::pf32bit,
              {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {51, 102, 153}, {250, 0, 0}, {0, 47, 48}});
  const auto reduced = ReduceColors(*source, rmNetscape, dmNearest);
  EXPECT_EQ(reduced->GetPixelFormat(), TPixelFormat::pf8bit);
  EXPECT_EQ(reduced->GetPalette(), WebPalette());
  EXPECT_EQ(IndicesOf(*reduced), (std::vector<int>{180, 30, 5, 51, 144, 1}));
  EXPECT_EQ(source->GetPixelFormat(), TPixelFormat::pf32bit);
  EXPECT_EQ(source->GetPixel(1, 1), RGB(250, 0, 0));
}

TEST(ReduceColors, QuantizingKeepsAFewColoursExactly) {
  const std::vector<RGBValue> pixels = {{12, 34, 56},  {200, 10, 99}, {12, 34, 56},
                                        {77, 77, 250}, {200, 10, 99}, {1, 255, 128}};
  for (TDitherMode dither : {dmNearest, dmFloydSteinberg}) {
    const auto source = Picture(3, 2, TPixelFormat::pf24bit, pixels);
    const auto reduced = ReduceColors(*source, rmQuantize, dither);
    ASSERT_EQ(reduced->GetPalette().size(), 256u);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 3; ++x) EXPECT_EQ(reduced->GetPixel(x, y), source->GetPixel(x, y));
  }
}

TEST(ReduceColors, QuantizingAPhotoUsesItsOwnColours) {
  // A smooth two-colour gradient: the quantized palette follows it, so the
  // reduced picture stays much closer than the web cube gets.
  std::vector<RGBValue> pixels;
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 64; ++x) pixels.push_back({x * 4, 100 + y, 255 - x * 2});
  const auto source = Picture(64, 32, TPixelFormat::pf24bit, pixels);
  const auto error = [&](const TBitmap& reduced) {
    long total = 0;
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 64; ++x) {
        const TColor a = source->GetPixel(x, y), b = reduced.GetPixel(x, y);
        total += std::abs(GetRValue(a) - GetRValue(b)) + std::abs(GetGValue(a) - GetGValue(b)) +
                 std::abs(GetBValue(a) - GetBValue(b));
      }
    return total;
  };
  const long quantized = error(*ReduceColors(*source, rmQuantize, dmNearest));
  const long web = error(*ReduceColors(*source, rmNetscape, dmNearest));
  EXPECT_LT(quantized * 4, web);
}

TEST(ReduceColors, WithoutReductionGivesABlankPictureOfTheSize) {
  const auto source = Picture(5, 4, TPixelFormat::pf24bit, RandomPixels(20, 1));
  const auto blank = ReduceColors(*source, rmNone, dmFloydSteinberg);
  EXPECT_EQ(blank->GetPixelFormat(), TPixelFormat::pf8bit);
  EXPECT_EQ(blank->GetWidth(), 5);
  EXPECT_EQ(blank->GetHeight(), 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(blank->GetPixel(x, y), clWhite);
}

}  // namespace
}  // namespace tavkit
