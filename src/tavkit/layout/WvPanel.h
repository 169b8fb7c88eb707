// TWvPanel: a nested container. Its children are laid out as a table grid of
// their own inside the panel's cell, so a group of elements moves as one.
#pragma once

#include <string>

#include <tavkit/layout/WvContainer.h>

namespace tavkit {

class TWvPanel : public TWvCustomContainer {
 public:
  explicit TWvPanel(TComponent* owner);
  std::string put(TWvCustomOptimizer* optimizer) override;
};

namespace WvPanel {
void RegisterClasses();
void Register();
}  // namespace WvPanel

}  // namespace tavkit
