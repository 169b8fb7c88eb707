// Colour reduction of bitmaps for GIF frames. Reduction reads the source a row
// at a time as 24-bit colours, so that no copy of the whole picture is made
// and the caller's bitmap is never changed; the lookups and the error
// diffusion keep one row of state at most.
#include <tavkit/gif/GIFColorReduction.h>

#include <algorithm>
#include <cstring>

#include <tavkit/gif/detail/GIFColorRows.h>

namespace tavkit {

namespace {

constexpr TPaletteEntry Entry(std::uint32_t rgb) {
  return TPaletteEntry{static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                       static_cast<std::uint8_t>(rgb), 0};
}

// The web-cube level nearest to each component value, times the weight of
// its component in the cube's index, so that an index is three loads and
// two additions.
struct TWebCubeWeights {
  std::array<std::uint8_t, 256> Red, Green, Blue;
  constexpr TWebCubeWeights() : Red(), Green(), Blue() {
    for (int c = 0; c < 256; ++c) {
      const int level = (c + 3) / 51;
      Red[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(level * 36);
      Green[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(level * 6);
      Blue[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(level);
    }
  }
};
constexpr TWebCubeWeights kWebCube;

}  // namespace

const std::array<TPaletteEntry, 20> StaticPaletteColors = {
    Entry(0x000000), Entry(0x800000), Entry(0x008000), Entry(0x808000), Entry(0x000080),
    Entry(0x800080), Entry(0x008080), Entry(0xC0C0C0), Entry(0xC0DCC0), Entry(0xA6CAF0),
    Entry(0xFFFBF0), Entry(0xA0A0A4), Entry(0x808080), Entry(0xFF0000), Entry(0x00FF00),
    Entry(0xFFFF00), Entry(0x0000FF), Entry(0xFF00FF), Entry(0x00FFFF), Entry(0xFFFFFF)};

namespace detail {

const std::uint8_t* TBGRRowReader::Row(int y) {
  const TPixelFormat format = FBitmap.GetPixelFormat();
  if (format == TPixelFormat::pf24bit) return FBitmap.ScanLine(y);
  const auto width = static_cast<std::size_t>(FBitmap.GetWidth());
  FBuffer.resize(width * 3);
  std::uint8_t* out = FBuffer.data();
  if (format == TPixelFormat::pf32bit || format == TPixelFormat::pfDevice) {
    const std::uint8_t* row = FBitmap.ScanLine(y);
    for (std::size_t x = 0; x < width; ++x, row += 4, out += 3) std::memcpy(out, row, 3);
    return FBuffer.data();
  }
  FColors.resize(width);
  FBitmap.ScanLineColors(y, FColors.data());
  for (const TColor color : FColors) {
    *out++ = GetBValue(color);
    *out++ = GetGValue(color);
    *out++ = GetRValue(color);
  }
  return FBuffer.data();
}

void WebCubeIndices(const std::uint8_t* bgr, int width, std::uint8_t* indices) {
  for (int x = 0; x < width; ++x, bgr += 3)
    indices[x] = static_cast<std::uint8_t>(kWebCube.Red[bgr[2]] + kWebCube.Green[bgr[1]] +
                                           kWebCube.Blue[bgr[0]]);
}

}  // namespace detail

TPalette WebPalette() {
  TPalette palette;
  palette.reserve(216);
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b)
        palette.push_back(TPaletteEntry{static_cast<std::uint8_t>(r * 51),
                                        static_cast<std::uint8_t>(g * 51),
                                        static_cast<std::uint8_t>(b * 51), 0});
  return palette;
}

// Lookups

int TNetscapeColorLookup::Lookup(std::uint8_t red, std::uint8_t green, std::uint8_t blue,
                                 TGIFColor& chosen) {
  const int r = (red + 3) / 51, g = (green + 3) / 51, b = (blue + 3) / 51;
  chosen = TGIFColor{static_cast<std::uint8_t>(r * 51), static_cast<std::uint8_t>(g * 51),
                     static_cast<std::uint8_t>(b * 51)};
  return r * 36 + g * 6 + b;
}

TFastColorLookup::TFastColorLookup(const TPalette& palette)
    : TColorLookup(static_cast<int>(std::min<std::size_t>(palette.size(), 256))),
      FEntries(palette.begin(), palette.begin() + FColors),
      FCache(32768, 0xFFFF) {
  for (int i = 0; i < FColors; ++i) {
    const TPaletteEntry& e = FEntries[static_cast<std::size_t>(i)];
    std::uint16_t& slot = FCache[static_cast<std::size_t>(Slot(e.peRed, e.peGreen, e.peBlue))];
    if (slot == 0xFFFF) slot = static_cast<std::uint16_t>(i);
  }
}

int TFastColorLookup::Lookup(std::uint8_t red, std::uint8_t green, std::uint8_t blue,
                             TGIFColor& chosen) {
  std::uint16_t& slot = FCache[static_cast<std::size_t>(Slot(red, green, blue))];
  if (slot == 0xFFFF) {
    int best = 0;
    int bestDistance = 196608;
    for (int i = 0; i < FColors; ++i) {
      const TPaletteEntry& e = FEntries[static_cast<std::size_t>(i)];
      const int distance =
          std::abs(red - e.peRed) + std::abs(green - e.peGreen) + std::abs(blue - e.peBlue);
      if (distance < bestDistance) {
        bestDistance = distance;
        best = i;
      }
    }
    slot = static_cast<std::uint16_t>(best);
  }
  const TPaletteEntry& e = FEntries[slot];
  chosen = TGIFColor{e.peRed, e.peGreen, e.peBlue};
  return slot;
}

// Dither engines

int TDitherEngine::Dither(std::uint8_t red, std::uint8_t green, std::uint8_t blue,
                          TGIFColor& chosen) {
  const int index = FLookup.Lookup(red, green, blue, chosen);
  FPosition += FStep;
  return index;
}

void TDitherEngine::NextLine() {
  FStep = -FStep;
  FPosition = FStep > 0 ? 0 : FWidth - 1;
}

TFloydSteinbergEngine::TFloydSteinbergEngine(TColorLookup& lookup, int width)
    : TDitherEngine(lookup, width) {
  for (TChannel& channel : FChannels) channel.Errors.assign(static_cast<std::size_t>(width) + 2, 0);
}

int TFloydSteinbergEngine::Dither(std::uint8_t red, std::uint8_t green, std::uint8_t blue,
                                  TGIFColor& chosen) {
  const std::uint8_t components[3] = {red, green, blue};
  std::uint8_t values[3];
  const std::size_t ahead = static_cast<std::size_t>(FSlot + FStep);
  for (int c = 0; c < 3; ++c) {
    const TChannel& channel = FChannels[static_cast<std::size_t>(c)];
    // The error owed to this pixel, rounded; the division truncates toward
    // zero, so negative errors round the same way as positive ones.
    const int value = components[c] + (channel.Errors[ahead] + channel.Carry + 8) / 16;
    values[c] = static_cast<std::uint8_t>(std::clamp(value, 0, 255));
  }
  const int index = TDitherEngine::Dither(values[0], values[1], values[2], chosen);
  const std::uint8_t chosenComponents[3] = {chosen.Red, chosen.Green, chosen.Blue};
  for (int c = 0; c < 3; ++c) {
    TChannel& channel = FChannels[static_cast<std::size_t>(c)];
    const int error = values[c] - chosenComponents[c];
    channel.Errors[static_cast<std::size_t>(FSlot)] = channel.UnderBehind + 3 * error;
    channel.UnderBehind = channel.Under + 5 * error;
    channel.Under = error;
    channel.Carry = 7 * error;
  }
  FSlot += FStep;
  return index;
}

void TFloydSteinbergEngine::NextLine() {
  for (TChannel& channel : FChannels) {
    channel.Errors[static_cast<std::size_t>(FSlot)] = channel.UnderBehind;
    channel.Carry = channel.Under = channel.UnderBehind = 0;
  }
  TDitherEngine::NextLine();
  FSlot = FStep > 0 ? 0 : FWidth + 1;
}

// Octree quantizer

TColorQuantizer::TColorQuantizer(int colourLimit, int depth)
    : FColourLimit(std::max(colourLimit, 1)), FDepth(std::clamp(depth, 1, 8)) {}

TColorQuantizer::~TColorQuantizer() = default;

void TColorQuantizer::AddColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  std::unique_ptr<TOctreeNode>* slot = &FRoot;
  for (int level = 0;; ++level) {
    if (!*slot) {
      *slot = std::make_unique<TOctreeNode>();
      TOctreeNode* created = slot->get();
      if (level == FDepth) {
        created->Leaf = true;
        ++FLeaves;
      } else {
        created->Link = FReducible[static_cast<std::size_t>(level)];
        FReducible[static_cast<std::size_t>(level)] = created;
      }
    }
    TOctreeNode* node = slot->get();
    if (node->Leaf) {
      ++node->Pixels;
      node->RedTotal += red;
      node->GreenTotal += green;
      node->BlueTotal += blue;
      break;
    }
    const int shift = 7 - level;
    const int child =
        (((red >> shift) & 1) << 2) | (((green >> shift) & 1) << 1) | ((blue >> shift) & 1);
    slot = &node->Children[static_cast<std::size_t>(child)];
  }
  while (FLeaves > FColourLimit) Reduce();
}

void TColorQuantizer::Reduce() {
  int level = FDepth - 1;
  while (level > 0 && FReducible[static_cast<std::size_t>(level)] == nullptr) --level;
  TOctreeNode* node = FReducible[static_cast<std::size_t>(level)];
  FReducible[static_cast<std::size_t>(level)] = node->Link;
  int children = 0;
  for (std::unique_ptr<TOctreeNode>& child : node->Children) {
    if (!child) continue;
    node->Pixels += child->Pixels;
    node->RedTotal += child->RedTotal;
    node->GreenTotal += child->GreenTotal;
    node->BlueTotal += child->BlueTotal;
    child.reset();
    ++children;
  }
  node->Leaf = true;
  FLeaves -= children - 1;
}

void TColorQuantizer::ProcessImage(const TBitmap& bitmap) {
  detail::TBGRRowReader rows(bitmap);
  for (int y = bitmap.GetHeight() - 1; y >= 0; --y) {
    const std::uint8_t* row = rows.Row(y);
    for (int x = 0; x < bitmap.GetWidth(); ++x, row += 3) AddColor(row[2], row[1], row[0]);
  }
}

std::vector<TGIFColor> TColorQuantizer::GetColorTable() const {
  std::vector<TGIFColor> table;
  auto visit = [&table](const TOctreeNode& node, auto& self) -> void {
    if (node.Leaf) {
      TGIFColor color;
      if (node.Pixels > 0)
        color = TGIFColor{static_cast<std::uint8_t>(node.RedTotal / node.Pixels),
                          static_cast<std::uint8_t>(node.GreenTotal / node.Pixels),
                          static_cast<std::uint8_t>(node.BlueTotal / node.Pixels)};
      table.push_back(color);
      return;
    }
    for (const std::unique_ptr<TOctreeNode>& child : node.Children)
      if (child) self(*child, self);
  };
  if (FRoot) visit(*FRoot, visit);
  return table;
}

TPalette QuantizedPalette(const TBitmap& bitmap) {
  TColorQuantizer quantizer;
  quantizer.ProcessImage(bitmap);
  const std::vector<TGIFColor> table = quantizer.GetColorTable();
  TPalette palette(256);
  std::copy(StaticPaletteColors.begin(), StaticPaletteColors.begin() + 10, palette.begin());
  std::copy(StaticPaletteColors.begin() + 10, StaticPaletteColors.end(), palette.begin() + 246);
  for (std::size_t i = 0; i < table.size() && i < 236; ++i)
    palette[10 + i] = TPaletteEntry{table[i].Red, table[i].Green, table[i].Blue, 0};
  return palette;
}

std::unique_ptr<TBitmap> ReduceColors(const TBitmap& bitmap, TColorReduction reduction,
                                      TDitherMode dither) {
  const int width = bitmap.GetWidth(), height = bitmap.GetHeight();
  auto result = std::make_unique<TBitmap>(width, height, TPixelFormat::pf8bit);
  if (reduction != rmNetscape && reduction != rmQuantize) return result;
  std::unique_ptr<TColorLookup> lookup;
  if (reduction == rmNetscape) {
    result->SetPalette(WebPalette());
    lookup = std::make_unique<TNetscapeColorLookup>();
  } else {
    const TPalette palette = QuantizedPalette(bitmap);
    result->SetPalette(palette);
    lookup = std::make_unique<TFastColorLookup>(palette);
  }
  detail::TBGRRowReader rows(bitmap);
  if (reduction == rmNetscape && dither == dmNearest) {
    // Each pixel's answer depends on its colour alone: no walk is needed.
    for (int y = 0; y < height; ++y)
      detail::WebCubeIndices(rows.Row(y), width, result->ScanLine(y));
    return result;
  }
  std::unique_ptr<TDitherEngine> engine;
  if (dither == dmFloydSteinberg)
    engine = std::make_unique<TFloydSteinbergEngine>(*lookup, width);
  else
    engine = std::make_unique<TDitherEngine>(*lookup, width);
  TGIFColor chosen;
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* row = rows.Row(y);
    std::uint8_t* out = result->ScanLine(y);
    for (int i = 0; i < width; ++i) {
      const int x = engine->GetPosition();
      const std::uint8_t* pixel = row + static_cast<std::ptrdiff_t>(x) * 3;
      out[x] = static_cast<std::uint8_t>(engine->Dither(pixel[2], pixel[1], pixel[0], chosen));
    }
    engine->NextLine();
  }
  return result;
}

}  // namespace tavkit
