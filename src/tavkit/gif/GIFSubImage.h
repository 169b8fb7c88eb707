// TGIFSubImage: one frame of a GIF image, with its descriptor, local colour
// map, the extensions in front of it and its pixels (one colour index per
// byte, rows from the top).
// Members are defined in GIFSubImage.cpp (the frame and its stream form),
// GIFSubImageDrawing.cpp (rendering, drawing) and GIFSubImageImport.cpp (bitmaps).
//
// ```cpp
// TGIFImage gif;
// gif.LoadFromFile("spinner.gif");
// TBitmap screen(gif.GetWidth(), gif.GetHeight());
// const TRect whole = Rect(0, 0, gif.GetWidth(), gif.GetHeight());
// for (int i = 0; i < gif.GetImages().GetCount(); ++i) {
//   TGIFSubImage& frame = *gif.GetImages().GetImage(i);
//   TRect place = frame.GetBoundsRect();      // its part of the logical screen
//   bool interlaced = frame.GetInterlaced();  // descriptor fields, as the file has them
//   std::uint8_t index = frame.GetPixel(0, 0);  // pixels are colour indices
//   TColor colour = frame.GetActiveColorMap().GetColor(index);
//   TGIFGraphicControlExtension* control = frame.GetGraphicControlExtension();
//   if (control != nullptr && control->GetTransparent())  // delay, disposal, transparency
//     std::cout << "index " << int(control->GetTransparentColorIndex()) << " is see-through\n";
//   frame.Draw(screen.Canvas(), whole, true, false);  // see-through pixels keep what is there
// }
// ```
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <tavkit/gif/GIFColorMap.h>
#include <tavkit/gif/GIFExtensionList.h>
#include <tavkit/gif/GIFItem.h>
#include <tavkit/gif/GIFTypes.h>
#include <tavkit/platform/base/Types.h>
#include <tavkit/platform/graphics/Bitmap.h>
#include <tavkit/platform/graphics/Graphic.h>

namespace tavkit {

class TCanvas;
class TGIFGraphicControlExtension;
class TGIFImage;
class TGIFReader;
class TStream;

// A frame's image descriptor, field by field as it stands in the file.
struct TGIFImageDescriptor {
  std::uint8_t Separator = 0x2C;
  std::uint16_t Left = 0;
  std::uint16_t Top = 0;
  std::uint16_t Width = 0;
  std::uint16_t Height = 0;
  std::uint8_t PackedFields = 0;
};

// One frame.
class TGIFSubImage : public TGIFItem {
 public:
  explicit TGIFSubImage(TGIFImage* image);
  ~TGIFSubImage() override;

  // From another sub-image: descriptor, pixels, colours and fresh copies of
  // its extensions. From a bitmap: its pixels as colour indices (see
  // GIFSubImageImport.cpp); bitmaps of more than 256 colours are reduced
  // with the image's ColorReduction and DitherMode.
  void Assign(const TPersistent* source) override;
  TGIFVersion GetVersion() const override;
  // Extensions, then (unless empty) descriptor, local table and image data.
  void SaveToStream(TStream& stream) override;
  void LoadFromReader(TGIFReader& reader) override;
  void LoadFromFile(const std::string& fileName);

  void Clear();
  // Allocates Width x Height zeroed pixels (none when either is 0). Raises
  // GIFException when the frame is larger than MaxGIFFramePixels.
  void NewImage();
  bool GetEmpty() const;
  // 1 = Left, 2 = Top, 3 = Width, 4 = Height.
  int GetBounds(int index) const;
  void SetBounds(int index, int value);
  int GetLeft() const { return FDescriptor.Left; }
  int GetTop() const { return FDescriptor.Top; }
  int GetWidth() const { return FDescriptor.Width; }
  int GetHeight() const { return FDescriptor.Height; }
  TRect GetBoundsRect() const;
  TRect GetClientRect() const;
  bool GetInterlaced() const { return (FDescriptor.PackedFields & 0x40) != 0; }
  void SetInterlaced(bool interlaced);
  TGIFImageDescriptor& GetDescriptor() { return FDescriptor; }
  const TGIFImageDescriptor& GetDescriptor() const { return FDescriptor; }

  int GetColorResolution() const { return FColorMap->GetBitsPerPixel() - 1; }
  int GetBitsPerPixel() const { return FColorMap->GetBitsPerPixel(); }
  // The global map when this frame has no colours of its own and the
  // global map has some; else the local map.
  TGIFColorMap& GetActiveColorMap();
  TGIFLocalColorMap& GetColorMap() { return *FColorMap; }
  const TGIFLocalColorMap& GetColorMap() const { return *FColorMap; }
  TGIFExtensionList& GetExtensions() { return *FExtensions; }
  const TGIFExtensionList& GetExtensions() const { return *FExtensions; }

  std::uint8_t* GetData() { return FData.get(); }
  const std::uint8_t* GetData() const { return FData.get(); }
  std::size_t GetDataSize() const { return FDataSize; }
  // The index at (x, y); raises "Invalid pixel coordinates" outside.
  std::uint8_t GetPixel(int x, int y) const;

  bool GetTransparent() const { return FTransparent; }
  TGIFGraphicControlExtension* GetGraphicControlExtension() const { return FGCE; }

  // The palette the frame is drawn with: its rendering's, else the one
  // kept, else made and kept: the web palette when the image dithers, the
  // local colours when there are some; without local colours the image's.
  const TPalette& GetPalette();
  // A different palette drops the rendering made with the old one.
  void SetPalette(const TPalette& palette);

  // The frame rendered as an 8-bit bitmap of its size, made on first use
  // (reporting "Rendering...") and kept; null for an empty frame or when a
  // progress handler aborted the rendering.
  TBitmap* GetBitmap();
  // Drops the rendering; a bitmap given replaces the frame's pixels.
  void SetBitmap(const TBitmap* bitmap);
  // A new rendering with the frame's palette, and the mask of its
  // transparent pixels when that has to be built.
  std::unique_ptr<TBitmap> DoGetBitmap();
  // The same, each pixel's colour dithered onto the web palette.
  std::unique_ptr<TBitmap> DoGetDitherBitmap();
  // The mask made with the rendering: white where the frame is
  // transparent; null when no pixel is.
  TBitmap* GetMask() const { return FMask.get(); }
  // Renders again when the mask is due to be rebuilt; answers whether the
  // frame has a mask.
  bool HasMask();
  void FreeBitmap();
  // Drops the mask and has it rebuilt with the next rendering.
  void FreeMask();
  // The frame's place on the logical screen scaled into rect.
  TRect ScaleRect(const TRect& rect) const;
  // The places of the frame, unscaled, when the logical screen is repeated
  // across rect from its top-left corner: every one that starts inside
  // rect and meets visible, whole (callers clip).
  std::vector<TRect> TileRects(const TRect& rect, const TRect& visible) const;
  // Draws the frame into rect of the canvas: scaled to its place, or with
  // doTile unscaled and repeated every logical screen across rect; with
  // doTransparent its transparent pixels leave the canvas as it was.
  // Nothing is drawn outside rect.
  void Draw(TCanvas& canvas, const TRect& rect, bool doTransparent, bool doTile);
  // Draws the frame stretched into rect, or tiled from rect's corner.
  void StretchDraw(TCanvas& canvas, const TRect& rect, bool doTransparent, bool doTile);
  // Loads the device-independent copy held (see BitmapToDIB) into bitmap,
  // as a bitmap file in memory. Raises "Image has no DIB" without one.
  void DIBToBitmap(TBitmap& bitmap) const;

  // Sets the descriptor's packed fields from the local colour map.
  void Prepare();
  // A device-independent copy of a bitmap, held while it is imported: its
  // own depth when it has 1, 4 or 8 bits per pixel, else 8 bits; rows
  // padded to 32 bits and stored bottom-up, with a 40-byte header and a
  // colour table of 2^bits entries (blue, green, red, 0). Raises
  // EInvalidGraphic for a bitmap without pixels.
  void BitmapToDIB(const TBitmap& bitmap);
  // Row `row` of the copy, 0 being the top; raises "Image has no DIB"
  // without a copy and EInvalidGraphic for a row outside it.
  const std::uint8_t* GetScanLine(int row) const;
  void FreeDIB();

  // Writes the pixels as image data with the image's encoder.
  void Compress(TStream& stream);
  // Allocates the pixels and decodes image data into them.
  void Decompress(TStream& stream);
  void Decompress(TGIFReader& reader);

 protected:
  // A bitmap receives the frame's rendering.
  void AssignTo(TPersistent* dest) const override;

 private:
  friend class TGIFGraphicControlExtension;
  struct TFreeDeleter {
    void operator()(std::uint8_t* p) const { std::free(p); }
  };

  void AssignBitmap(const TBitmap& bitmap);
  void ConvertBitmap(const TBitmap& bitmap);
  // A new 8-bit bitmap of the frame's size and palette.
  std::unique_ptr<TBitmap> NewFrameBitmap();
  // Builds the mask when it is due: bit 1 for every pixel of the
  // transparent index.
  void BuildMask();
  // Passes a report to the image's progress event.
  void Progress(TProgressStage stage, int percent, bool redrawNow, const std::string& message);
  // Reports the conversion of a bitmap after every 32nd row.
  void ReportRows(int row);
  // The logical screen's size as drawing sees it: never smaller than this
  // frame's extent, never 0.
  int ScreenWidth() const;
  int ScreenHeight() const;

  // A 1, 4 or 8-bit bitmap: its colour table and its indices.
  void ImportPalettedBitmap(const TBitmap& bitmap);
  // Any bitmap, colour by colour into the local map, which must be empty;
  // raises "Color table overflow" at the 257th colour, keeping what was
  // read so far.
  void ImportBitmapColors(const TBitmap& bitmap);
  // Any bitmap of more than 8 bits onto the web palette by nearest colour:
  // what reducing it to an 8-bit bitmap and importing that gives.
  void ImportWebColors(const TBitmap& bitmap);

  TGIFImageDescriptor FDescriptor;
  std::unique_ptr<std::uint8_t[], TFreeDeleter> FData;
  std::size_t FDataSize = 0;
  std::unique_ptr<TGIFLocalColorMap> FColorMap;
  std::unique_ptr<TGIFExtensionList> FExtensions;
  bool FTransparent = false;
  TGIFGraphicControlExtension* FGCE = nullptr;
  TPalette FPalette;
  std::unique_ptr<TBitmap> FBitmap;
  std::unique_ptr<TBitmap> FMask;
  bool FNeedMask = true;
  std::vector<std::uint8_t> FDIBInfo;  // header and colour table
  std::vector<std::uint8_t> FDIBBits;  // the rows, bottom-up
};

}  // namespace tavkit
