// Script components, their dependencies and the cycle check that keeps the
// dependency graph acyclic.
#include <tavkit/scripts/WvJavascript.h>

#include <unordered_map>
#include <unordered_set>
#include <vector>

#include <tavkit/platform/base/Dialogs.h>
#include <tavkit/platform/base/Registry.h>
#include <tavkit/platform/base/TextEncoding.h>

namespace tavkit {

TWvJavaScriptdependency::TWvJavaScriptdependency(TCollection* collection)
    : TCollectionItem(collection) {}

TWvJavascript* TWvJavaScriptdependency::OwnerScript() const {
  auto* collection = dynamic_cast<TWvJavaScriptCollection*>(GetCollection());
  return collection == nullptr ? nullptr : collection->OwnerScript();
}

namespace {

std::string ScriptName(const TWvJavascript* script) {
  return script->GetName().empty() ? "(unnamed script)" : script->GetName();
}

// "B -> A -> B": owner, then the dependencies that lead from value back to
// owner. value is known to reach owner.
std::string CycleText(const TWvJavascript* owner, const TWvJavascript* value) {
  std::unordered_map<const TWvJavascript*, const TWvJavascript*> cameFrom{{value, nullptr}};
  std::vector<const TWvJavascript*> pending{value};
  while (!pending.empty() && !cameFrom.contains(owner)) {
    const TWvJavascript* current = pending.back();
    pending.pop_back();
    const TWvJavaScriptCollection& depends = current->GetDependList();
    for (int i = 0; i < depends.Count(); ++i) {
      const TWvJavascript* next = depends.Items(i)->getScript();
      if (next != nullptr && cameFrom.emplace(next, current).second) pending.push_back(next);
    }
  }
  std::vector<const TWvJavascript*> path;
  for (const TWvJavascript* step = owner; step != nullptr && path.size() <= cameFrom.size();
       step = cameFrom[step])
    path.push_back(step);
  std::string text = ScriptName(owner);
  for (auto it = path.rbegin(); it != path.rend(); ++it) text += " -> " + ScriptName(*it);
  return text;
}

}  // namespace

void TWvJavaScriptdependency::setScript(TWvJavascript* value) {
  TWvJavascript* owner = OwnerScript();
  if (value != nullptr && value->IsCyclePresent(owner)) {
    // Read from a form file to be put, the dependency would be dropped
    // without anyone seeing the box and the page written without it, so the
    // loading fails instead. A designer has a developer to tell.
    if (owner->IsLoading() && !owner->IsDesigning())
      throw Exception("the scripts depend on each other in a cycle: " + CycleText(owner, value));
    MessageDlg("Circular dependency detected. Cannot select script.", TMsgDlgType::mtWarning);
    return;
  }
  TWvJavascript* previous = FScript;
  FScript = value;
  if (owner != nullptr) owner->DependencyChanged(previous, value);
}

void TWvJavaScriptdependency::Assign(const TPersistent* source) {
  auto* other = dynamic_cast<const TWvJavaScriptdependency*>(source);
  if (other == nullptr) {
    TCollectionItem::Assign(source);
    return;
  }
  setScript(other->FScript);
}

TPersistent* TWvJavaScriptCollection::GetOwner() const {
  return FOwner;
}

TWvJavascript::TWvJavascript(TComponent* owner)
    : TComponent(owner),
      FScript(std::make_unique<TStringList>()),
      FDependList(std::make_unique<TWvJavaScriptCollection>(this)) {}

TWvJavascript::~TWvJavascript() = default;

void TWvJavascript::writescript(const TStrings& value) {
  FScript->Assign(&value);
}

void TWvJavascript::setDependList(const TWvJavaScriptCollection& value) {
  FDependList->Assign(&value);
}

// Walks the dependencies with a stack and a set of visited scripts, so that
// scripts shared by several dependencies are searched once, not once per path.
bool TWvJavascript::IsCyclePresent(const TWvJavascript* target) const {
  std::unordered_set<const TWvJavascript*> visited;
  std::vector<const TWvJavascript*> pending{this};
  while (!pending.empty()) {
    const TWvJavascript* current = pending.back();
    pending.pop_back();
    if (current == target) return true;
    if (!visited.insert(current).second) continue;
    const TWvJavaScriptCollection& depends = *current->FDependList;
    for (int i = depends.Count() - 1; i >= 0; --i)
      if (TWvJavascript* next = depends.Items(i)->getScript()) pending.push_back(next);
  }
  return false;
}

// A line declares a function when it holds "function " (any letter case) that
// is not behind a "//" comment and is followed later by "("; the name is what
// lies between the keyword and that "(", blanks included.
std::string TWvJavascript::getScriptFunctionName() const {
  static const std::string kKeyword = "FUNCTION ";
  for (const std::string& line : *FScript) {
    std::size_t keyword = AsciiUpperCase(line).find(kKeyword);
    if (keyword == std::string::npos) continue;
    std::size_t comment = line.find("//");
    if (comment != std::string::npos && comment < keyword) continue;
    std::size_t paren = line.find('(');
    if (paren == std::string::npos || paren < keyword) continue;
    std::size_t nameStart = keyword + kKeyword.size();
    return line.substr(nameStart, paren - nameStart);
  }
  return "";
}

void TWvJavascript::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation != TOperation::opRemove) return;
  for (int i = 0; i < FDependList->Count(); ++i) {
    TWvJavaScriptdependency* dependency = FDependList->Items(i);
    if (dependency->FScript == component) dependency->FScript = nullptr;
  }
}

void TWvJavascript::DependencyChanged(TWvJavascript* previous, TWvJavascript* current) {
  if (current != nullptr) FreeNotification(current);
  if (previous == nullptr || previous == current) return;
  for (int i = 0; i < FDependList->Count(); ++i)
    if (FDependList->Items(i)->FScript == previous) return;
  RemoveFreeNotification(previous);
}

namespace WvJavascript {

void RegisterClasses() {
  using namespace props;
  RegisterClass<TWvJavascript, TComponent>({
      Strings<TWvJavascript>(
          "script", [](TWvJavascript& s) -> TStringList& { return s.Getscript(); },
          &TWvJavascript::writescript),
      Collection<TWvJavascript>("DependList", [](TWvJavascript& s) { return &s.GetDependList(); }),
  });
  RegisterClass<TWvJavaScriptCollection, TCollection>({});
  RegisterClass<TWvJavaScriptdependency, TCollectionItem>({
      Component<TWvJavaScriptdependency, TWvJavascript>(
          "script", &TWvJavaScriptdependency::getScript, &TWvJavaScriptdependency::setScript),
  });
}

void Register() {
  RegisterClasses();
  RegisterComponents("Taveno", {"TWvJavascript"});
}

}  // namespace WvJavascript

}  // namespace tavkit
