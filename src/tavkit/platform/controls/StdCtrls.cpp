// Painting and publishing of the standard native controls.
#include <tavkit/platform/controls/StdCtrls.h>

#include <algorithm>

#include <tavkit/platform/base/Registry.h>

namespace tavkit {

void TControlFont::Assign(const TPersistent* source) {
  if (auto* other = dynamic_cast<const TControlFont*>(source)) {
    FFont = other->FFont;
    FControl.invalidate();
    return;
  }
  TPersistent::Assign(source);
}

void TControlFont::SetName(const std::string& name) {
  FFont.Name = name;
  FControl.invalidate();
}

void TControlFont::SetHeight(int height) {
  FFont.Height = height;
  FControl.invalidate();
}

void TControlFont::SetColor(TColor color) {
  FFont.Color = color;
  FControl.invalidate();
}

void TControlFont::SetStyle(TFontStyle style, bool on) {
  FFont.Style = on ? (FFont.Style | style) : (FFont.Style & ~static_cast<unsigned>(style));
  FControl.invalidate();
}

void DrawCaption(TCanvas& canvas, const TRect& rect, const std::string& text,
                 TAlignment alignment) {
  if (text.empty()) return;
  int width = canvas.TextWidth(text), height = canvas.TextHeight(text);
  int x = rect.Left;
  if (alignment == taRightJustify) x = rect.Right - width;
  if (alignment == taCenterAlign) x = rect.Left + (rect.Right - rect.Left - width) / 2;
  int y = rect.Top + (rect.Bottom - rect.Top - height) / 2;
  TBrushStyle saved = canvas.Brush().Style;
  canvas.Brush().Style = TBrushStyle::bsClear;
  canvas.TextRect(rect, x, y, text);
  canvas.Brush().Style = saved;
}

void DrawFrame3D(TCanvas& canvas, const TRect& rect, TColor light, TColor dark) {
  TPen saved = canvas.Pen();
  canvas.Pen().Style = TPenStyle::psSolid;
  canvas.Pen().Mode = TPenMode::pmCopy;
  canvas.Pen().Width = 1;
  canvas.Pen().Color = ColorToRGB(light);
  canvas.MoveTo(rect.Left, rect.Bottom - 1);
  canvas.LineTo(rect.Left, rect.Top);
  canvas.LineTo(rect.Right - 1, rect.Top);
  canvas.Pen().Color = ColorToRGB(dark);
  canvas.LineTo(rect.Right - 1, rect.Bottom - 1);
  canvas.LineTo(rect.Left - 1, rect.Bottom - 1);
  canvas.Pen() = saved;
}

namespace {

void Fill(TCanvas& canvas, const TRect& rect, TColor color) {
  canvas.Brush().Style = TBrushStyle::bsSolid;
  canvas.Brush().Color = ColorToRGB(color);
  canvas.FillRect(rect);
}

void UseFont(TCanvas& canvas, const TControlFont& font) {
  canvas.Font() = font.Font();
  canvas.Font().Color = ColorToRGB(font.Font().Color);
}

}  // namespace

TPanel::TPanel(TComponent* owner) : TCaptionedControl(owner) {
  SetControlStyle(GetControlStyle() | csAcceptsControls | csOpaque);
  FAlignment = taCenterAlign;
  SetBounds(GetLeft(), GetTop(), 185, 41);
}

void TPanel::paint() {
  TCanvas& canvas = Canvas();
  TRect client{0, 0, GetWidth(), GetHeight()};
  Fill(canvas, client, FColor);
  if (FBevelOuter == bvRaised) DrawFrame3D(canvas, client, clBtnHighlight, clBtnShadow);
  if (FBevelOuter == bvLowered) DrawFrame3D(canvas, client, clBtnShadow, clBtnHighlight);
  UseFont(canvas, FFont);
  DrawCaption(canvas, TRect{client.Left + 2, client.Top + 2, client.Right - 2, client.Bottom - 2},
              FCaption, FAlignment);
}

TLabel::TLabel(TComponent* owner) : TCaptionedControl(owner) {
  SetBounds(GetLeft(), GetTop(), 65, 17);
}

void TLabel::paint() {
  TCanvas& canvas = Canvas();
  TRect client{0, 0, GetWidth(), GetHeight()};
  if (!FTransparent) Fill(canvas, client, FColor);
  UseFont(canvas, FFont);
  DrawCaption(canvas, client, FCaption, FAlignment);
}

TButton::TButton(TComponent* owner) : TCaptionedControl(owner) {
  SetBounds(GetLeft(), GetTop(), 75, 25);
}

void TButton::paint() {
  TCanvas& canvas = Canvas();
  TRect face{0, 0, GetWidth(), GetHeight()};
  Fill(canvas, face, clBtnFace);
  if (FDefault) {
    // The default button wears an extra black ring.
    DrawFrame3D(canvas, face, clBlack, clBlack);
    face = TRect{face.Left + 1, face.Top + 1, face.Right - 1, face.Bottom - 1};
  }
  DrawFrame3D(canvas, face, clBtnHighlight, cl3DDkShadow);
  DrawFrame3D(canvas, TRect{face.Left + 1, face.Top + 1, face.Right - 1, face.Bottom - 1},
              cl3DLight, clBtnShadow);
  UseFont(canvas, FFont);
  DrawCaption(canvas, face, FCaption, taCenterAlign);
}

TShape::TShape(TComponent* owner) : TGraphicControl(owner) {
  SetBounds(GetLeft(), GetTop(), 65, 65);
}

void TShape::SetShape(TShapeType shape) {
  FShape = shape;
  invalidate();
}

void TShape::SetPenColor(TColor color) {
  FPenColor = color;
  invalidate();
}

void TShape::SetPenWidth(int width) {
  FPenWidth = std::max(width, 0);
  invalidate();
}

void TShape::SetBrushColor(TColor color) {
  FBrushColor = color;
  invalidate();
}

void TShape::SetBrushClear(bool clear) {
  FBrushClear = clear;
  invalidate();
}

void TShape::paint() {
  TCanvas& canvas = Canvas();
  canvas.Pen().Color = ColorToRGB(FPenColor);
  canvas.Pen().Width = std::max(FPenWidth, 1);
  canvas.Pen().Style = FPenWidth == 0 ? TPenStyle::psClear : TPenStyle::psSolid;
  canvas.Pen().Mode = TPenMode::pmCopy;
  canvas.Brush().Color = ColorToRGB(FBrushColor);
  canvas.Brush().Style = FBrushClear ? TBrushStyle::bsClear : TBrushStyle::bsSolid;
  // The outline lies inside the control: half the pen on each side of the
  // path, so the path is inset by half the pen.
  int inset = FPenWidth / 2;
  int x = inset, y = inset, w = GetWidth() - FPenWidth + 1, h = GetHeight() - FPenWidth + 1;
  if (FPenWidth == 0) w = GetWidth() + 1, h = GetHeight() + 1;
  if (FShape == stSquare || FShape == stRoundSquare || FShape == stCircle) {
    int side = std::min(w, h);
    x += (w - side) / 2;
    y += (h - side) / 2;
    w = h = side;
  }
  switch (FShape) {
    case stRectangle:
    case stSquare:
      canvas.Rectangle(x, y, x + w, y + h);
      break;
    case stRoundRect:
    case stRoundSquare: {
      int corner = std::min(w, h) / 4;
      canvas.RoundRect(x, y, x + w, y + h, corner, corner);
      break;
    }
    case stEllipse:
    case stCircle:
      canvas.Ellipse(x, y, x + w, y + h);
      break;
  }
}

namespace StdCtrls {

void RegisterClasses() {
  RegisterControlClasses();
  using namespace props;
  RegisterClass<TControlFont, TPersistent>({
      String<TControlFont>("Name", &TControlFont::GetName, &TControlFont::SetName),
      Integer<TControlFont>("Height", &TControlFont::GetHeight, &TControlFont::SetHeight),
      Color<TControlFont>("Color", &TControlFont::GetColor, &TControlFont::SetColor),
      Boolean<TControlFont>("Bold", &TControlFont::GetBold, &TControlFont::SetBold),
      Boolean<TControlFont>("Italic", &TControlFont::GetItalic, &TControlFont::SetItalic),
      Boolean<TControlFont>("Underline", &TControlFont::GetUnderline, &TControlFont::SetUnderline),
  });
  const std::vector<std::string> alignments = {"taLeftJustify", "taRightJustify", "taCenter"};
  RegisterClass<TPanel, TCustomControl>({
      String<TPanel>("Caption", &TPanel::GetCaption, &TPanel::SetCaption),
      Color<TPanel>("Color", &TPanel::GetColor, &TPanel::SetColor),
      Enum<TPanel>("BevelOuter", {"bvNone", "bvLowered", "bvRaised"}, &TPanel::GetBevelOuter,
                   &TPanel::SetBevelOuter),
      Enum<TPanel>("Alignment", alignments, &TPanel::GetAlignment, &TPanel::SetAlignment),
      Object<TPanel>("Font", &TPanel::GetFont),
  });
  RegisterClass<TLabel, TGraphicControl>({
      String<TLabel>("Caption", &TLabel::GetCaption, &TLabel::SetCaption),
      Color<TLabel>("Color", &TLabel::GetColor, &TLabel::SetColor),
      Boolean<TLabel>("Transparent", &TLabel::GetTransparent, &TLabel::SetTransparent),
      Enum<TLabel>("Alignment", alignments, &TLabel::GetAlignment, &TLabel::SetAlignment),
      Object<TLabel>("Font", &TLabel::GetFont),
  });
  RegisterClass<TButton, TCustomControl>({
      String<TButton>("Caption", &TButton::GetCaption, &TButton::SetCaption),
      Boolean<TButton>("Default", &TButton::GetDefault, &TButton::SetDefault),
      Object<TButton>("Font", &TButton::GetFont),
  });
  RegisterClass<TShape, TGraphicControl>({
      Enum<TShape>(
          "Shape",
          {"stRectangle", "stSquare", "stRoundRect", "stRoundSquare", "stEllipse", "stCircle"},
          &TShape::GetShape, &TShape::SetShape),
      Color<TShape>("PenColor", &TShape::GetPenColor, &TShape::SetPenColor),
      Integer<TShape>("PenWidth", &TShape::GetPenWidth, &TShape::SetPenWidth),
      Color<TShape>("BrushColor", &TShape::GetBrushColor, &TShape::SetBrushColor),
      Boolean<TShape>("BrushClear", &TShape::GetBrushClear, &TShape::SetBrushClear),
  });
}

void Register() {
  RegisterClasses();
  RegisterComponents("Standard", {"TPanel", "TLabel", "TButton", "TShape"});
}

}  // namespace StdCtrls

}  // namespace tavkit
