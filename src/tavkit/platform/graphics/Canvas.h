// TCanvas: the drawing surface of bitmaps and controls. A canvas draws into a
// target bitmap through an origin (where its (0, 0) lies on the target) and a
// clip rectangle; a canvas without a target draws nothing but still measures
// text. Pens, brushes and fonts behave as on the classic host: rectangles
// exclude their right and bottom edges, lines exclude their last point, text
// is placed by the top-left corner of its character cell.
//
// ```cpp
// TBitmap sign(200, 100);
// TCanvas& canvas = sign.Canvas();
// canvas.Brush().Color = clYellow;
// canvas.FillRect(Rect(0, 0, 200, 100));      // right and bottom edges excluded
// canvas.Pen().Color = clNavy;
// canvas.Pen().Width = 2;
// canvas.Rectangle(10, 10, 190, 90);          // outlined with the pen, filled with the brush
// canvas.Font().Name = "ARIAL";               // a metric-compatible face is found
// canvas.Font().Height = 24;                  // the character cell, in pixels
// canvas.Font().Style = fsBold;
// canvas.Brush().Style = TBrushStyle::bsClear;  // text without its cell filled
// int width = canvas.TextWidth("SALE");
// canvas.TextOut((200 - width) / 2, 38, "SALE");  // at the top-left of the cell
// canvas.SetClipRect(Rect(100, 0, 200, 100));  // from here on, only the right half
// canvas.MoveTo(0, 80);
// canvas.LineTo(200, 80);                     // shows from x = 100 on
// TCanvas measure;                            // no target: draws nothing, still measures
// int height = measure.TextHeight("SALE");
// ```
#pragma once

#include <cstdint>
#include <string>

#include <tavkit/platform/base/Objects.h>
#include <tavkit/platform/base/Types.h>

namespace tavkit {

class TBitmap;
class TGraphic;

enum class TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
// pmNot inverts what is on the target (the inverse-of-screen mode).
enum class TPenMode { pmCopy, pmNot, pmNop, pmXor };
enum class TBrushStyle { bsSolid, bsClear };

struct TPen {
  TColor Color = clBlack;
  int Width = 1;
  TPenStyle Style = TPenStyle::psSolid;
  TPenMode Mode = TPenMode::pmCopy;
};

struct TBrush {
  TColor Color = clWhite;
  TBrushStyle Style = TBrushStyle::bsSolid;
};

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

// The canvas font. The name is matched without regard to letter case against
// the installed faces; the classic names ("ARIAL", "COURIER NEW", "MS Sans
// Serif", "SYSTEM", "Times New Roman") find metric-compatible faces. Height
// is the height in pixels of the character cell (ascent plus descent), which
// is also what TextHeight answers; a negative Height gives the size of the
// em square instead, 0 the default of 13.
struct TFont {
  std::string Name = "MS Sans Serif";
  int Height = 13;
  unsigned Style = 0;
  TColor Color = clBlack;
};

// A device context handle: a number standing for a canvas while it is bound
// to a bitmap. It is released when the canvas is unbound or destroyed, which
// happens when its bitmap goes away, and never handed out again; 0 is no
// handle. Code that keeps a canvas for later (an animation painting on it)
// checks the handle before it draws.
using HDC = std::uintptr_t;
// Whether the handle still stands for a live canvas. Safe from any thread.
bool IsDeviceContext(HDC handle);

class TCanvas {
 public:
  TCanvas() = default;
  explicit TCanvas(TBitmap* target);
  ~TCanvas();
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  TBitmap* GetTarget() const { return FTarget; }
  // Binds the canvas to a bitmap (null unbinds); resets origin and clip and
  // releases the handle.
  void SetTarget(TBitmap* target);
  // The canvas's device context, made on first request; 0 without a target.
  HDC GetHandle();
  TPoint GetOrigin() const { return FOrigin; }
  void SetOrigin(TPoint origin) { FOrigin = origin; }
  // The clip rectangle in the canvas's own coordinates; until one is set it
  // is the whole target (empty without a target).
  TRect GetClipRect() const;
  void SetClipRect(const TRect& clip) {
    FClip = clip;
    FClipSet = true;
  }

  TPen& Pen() { return FPen; }
  TBrush& Brush() { return FBrush; }
  TFont& Font() { return FFont; }

  void FillRect(const TRect& rect);
  void FrameRect(const TRect& rect);
  void Rectangle(int x1, int y1, int x2, int y2);
  void Rectangle(const TRect& rect) { Rectangle(rect.Left, rect.Top, rect.Right, rect.Bottom); }
  void RoundRect(int x1, int y1, int x2, int y2, int cornerWidth, int cornerHeight);
  void Ellipse(int x1, int y1, int x2, int y2);
  void Polygon(const TPoint* points, int count);
  void Polyline(const TPoint* points, int count);
  void MoveTo(int x, int y);
  void LineTo(int x, int y);
  TPoint GetPenPos() const { return FPenPos; }

  // Writes text with the top-left of its character cell at (x, y); with a
  // solid brush the cell is filled first. The pen moves to the end of the text.
  void TextOut(int x, int y, const std::string& text);
  // Writes text at (x, y) clipped to rect, after filling rect with the brush.
  void TextRect(const TRect& rect, int x, int y, const std::string& text);
  int TextWidth(const std::string& text);
  int TextHeight(const std::string& text);

  void Draw(int x, int y, TGraphic& graphic);
  void StretchDraw(const TRect& rect, TGraphic& graphic);
  // Copies srcRect of another canvas, scaled into dest of this one.
  void CopyRect(const TRect& dest, TCanvas& source, const TRect& srcRect);
  // Copies srcRect of a bitmap, scaled by nearest neighbour into dest (a
  // negative width or height on either side mirrors). Pixels whose mask
  // pixel (same coordinates as in source) is not black, and pixels of
  // transparentColor (clNone: none), leave the canvas unchanged.
  void CopyFromBitmap(const TRect& dest, const TBitmap& source, const TRect& srcRect,
                      const TBitmap* mask = nullptr, TColor transparentColor = clNone);

  // Outside the clip rectangle or the target reading gives clNone.
  TColor GetPixel(int x, int y) const;
  void SetPixel(int x, int y, TColor color);

  // Called after every drawing operation that reached a target.
  TNotifyEvent OnChange;

 private:
  TRect DeviceClip() const;
  void Changed();
  void DrawLine(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1);
  void DrawShape(int x1, int y1, int x2, int y2, int cornerWidth, int cornerHeight, bool ellipse);
  void DrawText(const TRect* clipRect, int x, int y, const std::string& text);

  void ReleaseHandle();

  TBitmap* FTarget = nullptr;
  HDC FHandle = 0;
  TPoint FOrigin;
  TRect FClip;
  TPen FPen;
  TBrush FBrush;
  TFont FFont;
  TPoint FPenPos;
  bool FClipSet = false;
  // Where the dash pattern of the pen stands; consecutive LineTo calls carry it on.
  std::int64_t FPatternPos = 0;
};

}  // namespace tavkit
