// TWvCustomContainer: an element whose children are laid out as one HTML
// table. Every distinct edge coordinate of the children becomes a row or
// column boundary; each child is written into the cell of its top-left grid
// position with spans covering its extent, and empty cells carry the pixel
// sizes that keep the grid in shape.
//
// ```cpp
// // Pages, panels and input forms lay out their children alike: two elements
// // side by side become two cells of one table row.
// TComponent form(nullptr);
// auto* page = new TWvPage(&form);
// auto* left = new TWvStandardComponent(&form);
// left->SetParent(page);
// left->SetBounds(10, 10, 100, 20);
// auto* right = new TWvStandardComponent(&form);
// right->SetParent(page);
// right->SetBounds(150, 10, 100, 40);
// try {
//   std::string html = page->put(nullptr);
// } catch (const Exception& error) {          // a table beyond MaxLayoutMarkup
//   std::cerr << error.Message() << "\n";
// }
// ```
#pragma once

#include <memory>
#include <string>

#include <tavkit/core/WvVisibleComponent.h>
#include <tavkit/platform/base/Limits.h>

namespace tavkit {

class TWvCustomContainer : public TWvVisibleComponent {
 public:
  explicit TWvCustomContainer(TComponent* owner);

  // The table of the children: tableStart follows the opening TABLE tag,
  // tableEnd precedes the closing one. Children are put in grid order. A
  // table whose rows and empty cells need more than MaxLayoutMarkup bytes
  // raises Exception before any child is put.
  std::string IterateChildren(const std::string& tableStart, const std::string& tableEnd,
                              TWvCustomOptimizer* optimizer);
  // The scripts of every child, merged in child order.
  std::unique_ptr<TWvJavascriptlist> ScriptList() override;
};

namespace WvContainer {
void RegisterClasses();
}

}  // namespace tavkit
