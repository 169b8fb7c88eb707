// Web font properties, markup and comparison.
#include <tavkit/core/WvFont.h>

#include <tavkit/core/WvMiscTools.h>
#include <tavkit/platform/base/Registry.h>

namespace tavkit {

void TWvFont::SetPrimaryFont(const std::string& value) {
  FPrimaryFont = value;
  HasChanged();
}

void TWvFont::SetSecondaryFonts(const std::string& value) {
  FSecondaryFonts = value;
  HasChanged();
}

void TWvFont::SetFontSize(int size) {
  if (size < 1) size = 1;
  if (size > 6) size = 6;
  FSize = size;
  HasChanged();
}

void TWvFont::SetColor(TColor value) {
  FColor = value;
  HasChanged();
}

void TWvFont::SetBold(bool value) {
  FBold = value;
  HasChanged();
}

void TWvFont::SetItalic(bool value) {
  FItalic = value;
  HasChanged();
}

void TWvFont::SetUnderline(bool value) {
  FUnderline = value;
  HasChanged();
}

void TWvFont::SetStrikeout(bool value) {
  FStrikeout = value;
  HasChanged();
}

void TWvFont::HasChanged() {
  if (OnChange) OnChange(this);
}

std::string TWvFont::GetFontString() const {
  if (FSecondaryFonts.empty()) return FPrimaryFont;
  return FPrimaryFont + "," + FSecondaryFonts;
}

std::string TWvFont::CreateHTMLText(const std::string& text) const {
  std::string wrapped = text;
  if (FBold) wrapped = "<B>" + wrapped + "</B>";
  if (FItalic) wrapped = "<I>" + wrapped + "</I>";
  if (FUnderline) wrapped = "<U>" + wrapped + "</U>";
  if (FStrikeout) wrapped = "<S>" + wrapped + "</S>";

  std::string result =
      "<FONT SIZE=\"" + std::to_string(FSize) + "\" FACE=\"" + GetFontString() + "\" ";
  if (FColor != clNone) result += "COLOR=\"" + WvMakeWebColor(FColor) + "\"";
  result += " >";
  result += wrapped;
  result += "</FONT>";
  return result;
}

bool TWvFont::isEqual(const TWvFont& other) const {
  return FPrimaryFont == other.FPrimaryFont && FSecondaryFonts == other.FSecondaryFonts &&
         FSize == other.FSize && FColor == other.FColor && FItalic == other.FItalic &&
         FBold == other.FBold && FUnderline == other.FUnderline && FStrikeout == other.FStrikeout;
}

void TWvFont::Assign(const TPersistent* source) {
  auto* font = dynamic_cast<const TWvFont*>(source);
  if (font == nullptr) {
    TPersistent::Assign(source);
    return;
  }
  if (font == this) return;
  SetPrimaryFont(font->FPrimaryFont);
  SetSecondaryFonts(font->FSecondaryFonts);
  SetFontSize(font->FSize);
  SetColor(font->FColor);
  SetBold(font->FBold);
  SetItalic(font->FItalic);
  SetUnderline(font->FUnderline);
  SetStrikeout(font->FStrikeout);
}

namespace WvFont {

void RegisterClasses() {
  using namespace props;
  RegisterClass<TWvFont, TPersistent>({
      String<TWvFont>("PrimaryFont", &TWvFont::GetPrimaryFont, &TWvFont::SetPrimaryFont),
      String<TWvFont>("SecondaryFonts", &TWvFont::GetSecondaryFonts, &TWvFont::SetSecondaryFonts),
      Integer<TWvFont>("Size", &TWvFont::GetFontSize, &TWvFont::SetFontSize),
      Color<TWvFont>("Color", &TWvFont::GetColor, &TWvFont::SetColor),
      Boolean<TWvFont>("Bold", &TWvFont::GetBold, &TWvFont::SetBold),
      Boolean<TWvFont>("Italic", &TWvFont::GetItalic, &TWvFont::SetItalic),
      Boolean<TWvFont>("Underline", &TWvFont::GetUnderline, &TWvFont::SetUnderline),
      Boolean<TWvFont>("Strikeout", &TWvFont::GetStrikeout, &TWvFont::SetStrikeout),
  });
}

}  // namespace WvFont

}  // namespace tavkit
