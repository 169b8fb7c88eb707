// TGIFImage: the document of one GIF file (header and frames) and a picture of
// the host framework that draws itself, plays its animation through painters
// and goes on and off the clipboard. Members are defined in GIFImage.cpp (the
// document, reading and writing) and GIFImageDrawing.cpp (drawing, painters).
//
// ```cpp
// TGIFImage gif;
// gif.LoadFromFile("banner.gif");             // GIFException when it is no GIF
// int frames = gif.GetImages().GetCount();
// TBitmap* first = gif.GetImages().GetImage(0)->GetBitmap();  // the frame, rendered
// TBitmap photo;
// photo.LoadFromFile("photo.bmp");
// TGIFImage made;
// made.Add(&photo);                           // reduced to 256 colours on the way
// made.SaveToFile("photo.gif");
// ```
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <tavkit/gif/GIFColorMap.h>
#include <tavkit/gif/GIFHeader.h>
#include <tavkit/gif/GIFImageList.h>
#include <tavkit/gif/GIFSubImage.h>
#include <tavkit/gif/GIFTypes.h>
#include <tavkit/platform/base/Lists.h>
#include <tavkit/platform/base/Objects.h>
#include <tavkit/platform/base/Types.h>
#include <tavkit/platform/graphics/Bitmap.h>
#include <tavkit/platform/graphics/Graphic.h>

namespace tavkit {

class TCanvas;
class TGIFPainter;
class TGIFReader;
class TStream;

// A GIF image: the document of one file and a picture of the host framework.
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
