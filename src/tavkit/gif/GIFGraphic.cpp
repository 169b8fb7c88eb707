// The GIF image as a picture of the host framework. Frames are rendered into
// 8-bit bitmaps (plain, or dithered onto the web palette for displays of few
// colours) with a mask of their transparent pixels, and drawn scaled to their
// place, tiled, or over what is on the canvas. The image keeps a bitmap of
// its logical screen, a palette, draws itself (animations through a painter
// that keeps that bitmap up to date), controls its painters, and goes on and
// off the clipboard. Drawing never reaches outside the rectangle it is given.
#include <tavkit/gif/GIFGraphic.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include <tavkit/gif/GIFColorReduction.h>
#include <tavkit/gif/GIFExtensions.h>
#include <tavkit/gif/GIFPainter.h>
#include <tavkit/platform/base/Streams.h>
#include <tavkit/platform/graphics/Canvas.h>
#include <tavkit/platform/graphics/Clipboard.h>
#include <tavkit/platform/graphics/Picture.h>

namespace tavkit {

namespace {

const char* const kRendering = "Rendering...";

// floor(a / b) for b > 0.
std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  std::int64_t q = a / b;
  if (a % b != 0 && a < 0) --q;
  return q;
}

int Saturate(std::int64_t v) {
  return static_cast<int>(std::clamp<std::int64_t>(v, std::numeric_limits<int>::min(),
                                                   std::numeric_limits<int>::max()));
}

// Scales a coordinate of the logical screen into a drawing rectangle,
// rounding to the nearest pixel.
int ScaleCoordinate(int origin, int value, int target, int screen) {
  const std::int64_t product = std::int64_t{value} * target;
  return Saturate(origin + FloorDiv(2 * product + screen, 2 * std::int64_t{screen}));
}

TRect Shifted(const TRect& r, int dx, int dy) {
  return TRect{r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy};
}

// The first k >= 0 for which a tile at origin + k * step, size long, ends
// beyond limit.
std::int64_t FirstTile(std::int64_t origin, std::int64_t size, std::int64_t step,
                       std::int64_t limit) {
  if (origin + size > limit) return 0;
  return (limit - origin - size) / step + 1;
}

// The web cube level nearest to a component value, which may lie outside
// 0..255 once dithering errors are added.
int WebLevel(int value) {
  return static_cast<int>(
      std::clamp<std::int64_t>(FloorDiv(2 * std::int64_t{value} + 51, 102), 0, 5));
}

}  // namespace

// Frames

int TGIFSubImage::ScreenWidth() const {
  const int screen = FImage ? FImage->GetWidth() : 0;
  return std::max({screen, GetLeft() + GetWidth(), 1});
}

int TGIFSubImage::ScreenHeight() const {
  const int screen = FImage ? FImage->GetHeight() : 0;
  return std::max({screen, GetTop() + GetHeight(), 1});
}

void TGIFSubImage::Progress(TProgressStage stage, int percent, bool redrawNow,
                            const std::string& message) {
  if (FImage) FImage->ReportProgress(this, stage, percent, redrawNow, message);
}

const TPalette& TGIFSubImage::GetPalette() {
  static const TPalette none;
  if (FBitmap && !FBitmap->GetPalette().empty()) return FBitmap->GetPalette();
  if (!FPalette.empty()) return FPalette;
  if (FImage && FImage->GetDoDither()) {
    FPalette = WebPalette();
    return FPalette;
  }
  if (FColorMap->GetCount() > 0) {
    FPalette = FColorMap->ExportPalette();
    return FPalette;
  }
  // The pixels index the global colours: the image's palette of them, not
  // whatever palette the image's own bitmap may have.
  return FImage ? FImage->ColorsPalette() : none;
}

void TGIFSubImage::SetPalette(const TPalette& palette) {
  if (palette == FPalette) return;
  FPalette.clear();
  if (FBitmap && FBitmap->GetPalette() != palette) {
    FreeBitmap();
    FPalette = palette;
    if (FImage) {
      FImage->SetPaletteModified(true);
      FImage->Changed(this);
    }
    return;
  }
  FPalette = palette;
}

std::unique_ptr<TBitmap> TGIFSubImage::NewFrameBitmap() {
  auto bitmap = std::make_unique<TBitmap>(GetWidth(), GetHeight(), TPixelFormat::pf8bit);
  TPalette palette = GetPalette();
  // A frame without any colours shows black (an empty palette would give
  // the bitmap the default one).
  if (palette.empty()) palette.push_back(TPaletteEntry{});
  bitmap->SetPalette(palette);
  return bitmap;
}

void TGIFSubImage::BuildMask() {
  if (!FTransparent || !FNeedMask) return;
  FNeedMask = false;
  if (FMask || FGCE == nullptr || GetEmpty()) return;
  const int width = GetWidth(), height = GetHeight();
  const std::uint8_t transparent = FGCE->GetTransparentColorIndex();
  const int rowBytes = ((width + 15) / 16) * 2;
  std::vector<std::uint8_t> bits(static_cast<std::size_t>(rowBytes) * height, 0);
  bool any = false;
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* row = FData.get() + static_cast<std::size_t>(y) * width;
    std::uint8_t* out = &bits[static_cast<std::size_t>(y) * rowBytes];
    for (int x = 0; x < width; ++x)
      if (row[x] == transparent) {
        out[x >> 3] = static_cast<std::uint8_t>(out[x >> 3] | (0x80 >> (x & 7)));
        any = true;
      }
  }
  if (any) FMask = CreateMonochromeBitmap(width, height, bits.data(), rowBytes);
}

std::unique_ptr<TBitmap> TGIFSubImage::DoGetBitmap() {
  auto bitmap = NewFrameBitmap();
  const int width = GetWidth(), height = GetHeight();
  for (int y = 0; y < height; ++y) {
    std::memcpy(bitmap->ScanLine(y), FData.get() + static_cast<std::size_t>(y) * width,
                static_cast<std::size_t>(width));
    if ((y + 1) % 32 == 0)
      Progress(TProgressStage::psRunning, (y + 1) * 100 / height, false, kRendering);
  }
  BuildMask();
  return bitmap;
}

std::unique_ptr<TBitmap> TGIFSubImage::DoGetDitherBitmap() {
  auto bitmap = std::make_unique<TBitmap>(GetWidth(), GetHeight(), TPixelFormat::pf8bit);
  bitmap->SetPalette(WebPalette());
  const int width = GetWidth(), height = GetHeight();
  const TGIFColorMap& colors = GetActiveColorMap();
  const bool transparent = FTransparent && FGCE != nullptr;
  const int transparentIndex = transparent ? FGCE->GetTransparentColorIndex() : -1;
  // Errors times 1024, pixel x in slot x + 1, for this row and the next.
  std::vector<int> current[3], next[3];
  for (int c = 0; c < 3; ++c) {
    current[c].assign(static_cast<std::size_t>(width) + 2, 0);
    next[c].assign(static_cast<std::size_t>(width) + 2, 0);
  }
  static constexpr int kShareAhead = 7, kShareBehind = 3, kShareUnder = 5, kShareDiagonal = 1;
  for (int y = 0; y < height; ++y) {
    const int step = y % 2 == 0 ? 1 : -1;
    const std::uint8_t* row = FData.get() + static_cast<std::size_t>(y) * width;
    std::uint8_t* out = bitmap->ScanLine(y);
    for (int i = 0; i < width; ++i) {
      const int x = step > 0 ? i : width - 1 - i;
      const std::size_t slot = static_cast<std::size_t>(x) + 1;
      const int index = row[x];
      const TGIFColor color = index < colors.GetCount() ? colors.GetEntries()[index] : TGIFColor{};
      const int components[3] = {color.Red, color.Green, color.Blue};
      int levels[3];
      if (index == transparentIndex) {
        // Masked out when drawn: its own colour, and no error either way.
        for (int c = 0; c < 3; ++c) levels[c] = WebLevel(components[c]);
      } else {
        for (int c = 0; c < 3; ++c) {
          const int value = components[c] + current[c][slot] / 1024;
          levels[c] = WebLevel(value);
          const int error = (value - levels[c] * 51) * 1024;
          current[c][slot + step] += error * kShareAhead / 16;
          next[c][slot - step] += error * kShareBehind / 16;
          next[c][slot] += error * kShareUnder / 16;
          next[c][slot + step] += error * kShareDiagonal / 16;
        }
      }
      out[x] = static_cast<std::uint8_t>(levels[0] * 36 + levels[1] * 6 + levels[2]);
    }
    for (int c = 0; c < 3; ++c) {
      current[c].swap(next[c]);
      std::fill(next[c].begin(), next[c].end(), 0);
    }
  }
  BuildMask();
  return bitmap;
}

TBitmap* TGIFSubImage::GetBitmap() {
  if (FBitmap) return FBitmap.get();
  if (GetEmpty()) return nullptr;
  const bool dither = FImage && FImage->GetDoDither();
  Progress(TProgressStage::psStarting, 0, false, kRendering);
  bool done = false;
  try {
    FBitmap = dither ? DoGetDitherBitmap() : DoGetBitmap();
    done = true;
  } catch (const EAbort&) {
    // The user stopped it; there is no rendering.
  } catch (...) {
    Progress(TProgressStage::psEnding, 0, FImage && FImage->GetPaletteModified(), kRendering);
    throw;
  }
  Progress(TProgressStage::psEnding, done ? 100 : 0, FImage && FImage->GetPaletteModified(),
           kRendering);
  return FBitmap.get();
}

void TGIFSubImage::SetBitmap(const TBitmap* bitmap) {
  FreeBitmap();
  if (bitmap != nullptr) Assign(bitmap);
}

bool TGIFSubImage::HasMask() {
  if (FNeedMask && FTransparent) {
    FreeBitmap();
    GetBitmap();
  }
  return FMask != nullptr;
}

void TGIFSubImage::FreeBitmap() {
  FBitmap.reset();
}

void TGIFSubImage::FreeMask() {
  FMask.reset();
  FNeedMask = true;
}

TRect TGIFSubImage::ScaleRect(const TRect& rect) const {
  const int width = rect.Width(), height = rect.Height();
  const int screenWidth = ScreenWidth(), screenHeight = ScreenHeight();
  return TRect{ScaleCoordinate(rect.Left, GetLeft(), width, screenWidth),
               ScaleCoordinate(rect.Top, GetTop(), height, screenHeight),
               ScaleCoordinate(rect.Left, GetLeft() + GetWidth(), width, screenWidth),
               ScaleCoordinate(rect.Top, GetTop() + GetHeight(), height, screenHeight)};
}

std::vector<TRect> TGIFSubImage::TileRects(const TRect& rect, const TRect& visible) const {
  std::vector<TRect> tiles;
  const TRect area = IntersectRect(rect, visible);
  if (area.IsEmpty() || GetWidth() == 0 || GetHeight() == 0) return tiles;
  const std::int64_t stepX = ScreenWidth(), stepY = ScreenHeight();
  const std::int64_t originX = std::int64_t{rect.Left} + GetLeft();
  const std::int64_t originY = std::int64_t{rect.Top} + GetTop();
  for (std::int64_t ky = FirstTile(originY, GetHeight(), stepY, area.Top);; ++ky) {
    const std::int64_t y = originY + ky * stepY;
    if (y >= rect.Bottom || y >= area.Bottom) break;
    for (std::int64_t kx = FirstTile(originX, GetWidth(), stepX, area.Left);; ++kx) {
      const std::int64_t x = originX + kx * stepX;
      if (x >= rect.Right || x >= area.Right) break;
      tiles.push_back(TRect{static_cast<int>(x), static_cast<int>(y), Saturate(x + GetWidth()),
                            Saturate(y + GetHeight())});
    }
  }
  return tiles;
}

void TGIFSubImage::Draw(TCanvas& canvas, const TRect& rect, bool doTransparent, bool doTile) {
  StretchDraw(canvas, doTile ? rect : ScaleRect(rect), doTransparent, doTile);
}

void TGIFSubImage::StretchDraw(TCanvas& canvas, const TRect& rect, bool doTransparent,
                               bool doTile) {
  // HasMask may render the frame again, so the bitmap is asked for after it.
  const bool masked = doTransparent && FTransparent && HasMask();
  const TBitmap* bitmap = GetBitmap();
  if (bitmap == nullptr) return;
  const TBitmap* mask = masked ? FMask.get() : nullptr;
  if (!doTile) {
    canvas.CopyFromBitmap(rect, *bitmap, GetClientRect(), mask);
    return;
  }
  for (const TRect& tile : TileRects(rect, canvas.GetClipRect())) {
    const TRect part = IntersectRect(tile, rect);
    if (!part.IsEmpty())
      canvas.CopyFromBitmap(part, *bitmap, Shifted(part, -tile.Left, -tile.Top), mask);
  }
}

void TGIFSubImage::AssignTo(TPersistent* dest) const {
  if (auto* bitmap = dynamic_cast<TBitmap*>(dest)) {
    // Rendering only fills the cache; the frame itself stays as it is.
    bitmap->Assign(const_cast<TGIFSubImage*>(this)->GetBitmap());
    return;
  }
  TGIFItem::AssignTo(dest);
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

// The image

void TGIFImage::ReportProgress(TObject* sender, TProgressStage stage, int percent, bool redrawNow,
                               const std::string& message) {
  Progress(sender, stage, percent, redrawNow, TRect{}, message);
}

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

void TGIFImage::SaveToClipboardFormat(TClipboardFormat& format, TClipboardData& data,
                                      TPalette& palette) {
  if (GetEmpty()) return;
  if (TBitmap* bitmap = GetBitmap()) bitmap->SaveToClipboardFormat(format, data, palette);
  TMemoryStream stream;
  SaveToStream(stream);
  TClipboardData block;
  try {
    block.reserve(stream.Bytes().size());
  } catch (const std::bad_alloc&) {
    // No memory for the file: the bitmap alone goes on the clipboard.
    return;
  }
  block.assign(stream.Bytes().begin(), stream.Bytes().end());
  Clipboard().SetAsHandle(GIFClipboardFormat(), std::move(block));
}

void TGIFImage::LoadFromClipboardFormat(TClipboardFormat format, const TClipboardData& data,
                                        const TPalette& palette) {
  if (format == GIFClipboardFormat()) {
    TMemoryStream stream(data);
    LoadFromStream(stream);
    return;
  }
  if (std::optional<TClipboardData> gif = Clipboard().GetAsHandle(GIFClipboardFormat())) {
    TMemoryStream stream(std::move(*gif));
    LoadFromStream(stream);
    return;
  }
  TBitmap bitmap;
  bitmap.LoadFromClipboardFormat(format, data, palette);
  Assign(&bitmap);
}

// Registration

TClipboardFormat GIFClipboardFormat() {
  static const TClipboardFormat format = RegisterClipboardFormat("GIF Image");
  return format;
}

void GIFImage::Initialize() {
  TPicture::RegisterFileFormat(
      "gif", "GIF Image", [] { return std::make_unique<TGIFImage>(); }, "GIF");
  TPicture::RegisterClipboardFormat(GIFClipboardFormat(),
                                    [] { return std::make_unique<TGIFImage>(); });
  DoAutoDither = DisplayBitsPerPixel() <= 8;
}

void GIFImage::Finalize() {
  TPicture::UnregisterFileFormat("gif");
  TPicture::UnregisterClipboardFormat(GIFClipboardFormat());
}

}  // namespace tavkit
