// Small helpers shared by the form tests: script components with one
// function, and the class registrations that form files need.
#pragma once

#include <string>

#include <tavkit/scripts/WvJavascript.h>

namespace tavkit::formstest {

// A script component whose first function is name(f).
inline TWvJavascript* MakeScript(TComponent* owner, const std::string& name) {
  auto* script = new TWvJavascript(owner);
  script->SetName(name + "JS");
  script->Getscript().Add("function " + name + "(f) {");
  script->Getscript().Add("  return f != '';");
  script->Getscript().Add("}");
  return script;
}

}  // namespace tavkit::formstest
