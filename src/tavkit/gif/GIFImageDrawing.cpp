// The GIF image as a picture: its palette, a bitmap of its logical screen,
// drawing (a still image as its first frame, an animation through a painter
// that keeps that bitmap up to date) and the control of its painters. Apart
// from the document (GIFImage.cpp), which reads, writes and edits it.
#include <tavkit/gif/GIFImage.h>

#include <algorithm>

#include <tavkit/gif/GIFColorReduction.h>
#include <tavkit/gif/GIFPainter.h>
#include <tavkit/gif/detail/GIFTiling.h>
#include <tavkit/platform/graphics/Canvas.h>

namespace tavkit {

using detail::FirstTile;
using detail::Saturate;
using detail::Shifted;

const TPalette& TGIFImage::ColorsPalette() {
  static const TPalette none;
  if (!FGlobalPalette.empty()) return FGlobalPalette;
  if (GetDoDither()) {
    FGlobalPalette = WebPalette();
    return FGlobalPalette;
  }
  if (FHeader->GetColorMap().GetCount() > 0) {
    FGlobalPalette = FHeader->GetColorMap().ExportPalette();
    return FGlobalPalette;
  }
  return none;
}

const TPalette& TGIFImage::GetPalette() {
  static const TPalette none;
  if (FPaletteBusy) throw GIFException(sNoColorTable);
  if (FBitmap && !FBitmap->GetPalette().empty()) return FBitmap->GetPalette();
  const TPalette& colors = ColorsPalette();
  if (!colors.empty()) return colors;
  if (FImages->GetCount() == 0) return none;
  FPaletteBusy = true;
  try {
    const TPalette& palette = FImages->GetImage(0)->GetPalette();
    FPaletteBusy = false;
    return palette;
  } catch (...) {
    FPaletteBusy = false;
    throw;
  }
}

void TGIFImage::SetPalette(const TPalette& palette) {
  if (palette == FGlobalPalette) return;
  FGlobalPalette.clear();
  // Frames drawn with the global colours were rendered with the old ones.
  for (int i = 0; i < FImages->GetCount(); ++i) {
    TGIFSubImage* frame = FImages->GetImage(i);
    if (frame->GetColorMap().GetCount() == 0) frame->FreeBitmap();
  }
  if (FBitmap && FBitmap->GetPalette() != palette) {
    FreeBitmap();
    FGlobalPalette = palette;
    SetPaletteModified(true);
    Changed(this);
    return;
  }
  FGlobalPalette = palette;
}

TBitmap* TGIFImage::GetBitmap() {
  if (GetEmpty()) return nullptr;
  if (FBitmap) return FBitmap.get();
  TGIFSubImage& first = *FImages->GetImage(0);
  auto bitmap = std::make_unique<TBitmap>();
  const TBitmap* rendered = first.GetWidth() == GetWidth() && first.GetHeight() == GetHeight()
                                ? first.GetBitmap()
                                : nullptr;
  if (rendered != nullptr) {
    bitmap->Assign(rendered);
  } else {
    bitmap->SetSize(GetWidth(), GetHeight());
    first.Draw(bitmap->Canvas(), Rect(0, 0, GetWidth(), GetHeight()), false, false);
  }
  bitmap->OnChange = [this](TObject*) { Changed(this); };
  FBitmap = std::move(bitmap);
  return FBitmap.get();
}

TBitmap* TGIFImage::NewBitmap() {
  if (!FBitmap) {
    FBitmap = std::make_unique<TBitmap>(GetWidth(), GetHeight());
    FBitmap->OnChange = [this](TObject*) { Changed(this); };
  }
  return FBitmap.get();
}

void TGIFImage::FreeBitmap() {
  StopDraw();
}

void TGIFImage::DropBitmap() {
  FBitmap.reset();
}

void TGIFImage::AssignTo(TPersistent* dest) const {
  if (auto* bitmap = dynamic_cast<TBitmap*>(dest)) {
    // Making the bitmap only fills the cache; the image stays as it is.
    bitmap->Assign(const_cast<TGIFImage*>(this)->GetBitmap());
    return;
  }
  TGraphic::AssignTo(dest);
}

void TGIFImage::Draw(TCanvas& canvas, const TRect& rect) {
  if (FDrawing || GetEmpty()) return;
  struct TGuard {
    bool& Flag;
    explicit TGuard(bool& flag) : Flag(flag) { Flag = true; }
    ~TGuard() { Flag = false; }
  } guard(FDrawing);

  const bool transparent = FDrawOptions.Contains(goTransparent);
  const bool tile = FDrawOptions.Contains(goTile);
  if (FImages->GetCount() == 1 || !FDrawOptions.Contains(goAnimate)) {
    FImages->GetImage(0)->Draw(canvas, rect, transparent, tile);
    return;
  }
  const bool direct = FDrawOptions.Contains(goDirectDraw);
  if (!FBitmap || direct) {
    {
      FPainters.LockList();
      const bool painting = FDrawPainter != nullptr && FDrawPainter->GetCanvas() == &canvas &&
                            FDrawPainter->GetRect() == rect;
      FPainters.UnlockList();
      if (painting) return;
    }
    StopDraw();
    int exitCode = 0;
    if (!ProcessMessages(&exitCode)) {
      PostQuitMessage(exitCode);
      return;
    }
    TCanvas* target = &canvas;
    TRect targetRect = rect;
    if (!direct) {
      TBitmap* bitmap = NewBitmap();
      targetRect = Rect(0, 0, bitmap->GetWidth(), bitmap->GetHeight());
      bitmap->Canvas().CopyRect(targetRect, canvas, rect);
      target = &bitmap->Canvas();
      targetRect = target->GetClipRect();
    }
    TGIFPainter* painter = InternalPaint(&FDrawPainter, *target, targetRect, FDrawOptions);
    if (painter != nullptr) painter->Start();
    if (direct) return;
    for (;;) {
      FPainters.LockList();
      const bool ready = FDrawPainter == nullptr || FDrawPainter->GetTerminated() ||
                         FDrawPainter->GetFirstFrameDrawn();
      FPainters.UnlockList();
      if (ready) break;
      if (!ProcessMessages(&exitCode)) {
        PostQuitMessage(exitCode);
        break;
      }
      WaitMessage(100);
    }
    if (FBitmap) canvas.StretchDraw(rect, *FBitmap);
    return;
  }
  const TBitmap* bitmap = GetBitmap();
  if (bitmap == nullptr || bitmap->GetEmpty()) return;
  if (!tile) {
    canvas.CopyFromBitmap(rect, *bitmap, Rect(0, 0, bitmap->GetWidth(), bitmap->GetHeight()));
    return;
  }
  // Tiles of the logical screen from rect's corner until rect is covered,
  // only those that can be seen, each clipped to rect.
  const TRect area = IntersectRect(rect, canvas.GetClipRect());
  if (area.IsEmpty()) return;
  const std::int64_t width = bitmap->GetWidth(), height = bitmap->GetHeight();
  for (std::int64_t y = rect.Top + FirstTile(rect.Top, height, height, area.Top) * height;
       y < area.Bottom; y += height)
    for (std::int64_t x = rect.Left + FirstTile(rect.Left, width, width, area.Left) * width;
         x < area.Right; x += width) {
      const TRect tileRect{static_cast<int>(x), static_cast<int>(y), Saturate(x + width),
                           Saturate(y + height)};
      const TRect part = IntersectRect(tileRect, rect);
      if (!part.IsEmpty())
        canvas.CopyFromBitmap(part, *bitmap, Shifted(part, -tileRect.Left, -tileRect.Top));
    }
}

TGIFPainter* TGIFImage::Paint(TCanvas& canvas, const TRect& rect, TGIFDrawOptions options) {
  TGIFPainter* painter = InternalPaint(nullptr, canvas, rect, options);
  if (painter != nullptr) painter->Start();
  return painter;
}

TGIFPainter* TGIFImage::InternalPaint(TGIFPainter** slot, TCanvas& canvas, const TRect& rect,
                                      TGIFDrawOptions options) {
  if (GetEmpty() || rect.IsEmpty()) return nullptr;
  // A still picture needs no thread of its own.
  if (FImages->GetCount() == 1) options.Exclude(goAsync);
  auto* painter = new TGIFPainter(this, canvas, rect, options, slot);
  if (options.Contains(goAsync)) {
    painter->SetPriority(FThreadPriority);
    return painter;
  }
  painter->RunSynchronously();
  return nullptr;
}

void TGIFImage::StopDraw() {
  for (;;) {
    bool waiting = false;
    FPainters.LockList();
    if (FDrawPainter != nullptr) {
      FDrawPainter->Stop();
      waiting = FDrawPainter->GetAsync();
    }
    FPainters.UnlockList();
    if (!waiting) break;
    // The painter may be waiting for the main thread to run its last call;
    // a quit message cannot end this wait, or it would leave the painter
    // drawing into the bitmap dropped below.
    CheckSynchronize(100);
  }
  DropBitmap();
}

void TGIFImage::PaintStart() {
  TList<TGIFPainter>& painters = FPainters.LockList();
  for (TGIFPainter* painter : painters) painter->Start();
  FPainters.UnlockList();
}

void TGIFImage::PaintResume() {
  PaintStart();
}

void TGIFImage::PaintPause() {
  TList<TGIFPainter>& painters = FPainters.LockList();
  for (TGIFPainter* painter : painters)
    if (painter->GetAsync()) painter->Suspend();
  FPainters.UnlockList();
}

void TGIFImage::PaintRestart() {
  TList<TGIFPainter>& painters = FPainters.LockList();
  for (TGIFPainter* painter : painters) painter->Restart();
  FPainters.UnlockList();
}

void TGIFImage::PaintStop() {
  {
    TList<TGIFPainter>& painters = FPainters.LockList();
    for (TGIFPainter* painter : painters) painter->Stop();
    FPainters.UnlockList();
  }
  for (;;) {
    bool running = false;
    TList<TGIFPainter>& painters = FPainters.LockList();
    for (TGIFPainter* painter : painters) running = running || painter->GetAsync();
    FPainters.UnlockList();
    if (!running) break;
    int exitCode = 0;
    if (!ProcessMessages(&exitCode)) {
      PostQuitMessage(exitCode);
      break;
    }
    WaitMessage(100);
  }
  StopDraw();
}

}  // namespace tavkit
