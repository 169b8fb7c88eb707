// Put events, containment rules and the container flag of every element.
#include <tavkit/core/WvComponent.h>

#include <tavkit/platform/base/Exceptions.h>
#include <tavkit/platform/base/Registry.h>

namespace tavkit {

TWvComponent::TWvComponent(TComponent* owner) : TCustomControl(owner) {}

void TWvComponent::ActivateBeforePutEvent() {
  if (OnBeforePut) OnBeforePut(this);
}

void TWvComponent::ActivateAfterPutEvent() {
  if (OnAfterPut) OnAfterPut(this);
}

void TWvComponent::SetContainer(bool container) {
  unsigned style = GetControlStyle();
  SetControlStyle(container ? style | csAcceptsControls
                            : style & ~static_cast<unsigned>(csAcceptsControls));
}

void TWvComponent::validateInsert(TComponent* component) {
  auto* element = dynamic_cast<TWvComponent*>(component);
  if (element == nullptr) return;
  if (!GetContainer()) throw Exception("Cannot place component in a non-container");
  if (element->IsImageMap()) throw Exception("Imagemaps can only be put on images");
}

namespace WvComponent {
void RegisterClasses() {
  RegisterControlClasses();
  RegisterClass<TWvComponent, TCustomControl>({});
}
}  // namespace WvComponent

}  // namespace tavkit
