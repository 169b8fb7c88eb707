// Text lines written in font markup or a style class, inside an optional
// link, and their design preview.
#include <tavkit/elements/WvCustomText.h>

#include <tavkit/core/WvMiscTools.h>
#include <tavkit/core/WvOptimizer.h>
#include <tavkit/platform/base/Registry.h>
#include <tavkit/platform/graphics/Canvas.h>
#include <tavkit/scripts/WvJavascriptList.h>

namespace tavkit {

TWvCustomText::TWvCustomText(TComponent* owner)
    : TWvVisibleComponent(owner),
      FText(std::make_unique<TStringList>()),
      FFont(std::make_unique<TWvFont>()),
      FHyperLink(std::make_unique<TWvLink>(this)) {
  SetBounds(GetLeft(), GetTop(), 70, 20);
  FFont->OnChange = [this](TObject* sender) { updateSelf(sender); };
}

TWvCustomText::~TWvCustomText() = default;

TStrings* TWvCustomText::readText() {
  return FText.get();
}

void TWvCustomText::SetFont(const TWvFont* font) {
  FFont->Assign(font);
  invalidate();
}

void TWvCustomText::SetLink(const std::string& url) {
  FHyperLink->SetURL(url);
  invalidate();
}

std::unique_ptr<TWvJavascriptlist> TWvCustomText::ScriptList() {
  std::unique_ptr<TWvJavascriptlist> list = TWvVisibleComponent::ScriptList();
  list->AddList(*FHyperLink->ScriptList());
  return list;
}

std::string TWvCustomText::put(TWvCustomOptimizer* optimizer) {
  ActivateBeforePutEvent();
  std::string result = CollapsedBefore();
  const char* separator = FAutoLineBreak ? "<br>" : "";
  std::string body;
  const TStrings* lines = readText();
  for (int i = 0; i < lines->Count(); ++i) {
    body += lines->Get(i);
    body += separator;
  }
  if (optimizer != nullptr && optimizer->getUseCSS()) {
    SetStyleClass(optimizer->getClassName(*FFont, GetBackGroundColor(), GetAlign()));
    result += body;
  } else {
    result += FFont->CreateHTMLText(body);
  }
  result += CollapsedInside();
  result += CollapsedAfter();
  // A font without a colour leaves the link in the page's link colour;
  // writing its placeholder value would turn the text white.
  const TColor color = FFont->GetColor();
  result = FHyperLink->CreateLinkedText(result, color == clNone ? "" : WvMakeWebColor(color));
  ActivateAfterPutEvent();
  return result;
}

void TWvCustomText::paint() {
  TCanvas& canvas = Canvas();
  const TColor background = GetBackGroundColor();
  canvas.Brush().Color = background;
  canvas.FillRect(ClientRect());
  TRect area = ClientRect();
  const TStrings* lines = readText();
  // Lines below the bottom edge would be clipped away entirely.
  for (int i = 0; i < lines->Count() && area.Top < area.Bottom; ++i)
    area.Top +=
        WvDrawString(WvstripHTML(lines->Get(i)), *FFont, canvas, area, background, GetAlign());
  PaintOutline();
}

namespace WvCustomText {
void RegisterClasses() {
  WvVisibleComponent::RegisterClasses();
  WvFont::RegisterClasses();
  WvLink::RegisterClasses();
  using C = TWvCustomText;
  RegisterClass<C, TWvVisibleComponent>({
      props::Enum<C>("Align", {"taCenter", "taLeft", "taRight", "taNone"}, &C::GetAlign,
                     &C::SetAlign),
      props::Object<C>("Font", &C::GetFont),
      props::String<C>("Link", &C::GetLink, &C::SetLink),
      props::Object<C>("HyperLink", &C::GetHyperLink),
  });
}
}  // namespace WvCustomText

}  // namespace tavkit
