// The free-HTML element: before, inside and after lines, nothing else.
#include <tavkit/layout/WvStandardComponent.h>

#include <tavkit/platform/base/Registry.h>

namespace tavkit {

TWvStandardComponent::TWvStandardComponent(TComponent* owner) : TWvVisibleComponent(owner) {
  SetBounds(GetLeft(), GetTop(), 50, 25);
  SetContainer(false);
}

std::string TWvStandardComponent::put(TWvCustomOptimizer*) {
  ActivateBeforePutEvent();
  std::string result = CollapsedBefore() + CollapsedInside() + CollapsedAfter();
  ActivateAfterPutEvent();
  return result;
}

namespace WvStandardComponent {
void RegisterClasses() {
  WvVisibleComponent::RegisterClasses();
  RegisterClass<TWvStandardComponent, TWvVisibleComponent>({});
}

void Register() {
  RegisterClasses();
  RegisterComponents("Taveno", {"TWvStandardComponent"});
}
}  // namespace WvStandardComponent

}  // namespace tavkit
