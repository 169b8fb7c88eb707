// TWvPanel: a nested container. Its children are laid out as a table grid of
// their own inside the panel's cell, so a group of elements moves as one.
//
// ```cpp
// TComponent form(nullptr);
// auto* page = new TWvPage(&form);
// auto* box = new TWvPanel(&form);
// box->SetParent(page);
// box->SetBounds(20, 60, 300, 100);
// box->SetBackGroundColor(clSilver);
// auto* caption = new TWvText(&form);
// caption->SetParent(box);                    // placed relative to the panel's corner
// caption->SetBounds(10, 10, 200, 20);
// ```
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
