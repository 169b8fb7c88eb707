// IMG tags with their link or their client-side map of hot spots.
#include <tavkit/elements/WvCustomImage.h>

#include <tavkit/core/WvMiscTools.h>
#include <tavkit/elements/WvImageMap.h>
#include <tavkit/platform/base/Exceptions.h>
#include <tavkit/platform/base/Registry.h>
#include <tavkit/scripts/WvJavascriptList.h>
#include <tavkit/scripts/WvScriptInvoker.h>

namespace tavkit {

TWvCustomImage::TWvCustomImage(TComponent* owner)
    : TWvVisibleComponent(owner),
      FHyperlink(std::make_unique<TWvLink>(this)),
      FJSOnAbort(std::make_unique<TWvScriptInvoker>(this)),
      FJSOnLoad(std::make_unique<TWvScriptInvoker>(this)) {}

TWvCustomImage::~TWvCustomImage() = default;

void TWvCustomImage::SetStretch(bool stretch) {
  FStretch = stretch;
  invalidate();
}

void TWvCustomImage::validateInsert(TComponent* component) {
  if (dynamic_cast<TWvImageMap*>(component) == nullptr)
    throw Exception("Only imagemaps can be put on images");
}

std::unique_ptr<TWvJavascriptlist> TWvCustomImage::ScriptList() {
  std::unique_ptr<TWvJavascriptlist> list = TWvVisibleComponent::ScriptList();
  list->AddScript(FJSOnLoad->getScript());
  list->AddScript(FJSOnAbort->getScript());
  list->AddList(*FHyperlink->ScriptList());
  for (int i = 0; i < GetControlCount(); ++i)
    if (auto* map = dynamic_cast<TWvImageMap*>(GetControl(i))) list->AddList(*map->ScriptList());
  return list;
}

std::string TWvCustomImage::put(TWvCustomOptimizer*) {
  ActivateBeforePutEvent();
  const std::string events =
      FJSOnAbort->GetEventCall("onAbort") + " " + FJSOnLoad->GetEventCall("onLoad");
  std::string size;
  if (FStretch)
    size = "WIDTH =" + std::to_string(GetWidth()) + " HEIGHT =" + std::to_string(GetHeight()) + " ";
  const std::string source = "<IMG SRC=\"" + FImagePath + "\" " + size + " " + events;

  std::string result = CollapsedBefore();
  if (GetControlCount() == 0) {
    result += FHyperlink->CreateLinkedText(source + " BORDER=0 " + CollapsedInside() + ">", "");
  } else {
    const std::string mapName = WvGetUniqueID("MAP");
    result += "<MAP NAME=\"" + mapName + "\">";
    for (int i = 0; i < GetControlCount(); ++i) {
      auto* map = dynamic_cast<TWvImageMap*>(GetControl(i));
      if (map == nullptr) continue;
      const int left = map->GetLeft();
      const int top = map->GetTop();
      result += "<AREA SHAPE=\"RECT\" COORDS=\"" + std::to_string(left) + "," +
                std::to_string(top) + "," + std::to_string(left + map->GetWidth()) + "," +
                std::to_string(top + map->GetHeight()) + "\" " + map->GetHyperLink()->CreateHREF() +
                " ALT=\"" + map->GetAltText() + "\"> ";
    }
    result += "</MAP>";
    result += source + " BORDER=0 USEMAP=\"#" + mapName + "\" " + CollapsedInside() + ">";
  }
  result += CollapsedAfter();
  ActivateAfterPutEvent();
  return result;
}

namespace WvCustomImage {
void RegisterClasses() {
  WvVisibleComponent::RegisterClasses();
  WvLink::RegisterClasses();
  using C = TWvCustomImage;
  RegisterClass<C, TWvVisibleComponent>({
      props::Object<C>("JSOnAbort", &C::GetJSOnAbort),
      props::Object<C>("JSOnLoad", &C::GetJSOnLoad),
  });
}
}  // namespace WvCustomImage

}  // namespace tavkit
