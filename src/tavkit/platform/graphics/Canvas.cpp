// Canvas drawing on bitmaps. Every operation works in the target's pixel
// coordinates (canvas coordinates plus origin) with 64-bit arithmetic and
// clips before it loops; the span rasterizer writes the pixels. Outlined
// shapes are built from row spans: the shape, and the shape shrunk by the pen
// width, whose strict inside is the part the brush fills; each pixel is
// written once, which keeps the inverting and xor pen modes exact.
#include <tavkit/platform/graphics/Canvas.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <mutex>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include <tavkit/platform/graphics/Bitmap.h>
#include <tavkit/platform/graphics/detail/FontEngine.h>
#include <tavkit/platform/graphics/detail/SpanRasterizer.h>

namespace tavkit {

using namespace detail;

namespace {

__extension__ using TInt128 = __int128;

int Saturate(Int v) {
  return static_cast<int>(
      std::clamp<Int>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

TRect Offset(const TRect& r, TPoint by) {
  return TRect{Saturate(Int{r.Left} + by.X), Saturate(Int{r.Top} + by.Y),
               Saturate(Int{r.Right} + by.X), Saturate(Int{r.Bottom} + by.Y)};
}

// The smallest value in [lo, hi) for which pred holds, hi when none; pred
// must be false then true along the range.
template <typename Pred>
Int FirstTrue(Int lo, Int hi, Pred pred) {
  while (lo < hi) {
    Int mid = lo + (hi - lo) / 2;
    if (pred(mid))
      hi = mid;
    else
      lo = mid + 1;
  }
  return lo;
}

// Maps source pixels to target pixels, remembering the colours it has
// already matched (paletted targets need a nearest-entry search).
class TPixelConverter {
 public:
  TPixelConverter(const TBitmap& source, const TBitmap& target) : FSource(source), FTarget(target) {
    bool paletted = BitsPerPixel(source.GetPixelFormat()) <= 8;
    FDirect = source.GetPixelFormat() == target.GetPixelFormat() &&
              (!paletted || source.GetPalette() == target.GetPalette());
    if (source.GetPixelFormat() == TPixelFormat::pfDevice ||
        source.GetPixelFormat() == TPixelFormat::pf32bit)
      FDirect = FDirect || target.GetPixelFormat() == TPixelFormat::pfDevice ||
                target.GetPixelFormat() == TPixelFormat::pf32bit;
  }

  // True when every pixel value means the same colour in both bitmaps.
  bool Direct() const { return FDirect; }

  std::uint32_t Convert(std::uint32_t pixel) {
    if (FDirect) return pixel;
    auto it = FCache.find(pixel);
    if (it != FCache.end()) return it->second;
    std::uint32_t result = FTarget.ColorToPixel(FSource.PixelToColor(pixel));
    if (FCache.size() < 65536) FCache.emplace(pixel, result);
    return result;
  }

 private:
  const TBitmap& FSource;
  const TBitmap& FTarget;
  bool FDirect = false;
  std::unordered_map<std::uint32_t, std::uint32_t> FCache;
};

// Nearest-neighbour sampling: destination pixel i of n maps to source pixel
// floor((i + 0.5) * m / n), counted from the far end when mirrored.
Int SampleIndex(Int i, Int n, Int m, bool mirror) {
  Int k = static_cast<Int>((static_cast<TInt128>(2 * i + 1) * m) / (2 * n));
  return mirror ? m - 1 - k : k;
}

// The handles of live canvases. Numbers only grow, so a released handle
// never comes to stand for another canvas.
struct THandleTable {
  std::mutex Mutex;
  std::unordered_set<HDC> Live;
  HDC Next = 1;
};

THandleTable& Handles() {
  static THandleTable table;
  return table;
}

}  // namespace

bool IsDeviceContext(HDC handle) {
  if (handle == 0) return false;
  THandleTable& table = Handles();
  std::lock_guard lock(table.Mutex);
  return table.Live.count(handle) != 0;
}

TCanvas::TCanvas(TBitmap* target) : FTarget(target) {}

TCanvas::~TCanvas() {
  ReleaseHandle();
}

HDC TCanvas::GetHandle() {
  if (FTarget == nullptr) return 0;
  if (FHandle != 0) return FHandle;
  THandleTable& table = Handles();
  std::lock_guard lock(table.Mutex);
  FHandle = table.Next++;
  table.Live.insert(FHandle);
  return FHandle;
}

void TCanvas::ReleaseHandle() {
  if (FHandle == 0) return;
  THandleTable& table = Handles();
  std::lock_guard lock(table.Mutex);
  table.Live.erase(FHandle);
  FHandle = 0;
}

void TCanvas::SetTarget(TBitmap* target) {
  ReleaseHandle();
  FTarget = target;
  FOrigin = TPoint{};
  FClip = TRect{};
  FClipSet = false;
  FPatternPos = 0;
}

TRect TCanvas::GetClipRect() const {
  if (FClipSet) return FClip;
  if (FTarget == nullptr) return TRect{};
  return Offset(Rect(0, 0, FTarget->GetWidth(), FTarget->GetHeight()),
                TPoint{-FOrigin.X, -FOrigin.Y});
}

TRect TCanvas::DeviceClip() const {
  if (FTarget == nullptr) return TRect{};
  TRect bounds = Rect(0, 0, FTarget->GetWidth(), FTarget->GetHeight());
  if (!FClipSet) return bounds.IsEmpty() ? TRect{} : bounds;
  return IntersectRect(bounds, Offset(FClip, FOrigin));
}

void TCanvas::Changed() {
  if (OnChange) OnChange(FTarget);
  if (FTarget != nullptr) FTarget->Changed(FTarget);
}

void TCanvas::FillRect(const TRect& rect) {
  if (FTarget == nullptr || FBrush.Style == TBrushStyle::bsClear) return;
  TRect r = IntersectRect(Offset(rect, FOrigin), DeviceClip());
  if (r.IsEmpty()) return;
  std::uint32_t pixel = FTarget->ColorToPixel(FBrush.Color);
  for (int y = r.Top; y < r.Bottom; ++y) FillSpan(*FTarget, y, r.Left, r.Right, pixel);
  Changed();
}

void TCanvas::FrameRect(const TRect& rect) {
  if (FTarget == nullptr || FBrush.Style == TBrushStyle::bsClear || rect.IsEmpty()) return;
  TRect clip = DeviceClip();
  if (clip.IsEmpty()) return;
  TInk ink{TOp::Copy, FTarget->ColorToPixel(FBrush.Color)};
  Int left = Int{rect.Left} + FOrigin.X, right = Int{rect.Right} + FOrigin.X;
  Int top = Int{rect.Top} + FOrigin.Y, bottom = Int{rect.Bottom} + FOrigin.Y;
  ApplySpan(*FTarget, clip, top, left, right, ink);
  ApplySpan(*FTarget, clip, bottom - 1, left, right, ink);
  Int from = std::max<Int>(top + 1, clip.Top), to = std::min<Int>(bottom - 1, clip.Bottom);
  for (Int y = from; y < to; ++y) {
    ApplyPixel(*FTarget, clip, left, y, ink);
    ApplyPixel(*FTarget, clip, right - 1, y, ink);
  }
  Changed();
}

void TCanvas::Rectangle(int x1, int y1, int x2, int y2) {
  DrawShape(x1, y1, x2, y2, 0, 0, false);
}

void TCanvas::RoundRect(int x1, int y1, int x2, int y2, int cornerWidth, int cornerHeight) {
  DrawShape(x1, y1, x2, y2, Saturate(std::abs(Int{cornerWidth})),
            Saturate(std::abs(Int{cornerHeight})), false);
}

void TCanvas::Ellipse(int x1, int y1, int x2, int y2) {
  DrawShape(x1, y1, x2, y2, 0, 0, true);
}

void TCanvas::DrawShape(int x1, int y1, int x2, int y2, int cornerWidth, int cornerHeight,
                        bool ellipse) {
  if (FTarget == nullptr || FPen.Mode == TPenMode::pmNop) return;
  TRect clip = DeviceClip();
  if (clip.IsEmpty()) return;
  Int left = std::min(x1, x2) + Int{FOrigin.X}, right = std::max(x1, x2) + Int{FOrigin.X};
  Int top = std::min(y1, y2) + Int{FOrigin.Y}, bottom = std::max(y1, y2) + Int{FOrigin.Y};
  bool penShown = FPen.Style != TPenStyle::psClear;
  Int width = penShown ? std::max(1, FPen.Width) : 0;
  // A wide pen is centred on the outline unless it must stay inside the frame.
  if (width > 1 && FPen.Style != TPenStyle::psInsideFrame) {
    left -= width / 2, top -= width / 2;
    right += (width - 1) / 2, bottom += (width - 1) / 2;
    cornerWidth = Saturate(Int{cornerWidth} + width - 1);
    cornerHeight = Saturate(Int{cornerHeight} + width - 1);
  }
  if (right <= left || bottom <= top) return;
  Int shrink = std::max<Int>(width - 1, 0);
  TRoundShape outer = ellipse ? TRoundShape(left, top, right, bottom, right - left, bottom - top)
                              : TRoundShape(left, top, right, bottom, cornerWidth, cornerHeight);
  Int il = left + shrink, it = top + shrink, ir = right - shrink, ib = bottom - shrink;
  TRoundShape inner =
      ellipse ? TRoundShape(il, it, ir, ib, ir - il, ib - it)
              : TRoundShape(il, it, ir, ib, cornerWidth - 2 * shrink, cornerHeight - 2 * shrink);
  TInk pen = penShown ? MakeInk(*FTarget, FPen.Mode, FPen.Color) : TInk{};
  TInk brush =
      FBrush.Style == TBrushStyle::bsSolid ? MakeInk(*FTarget, FPen.Mode, FBrush.Color) : TInk{};
  bool dashed = penShown && IsDashed(FPen);
  Int from = std::max<Int>(top, clip.Top), to = std::min<Int>(bottom, clip.Bottom);
  for (Int y = from; y < to; ++y) {
    TSpan row = outer.Row(y);
    if (row.Empty()) continue;
    if (!penShown) {
      ApplySpan(*FTarget, clip, y, row.Left, row.Right + 1, brush);
      continue;
    }
    TSpan inside = inner.Inside(y);
    if (!inside.Empty()) ApplySpan(*FTarget, clip, y, inside.Left, inside.Right + 1, brush);
    TSpan runs[2] = {row, {}};
    if (!inside.Empty())
      runs[0] = {row.Left, inside.Left - 1}, runs[1] = {inside.Right + 1, row.Right};
    for (const TSpan& run : runs) {
      if (run.Empty()) continue;
      if (!dashed) {
        ApplySpan(*FTarget, clip, y, run.Left, run.Right + 1, pen);
        continue;
      }
      Int a = std::max<Int>(run.Left, clip.Left), b = std::min<Int>(run.Right, clip.Right - 1);
      for (Int x = a; x <= b; ++x) {
        auto position = static_cast<Int>(std::floor(outer.OutlinePosition(x, y)));
        if (PatternOn(FPen.Style, position)) ApplyPixel(*FTarget, clip, x, y, pen);
      }
    }
  }
  Changed();
}

void TCanvas::DrawLine(Int x0, Int y0, Int x1, Int y1) {
  Int dx = x1 - x0, dy = y1 - y0;
  Int adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
  Int steps = std::max(adx, ady);
  if (steps == 0) return;  // the last point is never drawn
  Int phase = FPatternPos;
  FPatternPos += steps;
  if (FTarget == nullptr || FPen.Style == TPenStyle::psClear || FPen.Mode == TPenMode::pmNop)
    return;
  TRect clip = DeviceClip();
  if (clip.IsEmpty()) return;
  TInk ink = MakeInk(*FTarget, FPen.Mode, FPen.Color);

  if (FPen.Width > 1) {
    // A wide pen: the band around the segment with round ends, row by row.
    double r = FPen.Width / 2.0;
    double ax = x0 + 0.5, ay = y0 + 0.5, bx = x1 + 0.5, by = y1 + 0.5;
    double length = std::hypot(bx - ax, by - ay);
    double nx = -(by - ay) / length * r, ny = (bx - ax) / length * r;
    double band[4][2] = {
        {ax + nx, ay + ny}, {bx + nx, by + ny}, {bx - nx, by - ny}, {ax - nx, ay - ny}};
    Int rows0 = static_cast<Int>(std::floor(std::min(ay, by) - r)) - 1;
    Int rows1 = static_cast<Int>(std::ceil(std::max(ay, by) + r)) + 1;
    std::vector<TSpan> spans;
    for (Int y = std::max<Int>(rows0, clip.Top); y < std::min<Int>(rows1, clip.Bottom); ++y) {
      spans = {ConvexRow(band, 4, y), DiscRow(ax, ay, r, y), DiscRow(bx, by, r, y)};
      ApplyUnion(*FTarget, clip, y, spans, ink);
    }
    Changed();
    return;
  }

  // Step i (0 <= i < steps) lies at i along the major axis and at i * minor /
  // major along the other, halves rounded toward the start, so that a line
  // of slope 1/2 takes pairs of pixels; only the steps inside the clip are
  // visited.
  bool xMajor = adx >= ady;
  Int major0 = xMajor ? x0 : y0, minor0 = xMajor ? y0 : x0;
  Int majorStep = (xMajor ? dx : dy) < 0 ? -1 : 1;
  Int minorStep = (xMajor ? dy : dx) < 0 ? -1 : 1;
  Int minorDelta = xMajor ? ady : adx;
  auto minorAt = [&](Int i) {
    return minor0 +
           minorStep * static_cast<Int>((2 * static_cast<TInt128>(i) * minorDelta + steps - 1) /
                                        (2 * static_cast<TInt128>(steps)));
  };
  Int lo = xMajor ? clip.Left : clip.Top, hi = xMajor ? clip.Right : clip.Bottom;
  Int mlo = xMajor ? clip.Top : clip.Left, mhi = xMajor ? clip.Bottom : clip.Right;
  Int first = majorStep > 0 ? lo - major0 : major0 - hi + 1;
  Int last = majorStep > 0 ? hi - major0 : major0 - lo + 1;
  first = std::max<Int>(first, 0);
  last = std::min<Int>(last, steps);
  if (minorStep > 0) {
    first = FirstTrue(first, last, [&](Int i) { return minorAt(i) >= mlo; });
    last = FirstTrue(first, last, [&](Int i) { return minorAt(i) >= mhi; });
  } else {
    first = FirstTrue(first, last, [&](Int i) { return minorAt(i) < mhi; });
    last = FirstTrue(first, last, [&](Int i) { return minorAt(i) < mlo; });
  }
  bool dashed = IsDashed(FPen);
  for (Int i = first; i < last; ++i) {
    if (dashed && !PatternOn(FPen.Style, phase + i)) continue;
    Int major = major0 + majorStep * i, minor = minorAt(i);
    ApplyPixel(*FTarget, clip, xMajor ? major : minor, xMajor ? minor : major, ink);
  }
  Changed();
}

void TCanvas::MoveTo(int x, int y) {
  FPenPos = TPoint{x, y};
  FPatternPos = 0;
}

void TCanvas::LineTo(int x, int y) {
  DrawLine(Int{FPenPos.X} + FOrigin.X, Int{FPenPos.Y} + FOrigin.Y, Int{x} + FOrigin.X,
           Int{y} + FOrigin.Y);
  FPenPos = TPoint{x, y};
}

void TCanvas::Polyline(const TPoint* points, int count) {
  if (points == nullptr || count < 2) return;
  Int saved = FPatternPos;
  FPatternPos = 0;
  for (int i = 1; i < count; ++i)
    DrawLine(Int{points[i - 1].X} + FOrigin.X, Int{points[i - 1].Y} + FOrigin.Y,
             Int{points[i].X} + FOrigin.X, Int{points[i].Y} + FOrigin.Y);
  FPatternPos = saved;
}

void TCanvas::Polygon(const TPoint* points, int count) {
  if (points == nullptr || count < 2 || FTarget == nullptr || FPen.Mode == TPenMode::pmNop) return;
  TRect clip = DeviceClip();
  if (clip.IsEmpty()) return;
  if (FBrush.Style == TBrushStyle::bsSolid && count >= 3) {
    // Alternate (even-odd) filling. The points are pixel centres, as for the
    // outline, so each row is sampled at the integer coordinates.
    TInk brush = MakeInk(*FTarget, FPen.Mode, FBrush.Color);
    Int top = std::numeric_limits<Int>::max(), bottom = std::numeric_limits<Int>::min();
    for (int i = 0; i < count; ++i) {
      top = std::min<Int>(top, Int{points[i].Y} + FOrigin.Y);
      bottom = std::max<Int>(bottom, Int{points[i].Y} + FOrigin.Y);
    }
    std::vector<double> crossings;
    for (Int y = std::max<Int>(top, clip.Top); y < std::min<Int>(bottom, clip.Bottom); ++y) {
      auto t = static_cast<double>(y);
      crossings.clear();
      for (int i = 0; i < count; ++i) {
        const TPoint& p = points[i];
        const TPoint& q = points[(i + 1) % count];
        double py = Int{p.Y} + FOrigin.Y, qy = Int{q.Y} + FOrigin.Y;
        if ((py <= t) == (qy <= t)) continue;
        double px = Int{p.X} + FOrigin.X, qx = Int{q.X} + FOrigin.X;
        crossings.push_back(px + (t - py) * (qx - px) / (qy - py));
      }
      std::sort(crossings.begin(), crossings.end());
      for (std::size_t k = 0; k + 1 < crossings.size(); k += 2) {
        double a = std::clamp(crossings[k], -1e12, 1e12);
        double b = std::clamp(crossings[k + 1], -1e12, 1e12);
        ApplySpan(*FTarget, clip, y, static_cast<Int>(std::ceil(a)), static_cast<Int>(std::ceil(b)),
                  brush);
      }
    }
  }
  Int saved = FPatternPos;
  FPatternPos = 0;
  for (int i = 0; i < count; ++i) {
    const TPoint& p = points[i];
    const TPoint& q = points[(i + 1) % count];
    DrawLine(Int{p.X} + FOrigin.X, Int{p.Y} + FOrigin.Y, Int{q.X} + FOrigin.X,
             Int{q.Y} + FOrigin.Y);
  }
  FPatternPos = saved;
  Changed();
}

int TCanvas::TextWidth(const std::string& text) {
  return TFontEngine::Instance().TextWidth(FFont, text);
}

int TCanvas::TextHeight(const std::string&) {
  return TFontEngine::Instance().GetMetrics(FFont).Height;
}

void TCanvas::TextOut(int x, int y, const std::string& text) {
  DrawText(nullptr, x, y, text);
}

void TCanvas::TextRect(const TRect& rect, int x, int y, const std::string& text) {
  DrawText(&rect, x, y, text);
}

void TCanvas::DrawText(const TRect* clipRect, int x, int y, const std::string& text) {
  TFontEngine& engine = TFontEngine::Instance();
  int width = engine.TextWidth(FFont, text);
  if (clipRect == nullptr) FPenPos = TPoint{Saturate(Int{x} + width), y};
  if (FTarget == nullptr) return;
  TRect clip = DeviceClip();
  if (clipRect != nullptr) clip = IntersectRect(clip, Offset(*clipRect, FOrigin));
  if (clip.IsEmpty()) return;
  TFontMetrics metrics = engine.GetMetrics(FFont);
  Int left = Int{x} + FOrigin.X, top = Int{y} + FOrigin.Y;
  TBitmap& target = *FTarget;

  if (FBrush.Style == TBrushStyle::bsSolid) {
    TInk fill{TOp::Copy, target.ColorToPixel(FBrush.Color)};
    Int fillLeft = clipRect ? clip.Left : left, fillRight = clipRect ? clip.Right : left + width;
    Int fillTop = clipRect ? clip.Top : top,
        fillBottom = clipRect ? clip.Bottom : top + metrics.Height;
    for (Int row = std::max<Int>(fillTop, clip.Top); row < std::min<Int>(fillBottom, clip.Bottom);
         ++row)
      ApplySpan(target, clip, row, fillLeft, fillRight, fill);
  }

  std::uint32_t ink = target.ColorToPixel(FFont.Color);
  Int baseline = top + metrics.Ascent;
  engine.RenderText(FFont, text, [&](int penX, const TGlyphImage& glyph) {
    Int gx = left + penX + glyph.Left, gy = baseline - glyph.Top;
    if (gx >= clip.Right || gx + glyph.Width <= clip.Left || gy >= clip.Bottom ||
        gy + glyph.Rows <= clip.Top)
      return;
    for (int r = 0; r < glyph.Rows; ++r) {
      Int py = gy + r;
      if (py < clip.Top || py >= clip.Bottom) continue;
      const std::uint8_t* bits = glyph.Bits.data() + static_cast<std::size_t>(r) * glyph.Pitch;
      for (int c = 0; c < glyph.Width; ++c) {
        if ((bits[c >> 3] & (0x80 >> (c & 7))) == 0) continue;
        Int px = gx + c;
        if (px >= clip.Left && px < clip.Right)
          target.SetRawPixel(static_cast<int>(px), static_cast<int>(py), ink);
      }
    }
  });

  TInk line{TOp::Copy, ink};
  if (FFont.Style & fsUnderline)
    for (int r = 0; r < metrics.UnderlineThickness; ++r)
      ApplySpan(target, clip, top + metrics.UnderlineTop + r, left, left + width, line);
  if (FFont.Style & fsStrikeOut)
    for (int r = 0; r < metrics.StrikeOutThickness; ++r)
      ApplySpan(target, clip, top + metrics.StrikeOutTop + r, left, left + width, line);
  Changed();
}

void TCanvas::Draw(int x, int y, TGraphic& graphic) {
  TRect rect{x, y, Saturate(Int{x} + graphic.GetWidth()), Saturate(Int{y} + graphic.GetHeight())};
  graphic.Draw(*this, rect);
}

void TCanvas::StretchDraw(const TRect& rect, TGraphic& graphic) {
  graphic.Draw(*this, rect);
}

void TCanvas::CopyRect(const TRect& dest, TCanvas& source, const TRect& srcRect) {
  if (source.FTarget == nullptr) return;
  CopyFromBitmap(dest, *source.FTarget, Offset(srcRect, source.FOrigin));
}

void TCanvas::CopyFromBitmap(const TRect& dest, const TBitmap& source, const TRect& srcRect,
                             const TBitmap* mask, TColor transparentColor) {
  if (FTarget == nullptr || source.GetEmpty()) return;
  if (&source == FTarget) {
    // Reading and writing the same pixels: copy from a snapshot.
    TBitmap snapshot;
    snapshot.Assign(&source);
    CopyFromBitmap(dest, snapshot, srcRect, mask, transparentColor);
    return;
  }
  Int dw = Int{dest.Right} - dest.Left, dh = Int{dest.Bottom} - dest.Top;
  Int sw = Int{srcRect.Right} - srcRect.Left, sh = Int{srcRect.Bottom} - srcRect.Top;
  if (dw == 0 || dh == 0 || sw == 0 || sh == 0) return;
  bool mirrorX = (dw < 0) != (sw < 0), mirrorY = (dh < 0) != (sh < 0);
  Int dl = std::min<Int>(dest.Left, dest.Right) + FOrigin.X;
  Int dt = std::min<Int>(dest.Top, dest.Bottom) + FOrigin.Y;
  Int sl = std::min(srcRect.Left, srcRect.Right), st = std::min(srcRect.Top, srcRect.Bottom);
  dw = std::abs(dw), dh = std::abs(dh), sw = std::abs(sw), sh = std::abs(sh);

  TRect clip = DeviceClip();
  Int x0 = std::max<Int>(dl, clip.Left), x1 = std::min<Int>(dl + dw, clip.Right);
  Int y0 = std::max<Int>(dt, clip.Top), y1 = std::min<Int>(dt + dh, clip.Bottom);
  if (x0 >= x1 || y0 >= y1) return;

  std::vector<int> columns(static_cast<std::size_t>(x1 - x0));
  for (Int x = x0; x < x1; ++x) {
    Int sx = sl + SampleIndex(x - dl, dw, sw, mirrorX);
    columns[static_cast<std::size_t>(x - x0)] =
        sx >= 0 && sx < source.GetWidth() ? static_cast<int>(sx) : -1;
  }
  bool useMask = mask != nullptr && !mask->GetEmpty();
  bool keyed = transparentColor != clNone;
  std::uint32_t key = keyed ? source.ColorToPixel(transparentColor) : 0;
  TPixelConverter convert(source, *FTarget);
  const int bits = BitsPerPixel(source.GetPixelFormat());
  if (convert.Direct() && !useMask && !keyed && sw == dw && !mirrorX && bits >= 8 &&
      bits == BitsPerPixel(FTarget->GetPixelFormat())) {
    // An unscaled copy between pixels of the same layout, as when a control
    // painted into a bitmap is copied out: whole row spans at once.
    const auto bytes = static_cast<std::size_t>(bits / 8);
    const Int first = std::max<Int>(x0, dl - sl);
    const Int last = std::min<Int>(x1, dl - sl + source.GetWidth());
    for (Int y = y0; y < y1 && first < last; ++y) {
      Int sy = st + SampleIndex(y - dt, dh, sh, mirrorY);
      if (sy < 0 || sy >= source.GetHeight()) continue;
      std::memcpy(
          FTarget->ScanLine(static_cast<int>(y)) + static_cast<std::size_t>(first) * bytes,
          source.ScanLine(static_cast<int>(sy)) + static_cast<std::size_t>(sl + first - dl) * bytes,
          static_cast<std::size_t>(last - first) * bytes);
    }
    Changed();
    return;
  }
  for (Int y = y0; y < y1; ++y) {
    Int sy = st + SampleIndex(y - dt, dh, sh, mirrorY);
    if (sy < 0 || sy >= source.GetHeight()) continue;
    int row = static_cast<int>(sy);
    for (Int x = x0; x < x1; ++x) {
      int sx = columns[static_cast<std::size_t>(x - x0)];
      if (sx < 0) continue;
      if (useMask && sx < mask->GetWidth() && row < mask->GetHeight() &&
          (mask->GetPixel(sx, row) & 0xFFFFFF) != 0)
        continue;
      std::uint32_t pixel = source.GetRawPixel(sx, row);
      if (keyed && pixel == key) continue;
      FTarget->SetRawPixel(static_cast<int>(x), static_cast<int>(y), convert.Convert(pixel));
    }
  }
  Changed();
}

TColor TCanvas::GetPixel(int x, int y) const {
  Int px = Int{x} + FOrigin.X, py = Int{y} + FOrigin.Y;
  TRect clip = DeviceClip();
  if (px < clip.Left || px >= clip.Right || py < clip.Top || py >= clip.Bottom) return clNone;
  return FTarget->GetPixel(static_cast<int>(px), static_cast<int>(py));
}

void TCanvas::SetPixel(int x, int y, TColor color) {
  Int px = Int{x} + FOrigin.X, py = Int{y} + FOrigin.Y;
  TRect clip = DeviceClip();
  if (px < clip.Left || px >= clip.Right || py < clip.Top || py >= clip.Bottom) return;
  FTarget->SetRawPixel(static_cast<int>(px), static_cast<int>(py), FTarget->ColorToPixel(color));
  Changed();
}

}  // namespace tavkit
