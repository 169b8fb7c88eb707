// Canvas drawing on bitmaps. Every operation works in the target's pixel
// coordinates (canvas coordinates plus origin) with 64-bit arithmetic, clips
// to the clip rectangle and the bitmap before it loops, and writes pixels in
// the target's own format, so that no coordinate however far out can cost
// time or touch memory outside the bitmap. Outlined shapes are built from
// row spans: the shape, and the shape shrunk by the pen width, whose strict
// inside is the part the brush fills; each pixel is written once, which keeps
// the inverting and xor pen modes exact.
#include <tavkit/platform/graphics/Canvas.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <mutex>
#include <numbers>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include <tavkit/platform/graphics/Bitmap.h>
#include <tavkit/platform/graphics/detail/FontEngine.h>

namespace tavkit {

namespace {

using Int = std::int64_t;
__extension__ using TInt128 = __int128;

int Saturate(Int v) {
  return static_cast<int>(
      std::clamp<Int>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

TRect Offset(const TRect& r, TPoint by) {
  return TRect{Saturate(Int{r.Left} + by.X), Saturate(Int{r.Top} + by.Y),
               Saturate(Int{r.Right} + by.X), Saturate(Int{r.Bottom} + by.Y)};
}

// How a drawing operation combines its colour with the target.
enum class TOp { Copy, Not, Xor, Nop };

struct TInk {
  TOp Op = TOp::Nop;
  std::uint32_t Pixel = 0;
};

std::uint32_t InvertMask(TPixelFormat format) {
  switch (format) {
    case TPixelFormat::pf1bit:
      return 0x1;
    case TPixelFormat::pf4bit:
      return 0xF;
    case TPixelFormat::pf8bit:
      return 0xFF;
    case TPixelFormat::pf15bit:
      return 0x7FFF;
    case TPixelFormat::pf16bit:
      return 0xFFFF;
    default:
      return 0xFFFFFF;  // 24 and 32 bits keep their fourth byte
  }
}

TInk MakeInk(const TBitmap& target, TPenMode mode, TColor color) {
  switch (mode) {
    case TPenMode::pmCopy:
      return TInk{TOp::Copy, target.ColorToPixel(color)};
    case TPenMode::pmNot:
      return TInk{TOp::Xor, InvertMask(target.GetPixelFormat())};
    case TPenMode::pmXor:
      return TInk{TOp::Xor, target.ColorToPixel(color)};
    case TPenMode::pmNop:
      break;
  }
  return TInk{};
}

// Writes pixels x0..x1-1 of row y; the caller has clipped them.
void FillSpan(TBitmap& bitmap, int y, int x0, int x1, std::uint32_t pixel) {
  std::uint8_t* row = bitmap.ScanLine(y);
  switch (bitmap.GetPixelFormat()) {
    case TPixelFormat::pf8bit:
      std::memset(row + x0, static_cast<int>(pixel & 0xFF), static_cast<std::size_t>(x1 - x0));
      return;
    case TPixelFormat::pf15bit:
    case TPixelFormat::pf16bit:
      for (int x = x0; x < x1; ++x) {
        row[2 * x] = static_cast<std::uint8_t>(pixel);
        row[2 * x + 1] = static_cast<std::uint8_t>(pixel >> 8);
      }
      return;
    case TPixelFormat::pf24bit:
      for (int x = x0; x < x1; ++x) {
        row[3 * x] = static_cast<std::uint8_t>(pixel);
        row[3 * x + 1] = static_cast<std::uint8_t>(pixel >> 8);
        row[3 * x + 2] = static_cast<std::uint8_t>(pixel >> 16);
      }
      return;
    case TPixelFormat::pfDevice:
    case TPixelFormat::pf32bit:
      for (int x = x0; x < x1; ++x) std::memcpy(row + 4 * x, &pixel, 4);
      return;
    default:
      for (int x = x0; x < x1; ++x) bitmap.SetRawPixel(x, y, pixel);
  }
}

void ApplySpan(TBitmap& bitmap, const TRect& clip, Int y, Int x0, Int x1, const TInk& ink) {
  if (ink.Op == TOp::Nop || y < clip.Top || y >= clip.Bottom) return;
  int from = static_cast<int>(std::max<Int>(x0, clip.Left));
  int to = static_cast<int>(std::min<Int>(x1, clip.Right));
  if (from >= to) return;
  int row = static_cast<int>(y);
  if (ink.Op == TOp::Copy) {
    FillSpan(bitmap, row, from, to, ink.Pixel);
    return;
  }
  for (int x = from; x < to; ++x)
    bitmap.SetRawPixel(x, row, bitmap.GetRawPixel(x, row) ^ ink.Pixel);
}

void ApplyPixel(TBitmap& bitmap, const TRect& clip, Int x, Int y, const TInk& ink) {
  if (x < clip.Left || x >= clip.Right || y < clip.Top || y >= clip.Bottom) return;
  int px = static_cast<int>(x);
  int py = static_cast<int>(y);
  if (ink.Op == TOp::Copy)
    bitmap.SetRawPixel(px, py, ink.Pixel);
  else if (ink.Op == TOp::Xor)
    bitmap.SetRawPixel(px, py, bitmap.GetRawPixel(px, py) ^ ink.Pixel);
}

// The classic cosmetic dash patterns, alternating on and off lengths.
bool PatternOn(TPenStyle style, Int position) {
  static constexpr int dash[] = {18, 6};
  static constexpr int dot[] = {3, 3};
  static constexpr int dashDot[] = {9, 6, 3, 6};
  static constexpr int dashDotDot[] = {9, 3, 3, 3, 3, 3};
  const int* pattern = nullptr;
  int count = 0;
  switch (style) {
    case TPenStyle::psDash:
      pattern = dash, count = 2;
      break;
    case TPenStyle::psDot:
      pattern = dot, count = 2;
      break;
    case TPenStyle::psDashDot:
      pattern = dashDot, count = 4;
      break;
    case TPenStyle::psDashDotDot:
      pattern = dashDotDot, count = 6;
      break;
    default:
      return true;
  }
  int period = 0;
  for (int i = 0; i < count; ++i) period += pattern[i];
  Int p = position % period;
  if (p < 0) p += period;
  for (int i = 0; i < count; ++i) {
    if (p < pattern[i]) return i % 2 == 0;
    p -= pattern[i];
  }
  return true;
}

bool IsDashed(const TPen& pen) {
  return pen.Width <= 1 && pen.Style != TPenStyle::psSolid &&
         pen.Style != TPenStyle::psInsideFrame && pen.Style != TPenStyle::psClear;
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

struct TSpan {
  Int Left = 0;
  Int Right = -1;  // inclusive; Left > Right is empty
  bool Empty() const { return Left > Right; }
};

// A rectangle with elliptic corners of size cornerWidth x cornerHeight (an
// ellipse when they equal the box), sampled at pixel centres.
struct TRoundShape {
  Int X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;
  double A = 0, B = 0;  // corner radii

  TRoundShape(Int x1, Int y1, Int x2, Int y2, Int cornerWidth, Int cornerHeight)
      : X1(x1), Y1(y1), X2(x2), Y2(y2) {
    Int w = std::max<Int>(x2 - x1, 0);
    Int h = std::max<Int>(y2 - y1, 0);
    A = static_cast<double>(std::clamp<Int>(cornerWidth, 0, w)) / 2;
    B = static_cast<double>(std::clamp<Int>(cornerHeight, 0, h)) / 2;
  }

  TSpan Row(Int y) const {
    if (y < Y1 || y >= Y2 || X2 <= X1) return {};
    double t = static_cast<double>(y) + 0.5;
    double left = static_cast<double>(X1);
    double right = static_cast<double>(X2);
    if (A > 0 && B > 0) {
      double dy = 0;
      if (t < Y1 + B)
        dy = (Y1 + B) - t;
      else if (t > Y2 - B)
        dy = t - (Y2 - B);
      if (dy > 0) {
        double f = 1 - (dy / B) * (dy / B);
        if (f < 0) return {};
        double half = A * std::sqrt(f);
        left = X1 + A - half;
        right = X2 - A + half;
      }
    }
    return TSpan{static_cast<Int>(std::ceil(left - 0.5)),
                 static_cast<Int>(std::floor(right - 0.5))};
  }

  // The pixels of row y that are not on the shape's one-pixel boundary.
  TSpan Inside(Int y) const {
    TSpan s = Row(y);
    TSpan above = Row(y - 1);
    TSpan below = Row(y + 1);
    if (s.Empty() || above.Empty() || below.Empty()) return {};
    return TSpan{std::max({s.Left + 1, above.Left, below.Left}),
                 std::min({s.Right - 1, above.Right, below.Right})};
  }

  // Distance along the outline, clockwise from the top-left end of the top
  // edge, of a boundary pixel; dash patterns follow it round the shape.
  double OutlinePosition(Int x, Int y) const {
    constexpr double quarter = std::numbers::pi / 2;
    double px = static_cast<double>(x) + 0.5;
    double py = static_cast<double>(y) + 0.5;
    double ra = std::max(A - 0.5, 0.0);
    double rb = std::max(B - 0.5, 0.0);
    double iL = X1 + 0.5 + ra, iR = X2 - 0.5 - ra;
    double iT = Y1 + 0.5 + rb, iB = Y2 - 0.5 - rb;
    double lh = std::max(iR - iL, 0.0), lv = std::max(iB - iT, 0.0);
    double q =
        (ra > 0 && rb > 0)
            ? std::numbers::pi * (3 * (ra + rb) - std::sqrt((3 * ra + rb) * (ra + 3 * rb))) / 4
            : 0;
    if (py <= iT && px >= iL && px <= iR) return px - iL;
    if (px >= iR && py >= iT && py <= iB) return lh + q + (py - iT);
    if (py >= iB && px >= iL && px <= iR) return lh + 2 * q + lv + (iR - px);
    if (px <= iL && py >= iT && py <= iB) return 2 * lh + 3 * q + lv + (iB - py);
    if (ra <= 0 || rb <= 0) return 0;
    if (px > iR && py < iT) return lh + q * std::atan2((px - iR) / ra, (iT - py) / rb) / quarter;
    if (px > iR) return lh + q + lv + q * std::atan2((py - iB) / rb, (px - iR) / ra) / quarter;
    if (py > iB)
      return 2 * lh + 2 * q + lv + q * std::atan2((iL - px) / ra, (py - iB) / rb) / quarter;
    return 2 * lh + 3 * q + 2 * lv + q * std::atan2((iT - py) / rb, (iL - px) / ra) / quarter;
  }
};

// Merges up to a few intervals of one row and applies each once.
void ApplyUnion(TBitmap& bitmap, const TRect& clip, Int y, std::vector<TSpan>& spans,
                const TInk& ink) {
  std::sort(spans.begin(), spans.end(),
            [](const TSpan& a, const TSpan& b) { return a.Left < b.Left; });
  TSpan current{};
  for (const TSpan& s : spans) {
    if (s.Empty()) continue;
    if (!current.Empty() && s.Left <= current.Right + 1) {
      current.Right = std::max(current.Right, s.Right);
      continue;
    }
    if (!current.Empty()) ApplySpan(bitmap, clip, y, current.Left, current.Right + 1, ink);
    current = s;
  }
  if (!current.Empty()) ApplySpan(bitmap, clip, y, current.Left, current.Right + 1, ink);
}

// The pixels of row y whose centres lie inside a convex polygon. Coverage is
// half-open (a centre on the left or top edge is in, on the right or bottom
// edge out), so that a band of width w covers exactly w rows or columns.
TSpan ConvexRow(const double (*corners)[2], int count, Int y) {
  double t = static_cast<double>(y) + 0.5;
  double top = std::numeric_limits<double>::infinity(), bottom = -top;
  for (int i = 0; i < count; ++i) {
    top = std::min(top, corners[i][1]);
    bottom = std::max(bottom, corners[i][1]);
  }
  if (t < top || t >= bottom) return {};
  double lo = std::numeric_limits<double>::infinity();
  double hi = -lo;
  for (int i = 0; i < count; ++i) {
    const double* p = corners[i];
    const double* q = corners[(i + 1) % count];
    if ((p[1] <= t && t <= q[1]) || (q[1] <= t && t <= p[1])) {
      double x =
          p[1] == q[1] ? std::min(p[0], q[0]) : p[0] + (t - p[1]) * (q[0] - p[0]) / (q[1] - p[1]);
      double x2 = p[1] == q[1] ? std::max(p[0], q[0]) : x;
      lo = std::min(lo, x);
      hi = std::max(hi, x2);
    }
  }
  if (lo > hi) return {};
  return TSpan{static_cast<Int>(std::ceil(lo - 0.5)), static_cast<Int>(std::ceil(hi - 0.5)) - 1};
}

// The pixels of row y whose centres lie inside a disc, half-open like ConvexRow.
TSpan DiscRow(double cx, double cy, double r, Int y) {
  double dy = static_cast<double>(y) + 0.5 - cy;
  if (dy < -r || dy >= r) return {};
  double half = std::sqrt(r * r - dy * dy);
  return TSpan{static_cast<Int>(std::ceil(cx - half - 0.5)),
               static_cast<Int>(std::ceil(cx + half - 0.5)) - 1};
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
