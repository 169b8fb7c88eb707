// The page document: body first (so that the elements have asked for every
// style class they use), then the head with scripts and style sheet.
#include <tavkit/layout/WvPage.h>

#include <tavkit/core/WvMiscTools.h>
#include <tavkit/core/WvOptimizer.h>
#include <tavkit/platform/base/Registry.h>
#include <tavkit/scripts/WvJavascriptList.h>

namespace tavkit {

TWvPage::TWvPage(TComponent* owner)
    : TWvCustomContainer(owner),
      FScripts(std::make_unique<TStringList>()),
      FMetatags(std::make_unique<TStringList>()),
      FJSOnLoad(std::make_unique<TWvScriptInvoker>(this)),
      FJSOnUnload(std::make_unique<TWvScriptInvoker>(this)) {
  // The element constructor kept the corner off 0 before the page could say
  // it is a page; a page starts at the origin of its form.
  SetBounds(0, 0, 500, 300);
  SetBackGroundColor(clWhite);
}

TWvPage::~TWvPage() = default;

std::string TWvPage::put(TWvCustomOptimizer* optimizer) {
  ActivateBeforePutEvent();

  std::string body = "<BODY BGCOLOR=\"#";
  body += WvMakeWebColor(GetBackGroundColor());
  body += "\" LINK=\"#";
  body += WvMakeWebColor(FLinkColor);
  body += "\" VLINK=\"";
  body += WvMakeWebColor(FVLinkColor);
  body += "\" TEXT=\"";
  body += WvMakeWebColor(FDefaultTextColor);
  body += '"';
  if (!FBackGroundImage.empty()) body += " BACKGROUND=\"" + FBackGroundImage + "\"";
  body += ' ';
  body += FJSOnLoad->GetEventCall("onLoad");
  body += ' ';
  body += FJSOnUnload->GetEventCall("onUnload");
  body += '>';
  if (FCenterContents) body += "<center>";
  // The grid is most of the document: it is copied once, into the document.
  const std::string grid = IterateChildren(CollapsedInside(), std::string(), optimizer);
  std::string bodyEnd = FCenterContents ? "</center>" : "";
  bodyEnd += "</BODY></HTML>";
  bodyEnd += CollapsedAfter();

  std::string head = CollapsedBefore();
  head += "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\"><HTML><HEAD><TITLE>";
  head += FPageTitle;
  head += "</TITLE>";
  for (const auto& line : *FMetatags) head += "<META " + line + ">";
  head += "<META NAME=\"Generator\" CONTENT=\"Vettmark Taveno (C)\">";
  for (const auto& line : *FScripts) head += line + " ";
  head += ScriptList()->Put();
  if (optimizer != nullptr && optimizer->getUseCSS()) {
    head += "<STYLE TYPE=\"text/css\" media=\"SCREEN\">";
    head += optimizer->getClassDescriptions();
    head += "</STYLE>";
  }
  head += "</HEAD>";

  std::string document;
  document.reserve(head.size() + body.size() + grid.size() + bodyEnd.size());
  document += head;
  document += body;
  document += grid;
  document += bodyEnd;
  ActivateAfterPutEvent();
  return document;
}

std::unique_ptr<TWvJavascriptlist> TWvPage::ScriptList() {
  std::unique_ptr<TWvJavascriptlist> list = TWvCustomContainer::ScriptList();
  list->AddScript(FJSOnLoad->getScript());
  list->AddScript(FJSOnUnload->getScript());
  return list;
}

namespace WvPage {
void RegisterClasses() {
  WvContainer::RegisterClasses();
  WvScriptInvoker::RegisterClasses();
  using C = TWvPage;
  RegisterClass<C, TWvCustomContainer>({
      props::String<C>("PageTitle", &C::GetPageTitle, &C::SetPageTitle),
      props::String<C>("BackGroundImage", &C::GetBackGroundImage, &C::SetBackGroundImage),
      props::Strings<C>("Scripts", &C::GetScripts, &C::SetScripts),
      props::Color<C>("LinkColor", &C::GetLinkColor, &C::SetLinkColor),
      props::Color<C>("VLinkColor", &C::GetVLinkColor, &C::SetVLinkColor),
      props::Color<C>("DefaultTextColor", &C::GetDefaultTextColor, &C::SetDefaultTextColor),
      props::Object<C>("JSOnLoad", &C::GetJSOnLoad),
      props::Object<C>("JSOnUnload", &C::GetJSOnUnload),
      props::Strings<C>("Metatags", &C::GetMetaTags, &C::SetMetaTags),
      props::Boolean<C>("CenterContents", &C::GetCenterContents, &C::SetCenterContents),
  });
}

void Register() {
  RegisterClasses();
  RegisterComponents("Taveno", {"TWvPage"});
}
}  // namespace WvPage

}  // namespace tavkit
