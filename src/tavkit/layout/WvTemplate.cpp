// The template stands in for the displayed element: its colour, scripts and
// HTML, and a crossed-out preview at design time.
#include <tavkit/layout/WvTemplate.h>

#include <tavkit/platform/base/Registry.h>
#include <tavkit/platform/graphics/Canvas.h>
#include <tavkit/scripts/WvJavascriptList.h>

namespace tavkit {

TWvTemplate::TWvTemplate(TComponent* owner) : TWvVisibleComponent(owner) {
  SetContainer(false);
}

void TWvTemplate::SetDisplayedComponent(TWvVisibleComponent* component) {
  if (component == FDisplayed) return;
  if (FDisplayed != nullptr) RemoveFreeNotification(FDisplayed);
  FDisplayed = component;
  if (component != nullptr) FreeNotification(component);
}

void TWvTemplate::Notification(TComponent* component, TOperation operation) {
  TWvVisibleComponent::Notification(component, operation);
  if (operation == TOperation::opRemove && component == FDisplayed) FDisplayed = nullptr;
}

TColor TWvTemplate::GetBackGroundColor() const {
  if (FDisplayed != nullptr) return FDisplayed->GetBackGroundColor();
  return TWvVisibleComponent::GetBackGroundColor();
}

std::unique_ptr<TWvJavascriptlist> TWvTemplate::ScriptList() {
  std::unique_ptr<TWvJavascriptlist> list = TWvVisibleComponent::ScriptList();
  if (FDisplayed != nullptr) list->AddList(*FDisplayed->ScriptList());
  return list;
}

std::string TWvTemplate::put(TWvCustomOptimizer* optimizer) {
  ActivateBeforePutEvent();
  std::string result = CollapsedBefore();
  if (FDisplayed != nullptr) result += FDisplayed->put(optimizer);
  result += CollapsedAfter();
  ActivateAfterPutEvent();
  return result;
}

void TWvTemplate::paint() {
  TCanvas& canvas = Canvas();
  int right = GetWidth() - 1;
  int bottom = GetHeight() - 1;
  canvas.Brush().Color = GetBackGroundColor();
  canvas.FillRect(ClientRect());
  canvas.Rectangle(ClientRect());
  canvas.Font().Name = "ARIAL";
  canvas.Font().Height = 12;
  canvas.Font().Color = 0xAAAAAA;
  canvas.TextOut(5, 5, GetName());
  canvas.Pen().Style = TPenStyle::psDash;
  canvas.Pen().Color = clBlack;
  canvas.MoveTo(0, 0);
  canvas.LineTo(0, bottom);
  canvas.LineTo(right, bottom);
  canvas.LineTo(right, 0);
  canvas.LineTo(0, 0);
  canvas.LineTo(right, bottom);
  canvas.MoveTo(0, bottom);
  canvas.LineTo(right, 0);
  canvas.Pen().Style = TPenStyle::psSolid;
}

namespace WvTemplate {
void RegisterClasses() {
  WvVisibleComponent::RegisterClasses();
  RegisterClass<TWvTemplate, TWvVisibleComponent>({});
}

void Register() {
  RegisterClasses();
  RegisterComponents("Taveno", {"TWvTemplate"});
}
}  // namespace WvTemplate

}  // namespace tavkit
