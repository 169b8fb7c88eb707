// TWvFont: the web font that text elements and table columns publish. It
// writes text in FONT, B, I, U and S markup, compares itself with another font
// so that equal fonts can share a style class, and reports every change to its
// owner so that a design preview can follow.
//
// ```cpp
// TComponent form(nullptr);
// auto* price = new TWvText(&form);
// TWvFont* font = price->GetFont();           // every text and column has its own
// font->SetPrimaryFont("VERDANA");
// font->SetFontSize(3);                       // the HTML size, 1 to 6
// font->SetColor(clMaroon);
// font->SetBold(true);
// std::string html = font->CreateHTMLText("9.99");  // the text in FONT and B tags
// ```
#pragma once

#include <string>

#include <tavkit/platform/base/Objects.h>
#include <tavkit/platform/base/Types.h>

namespace tavkit {

class TWvFont : public TPersistent {
 public:
  TWvFont() = default;

  const std::string& GetPrimaryFont() const { return FPrimaryFont; }
  void SetPrimaryFont(const std::string& value);
  const std::string& GetSecondaryFonts() const { return FSecondaryFonts; }
  void SetSecondaryFonts(const std::string& value);
  // The HTML font size, always 1 to 6; other values are clamped into that range.
  int GetFontSize() const { return FSize; }
  void SetFontSize(int size);
  TColor GetColor() const { return FColor; }
  void SetColor(TColor value);
  bool GetBold() const { return FBold; }
  void SetBold(bool value);
  bool GetItalic() const { return FItalic; }
  void SetItalic(bool value);
  bool GetUnderline() const { return FUnderline; }
  void SetUnderline(bool value);
  bool GetStrikeout() const { return FStrikeout; }
  void SetStrikeout(bool value);

  // Tells the owner (through OnChange) that the font has changed.
  void HasChanged();

  // The face list of the FACE attribute: the primary face, then the others.
  std::string GetFontString() const;
  // text in the style flags' markup, wrapped in a FONT tag with size, faces and colour.
  std::string CreateHTMLText(const std::string& text) const;
  // Same faces (case-sensitive), size, colour and flags; OnChange is not compared.
  bool isEqual(const TWvFont& other) const;

  // Copies another font property by property through the setters, so the
  // change callback hears of the copy.
  void Assign(const TPersistent* source) override;

  // Called with the font as sender after every property change.
  TNotifyEvent OnChange;

 private:
  std::string FPrimaryFont = "ARIAL";
  std::string FSecondaryFonts = "SYSTEM";
  int FSize = 2;
  TColor FColor = clBlack;
  bool FBold = false;
  bool FItalic = false;
  bool FUnderline = false;
  bool FStrikeout = false;
};

namespace WvFont {
// Publishes TWvFont's properties; safe to call more than once.
void RegisterClasses();
}  // namespace WvFont

}  // namespace tavkit
