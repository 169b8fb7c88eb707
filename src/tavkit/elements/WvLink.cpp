// Anchors around page fragments, with their script events.
#include <tavkit/elements/WvLink.h>

#include <tavkit/platform/base/Registry.h>
#include <tavkit/scripts/WvJavascriptList.h>
#include <tavkit/scripts/WvScriptInvoker.h>

namespace tavkit {

TWvLink::TWvLink(TComponent* owner)
    : FOwner(owner),
      FJSOnMouseOver(std::make_unique<TWvScriptInvoker>(owner)),
      FJSOnMouseOut(std::make_unique<TWvScriptInvoker>(owner)),
      FJSOnClick(std::make_unique<TWvScriptInvoker>(owner)) {}

TWvLink::~TWvLink() = default;

std::string TWvLink::CreateHREF() const {
  std::string href = "HREF=\"" + FURL + "\" ";
  href += FJSOnMouseOver->GetEventCall("onMouseOver");
  href += ' ';
  href += FJSOnMouseOut->GetEventCall("onMouseOut");
  href += ' ';
  href += FJSOnClick->GetEventCall("onClick");
  if (!FTarget.empty()) href += " target=\"" + FTarget + "\"";
  return href;
}

std::string TWvLink::CreateLinkedText(const std::string& Text, const std::string& Color) const {
  if (FURL.empty()) return Text;
  if (Color.empty()) return "<A " + CreateHREF() + ">" + Text + "</A>";
  return "<A " + CreateHREF() + "><font color=#" + Color + ">" + Text + "</font></A>";
}

std::unique_ptr<TWvJavascriptlist> TWvLink::ScriptList() const {
  auto list = std::make_unique<TWvJavascriptlist>();
  list->AddScript(FJSOnMouseOver->getScript());
  list->AddScript(FJSOnMouseOut->getScript());
  list->AddScript(FJSOnClick->getScript());
  return list;
}

void TWvLink::Assign(const TPersistent* source) {
  auto* other = dynamic_cast<const TWvLink*>(source);
  if (other == nullptr) {
    TPersistent::Assign(source);
    return;
  }
  if (other == this) return;
  FTarget = other->FTarget;
  FURL = other->FURL;
  FJSOnMouseOver->Assign(other->FJSOnMouseOver.get());
  FJSOnMouseOut->Assign(other->FJSOnMouseOut.get());
  FJSOnClick->Assign(other->FJSOnClick.get());
}

namespace WvLink {
void RegisterClasses() {
  WvScriptInvoker::RegisterClasses();
  using C = TWvLink;
  RegisterClass<C, TPersistent>({
      props::String<C>("Target", &C::GetTarget, &C::SetTarget),
      props::String<C>("URL", &C::GetURL, &C::SetURL),
      props::Object<C>("JSOnMouseOver", &C::GetJSOnMouseOver),
      props::Object<C>("JSOnMouseOut", &C::GetJSOnMouseOut),
      props::Object<C>("JSOnClick", &C::GetJSOnClick),
  });
}
}  // namespace WvLink

}  // namespace tavkit
