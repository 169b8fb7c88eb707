// TWvScriptInvoker: the value of every script event property of an element
// (JSOnClick, JSOnLoad, JSVerifyInput ...). It names a script component and
// the call's arguments, and builds the JavaScript call to the script's first
// function and the complete event attribute of an HTML tag.
//
// ```cpp
// TComponent form(nullptr);
// auto* page = new TWvPage(&form);
// auto* greet = new TWvJavascript(&form);
// greet->writescript(TStringList{"function greet(name) {", "  alert('Hello, ' + name);", "}"});
// TWvScriptInvoker* onLoad = page->GetJSOnLoad();
// onLoad->setScript(greet);
// onLoad->getParameterlist()->Add("'visitor'");
// std::string attribute = onLoad->GetEventCall("onLoad");  // onLoad="greet('visitor')"
// ```
#pragma once

#include <memory>
#include <string>

#include <tavkit/platform/base/Components.h>
#include <tavkit/platform/base/Strings.h>

namespace tavkit {

class TWvJavascript;

class TWvScriptInvoker : public TPersistent {
 public:
  // element: the component that owns the invoker.
  explicit TWvScriptInvoker(TComponent* element);
  ~TWvScriptInvoker() override;

  TWvJavascript* getScript() const { return FScript; }
  // Refers to value (or to nothing). The invoker is told when the script is
  // freed and forgets it, so it never calls into a destroyed script.
  void setScript(TWvJavascript* value);
  TStrings* getParameterlist() const { return FParameterlist.get(); }
  void setParameterlist(const TStrings* value) { FParameterlist->Assign(value); }
  TComponent* Element() const { return FElement; }

  // The call text: the function name and its arguments, or "" without a
  // script or a function. Without parameters, fieldName (when given) passes
  // the form field's value: fieldName.value.
  std::string GetScriptCall(const std::string& fieldName) const;
  // eventName="call", or "" without a script.
  std::string GetEventCall(const std::string& eventName) const;

  // Copies the script and the arguments of another invoker.
  void Assign(const TPersistent* source) override;

 private:
  class TScriptLink;
  TComponent* FElement;
  TWvJavascript* FScript = nullptr;
  std::unique_ptr<TStringList> FParameterlist;
  std::unique_ptr<TScriptLink> FLink;
};

namespace WvScriptInvoker {
void RegisterClasses();
}

}  // namespace tavkit
