// TWvStandardComponent: an element made only of the developer's own HTML,
// written at its place in the layout.
//
// ```cpp
// TComponent form(nullptr);
// auto* page = new TWvPage(&form);
// auto* banner = new TWvStandardComponent(&form);
// banner->SetParent(page);
// banner->SetBounds(20, 10, 468, 60);
// banner->GetHTMLInside()->Add("<A HREF=\"/sale\"><IMG SRC=\"/images/sale.gif\"></A>");
// ```
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
