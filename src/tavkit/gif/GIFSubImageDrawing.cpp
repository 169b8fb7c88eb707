// A frame as a picture: rendered into an 8-bit bitmap (plain, or dithered onto
// the web palette) with a mask of its transparent pixels, and drawn scaled,
// tiled or over what is on the canvas, never outside the rectangle it is given.
// Apart from the frame's model and stream form (GIFSubImage.cpp), which never draw.
#include <tavkit/gif/GIFSubImage.h>

#include <algorithm>
#include <cstring>

#include <tavkit/gif/GIFColorReduction.h>
#include <tavkit/gif/GIFExtensions.h>
#include <tavkit/gif/GIFImage.h>
#include <tavkit/gif/detail/GIFProgress.h>
#include <tavkit/gif/detail/GIFTiling.h>
#include <tavkit/platform/graphics/Canvas.h>

namespace tavkit {

using detail::FirstTile;
using detail::kRendering;
using detail::Saturate;
using detail::Shifted;

namespace {

// floor(a / b) for b > 0.
std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  std::int64_t q = a / b;
  if (a % b != 0 && a < 0) --q;
  return q;
}

// Scales a coordinate of the logical screen into a drawing rectangle,
// rounding to the nearest pixel.
int ScaleCoordinate(int origin, int value, int target, int screen) {
  const std::int64_t product = std::int64_t{value} * target;
  return Saturate(origin + FloorDiv(2 * product + screen, 2 * std::int64_t{screen}));
}

// The web cube level nearest to a component value, which may lie outside
// 0..255 once dithering errors are added.
int WebLevel(int value) {
  return static_cast<int>(
      std::clamp<std::int64_t>(FloorDiv(2 * std::int64_t{value} + 51, 102), 0, 5));
}

}  // namespace

int TGIFSubImage::ScreenWidth() const {
  const int screen = FImage ? FImage->GetWidth() : 0;
  return std::max({screen, GetLeft() + GetWidth(), 1});
}

int TGIFSubImage::ScreenHeight() const {
  const int screen = FImage ? FImage->GetHeight() : 0;
  return std::max({screen, GetTop() + GetHeight(), 1});
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

}  // namespace tavkit
