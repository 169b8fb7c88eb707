// TWvTemplate: a placeholder that writes, at its own position, the HTML of
// another visible element chosen by the application at run time.
//
// ```cpp
// TComponent form(nullptr);
// auto* page = new TWvPage(&form);
// auto* slot = new TWvTemplate(&form);
// slot->SetParent(page);
// slot->SetBounds(20, 60, 300, 40);
// auto* offer = new TWvText(&form);           // on no page: shown through the template
// TStringList lines{"Free delivery today"};
// offer->WriteText(&lines);
// slot->SetDisplayedComponent(offer);         // chosen at run time, per request
// ```
#pragma once

#include <memory>
#include <string>

#include <tavkit/core/WvVisibleComponent.h>

namespace tavkit {

class TWvTemplate : public TWvVisibleComponent {
 public:
  explicit TWvTemplate(TComponent* owner);

  TWvVisibleComponent* GetDisplayedComponent() const { return FDisplayed; }
  // Shows component (null: nothing). The template is told when the
  // component is freed and forgets it.
  void SetDisplayedComponent(TWvVisibleComponent* component);

  TColor GetBackGroundColor() const override;
  std::unique_ptr<TWvJavascriptlist> ScriptList() override;
  std::string put(TWvCustomOptimizer* optimizer) override;
  void Notification(TComponent* component, TOperation operation) override;

 protected:
  void paint() override;

 private:
  TWvVisibleComponent* FDisplayed = nullptr;
};

namespace WvTemplate {
void RegisterClasses();
void Register();
}  // namespace WvTemplate

}  // namespace tavkit
