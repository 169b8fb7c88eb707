// The painter's loop and its drawing. The loop itself (frame order, loops,
// delays) runs in the painter's thread; every look at the image, every paint
// event and every stroke on a canvas is a call on the main thread, so the
// painter thread holds nothing but its counters. Frames that dispose of
// themselves are composed in an off-screen buffer of the target's size: the
// buffer always holds what the next frame is drawn over. Only the parts a
// frame changes are copied to the target, and the painter remembers where
// the target shows something other than the buffer, so that a frame of one
// pixel on a huge screen costs one pixel, not the screen.
#include <tavkit/gif/GIFPainter.h>

#include <algorithm>
#include <limits>

#include <tavkit/gif/GIFExtensions.h>
#include <tavkit/gif/detail/GIFTiling.h>

namespace tavkit {

using detail::Shifted;

namespace {

bool KeepsPrevious(TDisposalMethod disposal) {
  return disposal == dmBackground || disposal == dmPrevious;
}

}  // namespace

TGIFPainter::TGIFPainter(TGIFImage* image, TCanvas& canvas, const TRect& rect,
                         TGIFDrawOptions options, TGIFPainter** slot)
    : FImage(image),
      FCanvas(&canvas),
      FRect(rect),
      FOptions(options),
      FSlot(slot),
      FAnimationSpeed(image->GetAnimationSpeed()) {
  SetFreeOnTerminate(options.Contains(goAsync));
  OnStartPaint = image->OnPaintBegin;
  OnPaint = image->OnPaintFrame;
  OnLoop = image->OnPaintLoop;
  OnEndPaint = image->OnPaintEnd;
  if (options.Contains(goValidateCanvas)) FCanvasHandle = canvas.GetHandle();

  if (image->GetEraseColor() != clNone)
    FEraseColor = image->GetEraseColor();
  else if (image->GetColorMap().GetCount() == 0)
    FEraseColor = clWindow;
  else
    FEraseColor = image->GetBackgroundColor();

  bool background = options.Contains(goClearOnLoop), previous = false;
  TGIFImageList& frames = image->GetImages();
  for (int i = 0; i < frames.GetCount(); ++i)
    if (const TGIFGraphicControlExtension* control =
            frames.GetImage(i)->GetGraphicControlExtension()) {
      background = background || control->GetDisposal() == dmBackground;
      previous = previous || control->GetDisposal() == dmPrevious;
    }
  const TRect area = Rect(0, 0, rect.Width(), rect.Height());
  if (background && options.Contains(goTransparent)) {
    FBackground = std::make_unique<TBitmap>(area.Right, area.Bottom);
    FBackground->Canvas().CopyRect(area, canvas, rect);
  }
  if (background || previous) {
    FBuffer = std::make_unique<TBitmap>(area.Right, area.Bottom);
    FBuffer->Canvas().Brush().Color = FEraseColor;
    FBuffer->Canvas().CopyRect(area, canvas, rect);
  }
  if (previous) {
    FPreviousBuffer = std::make_unique<TBitmap>(area.Right, area.Bottom);
    FPreviousBuffer->Canvas().Brush().Color = FEraseColor;
  }
  if (options.Contains(goAsync)) FEvent = std::make_unique<TEvent>();

  TList<TGIFPainter>& painters = image->FPainters.LockList();
  painters.Add(this);
  if (slot != nullptr) *slot = this;
  image->FPainters.UnlockList();
}

TGIFPainter::~TGIFPainter() = default;

void TGIFPainter::Start() {
  if (GetAsync() && GetSuspended()) Resume();
}

void TGIFPainter::Stop() {
  Terminate();
  if (!GetAsync()) return;
  FEvent->SetEvent();
  while (GetSuspended()) Resume();
}

void TGIFPainter::Restart() {
  FRestart = true;
  if (!GetAsync()) return;
  FEvent->SetEvent();
  if (GetSuspended()) Resume();
}

void TGIFPainter::SetAnimationSpeed(int speed) {
  speed = std::clamp(speed, 1, 1000);
  if (FAnimationSpeed.exchange(speed) == speed || !FEvent) return;
  FRestart = true;
  FEvent->SetEvent();
}

void TGIFPainter::DoSynchronize(const std::function<void()>& method) {
  if (GetAsync())
    Synchronize(method);
  else
    method();
}

void TGIFPainter::RunSynchronously() {
  Execute();
  DoOnTerminate();
  delete this;
}

void TGIFPainter::Execute() {
  try {
    Animate();
  } catch (...) {
    // A painter that fails stops painting; there is nobody to tell.
    Terminate();
  }
  FActiveImage = -1;
  try {
    DoEvent(OnEndPaint);
  } catch (...) {
    Terminate();
  }
}

void TGIFPainter::Animate() {
  const bool async = GetAsync();
  const bool animate = FOptions.Contains(goAnimate);
  const bool forever = FOptions.Contains(goLoopContinously);
  bool drawnBefore = false;
  FRestart = true;
  while (FRestart && !Terminated()) {
    // Cleared first, so that a restart asked for while the event runs is
    // not lost.
    FRestart = false;
    DoEvent(OnStartPaint);
    int loops = 1;
    int loopStart = 0;
    bool loopSeen = false;
    int wait = async ? 0 : 1;
    TDisposalMethod previous = dmNoDisposal;
    std::uint32_t last = GetTickCount();
    while ((loops != 0 || forever) && !Terminated() && !FRestart) {
      if (drawnBefore) DoEvent(OnLoop);
      for (int index = loopStart; !Terminated() && !FRestart; ++index) {
        const TFrameInfo info = ReadFrame(index);
        if (!info.Present) break;
        if (async) CheckSuspended();
        if (wait < 1) {
          std::this_thread::yield();
        } else {
          PrefetchBitmap(index);
          WaitFrame(wait, last);
        }
        if (async) CheckSuspended();
        if (Terminated() || FRestart) break;
        last = GetTickCount();
        FActiveImage = index;
        if (info.LoopCount >= 0 && !loopSeen) {
          loopSeen = true;
          loops = async && (info.LoopCount == 0 || forever) ? -1 : info.LoopCount;
          loopStart = index;
        }
        const TDisposalMethod disposal = info.HasControl ? info.Disposal : dmNoDisposal;
        DoEvent(OnPaint);
        if (Terminated()) break;
        DrawFrame(index, disposal, previous);
        drawnBefore = true;
        previous = disposal;
        if (!animate || Terminated()) break;
        wait = GIFDefaultDelay;
        if (info.HasControl && info.Delay != 0) {
          wait = std::max(info.Delay, GIFMinimumDelay);
          if (!async) wait = std::min(wait, GIFMaximumDelay);
        }
      }
      if (loops > 0) --loops;
      if (!animate || !FOptions.Contains(goLoop)) break;
    }
  }
}

void TGIFPainter::WaitFrame(int wait, std::uint32_t lastTime) {
  const std::int64_t elapsed = static_cast<std::uint32_t>(GetTickCount() - lastTime);
  const std::int64_t speed = FAnimationSpeed.load();
  const std::int64_t scaled = (std::int64_t{wait} * GIFDelayExp - elapsed) * 100;
  std::int64_t ms = scaled >= 0 ? (scaled + speed / 2) / speed : -((-scaled + speed / 2) / speed);
  if (ms >= std::numeric_limits<std::int32_t>::max()) ms = GIFMaximumDelay;
  if (GetAsync()) {
    if (ms > 0) FEvent->WaitFor(static_cast<std::uint32_t>(ms));
    return;
  }
  // Waiting in the caller's thread: short sleeps, with the caller's
  // messages seen between them.
  for (std::int64_t left = std::max<std::int64_t>(ms, 1); left > 0 && !Terminated();) {
    const std::int64_t step = std::min<std::int64_t>(left, 100);
    Sleep(static_cast<std::uint32_t>(step));
    left -= step;
    int exitCode = 0;
    if (!ProcessMessages(&exitCode)) {
      PostQuitMessage(exitCode);
      Terminate();
    }
  }
}

TGIFPainter::TFrameInfo TGIFPainter::ReadFrame(int index) {
  TFrameInfo info;
  DoSynchronize([&] {
    if (FImage == nullptr) {
      Terminate();
      return;
    }
    TGIFImageList& frames = FImage->GetImages();
    if (index >= frames.GetCount() || frames.GetImage(index)->GetEmpty()) return;
    TGIFSubImage& frame = *frames.GetImage(index);
    info.Present = true;
    const TGIFExtensionList& extensions = frame.GetExtensions();
    for (int i = 0; i < extensions.GetCount() && info.LoopCount < 0; ++i)
      if (const auto* loop = dynamic_cast<const TGIFAppExtNSLoop*>(extensions.GetExtension(i)))
        info.LoopCount = loop->GetLoopCount();
    if (const TGIFGraphicControlExtension* control = frame.GetGraphicControlExtension()) {
      info.HasControl = true;
      info.Disposal = control->GetDisposal();
      info.Delay = control->GetDelay();
    }
  });
  return info;
}

void TGIFPainter::PrefetchBitmap(int index) {
  DoSynchronize([&] {
    if (FImage != nullptr && index < FImage->GetImages().GetCount())
      FImage->GetImages().GetImage(index)->GetBitmap();
  });
}

void TGIFPainter::DoEvent(const TNotifyEvent& event) {
  if (event) DoSynchronize([&] { event(this); });
}

bool TGIFPainter::CanvasValid() {
  return !FOptions.Contains(goValidateCanvas) || IsDeviceContext(FCanvasHandle);
}

void TGIFPainter::DrawFrame(int index, TDisposalMethod disposal, TDisposalMethod previous) {
  DoSynchronize([&] {
    if (FImage == nullptr || !CanvasValid()) {
      Terminate();
      return;
    }
    TGIFImageList& frames = FImage->GetImages();
    if (index >= frames.GetCount()) return;
    TGIFSubImage& frame = *frames.GetImage(index);
    if (FBuffer)
      DoPaintFrame(frame, index, disposal, previous);
    else
      DoPaint(frame);
  });
}

void TGIFPainter::DoPaint(TGIFSubImage& frame) {
  frame.Draw(*FCanvas, FRect, FOptions.Contains(goTransparent), FOptions.Contains(goTile));
  FFirstFrameDrawn = true;
}

TRect TGIFPainter::FrameArea(TGIFSubImage& frame) const {
  const TRect area = Rect(0, 0, FRect.Width(), FRect.Height());
  if (FOptions.Contains(goTile)) return area;
  return IntersectRect(frame.ScaleRect(area), area);
}

void TGIFPainter::ShowStale() {
  for (const TRect& part : FStale)
    FCanvas->CopyRect(Shifted(part, FRect.Left, FRect.Top), FBuffer->Canvas(), part);
  FStale.clear();
}

void TGIFPainter::DoPaintFrame(TGIFSubImage& frame, int index, TDisposalMethod disposal,
                               TDisposalMethod previous) {
  const bool transparent = FOptions.Contains(goTransparent);
  const bool tile = FOptions.Contains(goTile);
  const TRect area = Rect(0, 0, FRect.Width(), FRect.Height());
  const TRect part = FrameArea(frame);
  const TRect target = Shifted(part, FRect.Left, FRect.Top);
  if (index == 0 && FOptions.Contains(goClearOnLoop)) {
    ClearArea(frame);
    FStale.push_back(part);
  }
  if (disposal == dmPrevious && KeepsPrevious(previous)) {
    // The buffer holds what comes back after this frame; draw on a copy of
    // the part the frame covers.
    FPreviousBuffer->Canvas().CopyRect(part, FBuffer->Canvas(), part);
    frame.Draw(FPreviousBuffer->Canvas(), area, transparent, tile);
    ShowStale();
    FCanvas->CopyRect(target, FPreviousBuffer->Canvas(), part);
    FStale.push_back(part);
  } else if (disposal == dmPrevious) {
    // Once the target shows what the buffer holds, the frame goes straight
    // on top, and the buffer stays as it was before it.
    ShowStale();
    frame.Draw(*FCanvas, FRect, transparent, tile);
    FStale.push_back(part);
  } else {
    frame.Draw(FBuffer->Canvas(), area, transparent, tile);
    ShowStale();
    FCanvas->CopyRect(target, FBuffer->Canvas(), part);
    if (disposal == dmBackground) {
      ClearArea(frame);
      FStale.push_back(part);
    }
  }
  FFirstFrameDrawn = true;
}

void TGIFPainter::ClearArea(TGIFSubImage& frame) {
  const TRect area = Rect(0, 0, FRect.Width(), FRect.Height());
  std::vector<TRect> parts;
  if (FOptions.Contains(goTile))
    parts = frame.TileRects(area, area);
  else
    parts.push_back(frame.ScaleRect(area));
  TCanvas& buffer = FBuffer->Canvas();
  buffer.Brush().Color = FEraseColor;
  for (const TRect& place : parts) {
    const TRect part = IntersectRect(place, area);
    if (part.IsEmpty()) continue;
    if (FOptions.Contains(goTransparent) && FBackground)
      buffer.CopyRect(part, FBackground->Canvas(), part);
    else
      buffer.FillRect(part);
  }
}

void TGIFPainter::DoTerminate() {
  Synchronize([this] { DoOnTerminate(); });
}

void TGIFPainter::DoOnTerminate() {
  if (FImage == nullptr) return;
  TList<TGIFPainter>& painters = FImage->FPainters.LockList();
  if (FSlot != nullptr && *FSlot == this) *FSlot = nullptr;
  painters.Remove(this);
  FImage->FPainters.UnlockList();
  FImage = nullptr;
  FSlot = nullptr;
}

void TGIFPainter::Detach() {
  FImage = nullptr;
  FSlot = nullptr;
}

}  // namespace tavkit
