// TBitmap: pixel storage in every format, conversion between formats,
// palettes, scan lines and the bitmap's clipboard format. The BMP and PNG
// file formats are in their own files.
#include <tavkit/platform/graphics/Bitmap.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <unordered_map>

#include <tavkit/platform/base/Exceptions.h>
#include <tavkit/platform/base/Registry.h>
#include <tavkit/platform/base/Streams.h>
#include <tavkit/platform/graphics/Canvas.h>
#include <tavkit/platform/graphics/DecodeBudget.h>
#include <tavkit/platform/graphics/detail/BitmapLayout.h>

namespace tavkit {

using namespace detail;

namespace detail {

std::string SizeText(std::int64_t width, std::int64_t height) {
  return std::to_string(width) + "x" + std::to_string(height);
}

}  // namespace detail

namespace {

TPaletteEntry Entry(std::uint32_t rgb) {
  return TPaletteEntry{static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                       static_cast<std::uint8_t>(rgb), 0};
}

TPaletteEntry Inverse(const TPaletteEntry& e) {
  return TPaletteEntry{static_cast<std::uint8_t>(255 - e.peRed),
                       static_cast<std::uint8_t>(255 - e.peGreen),
                       static_cast<std::uint8_t>(255 - e.peBlue), 0};
}

// The sixteen standard colours as 0xRRGGBB, in the order where entry 15 - i
// is (nearly) the inverse of entry i.
constexpr std::array<std::uint32_t, 16> StandardColors = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};

TPalette Default8BitPalette() {
  TPalette palette(256);
  for (int i = 0; i < 8; ++i) {
    palette[i] = Entry(StandardColors[i]);
    palette[255 - i] = Entry(StandardColors[15 - i]);
  }
  // The 6x6x6 cube without its eight corners (they are standard colours),
  // then grey steps, each placed opposite its inverse.
  int next = 8;
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b) {
        bool corner = (r == 0 || r == 5) && (g == 0 || g == 5) && (b == 0 || b == 5);
        if (corner || r * 36 + g * 6 + b >= 108) continue;
        TPaletteEntry e{static_cast<std::uint8_t>(r * 51), static_cast<std::uint8_t>(g * 51),
                        static_cast<std::uint8_t>(b * 51), 0};
        palette[next] = e;
        palette[255 - next] = Inverse(e);
        ++next;
      }
  for (int k = 0; next < 128; ++k, ++next) {
    auto level = static_cast<std::uint8_t>(8 * k + 4);
    palette[next] = TPaletteEntry{level, level, level, 0};
    palette[255 - next] = Inverse(palette[next]);
  }
  return palette;
}

std::uint8_t Expand5(std::uint32_t v) {
  return static_cast<std::uint8_t>((v << 3) | (v >> 2));
}
std::uint8_t Expand6(std::uint32_t v) {
  return static_cast<std::uint8_t>((v << 2) | (v >> 4));
}

// Colours (as PixelToColor answers them) written as pixels of a format
// without a palette, as ColorToPixel and SetRawPixel would store them.
void StoreColors(std::uint8_t* row, TPixelFormat format, const TColor* colors, int width) {
  switch (format) {
    case TPixelFormat::pf15bit:
    case TPixelFormat::pf16bit: {
      const bool fifteen = format == TPixelFormat::pf15bit;
      for (int x = 0; x < width; ++x, row += 2) {
        const std::uint32_t r = GetRValue(colors[x]), g = GetGValue(colors[x]),
                            b = GetBValue(colors[x]);
        const std::uint32_t pixel = fifteen ? ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3)
                                            : ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
        row[0] = static_cast<std::uint8_t>(pixel);
        row[1] = static_cast<std::uint8_t>(pixel >> 8);
      }
      return;
    }
    case TPixelFormat::pf24bit:
      for (int x = 0; x < width; ++x, row += 3) {
        row[0] = GetBValue(colors[x]);
        row[1] = GetGValue(colors[x]);
        row[2] = GetRValue(colors[x]);
      }
      return;
    default:
      for (int x = 0; x < width; ++x, row += 4) {
        row[0] = GetBValue(colors[x]);
        row[1] = GetGValue(colors[x]);
        row[2] = GetRValue(colors[x]);
        row[3] = 0;
      }
      return;
  }
}

}  // namespace

int BitsPerPixel(TPixelFormat format) {
  switch (format) {
    case TPixelFormat::pf1bit:
      return 1;
    case TPixelFormat::pf4bit:
      return 4;
    case TPixelFormat::pf8bit:
      return 8;
    case TPixelFormat::pf15bit:
    case TPixelFormat::pf16bit:
      return 16;
    case TPixelFormat::pf24bit:
      return 24;
    case TPixelFormat::pfDevice:
    case TPixelFormat::pf32bit:
      return 32;
  }
  return 32;
}

TPalette DefaultPalette(TPixelFormat format) {
  switch (format) {
    case TPixelFormat::pf1bit:
      return {Entry(0x000000), Entry(0xFFFFFF)};
    case TPixelFormat::pf4bit: {
      TPalette palette;
      for (std::uint32_t rgb : StandardColors) palette.push_back(Entry(rgb));
      return palette;
    }
    case TPixelFormat::pf8bit:
      return Default8BitPalette();
    default:
      return {};
  }
}

int DisplayBitsPerPixel() {
  return BitsPerPixel(TPixelFormat::pfDevice);
}

TBitmap::TBitmap() = default;

TBitmap::TBitmap(int width, int height, TPixelFormat format) {
  FFormat = format;
  FPalette = DefaultPalette(format);
  SetSize(width, height);
}

TBitmap::~TBitmap() = default;

int TBitmap::BytesPerRow() const {
  return static_cast<int>(RowBytes(FWidth, BitsPerPixel(FFormat)));
}

void TBitmap::Reset(int width, int height, TPixelFormat format, TPalette palette) {
  FWidth = width;
  FHeight = height;
  FFormat = format;
  FPalette = std::move(palette);
}

void TBitmap::Allocate(int width, int height, TPixelFormat format) {
  CheckSize<EOutOfMemory>(width, height, BitsPerPixel(format), "Bitmap too large (");
  TDecodeBudget::Take<EOutOfMemory>(std::int64_t{width} * height,
                                    "Bitmap too large (" + std::to_string(width) + " x " +
                                        std::to_string(height) + " pixels) for the picture budget");
  FPixels.assign(static_cast<std::size_t>(RowBytes(width, BitsPerPixel(format)) * height), 0);
  FWidth = width;
  FHeight = height;
  FFormat = format;
}

void TBitmap::SetSize(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == FWidth && height == FHeight) return;
  CheckSize<EOutOfMemory>(width, height, BitsPerPixel(FFormat), "Bitmap too large (");
  TBitmap old;
  old.Reset(FWidth, FHeight, FFormat, FPalette);
  old.FPixels.swap(FPixels);
  Allocate(width, height, FFormat);
  if (width > 0 && height > 0) {
    // White everywhere: one row pixel by pixel, the others copied from it.
    std::uint32_t white = ColorToPixel(clWhite);
    for (int x = 0; x < width; ++x) SetRawPixel(x, 0, white);
    std::size_t stride = static_cast<std::size_t>(BytesPerRow());
    for (int y = 1; y < height; ++y)
      std::memcpy(FPixels.data() + y * stride, FPixels.data(), stride);
    int keepWidth = std::min(width, old.FWidth), keepHeight = std::min(height, old.FHeight);
    for (int y = 0; y < keepHeight; ++y)
      for (int x = 0; x < keepWidth; ++x) SetRawPixel(x, y, old.GetRawPixel(x, y));
  }
  Changed(this);
}

std::uint8_t* TBitmap::ScanLine(int y) {
  if (y < 0 || y >= FHeight) throw EInvalidGraphic("Scan line index out of range");
  return FPixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(BytesPerRow());
}

const std::uint8_t* TBitmap::ScanLine(int y) const {
  if (y < 0 || y >= FHeight) throw EInvalidGraphic("Scan line index out of range");
  return FPixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(BytesPerRow());
}

void TBitmap::ScanLineColors(int y, TColor* colors) const {
  const std::uint8_t* row = ScanLine(y);
  const int width = FWidth;
  switch (FFormat) {
    case TPixelFormat::pf1bit:
    case TPixelFormat::pf4bit:
    case TPixelFormat::pf8bit: {
      // Indices beyond the palette read as black, as in PixelToColor.
      std::array<TColor, 256> table;
      table.fill(clBlack);
      const std::size_t used = std::min<std::size_t>(FPalette.size(), table.size());
      for (std::size_t i = 0; i < used; ++i)
        table[i] = RGB(FPalette[i].peRed, FPalette[i].peGreen, FPalette[i].peBlue);
      if (FFormat == TPixelFormat::pf8bit)
        for (int x = 0; x < width; ++x) colors[x] = table[row[x]];
      else if (FFormat == TPixelFormat::pf4bit)
        for (int x = 0; x < width; ++x) colors[x] = table[(row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xF];
      else
        for (int x = 0; x < width; ++x) colors[x] = table[(row[x >> 3] >> (7 - (x & 7))) & 1];
      return;
    }
    case TPixelFormat::pf15bit:
      for (int x = 0; x < width; ++x) {
        const std::uint32_t pixel = U16(row + 2 * x);
        colors[x] =
            RGB(Expand5((pixel >> 10) & 31), Expand5((pixel >> 5) & 31), Expand5(pixel & 31));
      }
      return;
    case TPixelFormat::pf16bit:
      for (int x = 0; x < width; ++x) {
        const std::uint32_t pixel = U16(row + 2 * x);
        colors[x] =
            RGB(Expand5((pixel >> 11) & 31), Expand6((pixel >> 5) & 63), Expand5(pixel & 31));
      }
      return;
    case TPixelFormat::pf24bit:
      for (int x = 0; x < width; ++x, row += 3) colors[x] = RGB(row[2], row[1], row[0]);
      return;
    default:
      for (int x = 0; x < width; ++x, row += 4) colors[x] = RGB(row[2], row[1], row[0]);
      return;
  }
}

int TBitmap::NearestPaletteIndex(TColor color) const {
  int r = GetRValue(color), g = GetGValue(color), b = GetBValue(color);
  int best = 0;
  int bestDistance = 1 << 30;
  for (std::size_t i = 0; i < FPalette.size(); ++i) {
    const TPaletteEntry& e = FPalette[i];
    int dr = e.peRed - r, dg = e.peGreen - g, db = e.peBlue - b;
    int distance = dr * dr + dg * dg + db * db;
    if (distance < bestDistance) {
      bestDistance = distance;
      best = static_cast<int>(i);
      if (distance == 0) break;
    }
  }
  return best;
}

std::uint32_t TBitmap::ColorToPixel(TColor color) const {
  color = ColorToRGB(color);
  std::uint32_t r = GetRValue(color), g = GetGValue(color), b = GetBValue(color);
  switch (FFormat) {
    case TPixelFormat::pf1bit:
    case TPixelFormat::pf4bit:
    case TPixelFormat::pf8bit:
      return static_cast<std::uint32_t>(NearestPaletteIndex(color));
    case TPixelFormat::pf15bit:
      return ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
    case TPixelFormat::pf16bit:
      return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
    default:
      return b | (g << 8) | (r << 16);
  }
}

TColor TBitmap::PixelToColor(std::uint32_t pixel) const {
  switch (FFormat) {
    case TPixelFormat::pf1bit:
    case TPixelFormat::pf4bit:
    case TPixelFormat::pf8bit: {
      if (pixel >= FPalette.size()) return clBlack;
      const TPaletteEntry& e = FPalette[pixel];
      return RGB(e.peRed, e.peGreen, e.peBlue);
    }
    case TPixelFormat::pf15bit:
      return RGB(Expand5((pixel >> 10) & 31), Expand5((pixel >> 5) & 31), Expand5(pixel & 31));
    case TPixelFormat::pf16bit:
      return RGB(Expand5((pixel >> 11) & 31), Expand6((pixel >> 5) & 63), Expand5(pixel & 31));
    default:
      return RGB(static_cast<std::uint8_t>(pixel >> 16), static_cast<std::uint8_t>(pixel >> 8),
                 static_cast<std::uint8_t>(pixel));
  }
}

std::uint32_t TBitmap::GetRawPixel(int x, int y) const {
  const std::uint8_t* row =
      FPixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(BytesPerRow());
  switch (FFormat) {
    case TPixelFormat::pf1bit:
      return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case TPixelFormat::pf4bit:
      return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xF;
    case TPixelFormat::pf8bit:
      return row[x];
    case TPixelFormat::pf15bit:
    case TPixelFormat::pf16bit:
      return U16(row + 2 * x);
    case TPixelFormat::pf24bit: {
      const std::uint8_t* p = row + 3 * x;
      return p[0] | (p[1] << 8) | (static_cast<std::uint32_t>(p[2]) << 16);
    }
    default:
      return U32(row + 4 * x);
  }
}

void TBitmap::SetRawPixel(int x, int y, std::uint32_t pixel) {
  std::uint8_t* row =
      FPixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(BytesPerRow());
  switch (FFormat) {
    case TPixelFormat::pf1bit: {
      auto bit = static_cast<std::uint8_t>(0x80 >> (x & 7));
      row[x >> 3] =
          static_cast<std::uint8_t>((pixel & 1) ? (row[x >> 3] | bit) : (row[x >> 3] & ~bit));
      return;
    }
    case TPixelFormat::pf4bit: {
      std::uint8_t& b = row[x >> 1];
      b = (x & 1) ? static_cast<std::uint8_t>((b & 0xF0) | (pixel & 0xF))
                  : static_cast<std::uint8_t>((b & 0x0F) | ((pixel & 0xF) << 4));
      return;
    }
    case TPixelFormat::pf8bit:
      row[x] = static_cast<std::uint8_t>(pixel);
      return;
    case TPixelFormat::pf15bit:
    case TPixelFormat::pf16bit:
      row[2 * x] = static_cast<std::uint8_t>(pixel);
      row[2 * x + 1] = static_cast<std::uint8_t>(pixel >> 8);
      return;
    case TPixelFormat::pf24bit:
      row[3 * x] = static_cast<std::uint8_t>(pixel);
      row[3 * x + 1] = static_cast<std::uint8_t>(pixel >> 8);
      row[3 * x + 2] = static_cast<std::uint8_t>(pixel >> 16);
      return;
    default:
      std::memcpy(row + 4 * x, &pixel, 4);
      return;
  }
}

TColor TBitmap::GetPixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= FWidth || y >= FHeight) return clNone;
  return PixelToColor(GetRawPixel(x, y));
}

void TBitmap::SetPixel(int x, int y, TColor color) {
  if (x < 0 || y < 0 || x >= FWidth || y >= FHeight) return;
  SetRawPixel(x, y, ColorToPixel(color));
  Changed(this);
}

void TBitmap::SetPixelFormat(TPixelFormat format) {
  if (format == FFormat) return;
  int oldBits = BitsPerPixel(FFormat), newBits = BitsPerPixel(format);
  if (oldBits == 32 && newBits == 32) {  // device and 32 bits share a layout
    FFormat = format;
    Changed(this);
    return;
  }
  TBitmap old;
  old.Reset(FWidth, FHeight, FFormat, FPalette);
  old.FPixels.swap(FPixels);
  // A palette that still fits keeps its entries and the pixels their indices.
  bool keepIndices = IsPaletted(old.FFormat) && IsPaletted(format) &&
                     old.FPalette.size() <= (std::size_t{1} << newBits);
  FPalette = keepIndices ? old.FPalette : DefaultPalette(format);
  try {
    Allocate(FWidth, FHeight, format);
  } catch (...) {
    Reset(old.FWidth, old.FHeight, old.FFormat, old.FPalette);
    FPixels.swap(old.FPixels);
    throw;
  }
  if (!IsPaletted(format)) {
    // Without a palette to search, every pixel's conversion is arithmetic:
    // whole rows are decoded and stored.
    std::vector<TColor> colors(static_cast<std::size_t>(FWidth));
    for (int y = 0; y < FHeight; ++y) {
      old.ScanLineColors(y, colors.data());
      StoreColors(ScanLine(y), format, colors.data(), FWidth);
    }
    Changed(this);
    return;
  }
  std::unordered_map<std::uint32_t, std::uint32_t> matched;
  for (int y = 0; y < FHeight; ++y)
    for (int x = 0; x < FWidth; ++x) {
      std::uint32_t pixel = old.GetRawPixel(x, y);
      if (keepIndices && pixel < FPalette.size()) {
        SetRawPixel(x, y, pixel);
        continue;
      }
      auto it = matched.find(pixel);
      if (it == matched.end())
        it = matched.emplace(pixel, ColorToPixel(old.PixelToColor(pixel))).first;
      SetRawPixel(x, y, it->second);
    }
  Changed(this);
}

void TBitmap::SetPalette(const TPalette& palette) {
  if (!IsPaletted(FFormat)) return;
  std::size_t capacity = std::size_t{1} << BitsPerPixel(FFormat);
  if (palette.empty())
    FPalette = DefaultPalette(FFormat);
  else
    FPalette.assign(palette.begin(), palette.begin() + std::min(capacity, palette.size()));
  Changed(this);
}

TCanvas& TBitmap::Canvas() {
  if (!FCanvas) FCanvas = std::make_unique<TCanvas>(this);
  return *FCanvas;
}

void TBitmap::Assign(const TPersistent* source) {
  if (source == this) return;
  if (source == nullptr) {
    FPixels.clear();
    Reset(0, 0, FFormat, DefaultPalette(FFormat));
    Changed(this);
    return;
  }
  if (auto* bitmap = dynamic_cast<const TBitmap*>(source)) {
    FPixels = bitmap->FPixels;
    Reset(bitmap->FWidth, bitmap->FHeight, bitmap->FFormat, bitmap->FPalette);
    SetTransparent(bitmap->GetTransparent());
    Changed(this);
    return;
  }
  TGraphic::Assign(source);
}

void TBitmap::Draw(TCanvas& canvas, const TRect& rect) {
  if (GetEmpty()) return;
  TColor transparent = GetTransparent() ? GetPixel(0, FHeight - 1) : clNone;
  canvas.CopyFromBitmap(rect, *this, Rect(0, 0, FWidth, FHeight), nullptr, transparent);
}

void TBitmap::SaveToClipboardFormat(TClipboardFormat& format, TClipboardData& data,
                                    TPalette& palette) {
  TMemoryStream stream;
  SaveToStream(stream);
  format = CF_BITMAP;
  data = stream.Bytes();
  palette = FPalette;
}

void TBitmap::LoadFromClipboardFormat(TClipboardFormat format, const TClipboardData& data,
                                      const TPalette&) {
  if (format != CF_BITMAP) throw EInvalidGraphic("Unsupported clipboard format");
  TMemoryStream stream(data);
  LoadFromStream(stream);
}

std::unique_ptr<TBitmap> CreateMonochromeBitmap(int width, int height, const std::uint8_t* bits,
                                                int rowBytes) {
  if (width < 0 || height < 0 || rowBytes < (std::int64_t{width} + 7) / 8 ||
      (bits == nullptr && width > 0 && height > 0))
    throw EInvalidGraphic("Invalid bitmap: mask rows too short");
  auto mask = std::make_unique<TBitmap>(width, height, TPixelFormat::pf1bit);
  const std::size_t copied = (static_cast<std::size_t>(width) + 7) / 8;
  for (int y = 0; y < height; ++y)
    std::memcpy(mask->ScanLine(y), bits + static_cast<std::size_t>(y) * rowBytes, copied);
  return mask;
}

std::unique_ptr<TBitmap> PaletteBitmap(const std::string& resourceName) {
  const TClassInfo* info = TClassRegistry::Instance().Find(resourceName);
  if (info == nullptr || !info->PaletteIcon) return nullptr;
  auto bitmap = std::make_unique<TBitmap>(PaletteIconSize, PaletteIconSize, TPixelFormat::pf4bit);
  info->PaletteIcon(*bitmap);
  return bitmap;
}

}  // namespace tavkit
