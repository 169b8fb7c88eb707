// Style classes of the output optimizer and their CSS text.
#include <tavkit/core/WvOptimizer.h>

#include <tavkit/platform/base/Registry.h>

namespace tavkit {

namespace {

// CSS point sizes of the HTML font sizes 1 to 6.
constexpr const char* kPointSizes[] = {"8", "10", "12", "14", "18", "23"};

std::string AlignmentText(t_WvTextAlign align) {
  switch (align) {
    case taCenter:
      return "; text-align : Center";
    case taLeft:
      return "; text-align : Left";
    case taRight:
      return "; text-align : Right";
    case taNone:
      break;
  }
  return "";
}

std::string DecorationText(const TWvFont& font) {
  if (!font.GetUnderline() && !font.GetStrikeout()) return "";
  std::string text = "; text-decoration : ";
  if (font.GetUnderline()) text += "underline ";
  if (font.GetStrikeout()) text += "line-through ";
  return text;
}

// One rule of the style sheet. The face list leaves out the comma when there
// are no secondary faces, since a font list ending in a comma makes a browser
// drop the whole font declaration. A font without colour (clNone) writes no
// color declaration, so that the text keeps the browser's colour as it does
// in FONT markup, instead of turning white.
std::string ClassRule(const TClassListItem& item) {
  const TWvFont& font = item.GetFont();
  std::string rule = "." + item.GetName() + "{font : ";
  if (font.GetBold()) rule += " bold";
  if (font.GetItalic()) rule += " italic";
  rule += " ";
  rule += kPointSizes[font.GetFontSize() - 1];
  rule += "pt  ";
  rule += font.GetFontString();
  if (font.GetColor() != clNone) rule += ";color : #" + WvMakeWebColor(font.GetColor());
  rule += ";background-color : #" + WvMakeWebColor(item.GetColor());
  rule += AlignmentText(item.GetAlign());
  rule += DecorationText(font);
  rule += ";}";
  return rule;
}

}  // namespace

TClassListItem::TClassListItem(const TWvFont& font, TColor colour, t_WvTextAlign align)
    : FColor(colour), FAlign(align) {
  FFont.Assign(&font);
}

bool TClassListItem::IsEqual(const TClassListItem& other) const {
  return FFont.isEqual(other.FFont) && FColor == other.FColor && FAlign == other.FAlign;
}

TWvCustomOptimizer::TWvCustomOptimizer(TComponent* owner) : TComponent(owner) {}

void TWvCustomOptimizer::reset() {
  FClassList.clear();
}

std::string TWvCustomOptimizer::getClassName(const TWvFont& font, TColor colour,
                                             t_WvTextAlign align) {
  auto candidate = std::make_unique<TClassListItem>(font, colour, align);
  for (const auto& item : FClassList)
    if (item->IsEqual(*candidate)) return item->GetName();
  std::string name = "T";
  name += std::to_string(FClassList.size());
  candidate->SetName(name);
  FClassList.push_back(std::move(candidate));
  return FClassList.back()->GetName();
}

std::string TWvCustomOptimizer::getClassDescriptions() {
  std::string text;
  for (const auto& item : FClassList) text += ClassRule(*item);
  if (FAutoReset) reset();
  return text;
}

namespace WvOptimizer {

void RegisterClasses() {
  using namespace props;
  RegisterClass<TWvCustomOptimizer, TComponent>({
      Boolean<TWvCustomOptimizer>("autoReset", &TWvCustomOptimizer::GetautoReset,
                                  &TWvCustomOptimizer::SetautoReset),
  });
  RegisterClass<TWvOptimizer, TWvCustomOptimizer>({
      Boolean<TWvOptimizer>("CSSoptimizeTableDefinitions",
                            &TWvOptimizer::getoptimizeTableDefinitions,
                            &TWvOptimizer::setoptimizeTableDefinitions),
      Boolean<TWvOptimizer>("CSSuse", &TWvOptimizer::getUseCSS, &TWvOptimizer::setUseCSS),
  });
}

void Register() {
  RegisterClasses();
  RegisterComponents("Taveno", {"TWvOptimizer"});
}

}  // namespace WvOptimizer

}  // namespace tavkit
