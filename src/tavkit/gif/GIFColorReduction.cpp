// Colour reduction and the import of bitmaps into GIF frames. Reduction reads
// the source a row at a time as 24-bit colours, so that no copy of the whole
// picture is made and the caller's bitmap is never changed; the lookups and
// the error diffusion keep one row of state at most.
#include <tavkit/gif/GIFColorReduction.h>

#include <algorithm>
#include <cstring>
#include <new>

#include <tavkit/gif/GIFModel.h>

namespace tavkit {

namespace {

constexpr TPaletteEntry Entry(std::uint32_t rgb) {
  return TPaletteEntry{static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                       static_cast<std::uint8_t>(rgb), 0};
}

// Row y of any bitmap as blue, green, red triples. A 24-bit row is answered
// in place; every other format is converted into buffer.
const std::uint8_t* ReadRow24(const TBitmap& bitmap, int y, std::vector<std::uint8_t>& buffer) {
  const TPixelFormat format = bitmap.GetPixelFormat();
  if (format == TPixelFormat::pf24bit) return bitmap.ScanLine(y);
  const int width = bitmap.GetWidth();
  buffer.resize(static_cast<std::size_t>(width) * 3);
  std::uint8_t* out = buffer.data();
  if (format == TPixelFormat::pf32bit || format == TPixelFormat::pfDevice) {
    const std::uint8_t* row = bitmap.ScanLine(y);
    for (int x = 0; x < width; ++x, row += 4, out += 3) std::memcpy(out, row, 3);
    return buffer.data();
  }
  for (int x = 0; x < width; ++x, out += 3) {
    const TColor color = bitmap.PixelToColor(bitmap.GetRawPixel(x, y));
    out[0] = GetBValue(color);
    out[1] = GetGValue(color);
    out[2] = GetRValue(color);
  }
  return buffer.data();
}

}  // namespace

const std::array<TPaletteEntry, 20> StaticPaletteColors = {
    Entry(0x000000), Entry(0x800000), Entry(0x008000), Entry(0x808000), Entry(0x000080),
    Entry(0x800080), Entry(0x008080), Entry(0xC0C0C0), Entry(0xC0DCC0), Entry(0xA6CAF0),
    Entry(0xFFFBF0), Entry(0xA0A0A4), Entry(0x808080), Entry(0xFF0000), Entry(0x00FF00),
    Entry(0xFFFF00), Entry(0x0000FF), Entry(0xFF00FF), Entry(0x00FFFF), Entry(0xFFFFFF)};

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
  std::vector<std::uint8_t> buffer;
  for (int y = bitmap.GetHeight() - 1; y >= 0; --y) {
    const std::uint8_t* row = ReadRow24(bitmap, y, buffer);
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
  std::unique_ptr<TDitherEngine> engine;
  if (dither == dmFloydSteinberg)
    engine = std::make_unique<TFloydSteinbergEngine>(*lookup, width);
  else
    engine = std::make_unique<TDitherEngine>(*lookup, width);
  std::vector<std::uint8_t> buffer;
  TGIFColor chosen;
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* row = ReadRow24(bitmap, y, buffer);
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

// Bitmap import

namespace {

constexpr std::size_t kDIBHeaderSize = 40;
const char* const kConverting = "Converting...";

void PutLong(std::vector<std::uint8_t>& block, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i)
    block[offset + static_cast<std::size_t>(i)] = (value >> (8 * i)) & 0xFF;
}

std::uint32_t GetLong(const std::vector<std::uint8_t>& block, std::size_t offset) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | block[offset + static_cast<std::size_t>(i)];
  return value;
}

bool IsPaletted(TPixelFormat format) {
  return format == TPixelFormat::pf1bit || format == TPixelFormat::pf4bit ||
         format == TPixelFormat::pf8bit;
}

std::size_t DIBRowBytes(int width, int bits) {
  return ((static_cast<std::size_t>(width) * static_cast<std::size_t>(bits) + 31) &
          ~std::size_t{31}) /
         8;
}

}  // namespace

void TGIFSubImage::BitmapToDIB(const TBitmap& bitmap) {
  if (bitmap.GetEmpty()) throw EInvalidGraphic(sInvalidBitmap);
  FreeDIB();
  // Bitmaps without a palette are converted to 8 bits through the default
  // palette; the colours of the others are taken as they are.
  TBitmap converted;
  const TBitmap* source = &bitmap;
  if (!IsPaletted(bitmap.GetPixelFormat())) {
    try {
      converted.Assign(&bitmap);
      converted.SetPixelFormat(TPixelFormat::pf8bit);
    } catch (const Exception&) {
      throw GIFException(sDIBCreate);
    }
    source = &converted;
  }
  const int bits = BitsPerPixel(source->GetPixelFormat());
  const int width = source->GetWidth(), height = source->GetHeight();
  const std::size_t rowBytes = DIBRowBytes(width, bits);
  const TPalette& palette = source->GetPalette();
  const std::size_t tableSize = std::size_t{1} << bits;
  try {
    FDIBInfo.assign(kDIBHeaderSize + 4 * tableSize, 0);
    FDIBBits.resize(rowBytes * static_cast<std::size_t>(height));
  } catch (const std::bad_alloc&) {
    FreeDIB();
    throw EOutOfMemory(sOutOfMemDIB);
  }
  PutLong(FDIBInfo, 0, kDIBHeaderSize);
  PutLong(FDIBInfo, 4, static_cast<std::uint32_t>(width));
  PutLong(FDIBInfo, 8, static_cast<std::uint32_t>(height));  // positive: bottom-up
  FDIBInfo[12] = 1;                                          // planes
  FDIBInfo[14] = static_cast<std::uint8_t>(bits);
  PutLong(FDIBInfo, 20, static_cast<std::uint32_t>(FDIBBits.size()));
  const std::size_t used = std::min(palette.size(), tableSize);
  PutLong(FDIBInfo, 32, static_cast<std::uint32_t>(used));
  for (std::size_t i = 0; i < used; ++i) {
    std::uint8_t* entry = &FDIBInfo[kDIBHeaderSize + 4 * i];
    entry[0] = palette[i].peBlue;
    entry[1] = palette[i].peGreen;
    entry[2] = palette[i].peRed;
  }
  // The bitmap's rows already have this layout, top-down.
  const std::size_t copied = std::min(rowBytes, static_cast<std::size_t>(source->BytesPerRow()));
  for (int y = 0; y < height; ++y)
    std::memcpy(&FDIBBits[static_cast<std::size_t>(height - 1 - y) * rowBytes], source->ScanLine(y),
                copied);
}

const std::uint8_t* TGIFSubImage::GetScanLine(int row) const {
  if (FDIBInfo.empty()) throw GIFException(sNoDIB);
  const int height = static_cast<int>(GetLong(FDIBInfo, 8));
  if (row < 0 || row >= height) throw EInvalidGraphic(sScanLineOutOfRange);
  const std::size_t rowBytes = DIBRowBytes(static_cast<int>(GetLong(FDIBInfo, 4)), FDIBInfo[14]);
  return &FDIBBits[static_cast<std::size_t>(height - 1 - row) * rowBytes];
}

void TGIFSubImage::FreeDIB() {
  FDIBInfo = {};
  FDIBBits = {};
}

void TGIFSubImage::AssignBitmap(const TBitmap& bitmap) {
  const auto redraw = [this] { return FImage != nullptr && FImage->GetPaletteModified(); };
  Progress(TProgressStage::psStarting, 0, false, kConverting);
  try {
    ConvertBitmap(bitmap);
  } catch (...) {
    Progress(TProgressStage::psEnding, 0, redraw(), kConverting);
    throw;
  }
  Progress(TProgressStage::psEnding, 100, redraw(), kConverting);
}

void TGIFSubImage::ConvertBitmap(const TBitmap& bitmap) {
  Clear();
  if (bitmap.GetEmpty()) return;
  if (bitmap.GetWidth() > 65535 || bitmap.GetHeight() > 65535) throw GIFException(sBitmapTooLarge);
  const TPixelFormat format = bitmap.GetPixelFormat();
  if (IsPaletted(format)) {
    ImportPalettedBitmap(bitmap);
    return;
  }
  const TColorReduction reduction =
      FImage ? FImage->GetColorReduction() : GIFImageDefaultColorReduction;
  const TDitherMode dither = FImage ? FImage->GetDitherMode() : GIFImageDefaultDitherMode;
  // A display bitmap is read colour by colour into the frame's map whatever
  // the reduction: its exact colours are kept, and a 257th colour is an
  // error that leaves what was read so far. Callers with pictures of many
  // colours draw them into a true-colour bitmap, which is reduced. Without a
  // reduction every bitmap is taken the same way.
  if (format == TPixelFormat::pfDevice || reduction == rmNone) {
    ImportBitmapColors(bitmap);
    return;
  }
  const std::unique_ptr<TBitmap> reduced = ReduceColors(bitmap, reduction, dither);
  ImportPalettedBitmap(*reduced);
}

void TGIFSubImage::ImportPalettedBitmap(const TBitmap& bitmap) {
  BitmapToDIB(bitmap);
  try {
    FDescriptor.Width = static_cast<std::uint16_t>(bitmap.GetWidth());
    FDescriptor.Height = static_cast<std::uint16_t>(bitmap.GetHeight());
    NewImage();
    const int bits = FDIBInfo[14];
    const int tableSize = 1 << bits;
    int colors = static_cast<int>(GetLong(FDIBInfo, 32));
    if (colors == 0) colors = tableSize;
    FColorMap->ImportColorTable(&FDIBInfo[kDIBHeaderSize], colors);
    const int width = FDescriptor.Width;
    for (int y = 0; y < FDescriptor.Height; ++y) {
      const std::uint8_t* row = GetScanLine(y);
      std::uint8_t* out =
          FData.get() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
      switch (bits) {
        case 8:
          std::memcpy(out, row, static_cast<std::size_t>(width));
          break;
        case 4:
          for (int x = 0; x < width; ++x)
            out[x] = static_cast<std::uint8_t>((x & 1) ? row[x >> 1] & 0x0F : row[x >> 1] >> 4);
          break;
        default:
          for (int x = 0; x < width; ++x)
            out[x] = static_cast<std::uint8_t>((row[x >> 3] >> (7 - (x & 7))) & 1);
          break;
      }
      ReportRows(y);
    }
  } catch (...) {
    FreeDIB();
    throw;
  }
  FreeDIB();
}

void TGIFSubImage::ImportBitmapColors(const TBitmap& bitmap) {
  FDescriptor.Width = static_cast<std::uint16_t>(bitmap.GetWidth());
  FDescriptor.Height = static_cast<std::uint16_t>(bitmap.GetHeight());
  NewImage();
  // Neighbouring pixels mostly repeat a recent colour: a ring of the last
  // eight answers, searched backwards from the latest, spares the colour
  // map's own search.
  struct TCacheSlot {
    TColor Color = 0;
    int Index = -1;
  };
  std::array<TCacheSlot, 8> cache{};
  int start = 0;
  const int width = FDescriptor.Width;
  std::uint8_t* out = FData.get();
  for (int y = 0; y < FDescriptor.Height; ++y) {
    for (int x = 0; x < width; ++x) {
      const TColor color = bitmap.GetPixel(x, y);
      int index = -1;
      for (int n = 0, slot = start; n < 8 && cache[static_cast<std::size_t>(slot)].Index >= 0;
           ++n, slot = (slot + 7) & 7)
        if (cache[static_cast<std::size_t>(slot)].Color == color) {
          index = cache[static_cast<std::size_t>(slot)].Index;
          start = slot;
          break;
        }
      if (index < 0) {
        index = FColorMap->Add(color);
        start = (start + 1) & 7;
        cache[static_cast<std::size_t>(start)] = TCacheSlot{color, index};
      }
      *out++ = static_cast<std::uint8_t>(index);
    }
    ReportRows(y);
  }
}

void TGIFSubImage::ReportRows(int row) {
  if ((row + 1) % 32 == 0)
    Progress(TProgressStage::psRunning, (row + 1) * 100 / FDescriptor.Height, false, kConverting);
}

}  // namespace tavkit
