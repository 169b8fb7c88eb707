// TBitmap: a picture held as rows of pixels in one of the framework's pixel
// formats, with a palette for the paletted formats and a canvas to draw on.
// Rows are stored top-down, each padded to a multiple of 4 bytes, in the
// device-independent layout: 1/4 bits packed most significant first, 8 bits
// an index, 15 bits x-5-5-5 and 16 bits 5-6-5 little-endian words, 24 bits
// blue-green-red, 32 bits blue-green-red-unused. The device format is held
// as 32 bits per pixel (this platform's display).
//
// ```cpp
// TBitmap icon(16, 16, TPixelFormat::pf8bit);  // starts with DefaultPalette(pf8bit)
// icon.Canvas().Brush().Color = clRed;
// icon.Canvas().FillRect(Rect(4, 4, 12, 12));
// icon.SetPixel(0, 0, clBlue);                // stored as the nearest palette entry
// TColor corner = icon.GetPixel(0, 0);
// std::uint8_t* row = icon.ScanLine(8);       // one palette index a byte, top row 0
// row[15] = static_cast<std::uint8_t>(icon.NearestPaletteIndex(clLime));
// icon.SaveToFile("icon.bmp");                // a BMP file in the bitmap's own format
// icon.SetPixelFormat(TPixelFormat::pf24bit);  // the same colours, now blue-green-red bytes
// icon.SaveToPNGFile("icon.png");
// TBitmap photo;
// photo.LoadFromFile("photo.bmp");            // EInvalidGraphic when it is broken or too large
// ```
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <tavkit/platform/base/Limits.h>
#include <tavkit/platform/graphics/Graphic.h>

namespace tavkit {

class TCanvas;

enum class TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit };

// Bits per pixel of a format (32 for the device format).
int BitsPerPixel(TPixelFormat format);

// The palette a new bitmap of a paletted format starts with: black and white
// for 1 bit, the sixteen standard colours for 4 bits, and for 8 bits those
// colours with a 6x6x6 colour cube and grey steps. Entries are placed so that
// entry (count - 1 - i) is close to the inverse of entry i, which keeps the
// inverting pen mode meaningful on paletted bitmaps. Empty for other formats.
TPalette DefaultPalette(TPixelFormat format);

// Bits per pixel of the display, which is what the device format holds.
int DisplayBitsPerPixel();

class TBitmap : public TGraphic {
 public:
  TBitmap();
  TBitmap(int width, int height, TPixelFormat format = TPixelFormat::pfDevice);
  ~TBitmap() override;

  // Copies another bitmap (size, format, palette, pixels, transparency); a
  // null source empties this one; other graphics are asked to copy themselves.
  void Assign(const TPersistent* source) override;

  // TGraphic
  void Draw(TCanvas& canvas, const TRect& rect) override;
  bool GetEmpty() const override { return FWidth == 0 || FHeight == 0; }
  int GetWidth() const override { return FWidth; }
  int GetHeight() const override { return FHeight; }
  void SetWidth(int width) override { SetSize(width, FHeight); }
  void SetHeight(int height) override { SetSize(FWidth, height); }
  // Reads a BMP (Windows bitmap) file.
  void LoadFromStream(TStream& stream) override;
  // Writes a BMP file in the bitmap's own format.
  void SaveToStream(TStream& stream) override;
  // A bitmap goes on the clipboard as CF_BITMAP, the BMP file of its
  // pixels, with its palette; it reads the same back.
  void SaveToClipboardFormat(TClipboardFormat& format, TClipboardData& data,
                             TPalette& palette) override;
  void LoadFromClipboardFormat(TClipboardFormat format, const TClipboardData& data,
                               const TPalette& palette) override;

  // Resizes, keeping the pixels that still fit; new pixels are white.
  // Negative sizes count as 0; sizes beyond the limits raise EOutOfMemory.
  void SetSize(int width, int height);
  TPixelFormat GetPixelFormat() const { return FFormat; }
  // Converts the pixels into another format (to a paletted format through
  // the nearest palette entry).
  void SetPixelFormat(TPixelFormat format);

  // The palette of a 1, 4 or 8-bit bitmap; empty for the others. A new
  // paletted bitmap starts with DefaultPalette. SetPalette keeps at most as
  // many entries as the format can index (an empty palette restores the
  // default) and leaves the pixel indices alone; other formats ignore it.
  const TPalette& GetPalette() const { return FPalette; }
  void SetPalette(const TPalette& palette);

  // Row y (0 is the top) in the format's layout; raises EInvalidGraphic
  // "Scan line index out of range" outside the bitmap.
  std::uint8_t* ScanLine(int y);
  const std::uint8_t* ScanLine(int y) const;
  int BytesPerRow() const;
  // The colours of row y, as GetPixel answers them, into colors[0] to
  // colors[width - 1]: the way to read many pixels, with the format's
  // decoding chosen once per row. Raises as ScanLine does.
  void ScanLineColors(int y, TColor* colors) const;

  // The colour of a pixel and its change, in any format; outside the bitmap
  // reading gives clNone and writing does nothing. An index beyond the
  // palette reads as black.
  TColor GetPixel(int x, int y) const;
  void SetPixel(int x, int y, TColor color);

  // Pixel values in the format's own terms: a palette index for paletted
  // formats, the little-endian word or bytes of the pixel otherwise (24 and
  // 32 bits: blue in the low byte). The raw accessors do not check bounds;
  // callers clip first.
  std::uint32_t ColorToPixel(TColor color) const;
  TColor PixelToColor(std::uint32_t pixel) const;
  std::uint32_t GetRawPixel(int x, int y) const;
  void SetRawPixel(int x, int y, std::uint32_t pixel);
  // The palette entry closest to a colour (0 when there is no palette).
  int NearestPaletteIndex(TColor color) const;

  // A canvas that draws on this bitmap.
  TCanvas& Canvas();

  // Reads and writes PNG files through libpng. Colour-mapped files without
  // transparency are read into a paletted bitmap of the file's depth (1, 4
  // or 8 bits); files with transparency into 32 bits with the alpha in the
  // fourth byte; the others into 24 bits. Paletted bitmaps are written as
  // colour-mapped files, all others as RGB.
  void LoadFromPNGStream(TStream& stream);
  void SaveToPNGStream(TStream& stream);
  void SaveToPNGFile(const std::string& fileName);

  // Reads and writes binary PPM (P6) files: a text header of width, height
  // and largest sample value, then red, green and blue samples of one byte
  // each, or two bytes (most significant first) when the largest sample is
  // above 255. Files are read into 24 bits, their samples scaled to 0..255,
  // and written with one-byte samples. Reading stops after the pixels, so
  // that a stream of several pictures reads one at a time.
  void LoadFromPPMStream(TStream& stream);
  void SaveToPPMStream(TStream& stream);

 private:
  friend class TCanvas;  // drawing reports the change of the picture

  void Allocate(int width, int height, TPixelFormat format);
  void Reset(int width, int height, TPixelFormat format, TPalette palette);

  int FWidth = 0;
  int FHeight = 0;
  TPixelFormat FFormat = TPixelFormat::pfDevice;
  TPalette FPalette;
  std::vector<std::uint8_t> FPixels;
  std::unique_ptr<TCanvas> FCanvas;
};

// A 1-bit mask bitmap (entry 0 black, entry 1 white) of the given size,
// from rows of bits rowBytes apart, the leftmost pixel in the most
// significant bit. White pixels are the ones TCanvas::CopyFromBitmap leaves
// unchanged when the bitmap is its mask. Raises EInvalidGraphic when the
// rows are too short for the width.
std::unique_ptr<TBitmap> CreateMonochromeBitmap(int width, int height, const std::uint8_t* bits,
                                                int rowBytes);

// A newly drawn palette bitmap (PaletteIconSize square, 4 bits per pixel
// with the default 16-colour palette) of the registered class whose resource
// name this is, in any letter case; null when there is no such class or it
// has no picture. It lives with the bitmap so that the class registry below
// knows nothing of pixels.
std::unique_ptr<TBitmap> PaletteBitmap(const std::string& resourceName);

}  // namespace tavkit
