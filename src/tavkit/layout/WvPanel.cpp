// The panel writes its free HTML around the grid of its children.
#include <tavkit/layout/WvPanel.h>

#include <tavkit/platform/base/Registry.h>

namespace tavkit {

TWvPanel::TWvPanel(TComponent* owner) : TWvCustomContainer(owner) {}

std::string TWvPanel::put(TWvCustomOptimizer* optimizer) {
  ActivateBeforePutEvent();
  std::string result = CollapsedBefore();
  result += IterateChildren(CollapsedInside(), std::string(), optimizer);
  result += CollapsedAfter();
  ActivateAfterPutEvent();
  return result;
}

namespace WvPanel {
void RegisterClasses() {
  WvContainer::RegisterClasses();
  RegisterClass<TWvPanel, TWvCustomContainer>({});
}

void Register() {
  RegisterClasses();
  RegisterComponents("Taveno", {"TWvPanel"});
}
}  // namespace WvPanel

}  // namespace tavkit
