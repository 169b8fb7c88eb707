// A few native controls of the framework that paint themselves: a panel with
// a bevel and a caption, a label, a push button and a shape. They exist so
// that a page can show a native control as a server-drawn picture (the
// wrapper element paints them with PaintTo), and so that form files can
// carry them like any other component.
#pragma once

#include <memory>
#include <string>

#include "platform/Canvas.h"
#include "platform/Controls.h"
#include "platform/Objects.h"

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

// A container with a background, a bevel and a centred caption.
class TPanel : public TCustomControl {
 public:
  explicit TPanel(TComponent* owner);

  const std::string& GetCaption() const { return FCaption; }
  void SetCaption(const std::string& caption);
  TColor GetColor() const { return FColor; }
  void SetColor(TColor color);
  TBevelCut GetBevelOuter() const { return FBevelOuter; }
  void SetBevelOuter(TBevelCut bevel);
  TAlignment GetAlignment() const { return FAlignment; }
  void SetAlignment(TAlignment alignment);
  TControlFont* GetFont() { return &FFont; }

 protected:
  void paint() override;

 private:
  std::string FCaption;
  TColor FColor = clBtnFace;
  TBevelCut FBevelOuter = bvRaised;
  TAlignment FAlignment = taCenterAlign;
  TControlFont FFont{*this};
};

// One line of text, on its colour or transparent.
class TLabel : public TGraphicControl {
 public:
  explicit TLabel(TComponent* owner);

  const std::string& GetCaption() const { return FCaption; }
  void SetCaption(const std::string& caption);
  TColor GetColor() const { return FColor; }
  void SetColor(TColor color);
  bool GetTransparent() const { return FTransparent; }
  void SetTransparent(bool transparent);
  TAlignment GetAlignment() const { return FAlignment; }
  void SetAlignment(TAlignment alignment);
  TControlFont* GetFont() { return &FFont; }

 protected:
  void paint() override;

 private:
  std::string FCaption;
  TColor FColor = clBtnFace;
  bool FTransparent = false;
  TAlignment FAlignment = taLeftJustify;
  TControlFont FFont{*this};
};

// A push button in its resting state.
class TButton : public TCustomControl {
 public:
  explicit TButton(TComponent* owner);

  const std::string& GetCaption() const { return FCaption; }
  void SetCaption(const std::string& caption);
  bool GetDefault() const { return FDefault; }
  void SetDefault(bool isDefault);
  TControlFont* GetFont() { return &FFont; }

 protected:
  void paint() override;

 private:
  std::string FCaption;
  bool FDefault = false;
  TControlFont FFont{*this};
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
