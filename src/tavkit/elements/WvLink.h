// TWvLink: the hyperlink that texts, pictures and image-map hot spots own.
// It holds the destination, the frame target and three mouse script events,
// and wraps any fragment of HTML in an anchor carrying them. An empty URL
// means that there is no link at all.
//
// ```cpp
// TComponent form(nullptr);
// auto* more = new TWvText(&form);
// TWvLink* link = more->GetHyperLink();       // texts, pictures and hot spots own one
// link->SetURL("details.html");               // an empty URL writes no anchor
// link->SetTarget("_blank");
// auto* hint = new TWvJavascript(&form);
// hint->writescript(TStringList{"function hint(text) {", "  window.status = text;", "}"});
// link->GetJSOnMouseOver()->setScript(hint);
// link->GetJSOnMouseOver()->getParameterlist()->Add("'More about it'");
// ```
#pragma once

#include <memory>
#include <string>

#include <tavkit/platform/base/Components.h>

namespace tavkit {

class TWvJavascriptlist;
class TWvScriptInvoker;

class TWvLink : public TPersistent {
 public:
  // owner: the component that holds the link; its script invokers report
  // to it.
  explicit TWvLink(TComponent* owner);
  ~TWvLink() override;

  TComponent* GetOwner() const { return FOwner; }
  const std::string& GetTarget() const { return FTarget; }
  void SetTarget(const std::string& target) { FTarget = target; }
  const std::string& GetURL() const { return FURL; }
  void SetURL(const std::string& url) { FURL = url; }
  TWvScriptInvoker* GetJSOnMouseOver() const { return FJSOnMouseOver.get(); }
  TWvScriptInvoker* GetJSOnMouseOut() const { return FJSOnMouseOut.get(); }
  TWvScriptInvoker* GetJSOnClick() const { return FJSOnClick.get(); }

  // The attributes of the anchor tag: HREF, the three events (separated by
  // blanks even when empty) and the frame target when there is one.
  std::string CreateHREF() const;
  // Text inside an anchor, or Text unchanged without a URL. A non-empty
  // Color (six hex digits, no "#") colours the text inside the anchor.
  std::string CreateLinkedText(const std::string& Text, const std::string& Color) const;
  // The scripts of the three events, in a new list that the caller owns.
  std::unique_ptr<TWvJavascriptlist> ScriptList() const;

  // Copies target, URL and the three events of another link.
  void Assign(const TPersistent* source) override;

 private:
  TComponent* FOwner;
  std::string FTarget;
  std::string FURL;
  std::unique_ptr<TWvScriptInvoker> FJSOnMouseOver;
  std::unique_ptr<TWvScriptInvoker> FJSOnMouseOut;
  std::unique_ptr<TWvScriptInvoker> FJSOnClick;
};

namespace WvLink {
// Publishes TWvLink (and the script invoker it nests); safe to call more than once.
void RegisterClasses();
}  // namespace WvLink

}  // namespace tavkit
