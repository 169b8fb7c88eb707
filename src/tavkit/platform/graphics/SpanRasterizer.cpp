// The span rasterizer: every shape TCanvas draws comes down to row spans and
// single pixels, clipped here in 64-bit target coordinates and written in the
// target's own pixel format, so that no coordinate however far out can cost
// time or touch memory outside the bitmap.
#include <tavkit/platform/graphics/detail/SpanRasterizer.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>

namespace tavkit::detail {

namespace {

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

}  // namespace

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

TRoundShape::TRoundShape(Int x1, Int y1, Int x2, Int y2, Int cornerWidth, Int cornerHeight)
    : X1(x1), Y1(y1), X2(x2), Y2(y2) {
  Int w = std::max<Int>(x2 - x1, 0);
  Int h = std::max<Int>(y2 - y1, 0);
  A = static_cast<double>(std::clamp<Int>(cornerWidth, 0, w)) / 2;
  B = static_cast<double>(std::clamp<Int>(cornerHeight, 0, h)) / 2;
}

TSpan TRoundShape::Row(Int y) const {
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
  return TSpan{static_cast<Int>(std::ceil(left - 0.5)), static_cast<Int>(std::floor(right - 0.5))};
}

TSpan TRoundShape::Inside(Int y) const {
  TSpan s = Row(y);
  TSpan above = Row(y - 1);
  TSpan below = Row(y + 1);
  if (s.Empty() || above.Empty() || below.Empty()) return {};
  return TSpan{std::max({s.Left + 1, above.Left, below.Left}),
               std::min({s.Right - 1, above.Right, below.Right})};
}

double TRoundShape::OutlinePosition(Int x, Int y) const {
  constexpr double quarter = std::numbers::pi / 2;
  double px = static_cast<double>(x) + 0.5;
  double py = static_cast<double>(y) + 0.5;
  double ra = std::max(A - 0.5, 0.0);
  double rb = std::max(B - 0.5, 0.0);
  double iL = X1 + 0.5 + ra, iR = X2 - 0.5 - ra;
  double iT = Y1 + 0.5 + rb, iB = Y2 - 0.5 - rb;
  double lh = std::max(iR - iL, 0.0), lv = std::max(iB - iT, 0.0);
  double q = (ra > 0 && rb > 0)
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

TSpan DiscRow(double cx, double cy, double r, Int y) {
  double dy = static_cast<double>(y) + 0.5 - cy;
  if (dy < -r || dy >= r) return {};
  double half = std::sqrt(r * r - dy * dy);
  return TSpan{static_cast<Int>(std::ceil(cx - half - 0.5)),
               static_cast<Int>(std::ceil(cx + half - 0.5)) - 1};
}

}  // namespace tavkit::detail
