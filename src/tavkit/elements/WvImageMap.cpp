// Hot spots of client-side image maps and their see-through preview.
#include <tavkit/elements/WvImageMap.h>

#include <tavkit/platform/base/Registry.h>
#include <tavkit/platform/graphics/Canvas.h>
#include <tavkit/scripts/WvJavascriptList.h>

namespace tavkit {

TWvImageMap::TWvImageMap(TComponent* owner)
    : TWvComponent(owner), FHyperLink(std::make_unique<TWvLink>(this)) {
  SetBounds(GetLeft(), GetTop(), 50, 25);
  SetControlStyle(GetControlStyle() & ~static_cast<unsigned>(csOpaque));
}

TWvImageMap::~TWvImageMap() = default;

std::unique_ptr<TWvJavascriptlist> TWvImageMap::ScriptList() const {
  return FHyperLink->ScriptList();
}

void TWvImageMap::SetLink(const std::string& url) {
  FHyperLink->SetURL(url);
  invalidate();
}

void TWvImageMap::paint() {
  TCanvas& canvas = Canvas();
  canvas.Pen().Style = TPenStyle::psDash;
  const int right = GetWidth() - 1;
  const int bottom = GetHeight() - 1;
  canvas.MoveTo(0, 0);
  canvas.LineTo(0, bottom);
  canvas.LineTo(right, bottom);
  canvas.LineTo(right, 0);
  canvas.LineTo(0, 0);
}

namespace WvImageMap {
void RegisterClasses() {
  WvComponent::RegisterClasses();
  WvLink::RegisterClasses();
  using C = TWvImageMap;
  RegisterClass<C, TWvComponent>({
      props::Object<C>("HyperLink", &C::GetHyperLink),
      props::String<C>("AltText", &C::GetAltText, &C::SetAltText),
      props::String<C>("Link", &C::GetLink, &C::SetLink),
  });
}

void Register() {
  RegisterClasses();
  RegisterComponents("Taveno", {"TWvImageMap"});
}
}  // namespace WvImageMap

}  // namespace tavkit
