// TWvVisibleComponent: what every visible page element has — a background
// colour that may be transparent (and then inherits the parent's), three
// lists of free HTML written before, inside and after the element, an
// alignment, a style class, the put protocol and the design-time preview.
//
// ```cpp
// TComponent form(nullptr);
// auto* page = new TWvPage(&form);
// auto* note = new TWvText(&form);
// note->SetParent(page);
// note->SetBounds(20, 10, 200, 20);
// note->SetBackGroundColor(clYellow);         // clNone lets the parent's colour show
// note->SetAlign(taCenter);
// note->GetHTMLBefore()->Add("<A NAME=\"note\"></A>");  // free HTML around its own
// ```
#pragma once

#include <memory>
#include <string>

#include <tavkit/core/WvComponent.h>
#include <tavkit/core/WvMiscTools.h>
#include <tavkit/platform/base/Strings.h>
#include <tavkit/platform/base/Types.h>

namespace tavkit {

class TWvCustomOptimizer;
class TWvJavascriptlist;

class TWvVisibleComponent : public TWvComponent {
 public:
  explicit TWvVisibleComponent(TComponent* owner);
  ~TWvVisibleComponent() override;

  // The element's HTML. The base fires both put events and writes nothing;
  // the optimizer may be null everywhere.
  virtual std::string put(TWvCustomOptimizer* optimizer);
  // The own colour, or the parent's when the own one is transparent.
  virtual TColor GetBackGroundColor() const;
  // The scripts the element uses, in a new list that the caller owns.
  virtual std::unique_ptr<TWvJavascriptlist> ScriptList();

  void SetBackGroundColor(TColor color);
  // The element's own colour, clNone when transparent. Form files store this
  // one, so that a transparent element stays transparent when saved.
  TColor GetOwnBackGroundColor() const { return FBackGroundColor; }
  // True when the element's own colour is clNone, whatever the parent has.
  bool IsBackgroundTransparent() const { return FBackGroundColor == clNone; }
  void SetIsBackgroundTransparent(bool transparent);

  TStrings* GetHTMLBefore() const { return FHTMLBefore.get(); }
  TStrings* GetHTMLInside() const { return FHTMLInside.get(); }
  TStrings* GetHTMLAfter() const { return FHTMLAfter.get(); }
  void SetHTMLBefore(const TStrings* lines) { FHTMLBefore->Assign(lines); }
  void SetHTMLInside(const TStrings* lines) { FHTMLInside->Assign(lines); }
  void SetHTMLAfter(const TStrings* lines) { FHTMLAfter->Assign(lines); }

  t_WvTextAlign GetAlign() const { return FAlign; }
  void SetAlign(t_WvTextAlign align);
  const std::string& GetStyleClass() const { return FStyleClass; }
  void SetStyleClass(const std::string& styleClass) { FStyleClass = styleClass; }

  // Repaints only while the element is being designed.
  void invalidate() override;
  void InvalidateChildren();
  // Tells OnChange and repaints.
  void HasChanged();
  void updateSelf(TObject* sender);
  void StyleChanged(TObject* sender);
  // Keeps every element but the page off coordinate 0 of its container, which
  // the layout relies on.
  void SetBounds(int left, int top, int width, int height) override;

  // Draws the dashed frame that marks an element in the designer.
  void PaintOutline();

  TNotifyEvent OnChange;

 protected:
  void paint() override;
  void CMDesignTimeUpdate(TMessage& message);

  // The collapsed free-HTML lists, for the put protocol.
  std::string CollapsedBefore() const { return WvCollapseStringList(*FHTMLBefore); }
  std::string CollapsedInside() const { return WvCollapseStringList(*FHTMLInside); }
  std::string CollapsedAfter() const { return WvCollapseStringList(*FHTMLAfter); }

 private:
  TColor FBackGroundColor = clNone;
  std::unique_ptr<TStringList> FHTMLBefore;
  std::unique_ptr<TStringList> FHTMLInside;
  std::unique_ptr<TStringList> FHTMLAfter;
  t_WvTextAlign FAlign = taLeft;
  std::string FStyleClass;
};

namespace WvVisibleComponent {
void RegisterClasses();
}

}  // namespace tavkit
