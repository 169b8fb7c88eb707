// The APPLET tag with its PARAM tags.
#include <tavkit/elements/WvJavaApplet.h>

#include <tavkit/core/WvMiscTools.h>
#include <tavkit/platform/base/Registry.h>

namespace tavkit {

TWvJavaApplet::TWvJavaApplet(TComponent* owner)
    : TWvVisibleComponent(owner), FParameters(std::make_unique<TStringList>()) {
  SetBounds(GetLeft(), GetTop(), 200, 200);
  SetContainer(false);
  // Silver stands in for the applet's area until the browser has loaded it:
  // the layout cell and the design preview both show it.
  SetBackGroundColor(clSilver);
}

TWvJavaApplet::~TWvJavaApplet() = default;

std::string TWvJavaApplet::put(TWvCustomOptimizer*) {
  ActivateBeforePutEvent();
  std::string result = CollapsedBefore();
  result += "<APPLET CODE=\"" + FCode + "\" CODEBASE=\"" + FCodeBase + "\" NAME=\"" +
            FInstanceName + "\" HEIGHT=" + std::to_string(GetHeight()) +
            " WIDTH=" + std::to_string(GetWidth()) + ">";
  result += CollapsedInside();
  // A line without "=" keeps the pair of the line before, as the hidden
  // fields of forms and the option lines of lists do.
  std::string name;
  std::string value;
  for (int i = 0; i < FParameters->Count(); ++i) {
    WvExtractHiddenValues(FParameters->Get(i), name, value);
    result += "<PARAM NAME=\"" + name + "\" VALUE=\"" + value + "\">";
  }
  result += "</APPLET>";
  result += CollapsedAfter();
  ActivateAfterPutEvent();
  return result;
}

namespace WvJavaApplet {
void RegisterClasses() {
  WvVisibleComponent::RegisterClasses();
  using C = TWvJavaApplet;
  RegisterClass<C, TWvVisibleComponent>({
      props::String<C>("Code", &C::GetCode, &C::SetCode),
      props::String<C>("CodeBase", &C::GetCodeBase, &C::SetCodeBase),
      props::String<C>("InstanceName", &C::GetInstanceName, &C::SetInstanceName),
      props::Strings<C>("Parameters", &C::GetParameters, &C::SetParameters),
  });
}

void Register() {
  RegisterClasses();
  RegisterComponents("Taveno", {"TWvJavaApplet"});
}
}  // namespace WvJavaApplet

}  // namespace tavkit
