// The BMP file format of TBitmap: every header form, bit-field and paletted
// file is read into the nearest pixel format, and each bitmap is written in
// its own format with a 40-byte header. Reading checks every offset and
// length against the stream's real size before it reads or allocates.
#include <tavkit/platform/graphics/Bitmap.h>

#include <algorithm>
#include <bit>
#include <cstring>

#include <tavkit/platform/base/Exceptions.h>
#include <tavkit/platform/base/Streams.h>
#include <tavkit/platform/graphics/detail/BitmapLayout.h>

namespace tavkit {

using namespace detail;

namespace {

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

}  // namespace

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

}  // namespace tavkit
