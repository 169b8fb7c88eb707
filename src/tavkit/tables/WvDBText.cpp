// The data-bound text: reading its line from the field, the lines kept for
// the design preview, and the notices that drop them.
#include <tavkit/tables/WvDBText.h>

#include <tavkit/core/WvComponent.h>
#include <tavkit/platform/base/Registry.h>
#include <tavkit/platform/data/DataSet.h>
#include <tavkit/tables/WvDBPanel.h>

namespace tavkit {

TWvDBText::TWvDBText(TComponent* owner) : TWvCustomText(owner) {
  SetMessageHandler(CM_DBCONTROLSUPDATE, [this](TMessage&) { InternalInvalidate(); });
}

TWvDBText::~TWvDBText() = default;

TStrings* TWvDBText::readText() {
  const bool designing = IsDesigning();
  if (designing && FLines) return FLines.get();
  auto lines = std::make_unique<TStringList>();
  if (FField != nullptr) {
    if (!designing) {
      if (WvIsTextField(*FField)) lines->Add(FField->AsString());
    } else {
      ReadDesignRecord(*lines);
    }
  }
  FLines = std::move(lines);
  return FLines.get();
}

void TWvDBText::ReadDesignRecord(TStrings& lines) {
  // Outside a data-bound panel nothing says which record to show.
  auto* panel = dynamic_cast<TWvDBPanel*>(GetParent());
  TDataSet* dataSet = panel == nullptr ? nullptr : panel->DataSet();
  if (dataSet == nullptr) return;
  try {
    TWvDataSetVisit visit(*dataSet);
    visit.MoveTo(panel->GetDBIndex());
    if (WvIsTextField(*FField)) lines.Add(FField->AsString());
  } catch (const std::exception&) {
    // A preview shows what could be read.
  }
}

void TWvDBText::SetField(TField* Field) {
  if (Field == FField) return;
  if (FField != nullptr) RemoveFreeNotification(FField);
  FField = Field;
  if (Field != nullptr) FreeNotification(Field);
  InternalInvalidate();
}

void TWvDBText::InternalInvalidate() {
  FLines.reset();
  invalidate();
}

void TWvDBText::Notification(TComponent* component, TOperation operation) {
  TWvCustomText::Notification(component, operation);
  if (operation == TOperation::opRemove && component == FField) {
    FField = nullptr;
    FLines.reset();
  }
}

namespace WvDBText {
void RegisterClasses() {
  WvCustomText::RegisterClasses();
  using C = TWvDBText;
  RegisterClass<C, TWvCustomText>({
      props::FieldRef<C>("Field", &C::GetField, &C::SetField),
  });
}

void Register() {
  RegisterClasses();
  RegisterComponents("Taveno", {"TWvDBText"});
}
}  // namespace WvDBText

}  // namespace tavkit
