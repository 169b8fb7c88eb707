// The binary PPM file format of TBitmap, the plainest way to hand pictures
// over from other tools: a text header, then red, green and blue samples.
// The header's numbers are bounded and the samples counted against the
// stream's real length before the pixels are allocated.
#include <tavkit/platform/graphics/Bitmap.h>

#include <algorithm>
#include <cctype>

#include <tavkit/platform/base/Exceptions.h>
#include <tavkit/platform/base/Streams.h>

namespace tavkit {

void TBitmap::LoadFromPPMStream(TStream& stream) {
  const std::int64_t start = stream.GetPosition();
  std::vector<std::uint8_t> bytes(
      static_cast<std::size_t>(std::max<std::int64_t>(stream.GetSize() - start, 0)));
  stream.ReadBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
  if (bytes.size() < 2 || bytes[0] != 'P' || bytes[1] != '6')
    throw EInvalidGraphic("Invalid PPM image: not a PPM file");
  // The header's numbers are separated by blanks and by comments that run
  // from '#' to the end of their line.
  std::size_t at = 2;
  const auto number = [&]() {
    for (;;) {
      while (at < bytes.size() && std::isspace(bytes[at])) ++at;
      if (at < bytes.size() && bytes[at] == '#')
        while (at < bytes.size() && bytes[at] != '\n' && bytes[at] != '\r') ++at;
      else
        break;
    }
    if (at >= bytes.size() || !std::isdigit(bytes[at]))
      throw EInvalidGraphic("Invalid PPM image: malformed header");
    long value = 0;
    while (at < bytes.size() && std::isdigit(bytes[at]) && value <= 0xFFFFFF)
      value = value * 10 + (bytes[at++] - '0');
    if (value > 0xFFFFFF) throw EInvalidGraphic("Invalid PPM image: number too large");
    return value;
  };
  const long width = number(), height = number(), maximum = number();
  // Exactly one blank separates the header from the samples.
  if (at >= bytes.size() || !std::isspace(bytes[at]))
    throw EInvalidGraphic("Invalid PPM image: malformed header");
  ++at;
  if (maximum < 1 || maximum > 65535)
    throw EInvalidGraphic("Invalid PPM image: largest sample out of range");
  const std::size_t sampleBytes = maximum > 255 ? 2 : 1;
  const auto needed =
      static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3 * sampleBytes;
  if (bytes.size() - at < needed)
    throw EInvalidGraphic("Invalid PPM image: the pixels are truncated");

  TBitmap result;
  result.Reset(0, 0, TPixelFormat::pf24bit, {});
  result.Allocate(static_cast<int>(width), static_cast<int>(height), TPixelFormat::pf24bit);
  const auto sample = [&]() {
    long value = bytes[at++];
    if (sampleBytes == 2) value = value << 8 | bytes[at++];
    return static_cast<std::uint8_t>((value * 255 + maximum / 2) / maximum);
  };
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = result.ScanLine(y);
    for (int x = 0; x < width; ++x, row += 3) {
      row[2] = sample();
      row[1] = sample();
      row[0] = sample();
    }
  }

  stream.SetPosition(start + static_cast<std::int64_t>(at));
  FPixels.swap(result.FPixels);
  Reset(result.FWidth, result.FHeight, result.FFormat, result.FPalette);
  Changed(this);
}

void TBitmap::SaveToPPMStream(TStream& stream) {
  const std::string header =
      "P6\n" + std::to_string(FWidth) + " " + std::to_string(FHeight) + "\n255\n";
  stream.WriteBuffer(header.data(), static_cast<std::int64_t>(header.size()));
  std::vector<std::uint8_t> row(static_cast<std::size_t>(FWidth) * 3);
  for (int y = 0; y < FHeight; ++y) {
    for (int x = 0; x < FWidth; ++x) {
      const TColor color = PixelToColor(GetRawPixel(x, y));
      row[3 * x] = GetRValue(color);
      row[3 * x + 1] = GetGValue(color);
      row[3 * x + 2] = GetBValue(color);
    }
    stream.WriteBuffer(row.data(), static_cast<std::int64_t>(row.size()));
  }
}

}  // namespace tavkit
