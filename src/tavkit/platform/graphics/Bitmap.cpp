// TBitmap: pixel storage in every format, conversion between formats,
// palettes, and the BMP and PNG file formats. Files are checked against
// the stream's real length and the library's size limits before anything is
// allocated, and libpng is used only through its simplified interface, which
// reports failures as return values instead of jumping across C++ frames.
#include <tavkit/platform/graphics/Bitmap.h>

#include <png.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <unordered_map>

#include <tavkit/platform/base/Exceptions.h>
#include <tavkit/platform/base/Limits.h>
#include <tavkit/platform/base/Registry.h>
#include <tavkit/platform/base/Streams.h>
#include <tavkit/platform/graphics/Canvas.h>

namespace tavkit {

namespace {

bool IsPaletted(TPixelFormat format) {
  return BitsPerPixel(format) <= 8;
}

std::int64_t RowBytes(std::int64_t width, int bits) {
  return ((width * bits + 31) / 32) * 4;
}

std::string SizeText(std::int64_t width, std::int64_t height) {
  return std::to_string(width) + "x" + std::to_string(height);
}

// Raises E with "<refusal>WxH)" when no bitmap of this size may be made:
// beyond a limit as ETooLarge, with a negative side as E alone.
template <class E>
void CheckSize(std::int64_t width, std::int64_t height, int bits, const char* refusal) {
  auto message = [&] { return refusal + SizeText(width, height) + ")"; };
  if (width < 0 || height < 0) throw E(message());
  if (width > MaxBitmapSide || height > MaxBitmapSide)
    throw ETooLargeAs<E>("MaxBitmapSide", MaxBitmapSide, message());
  if (RowBytes(width, bits) * height > MaxBitmapBytes)
    throw ETooLargeAs<E>("MaxBitmapBytes", MaxBitmapBytes, message());
}

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

// Little-endian readers over a byte buffer whose length the caller checked.
std::uint16_t U16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t U32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::int32_t I32(const std::uint8_t* p) {
  return static_cast<std::int32_t>(U32(p));
}

void Put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// One channel of a bit-field pixel, scaled to 0..255.
struct TChannel {
  std::uint32_t Mask = 0;
  int Shift = 0;
  std::uint32_t Max = 0;
  explicit TChannel(std::uint32_t mask) : Mask(mask) {
    if (mask == 0) return;
    Shift = std::countr_zero(mask);
    Max = mask >> Shift;
  }
  std::uint8_t Get(std::uint32_t pixel) const {
    if (Max == 0) return 0;
    return static_cast<std::uint8_t>((std::uint64_t{(pixel & Mask) >> Shift} * 255 + Max / 2) /
                                     Max);
  }
};

[[noreturn]] void BadBitmap(const std::string& why) {
  throw EInvalidGraphic("Invalid bitmap: " + why);
}

// Frees a libpng simplified-interface image on every path.
struct TPngImageGuard {
  png_image& Image;
  ~TPngImageGuard() { png_image_free(&Image); }
};

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

// BMP files: a 14-byte file header, an information header (the 12-byte core
// form or any of the 40-byte family), bit masks, a colour table and the rows,
// bottom-up unless the height is negative.
void TBitmap::LoadFromStream(TStream& stream) {
  std::int64_t start = stream.GetPosition();
  std::int64_t available = stream.GetSize() - start;
  auto read = [&](std::int64_t offset, std::int64_t count) {
    if (offset < 0 || count < 0 || offset + count > available) BadBitmap("the file is truncated");
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(count));
    stream.SetPosition(start + offset);
    stream.ReadBuffer(bytes.data(), count);
    return bytes;
  };

  std::vector<std::uint8_t> head = read(0, 18);
  if (head[0] != 'B' || head[1] != 'M') throw EInvalidGraphic("Invalid bitmap: not a BMP file");
  std::uint32_t pixelOffset = U32(&head[10]);
  std::uint32_t headerSize = U32(&head[14]);
  if (headerSize != 12 && headerSize != 16 && (headerSize < 40 || headerSize > 124))
    BadBitmap("unsupported header size " + std::to_string(headerSize));
  std::vector<std::uint8_t> info = read(14, headerSize);
  info.resize(124, 0);  // fields a short header lacks read as zero

  std::int64_t width, height;
  int bits;
  std::uint32_t compression = 0, colorsUsed = 0;
  bool core = headerSize == 12;
  if (core) {
    width = U16(&info[4]);
    height = U16(&info[6]);
    bits = U16(&info[10]);
  } else {
    width = I32(&info[4]);
    height = I32(&info[8]);
    bits = U16(&info[14]);
    compression = U32(&info[16]);
    colorsUsed = U32(&info[32]);
  }
  bool topDown = height < 0;
  if (topDown) height = -height;
  if (width < 0) BadBitmap("negative width");
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
    BadBitmap("unsupported bit count " + std::to_string(bits));
  CheckSize<EInvalidGraphic>(width, height, bits, "Invalid bitmap: too large (");

  // Bit masks: inside the longer headers, after the 40-byte one.
  std::int64_t tableOffset = 14 + std::int64_t{headerSize};
  std::uint32_t masks[3] = {0, 0, 0};
  bool bitFields = compression == 3 || compression == 6;
  if (compression != 0 && !bitFields)
    BadBitmap("unsupported compression " + std::to_string(compression));
  if (bitFields) {
    if (bits != 16 && bits != 32) BadBitmap("bit fields with " + std::to_string(bits) + " bits");
    if (headerSize >= 52) {
      for (int i = 0; i < 3; ++i) masks[i] = U32(&info[40 + 4 * i]);
    } else {
      std::int64_t maskBytes = compression == 6 ? 16 : 12;
      std::vector<std::uint8_t> m = read(tableOffset, maskBytes);
      for (int i = 0; i < 3; ++i) masks[i] = U32(&m[4 * i]);
      tableOffset += maskBytes;
    }
  }

  TPalette palette;
  if (bits <= 8) {
    std::int64_t capacity = std::int64_t{1} << bits;
    std::int64_t count = colorsUsed == 0 ? capacity : std::min<std::int64_t>(colorsUsed, capacity);
    int entrySize = core ? 3 : 4;
    std::vector<std::uint8_t> table = read(tableOffset, count * entrySize);
    for (std::int64_t i = 0; i < count; ++i) {
      const std::uint8_t* p = &table[static_cast<std::size_t>(i * entrySize)];
      palette.push_back(TPaletteEntry{p[2], p[1], p[0], 0});
    }
  }

  TPixelFormat format = TPixelFormat::pf24bit;
  bool convert = false;  // bit fields of an unusual layout, decoded per pixel
  switch (bits) {
    case 1:
      format = TPixelFormat::pf1bit;
      break;
    case 4:
      format = TPixelFormat::pf4bit;
      break;
    case 8:
      format = TPixelFormat::pf8bit;
      break;
    case 16:
      if (!bitFields || (masks[0] == 0x7C00 && masks[1] == 0x03E0 && masks[2] == 0x001F))
        format = TPixelFormat::pf15bit;
      else if (masks[0] == 0xF800 && masks[1] == 0x07E0 && masks[2] == 0x001F)
        format = TPixelFormat::pf16bit;
      else
        convert = true;
      break;
    case 24:
      format = TPixelFormat::pf24bit;
      break;
    default:
      if (!bitFields || (masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF))
        format = TPixelFormat::pf32bit;
      else
        convert = true;
  }

  std::int64_t stride = RowBytes(width, bits);
  std::int64_t dataOffset = pixelOffset != 0 ? pixelOffset : tableOffset;
  // The last row may lack its padding; everything before it must be there.
  std::int64_t needed = height == 0 ? 0 : stride * (height - 1) + (width * bits + 7) / 8;
  if (dataOffset + needed > available) BadBitmap("the pixel data is truncated");

  TBitmap result;
  result.Reset(0, 0, format, palette.empty() ? DefaultPalette(format) : palette);
  result.Allocate(static_cast<int>(width), static_cast<int>(height), format);
  std::vector<std::uint8_t> row(static_cast<std::size_t>(stride));
  TChannel red(masks[0]), green(masks[1]), blue(masks[2]);
  stream.SetPosition(start + dataOffset);
  // Rows of a bitmap without width hold no bytes: there is nothing to read.
  for (std::int64_t i = 0; i < height && stride > 0; ++i) {
    std::int64_t count = std::min(stride, available - dataOffset - i * stride);
    std::fill(row.begin(), row.end(), 0);
    stream.ReadBuffer(row.data(), count);
    int y = static_cast<int>(topDown ? i : height - 1 - i);
    if (!convert) {
      std::memcpy(result.ScanLine(y), row.data(), static_cast<std::size_t>(stride));
      continue;
    }
    for (int x = 0; x < width; ++x) {
      std::uint32_t p = bits == 16 ? U16(&row[2 * x]) : U32(&row[4 * x]);
      result.SetRawPixel(x, y, result.ColorToPixel(RGB(red.Get(p), green.Get(p), blue.Get(p))));
    }
  }
  stream.SetPosition(start + dataOffset + std::min(available - dataOffset, stride * height));

  FPixels.swap(result.FPixels);
  Reset(result.FWidth, result.FHeight, result.FFormat, result.FPalette);
  Changed(this);
}

void TBitmap::SaveToStream(TStream& stream) {
  int bits = BitsPerPixel(FFormat);
  bool masks = FFormat == TPixelFormat::pf16bit;
  std::uint32_t tableBytes = static_cast<std::uint32_t>(FPalette.size() * 4) + (masks ? 12 : 0);
  std::uint32_t imageBytes = static_cast<std::uint32_t>(FPixels.size());
  std::uint32_t offset = 14 + 40 + tableBytes;

  std::vector<std::uint8_t> head;
  head.push_back('B');
  head.push_back('M');
  Put32(head, offset + imageBytes);
  Put32(head, 0);
  Put32(head, offset);
  Put32(head, 40);
  Put32(head, static_cast<std::uint32_t>(FWidth));
  Put32(head, static_cast<std::uint32_t>(FHeight));
  Put16(head, 1);
  Put16(head, static_cast<std::uint32_t>(bits));
  Put32(head, masks ? 3 : 0);
  Put32(head, imageBytes);
  Put32(head, 0);
  Put32(head, 0);
  Put32(head, static_cast<std::uint32_t>(FPalette.size()));
  Put32(head, 0);
  if (masks) {
    Put32(head, 0xF800);
    Put32(head, 0x07E0);
    Put32(head, 0x001F);
  }
  for (const TPaletteEntry& e : FPalette) {
    head.push_back(e.peBlue);
    head.push_back(e.peGreen);
    head.push_back(e.peRed);
    head.push_back(0);
  }
  stream.WriteBuffer(head.data(), static_cast<std::int64_t>(head.size()));
  for (int y = FHeight - 1; y >= 0; --y) stream.WriteBuffer(ScanLine(y), BytesPerRow());
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

void TBitmap::LoadFromPNGStream(TStream& stream) {
  std::int64_t start = stream.GetPosition();
  std::int64_t available = stream.GetSize() - start;
  std::vector<std::uint8_t> data(static_cast<std::size_t>(std::max<std::int64_t>(available, 0)));
  stream.ReadBuffer(data.data(), static_cast<std::int64_t>(data.size()));
  static const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (data.size() < 33 || std::memcmp(data.data(), signature, 8) != 0)
    throw EInvalidGraphic("Invalid PNG image: not a PNG file");
  // The file ends after its IEND chunk; whatever follows belongs to the stream.
  std::size_t end = 8;
  std::int64_t compressed = 0;  // bytes of image data (IDAT chunks)
  while (end + 12 <= data.size()) {
    std::uint32_t length = (std::uint32_t{data[end]} << 24) | (std::uint32_t{data[end + 1]} << 16) |
                           (std::uint32_t{data[end + 2]} << 8) | data[end + 3];
    bool last = std::memcmp(&data[end + 4], "IEND", 4) == 0;
    if (std::memcmp(&data[end + 4], "IDAT", 4) == 0) compressed += length;
    if (length > data.size() - end - 12) {
      end = data.size();
      break;
    }
    end += 12 + length;
    if (last) break;
  }
  end = std::min(end, data.size());
  int fileDepth = data[24];

  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  TPngImageGuard guard{image};
  if (!png_image_begin_read_from_memory(&image, data.data(), end))
    throw EInvalidGraphic(std::string("Invalid PNG image: ") + image.message);
  CheckSize<EInvalidGraphic>(image.width, image.height, 32, "Invalid PNG image: too large (");
  // Deflate makes at most 1032 bytes of one (a 258-byte match in two bits),
  // so image data too short for the pixels the header claims is refused
  // before their memory is taken: a file of a hundred bytes must not cost a
  // gigabyte. The header was checked by libpng, and the size is within the
  // bitmap limits, so the product stays far inside 64 bits.
  static const int channels[7] = {1, 0, 3, 1, 2, 0, 4};
  const int colourType = data[25];
  const std::int64_t pixelBytes = std::int64_t{image.width} * image.height * fileDepth *
                                  (colourType < 7 ? channels[colourType] : 4) / 8;
  if (pixelBytes > compressed * 1032 + 1032)
    throw EInvalidGraphic("Invalid PNG image: the pixel data is truncated");

  int width = static_cast<int>(image.width), height = static_cast<int>(image.height);
  TBitmap result;
  if (image.format & PNG_FORMAT_FLAG_ALPHA) {
    image.format = PNG_FORMAT_BGRA;
    result.Allocate(width, height, TPixelFormat::pf32bit);
  } else if (image.format & PNG_FORMAT_FLAG_COLORMAP) {
    image.format = PNG_FORMAT_RGB_COLORMAP;
    TPixelFormat format = fileDepth == 1   ? TPixelFormat::pf1bit
                          : fileDepth <= 4 ? TPixelFormat::pf4bit
                                           : TPixelFormat::pf8bit;
    std::vector<std::uint8_t> indices(static_cast<std::size_t>(width) * height);
    std::vector<std::uint8_t> colormap(256 * 3);
    if (!png_image_finish_read(&image, nullptr, indices.data(), width, colormap.data()))
      throw EInvalidGraphic(std::string("Invalid PNG image: ") + image.message);
    std::size_t entries =
        std::min<std::size_t>(image.colormap_entries, std::size_t{1} << BitsPerPixel(format));
    TPalette palette;
    for (std::size_t i = 0; i < entries; ++i)
      palette.push_back(
          TPaletteEntry{colormap[3 * i], colormap[3 * i + 1], colormap[3 * i + 2], 0});
    result.Reset(0, 0, format, palette);
    result.Allocate(width, height, format);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        result.SetRawPixel(x, y, indices[static_cast<std::size_t>(y) * width + x]);
  } else {
    image.format = PNG_FORMAT_BGR;
    result.Allocate(width, height, TPixelFormat::pf24bit);
  }
  if (!IsPaletted(result.FFormat) &&
      !png_image_finish_read(&image, nullptr, result.FPixels.data(), result.BytesPerRow(), nullptr))
    throw EInvalidGraphic(std::string("Invalid PNG image: ") + image.message);

  stream.SetPosition(start + static_cast<std::int64_t>(end));
  FPixels.swap(result.FPixels);
  Reset(result.FWidth, result.FHeight, result.FFormat, result.FPalette);
  Changed(this);
}

void TBitmap::SaveToPNGStream(TStream& stream) {
  if (GetEmpty()) throw EInvalidGraphic("Cannot save an empty bitmap as PNG");
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(FWidth);
  image.height = static_cast<png_uint_32>(FHeight);
  TPngImageGuard guard{image};

  std::vector<std::uint8_t> pixels;
  std::vector<std::uint8_t> colormap;
  const void* buffer = nullptr;
  png_int_32 stride = 0;
  if (IsPaletted(FFormat)) {
    // Indices beyond the palette get black entries, as they read.
    pixels.resize(static_cast<std::size_t>(FWidth) * FHeight);
    std::uint32_t highest = 0;
    for (int y = 0; y < FHeight; ++y)
      for (int x = 0; x < FWidth; ++x) {
        std::uint32_t index = GetRawPixel(x, y);
        highest = std::max(highest, index);
        pixels[static_cast<std::size_t>(y) * FWidth + x] = static_cast<std::uint8_t>(index);
      }
    std::size_t entries = std::max<std::size_t>({FPalette.size(), highest + 1, 2});
    colormap.assign(entries * 3, 0);
    for (std::size_t i = 0; i < FPalette.size(); ++i) {
      colormap[3 * i] = FPalette[i].peRed;
      colormap[3 * i + 1] = FPalette[i].peGreen;
      colormap[3 * i + 2] = FPalette[i].peBlue;
    }
    image.format = PNG_FORMAT_RGB_COLORMAP;
    image.colormap_entries = static_cast<png_uint_32>(entries);
    buffer = pixels.data();
    stride = FWidth;
  } else if (FFormat == TPixelFormat::pf24bit) {
    image.format = PNG_FORMAT_BGR;
    buffer = FPixels.data();
    stride = BytesPerRow();
  } else {
    pixels.resize(static_cast<std::size_t>(FWidth) * FHeight * 3);
    for (int y = 0; y < FHeight; ++y)
      for (int x = 0; x < FWidth; ++x) {
        TColor c = PixelToColor(GetRawPixel(x, y));
        std::uint8_t* p = &pixels[(static_cast<std::size_t>(y) * FWidth + x) * 3];
        p[0] = GetBValue(c);
        p[1] = GetGValue(c);
        p[2] = GetRValue(c);
      }
    image.format = PNG_FORMAT_BGR;
    buffer = pixels.data();
    stride = FWidth * 3;
  }

  png_alloc_size_t size = 0;
  const void* map = colormap.empty() ? nullptr : colormap.data();
  if (!png_image_write_to_memory(&image, nullptr, &size, 0, buffer, stride, map))
    throw EInvalidGraphic(std::string("Cannot write PNG image: ") + image.message);
  std::vector<std::uint8_t> out(size);
  if (!png_image_write_to_memory(&image, out.data(), &size, 0, buffer, stride, map))
    throw EInvalidGraphic(std::string("Cannot write PNG image: ") + image.message);
  stream.WriteBuffer(out.data(), static_cast<std::int64_t>(size));
}

void TBitmap::SaveToPNGFile(const std::string& fileName) {
  TMemoryStream stream;
  SaveToPNGStream(stream);
  stream.SaveToFile(fileName);
}

std::unique_ptr<TBitmap> PaletteBitmap(const std::string& resourceName) {
  const TClassInfo* info = TClassRegistry::Instance().Find(resourceName);
  if (info == nullptr || !info->PaletteIcon) return nullptr;
  auto bitmap = std::make_unique<TBitmap>(PaletteIconSize, PaletteIconSize, TPixelFormat::pf4bit);
  info->PaletteIcon(*bitmap);
  return bitmap;
}

}  // namespace tavkit
