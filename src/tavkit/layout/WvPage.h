// TWvPage: the top-level container. Its put returns the whole HTML document:
// the head (title, meta tags, the developer's script lines, the collected
// client scripts, the optimizer's style sheet) and the body with its colours,
// load events and the table grid of every element placed on the page.
//
// ```cpp
// TComponent form(nullptr);                   // owns every element made on it
// auto* page = new TWvPage(&form);
// page->SetPageTitle("Our shop");
// page->SetLinkColor(clNavy);
// page->GetMetaTags()->Add("NAME=\"robots\" CONTENT=\"noindex\"");
// auto* welcome = new TWvText(&form);
// welcome->SetParent(page);                   // shown on the page, at its place
// welcome->SetBounds(20, 10, 300, 24);
// TStringList lines{"Welcome!"};
// welcome->WriteText(&lines);
// std::string html = page->put(nullptr);      // the whole document
// ```
#pragma once

#include <memory>
#include <string>

#include <tavkit/layout/WvContainer.h>
#include <tavkit/scripts/WvScriptInvoker.h>

namespace tavkit {

class TWvPage : public TWvCustomContainer {
 public:
  explicit TWvPage(TComponent* owner);
  ~TWvPage() override;

  std::string put(TWvCustomOptimizer* optimizer) override;
  std::unique_ptr<TWvJavascriptlist> ScriptList() override;
  bool IsPage() const override { return true; }

  const std::string& GetPageTitle() const { return FPageTitle; }
  void SetPageTitle(const std::string& title) { FPageTitle = title; }
  const std::string& GetBackGroundImage() const { return FBackGroundImage; }
  void SetBackGroundImage(const std::string& url) { FBackGroundImage = url; }
  TStrings* GetScripts() const { return FScripts.get(); }
  void SetScripts(const TStrings* lines) { FScripts->Assign(lines); }
  TStrings* GetMetaTags() const { return FMetatags.get(); }
  void SetMetaTags(const TStrings* lines) { FMetatags->Assign(lines); }
  TColor GetLinkColor() const { return FLinkColor; }
  void SetLinkColor(TColor color) { FLinkColor = color; }
  TColor GetVLinkColor() const { return FVLinkColor; }
  void SetVLinkColor(TColor color) { FVLinkColor = color; }
  TColor GetDefaultTextColor() const { return FDefaultTextColor; }
  void SetDefaultTextColor(TColor color) { FDefaultTextColor = color; }
  TWvScriptInvoker* GetJSOnLoad() const { return FJSOnLoad.get(); }
  TWvScriptInvoker* GetJSOnUnload() const { return FJSOnUnload.get(); }
  bool GetCenterContents() const { return FCenterContents; }
  void SetCenterContents(bool center) { FCenterContents = center; }

 private:
  std::string FPageTitle;
  std::string FBackGroundImage;
  std::unique_ptr<TStringList> FScripts;
  std::unique_ptr<TStringList> FMetatags;
  TColor FLinkColor = 0;
  TColor FVLinkColor = 0;
  TColor FDefaultTextColor = 0;
  std::unique_ptr<TWvScriptInvoker> FJSOnLoad;
  std::unique_ptr<TWvScriptInvoker> FJSOnUnload;
  bool FCenterContents = false;
};

namespace WvPage {
void RegisterClasses();
void Register();
}  // namespace WvPage

}  // namespace tavkit
