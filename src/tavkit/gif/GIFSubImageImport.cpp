// Bitmaps made into frames: a bitmap of 1, 4 or 8 bits gives its colour table
// and indices through a device-independent copy; any other is read colour by
// colour, mapped straight onto the web palette, or reduced first
// (GIFColorReduction). Rows are read whole, never pixel by pixel. Kept apart
// from the frame's model (GIFSubImage.cpp) and its drawing
// (GIFSubImageDrawing.cpp).
#include <tavkit/gif/GIFSubImage.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <vector>

#include <tavkit/gif/GIFColorReduction.h>
#include <tavkit/gif/GIFImage.h>
#include <tavkit/gif/detail/GIFColorRows.h>
#include <tavkit/gif/detail/GIFProgress.h>
#include <tavkit/platform/base/Streams.h>

namespace tavkit {

using detail::kConverting;

namespace {

constexpr std::size_t kDIBHeaderSize = 40;

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
void TGIFSubImage::DIBToBitmap(TBitmap& bitmap) const {
  if (FDIBInfo.empty()) throw GIFException(sNoDIB);
  const std::size_t offset = 14 + FDIBInfo.size();
  const std::size_t total = offset + FDIBBits.size();
  std::uint8_t head[14] = {'B', 'M'};
  for (int i = 0; i < 4; ++i) {
    head[2 + i] = static_cast<std::uint8_t>(total >> (8 * i));
    head[10 + i] = static_cast<std::uint8_t>(offset >> (8 * i));
  }
  TMemoryStream stream;
  stream.WriteBuffer(head, sizeof(head));
  stream.WriteBuffer(FDIBInfo.data(), static_cast<std::int64_t>(FDIBInfo.size()));
  stream.WriteBuffer(FDIBBits.data(), static_cast<std::int64_t>(FDIBBits.size()));
  stream.SetPosition(0);
  bitmap.LoadFromStream(stream);
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
  if (reduction == rmNetscape && dither == dmNearest) {
    ImportWebColors(bitmap);
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
  // The map answers a colour by searching its entries; a picture repeats
  // few colours many times. The map starts empty here, so a small
  // open-addressed table of the colours met so far knows every colour it
  // holds (at most 256 of its 1024 slots are used, so probes stay short): a
  // colour the table lacks is new and is appended without a search, and a
  // pixel of the colour just before it skips even the table.
  constexpr std::uint32_t kSlots = 1024;
  std::array<TColor, kSlots> colors;
  std::array<std::uint8_t, kSlots> indices{};
  colors.fill(-1);  // no pixel reads as a negative colour
  const auto lookup = [&](TColor color) {
    std::uint32_t slot = (static_cast<std::uint32_t>(color) * 0x9E3779B1u) >> 22;
    while (colors[slot] != color) {
      if (colors[slot] < 0) {
        indices[slot] = static_cast<std::uint8_t>(FColorMap->Append(color));
        colors[slot] = color;
        break;
      }
      slot = (slot + 1) & (kSlots - 1);
    }
    return indices[slot];
  };
  const int width = FDescriptor.Width;
  std::vector<TColor> row(static_cast<std::size_t>(width));
  std::uint8_t* out = FData.get();
  TColor previous = -1;
  std::uint8_t index = 0;
  for (int y = 0; y < FDescriptor.Height; ++y) {
    bitmap.ScanLineColors(y, row.data());
    for (const TColor color : row) {
      if (color != previous) {
        index = lookup(color);
        previous = color;
      }
      *out++ = index;
    }
    ReportRows(y);
  }
}

void TGIFSubImage::ImportWebColors(const TBitmap& bitmap) {
  FDescriptor.Width = static_cast<std::uint16_t>(bitmap.GetWidth());
  FDescriptor.Height = static_cast<std::uint16_t>(bitmap.GetHeight());
  NewImage();
  const TPalette web = WebPalette();
  std::vector<std::uint8_t> table(4 * web.size());
  for (std::size_t i = 0; i < web.size(); ++i) {
    table[4 * i] = web[i].peBlue;
    table[4 * i + 1] = web[i].peGreen;
    table[4 * i + 2] = web[i].peRed;
  }
  FColorMap->ImportColorTable(table.data(), static_cast<int>(web.size()));
  detail::TBGRRowReader rows(bitmap);
  const int width = FDescriptor.Width;
  for (int y = 0; y < FDescriptor.Height; ++y) {
    detail::WebCubeIndices(
        rows.Row(y), width,
        FData.get() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width));
    ReportRows(y);
  }
}

void TGIFSubImage::ReportRows(int row) {
  if ((row + 1) % 32 == 0)
    Progress(TProgressStage::psRunning, (row + 1) * 100 / FDescriptor.Height, false, kConverting);
}

}  // namespace tavkit
