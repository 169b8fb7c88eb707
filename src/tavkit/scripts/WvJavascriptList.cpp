// Merging of script lists in dependency order, and the script block.
#include <tavkit/scripts/WvJavascriptList.h>

#include <vector>

#include <tavkit/scripts/WvJavascript.h>

namespace tavkit {

// A depth-first walk with an explicit stack: a script is appended once every
// one of its dependencies has been handled, so a long chain of dependencies
// cannot exhaust the call stack. A script counts as present from the moment
// the walk reaches it, which keeps the walk finite on any graph.
bool TWvJavascriptlist::AddScript(TWvJavascript* script) {
  if (script == nullptr) return true;
  if (!FMembers.insert(script).second) return false;
  struct Frame {
    TWvJavascript* Script;
    int NextDependency;
  };
  std::vector<Frame> pending{{script, 0}};
  while (!pending.empty()) {
    Frame& top = pending.back();
    const TWvJavaScriptCollection& depends = top.Script->GetDependList();
    if (top.NextDependency < depends.Count()) {
      TWvJavascript* dependency = depends.Items(top.NextDependency++)->getScript();
      if (dependency != nullptr && FMembers.insert(dependency).second)
        pending.push_back({dependency, 0});
      continue;
    }
    FScripts.Add(top.Script);
    pending.pop_back();
  }
  return true;
}

void TWvJavascriptlist::AddList(const TWvJavascriptlist& other) {
  for (int i = 0; i < other.numberOfScripts(); ++i) AddScript(other.GetScript(i));
}

std::string TWvJavascriptlist::Put() const {
  std::string block = "<script language=\"JavaScript\">\r\n";
  for (const TWvJavascript* script : FScripts)
    for (const std::string& line : script->Getscript()) {
      block += line;
      block += "\r\n";
    }
  block += "</script>";
  return block;
}

}  // namespace tavkit
