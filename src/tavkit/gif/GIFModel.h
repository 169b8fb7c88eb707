// The GIF document held in memory: a TGIFImage owns a header (logical screen
// and global colour map) and a list of sub-images (frames); each sub-image
// owns its local colour map, the extension blocks written in front of it
// and its pixels, one colour index per byte, rows from the top. Reading and
// writing the stream format is done by the same classes (GIFModel.cpp and
// GIFExtensions.cpp), the image data by the LZW coders.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <tavkit/gif/GIFColorMap.h>
#include <tavkit/gif/GIFTypes.h>
#include <tavkit/platform/base/Lists.h>
#include <tavkit/platform/base/Types.h>
#include <tavkit/platform/graphics/Bitmap.h>
#include <tavkit/platform/graphics/Graphic.h>

namespace tavkit {

class TBitmap;
class TCanvas;
class TGIFExtension;
class TGIFGraphicControlExtension;
class TGIFImage;
class TGIFPainter;
class TGIFReader;
class TGIFSubImage;
class TStream;

// A part of the document that knows its image and reads and writes itself.
class TGIFItem : public TPersistent {
 public:
  explicit TGIFItem(TGIFImage* image) : FImage(image) {}

  // The oldest file version that can hold this item.
  virtual TGIFVersion GetVersion() const { return gv87a; }
  // Passed on to the image, with this item as the sender.
  virtual void Warning(TGIFSeverity severity, const std::string& message);
  virtual void SaveToStream(TStream& stream) = 0;
  // Reads the item from the stream's position, leaving the stream behind it.
  virtual void LoadFromStream(TStream& stream);
  // The same from a GIF held in memory.
  virtual void LoadFromReader(TGIFReader& reader) = 0;

  TGIFImage* GetImage() const { return FImage; }

 protected:
  TGIFImage* FImage;
};

// An ordered list of items that it owns: Delete and Clear free them.
class TGIFList : public TPersistent {
 public:
  explicit TGIFList(TGIFImage* image) : FImage(image) {}
  ~TGIFList() override;

  virtual void Warning(TGIFSeverity severity, const std::string& message);
  // Every item in order.
  virtual void SaveToStream(TStream& stream);
  virtual void LoadFromStream(TStream& stream, TObject* parent) = 0;

  TGIFItem* GetItem(int index) const { return FItems.Get(index); }
  void SetItem(int index, TGIFItem* item) { FItems.Put(index, item); }
  int GetCount() const { return FItems.Count(); }
  int Add(TGIFItem* item) { return FItems.Add(item); }
  void Clear();
  void Delete(int index);
  void Exchange(int a, int b) { FItems.Exchange(a, b); }
  TGIFItem* First() const { return FItems.First(); }
  int IndexOf(const TGIFItem* item) const { return FItems.IndexOf(item); }
  void Insert(int index, TGIFItem* item) { FItems.Insert(index, item); }
  TGIFItem* Last() const { return FItems.Last(); }
  void Move(int from, int to) { FItems.Move(from, to); }
  // Unlinks the item without freeing it.
  void Remove(TGIFItem* item) { FItems.Remove(item); }
  TGIFImage* GetGIFImage() const { return FImage; }

 protected:
  TGIFImage* FImage;
  TList<TGIFItem> FItems;
};

class TGIFImageList : public TGIFList {
 public:
  using TGIFList::TGIFList;
  TGIFSubImage* GetImage(int index) const;
  void SetImage(int index, TGIFSubImage* subImage);
  // parent is the TGIFImage the sub-images belong to.
  void LoadFromStream(TStream& stream, TObject* parent) override;
  void LoadFromReader(TGIFReader& reader, TGIFImage* image);
};

class TGIFExtensionList : public TGIFList {
 public:
  TGIFExtensionList(TGIFSubImage* subImage);
  TGIFExtension* GetExtension(int index) const;
  void SetExtension(int index, TGIFExtension* extension);
  // parent is the TGIFSubImage the extensions belong to.
  void LoadFromStream(TStream& stream, TObject* parent) override;
  void LoadFromReader(TGIFReader& reader, TGIFSubImage* subImage);
};

// The logical screen descriptor and the global colour map.
class TGIFHeader : public TGIFItem {
 public:
  explicit TGIFHeader(TGIFImage* image);

  TGIFVersion GetVersion() const override;
  // Writes signature, version, screen descriptor and global colour table.
  void SaveToStream(TStream& stream) override;
  void LoadFromReader(TGIFReader& reader) override;
  // Recomputes PackedFields from the colour maps.
  void Prepare();

  std::uint16_t GetScreenWidth() const { return FScreenWidth; }
  void SetScreenWidth(std::uint16_t width) { FScreenWidth = width; }
  std::uint16_t GetScreenHeight() const { return FScreenHeight; }
  void SetScreenHeight(std::uint16_t height) { FScreenHeight = height; }
  std::uint8_t GetPackedFields() const { return FPackedFields; }
  void SetPackedFields(std::uint8_t packed) { FPackedFields = packed; }
  std::uint8_t GetBackgroundColorIndex() const { return FBackgroundColorIndex; }
  // An index beyond a non-empty global map is warned about and stored as 0.
  void SetBackgroundColorIndex(int index);
  std::uint8_t GetAspectRatio() const { return FAspectRatio; }
  void SetAspectRatio(std::uint8_t ratio) { FAspectRatio = ratio; }
  TColor GetBackgroundColor();
  void SetBackgroundColor(TColor color);
  int GetBitsPerPixel() const { return FColorMap->GetBitsPerPixel(); }
  int GetColorResolution() const { return FColorMap->GetBitsPerPixel() - 1; }
  TGIFGlobalColorMap& GetColorMap() { return *FColorMap; }
  const TGIFGlobalColorMap& GetColorMap() const { return *FColorMap; }

 protected:
  void AssignTo(TPersistent* dest) const override;

 private:
  std::uint16_t FScreenWidth = 0;
  std::uint16_t FScreenHeight = 0;
  std::uint8_t FPackedFields = 0;
  std::uint8_t FBackgroundColorIndex = 0;
  std::uint8_t FAspectRatio = 0;
  std::unique_ptr<TGIFGlobalColorMap> FColorMap;
};

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
  // GIFColorReduction.cpp); bitmaps of more than 256 colours are reduced
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
  // Any bitmap, colour by colour into the local map; raises "Color table
  // overflow" at the 257th colour, keeping what was read so far.
  void ImportBitmapColors(const TBitmap& bitmap);

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

// The trailer byte that ends a file.
class TGIFTrailer : public TGIFItem {
 public:
  using TGIFItem::TGIFItem;
  void SaveToStream(TStream& stream) override;
  // Warns "Invalid Image trailer" unless the byte there is ';' (or the data
  // has ended).
  void LoadFromReader(TGIFReader& reader) override;
};

class TGIFImage : public TGraphic {
 public:
  TGIFImage();
  // Stops every painter, detaches those still ending and frees the
  // document.
  ~TGIFImage() override;

  // From another TGIFImage: header, settings (but not Compression and
  // AnimationSpeed) and copies of its frames, reporting "Copying...". From
  // a bitmap or any other picture: one frame of its pixels. Null clears the
  // image.
  void Assign(const TPersistent* source) override;

  // Draws the image into rect: a still image (one frame, or without
  // goAnimate) as its first frame; an animation through a painter drawing
  // into the image's bitmap (or straight onto the canvas with goDirectDraw),
  // which then keeps it up to date.
  void Draw(TCanvas& canvas, const TRect& rect) override;
  bool GetEmpty() const override { return FImages->GetCount() == 0; }
  int GetWidth() const override { return FHeader->GetScreenWidth(); }
  int GetHeight() const override { return FHeader->GetScreenHeight(); }
  // Raise "Image width/height too small for contained frames" when a frame
  // would stick out.
  void SetWidth(int width) override;
  void SetHeight(int height) override;
  // Both report "Loading..." or "Saving..." progress.
  void LoadFromStream(TStream& stream) override;
  void LoadFromReader(TGIFReader& reader);
  // Raises "Unsupported GIF version" for an image without frames.
  void SaveToStream(TStream& stream) override;
  bool Equals(const TGIFImage* other) const { return other == this; }

  // The rendered bitmap's clipboard format, and the whole GIF file under
  // the "GIF Image" format besides; nothing for an empty image.
  void SaveToClipboardFormat(TClipboardFormat& format, TClipboardData& data,
                             TPalette& palette) override;
  // The "GIF Image" data when the clipboard holds some, else a bitmap of
  // the given format.
  void LoadFromClipboardFormat(TClipboardFormat format, const TClipboardData& data,
                               const TPalette& palette) override;

  // Calls OnWarning when assigned; warnings never stop an operation.
  virtual void Warning(TObject* sender, TGIFSeverity severity, const std::string& message);

  void Clear();
  void NewImage() { Clear(); }
  // Appends a sub-image, which the image owns from then on, or a new one
  // made from a bitmap; the logical screen grows to hold it. Answers its
  // index.
  int Add(TPersistent* source);
  // Drops the renderings and moves the colours of a lone frame into the
  // global map.
  void Pack();

  TGIFVersion GetVersion() const;
  int GetColorResolution() const;
  int GetBitsPerPixel() const;
  int GetBackgroundColorIndex() const { return FHeader->GetBackgroundColorIndex(); }
  TColor GetBackgroundColor() { return FHeader->GetBackgroundColor(); }
  TGIFColorMap& GetColorMap() { return FHeader->GetColorMap(); }
  TGIFHeader& GetHeader() { return *FHeader; }
  const TGIFHeader& GetHeader() const { return *FHeader; }
  TGIFImageList& GetImages() { return *FImages; }
  const TGIFImageList& GetImages() const { return *FImages; }

  TGIFDrawOptions GetDrawOptions() const { return FDrawOptions; }
  void SetDrawOptions(TGIFDrawOptions options);
  TColorReduction GetColorReduction() const { return FColorReduction; }
  void SetColorReduction(TColorReduction reduction) { FColorReduction = reduction; }
  TDitherMode GetDitherMode() const { return FDitherMode; }
  void SetDitherMode(TDitherMode mode) { FDitherMode = mode; }
  TGIFCompression GetCompression() const { return FCompression; }
  void SetCompression(TGIFCompression compression) { FCompression = compression; }
  TThreadPriority GetThreadPriority() const { return FThreadPriority; }
  void SetThreadPriority(TThreadPriority priority) { FThreadPriority = priority; }
  int GetAnimationSpeed() const { return FAnimationSpeed; }
  // Clamped to 1..1000; the painter of Draw follows at once.
  void SetAnimationSpeed(int speed);
  TColor GetEraseColor() const { return FEraseColor; }
  void SetEraseColor(TColor color) { FEraseColor = color; }
  bool GetDoDither() const;

  // The palette the image is shown with: its bitmap's, else the one kept,
  // else made and kept (the web palette when dithering, the global
  // colours), else the first frame's; empty when there are no colours.
  // Raises "No global or local color table defined" when asked again while
  // it is being worked out.
  const TPalette& GetPalette();
  // A different palette drops the bitmap made with the old one.
  void SetPalette(const TPalette& palette);

  // The whole image as a bitmap of the logical screen, made on first use
  // and kept: the first frame's rendering when it covers the screen, else
  // the first frame drawn at its place. Null when the image is empty.
  TBitmap* GetBitmap();
  // The kept bitmap, or a new blank one of the screen's size.
  TBitmap* NewBitmap();
  // Stops the painter of Draw and drops the kept bitmap.
  void FreeBitmap();

  // Starts a painter that draws the image into rect of the canvas with the
  // options given and answers it; an animation with goAsync is played by
  // the painter's own thread, anything else is painted before Paint
  // returns, and then the answer is null. The canvas must outlive the
  // painter unless the options hold goValidateCanvas.
  TGIFPainter* Paint(TCanvas& canvas, const TRect& rect, TGIFDrawOptions options);
  // Makes a painter (stored in *slot while it lives, when slot is given);
  // an asynchronous one is returned suspended, a synchronous one has run
  // to its end and null is returned. Null too when there is nothing to
  // paint.
  TGIFPainter* InternalPaint(TGIFPainter** slot, TCanvas& canvas, const TRect& rect,
                             TGIFDrawOptions options);
  // Stops the painter of Draw, waits until it has ended and drops the kept
  // bitmap.
  void StopDraw();
  void PaintStart();
  // Stops every painter and waits until they have ended (a quit message
  // ends the wait early).
  void PaintStop();
  void PaintPause();
  void PaintResume();
  void PaintRestart();
  TGIFPainter* GetDrawPainter() const { return FDrawPainter; }
  // The live painters; lock the list around every look at it.
  TThreadList<TGIFPainter>& GetPainters() { return FPainters; }

  // Reports a change of the picture (TGraphic's change event).
  void NotifyChanged(TObject* sender) { Changed(sender); }
  // Passes a progress report to the graphic's progress event.
  void ReportProgress(TObject* sender, TProgressStage stage, int percent, bool redrawNow,
                      const std::string& message);

  TGIFWarning OnWarning;
  // Handed to every painter when it is made: painting starts or restarts,
  // a frame is about to be drawn, the frames start again, painting ends.
  TNotifyEvent OnPaintBegin;
  TNotifyEvent OnPaintFrame;
  TNotifyEvent OnPaintLoop;
  TNotifyEvent OnPaintEnd;

 protected:
  // A bitmap receives GetBitmap.
  void AssignTo(TPersistent* dest) const override;

 private:
  friend class TGIFSubImage;
  friend class TGIFPainter;
  int AddBitmap(const TBitmap& bitmap);
  int AddSubImage(TGIFSubImage* subImage);
  void AssignImage(const TGIFImage& other);
  // Counts a frame's pixels against MaxGIFTotalPixels while a file is
  // being loaded.
  void ReservePixels(std::int64_t pixels);
  // Drops the kept bitmap once no painter draws into it.
  void DropBitmap();
  // The palette of the global colours (the web palette when dithering),
  // made on first use and kept; empty without global colours.
  const TPalette& ColorsPalette();

  std::unique_ptr<TGIFImageList> FImages;
  std::unique_ptr<TGIFHeader> FHeader;
  TPalette FGlobalPalette;
  TGIFDrawOptions FDrawOptions;
  TColorReduction FColorReduction;
  TDitherMode FDitherMode;
  TGIFCompression FCompression;
  TThreadPriority FThreadPriority;
  int FAnimationSpeed;
  TColor FEraseColor = clNone;
  std::unique_ptr<TBitmap> FBitmap;
  TThreadList<TGIFPainter> FPainters;
  TGIFPainter* FDrawPainter = nullptr;
  bool FDrawing = false;
  bool FPaletteBusy = false;
  bool FLoading = false;
  std::int64_t FLoadedPixels = 0;
};

}  // namespace tavkit
