// A few native controls of the framework that paint themselves: a panel with
// a bevel and a caption, a label, a push button and a shape. They exist so
// that a page can show a native control as a server-drawn picture (the
// wrapper element paints them with PaintTo), and so that form files can
// carry them like any other component.
//
// ```cpp
// TComponent form(nullptr);
// auto* button = new TButton(&form);
// button->SetBounds(0, 0, 100, 28);
// button->SetCaption("Order now");
// button->GetFont()->SetBold(true);
// auto* dot = new TShape(&form);
// dot->SetShape(stCircle);
// dot->SetBrushColor(clLime);
// TBitmap picture(100, 28);
// button->PaintTo(picture.Canvas(), 0, 0);
// ```
#pragma once

#include <memory>
#include <string>

#include <tavkit/platform/base/Objects.h>
#include <tavkit/platform/controls/Controls.h>
#include <tavkit/platform/graphics/Canvas.h>

namespace tavkit {

// The published font of a native control: a canvas font that form files can
// hold as a nested object.
class TControlFont : public TPersistent {
 public:
  explicit TControlFont(TControl& control) : FControl(control) {}

  const TFont& Font() const { return FFont; }
  void Assign(const TPersistent* source) override;

  const std::string& GetName() const { return FFont.Name; }
  void SetName(const std::string& name);
  int GetHeight() const { return FFont.Height; }
  void SetHeight(int height);
  TColor GetColor() const { return FFont.Color; }
  void SetColor(TColor color);
  bool GetBold() const { return HasStyle(fsBold); }
  void SetBold(bool on) { SetStyle(fsBold, on); }
  bool GetItalic() const { return HasStyle(fsItalic); }
  void SetItalic(bool on) { SetStyle(fsItalic, on); }
  bool GetUnderline() const { return HasStyle(fsUnderline); }
  void SetUnderline(bool on) { SetStyle(fsUnderline, on); }

 private:
  bool HasStyle(TFontStyle style) const { return (FFont.Style & style) != 0; }
  void SetStyle(TFontStyle style, bool on);

  TControl& FControl;
  TFont FFont;
};

enum TAlignment { taLeftJustify, taRightJustify, taCenterAlign };
enum TBevelCut { bvNone, bvLowered, bvRaised };

// Draws text into rect at the given horizontal alignment, centred vertically.
void DrawCaption(TCanvas& canvas, const TRect& rect, const std::string& text, TAlignment alignment);
// Draws a one-pixel 3D frame just inside rect: light on the top and left,
// dark on the bottom and right.
void DrawFrame3D(TCanvas& canvas, const TRect& rect, TColor light, TColor dark);

// What the captioned controls share: a caption in a font, drawn at an
// alignment on a background colour. Every change asks for a repaint.
template <class Base>
class TCaptionedControl : public Base {
 public:
  using Base::Base;

  const std::string& GetCaption() const { return FCaption; }
  void SetCaption(const std::string& caption) { Change(FCaption, caption); }
  TColor GetColor() const { return FColor; }
  void SetColor(TColor color) { Change(FColor, color); }
  TAlignment GetAlignment() const { return FAlignment; }
  void SetAlignment(TAlignment alignment) { Change(FAlignment, alignment); }
  TControlFont* GetFont() { return &FFont; }

 protected:
  template <class T>
  void Change(T& field, const T& value) {
    field = value;
    this->invalidate();
  }

  std::string FCaption;
  TColor FColor = clBtnFace;
  TAlignment FAlignment = taLeftJustify;
  TControlFont FFont{*this};
};

// A container with a background, a bevel and a centred caption.
class TPanel : public TCaptionedControl<TCustomControl> {
 public:
  explicit TPanel(TComponent* owner);

  TBevelCut GetBevelOuter() const { return FBevelOuter; }
  void SetBevelOuter(TBevelCut bevel) { Change(FBevelOuter, bevel); }

 protected:
  void paint() override;

 private:
  TBevelCut FBevelOuter = bvRaised;
};

// One line of text, on its colour or transparent.
class TLabel : public TCaptionedControl<TGraphicControl> {
 public:
  explicit TLabel(TComponent* owner);

  bool GetTransparent() const { return FTransparent; }
  void SetTransparent(bool transparent) { Change(FTransparent, transparent); }

 protected:
  void paint() override;

 private:
  bool FTransparent = false;
};

// A push button in its resting state; its caption is always centred on the
// button face.
class TButton : public TCaptionedControl<TCustomControl> {
 public:
  explicit TButton(TComponent* owner);

  bool GetDefault() const { return FDefault; }
  void SetDefault(bool isDefault) { Change(FDefault, isDefault); }

 protected:
  void paint() override;

 private:
  bool FDefault = false;
};

enum TShapeType { stRectangle, stSquare, stRoundRect, stRoundSquare, stEllipse, stCircle };

// A geometric shape outlined with a pen and filled with a brush.
class TShape : public TGraphicControl {
 public:
  explicit TShape(TComponent* owner);

  TShapeType GetShape() const { return FShape; }
  void SetShape(TShapeType shape);
  TColor GetPenColor() const { return FPenColor; }
  void SetPenColor(TColor color);
  int GetPenWidth() const { return FPenWidth; }
  void SetPenWidth(int width);
  TColor GetBrushColor() const { return FBrushColor; }
  void SetBrushColor(TColor color);
  bool GetBrushClear() const { return FBrushClear; }
  void SetBrushClear(bool clear);

 protected:
  void paint() override;

 private:
  TShapeType FShape = stRectangle;
  TColor FPenColor = clBlack;
  int FPenWidth = 1;
  TColor FBrushColor = clWhite;
  bool FBrushClear = false;
};

namespace StdCtrls {
void RegisterClasses();
// Publishes the controls and puts them on the palette page "Standard".
void Register();
}  // namespace StdCtrls

}  // namespace tavkit
