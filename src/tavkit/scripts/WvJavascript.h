// TWvJavascript: a non-visual component holding client-side JavaScript
// functions and the other script components they need. Dependencies are kept
// free of cycles (a choice that would close one is refused), and a dependency
// never outlives the script it points at.
//
// ```cpp
// TComponent form(nullptr);
// auto* page = new TWvPage(&form);
// auto* trim = new TWvJavascript(&form);
// trim->writescript(TStringList{"function trim(s) {", "  return s.replace(/^ +| +$/g, '');", "}"});
// auto* ask = new TWvJavascript(&form);
// ask->writescript(TStringList{"function ask(text) {", "  return confirm(trim(text));", "}"});
// ask->GetDependList().AddItem()->setScript(trim);  // trim is written before ask
// auto* remove = new TWvText(&form);
// remove->SetParent(page);
// remove->SetLink("remove.html");
// TWvScriptInvoker* onClick = remove->GetHyperLink()->GetJSOnClick();
// onClick->setScript(ask);
// onClick->getParameterlist()->Add("' Remove it? '");
// std::string html = page->put(nullptr);      // both scripts, each once, in the head
// ```
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <tavkit/platform/base/Collections.h>
#include <tavkit/platform/base/Components.h>
#include <tavkit/platform/base/Strings.h>

namespace tavkit {

class TWvJavascript;

// Classification of scripts; kept for applications that sort their scripts.
enum d_WvScriptType : std::uint8_t { stInputverifyer, stEffect, stUserdefined };

// One dependency of a script: a reference to another script component.
class TWvJavaScriptdependency : public TCollectionItem {
 public:
  explicit TWvJavaScriptdependency(TCollection* collection);

  TWvJavascript* getScript() const { return FScript; }
  // Refers to value, or to nothing when value is null. A script that is the
  // owner of this dependency, or depends on it, would close a cycle: then the
  // dependency stays as it was and a warning box tells the developer why;
  // while a form is loaded to be put (loading, not designing) it raises
  // Exception naming the scripts of the cycle instead.
  void setScript(TWvJavascript* value);

  // Copies the other dependency's script through setScript, so a copy can
  // never bring a cycle with it.
  void Assign(const TPersistent* source) override;

 private:
  friend class TWvJavascript;
  // The script that owns this dependency's collection, or null.
  TWvJavascript* OwnerScript() const;
  TWvJavascript* FScript = nullptr;
};

// The dependencies of one script.
class TWvJavaScriptCollection : public TCollectionOf<TWvJavaScriptdependency> {
 public:
  explicit TWvJavaScriptCollection(TWvJavascript* owner) : FOwner(owner) {}
  TPersistent* GetOwner() const override;
  TWvJavascript* OwnerScript() const { return FOwner; }

 private:
  TWvJavascript* FOwner;
};

class TWvJavascript : public TComponent {
 public:
  explicit TWvJavascript(TComponent* owner);
  ~TWvJavascript() override;

  // The script text, one line per entry.
  TStringList& Getscript() { return *FScript; }
  const TStringList& Getscript() const { return *FScript; }
  void writescript(const TStrings& value);
  TWvJavaScriptCollection& GetDependList() { return *FDependList; }
  const TWvJavaScriptCollection& GetDependList() const { return *FDependList; }
  void setDependList(const TWvJavaScriptCollection& value);

  // True when target is this script or can be reached from it through dependencies.
  bool IsCyclePresent(const TWvJavascript* target) const;
  // The name of the first function the script declares, or "" when there is none.
  std::string getScriptFunctionName() const;

  // Clears every dependency that refers to a script being freed.
  void Notification(TComponent* component, TOperation operation) override;

 private:
  friend class TWvJavaScriptdependency;
  // Keeps a free-notification bond with target only while a dependency uses it.
  void DependencyChanged(TWvJavascript* previous, TWvJavascript* current);

  std::unique_ptr<TStringList> FScript;
  std::unique_ptr<TWvJavaScriptCollection> FDependList;
};

namespace WvJavascript {
// Publishes the script component and its dependency classes; safe to call more than once.
void RegisterClasses();
// Puts TWvJavascript on the palette page "Taveno".
void Register();
}  // namespace WvJavascript

}  // namespace tavkit
