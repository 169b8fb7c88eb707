// TWvComponent: the root of every page element. It ties an element into the
// framework's control tree so that it can be placed on a page, carries the two
// put events, the containment rules checked when something is placed inside
// it, and the four grid lines that the container layout writes.
//
// ```cpp
// TComponent form(nullptr);
// auto* page = new TWvPage(&form);
// auto* counter = new TWvText(&form);
// counter->SetParent(page);
// counter->SetBounds(20, 10, 200, 20);
// int visits = 0;
// counter->OnBeforePut = [counter, &visits](TObject*) {  // just before it is written
//   TStringList lines{"Visit " + std::to_string(++visits)};
//   counter->WriteText(&lines);
// };
// auto* inner = new TWvText(&form);
// try {
//   inner->SetParent(counter);                // a text takes no children
// } catch (const Exception& refused) {        // and nothing has changed
// }
// ```
#pragma once

#include <tavkit/platform/base/Objects.h>
#include <tavkit/platform/controls/Controls.h>

namespace tavkit {

// Messages the library sends between its own controls at design time.
inline constexpr unsigned CM_DESIGNTIMEUPDATE = WM_USER + 400;  // repaint the preview
inline constexpr unsigned CM_RELOADDB = WM_USER + 401;          // a column asks its table to reload
inline constexpr unsigned CM_DBCONTROLSUPDATE = WM_USER + 402;  // drop cached data-bound content

using TWvBeforePutEvent = TNotifyEvent;
using TWvAfterPutEvent = TNotifyEvent;

class TWvComponent : public TCustomControl {
 public:
  explicit TWvComponent(TComponent* owner);

  void ActivateBeforePutEvent();
  void ActivateAfterPutEvent();

  // Numbers of grid rows and columns the element covers.
  int CalcRowSpan() const { return RowEnd - RowStart; }
  int CalcColSpan() const { return ColEnd - ColStart; }

  // Whether the element accepts child elements (the control style flag).
  bool GetContainer() const { return HasStyle(csAcceptsControls); }
  void SetContainer(bool container);

  // Refuses elements inside a non-container and image maps anywhere but on
  // an image.
  void validateInsert(TComponent* component) override;

  // Answered true by the page, whose corner may sit at coordinate 0.
  virtual bool IsPage() const { return false; }
  // Answered true by image maps, which only images accept.
  virtual bool IsImageMap() const { return false; }

  TWvBeforePutEvent OnBeforePut;
  TWvAfterPutEvent OnAfterPut;

  // Grid lines (1-based) at which the element starts and ends; written by
  // the layout of its container.
  int RowStart = 0;
  int RowEnd = 0;
  int ColStart = 0;
  int ColEnd = 0;

 protected:
  void paint() override {}
};

namespace WvComponent {
void RegisterClasses();
}

}  // namespace tavkit
