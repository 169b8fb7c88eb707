// TWvJavascriptlist: the scripts a page writes, each once and each after the
// scripts it depends on. Elements report their scripts as such lists, the
// page merges them and writes the result as one script block in its head.
//
// ```cpp
// TComponent form(nullptr);
// auto* page = new TWvPage(&form);
// // ... elements whose events call scripts ...
// std::unique_ptr<TWvJavascriptlist> scripts = page->ScriptList();
// for (int i = 0; i < scripts->numberOfScripts(); ++i)
//   std::cout << scripts->GetScript(i)->getScriptFunctionName() << "\n";
// std::string block = scripts->Put();         // the script element of the page's head
// ```
#pragma once

#include <string>
#include <unordered_set>

#include <tavkit/platform/base/Lists.h>
#include <tavkit/platform/base/Objects.h>

namespace tavkit {

class TWvJavascript;

class TWvJavascriptlist : public TObject {
 public:
  TWvJavascriptlist() = default;

  // Adds script after its dependencies (those not yet present come first).
  // False when script is already in the list, which then stays as it was; a
  // null script adds nothing and gives true.
  bool AddScript(TWvJavascript* script);
  // AddScript of every script of other, in its order.
  void AddList(const TWvJavascriptlist& other);
  int numberOfScripts() const { return FScripts.Count(); }
  // The script at index (from 0); EListError outside the list.
  TWvJavascript* GetScript(int index) const { return FScripts.Get(index); }
  // The script block: every line of every script, each ended by CR LF,
  // inside one script element.
  std::string Put() const;

 private:
  TList<TWvJavascript> FScripts;  // not owned
  // The scripts of FScripts, for a constant-time presence test.
  std::unordered_set<const TWvJavascript*> FMembers;
};

}  // namespace tavkit
