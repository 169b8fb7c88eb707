// TWvStandardComponent: an element made only of the developer's own HTML,
// written at its place in the layout.
#pragma once

#include <string>

#include <tavkit/core/WvVisibleComponent.h>

namespace tavkit {

class TWvStandardComponent : public TWvVisibleComponent {
 public:
  explicit TWvStandardComponent(TComponent* owner);
  std::string put(TWvCustomOptimizer* optimizer) override;
};

namespace WvStandardComponent {
void RegisterClasses();
void Register();
}  // namespace WvStandardComponent

}  // namespace tavkit
