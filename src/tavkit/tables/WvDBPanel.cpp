// The data-bound panel: positioning its data set around the put of its
// children, and the design-time notice that makes their previews follow.
#include <tavkit/tables/WvDBPanel.h>

#include <exception>
#include <optional>

#include <tavkit/core/WvComponent.h>
#include <tavkit/platform/base/ErrorLog.h>
#include <tavkit/platform/base/Registry.h>
#include <tavkit/platform/data/DataSet.h>

namespace tavkit {

bool WvIsTextField(const TField& field) {
  const TFieldType type = field.DataType();
  return (type >= ftString && type <= ftDateTime) || type == ftAutoInc || type == ftMemo;
}

bool WvIsGraphicField(const TField& field) {
  return field.DataType() == ftGraphic;
}

TWvDataSetVisit::TWvDataSetVisit(TDataSet& dataSet)
    : FDataSet(dataSet), FOpened(dataSet.State() != TDataSetState::dsBrowse) {
  if (FOpened) FDataSet.Open();
}

TWvDataSetVisit::~TWvDataSetVisit() {
  if (!FOpened) return;
  try {
    FDataSet.Close();
  } catch (const std::exception&) {
    // Closing only releases the cursor; there is no one to tell.
  }
}

void TWvDataSetVisit::MoveTo(int Distance) {
  FDataSet.FindFirst();
  FDataSet.MoveBy(Distance);
}

TWvDBPanel::TWvDBPanel(TComponent* owner) : TWvPanel(owner) {}

TDataSet* TWvDBPanel::DataSet() const {
  return FDataSource == nullptr ? nullptr : FDataSource->GetDataSet();
}

std::string TWvDBPanel::put(TWvCustomOptimizer* optimizer) {
  TDataSet* dataSet = DataSet();
  if (dataSet == nullptr) return TWvPanel::put(optimizer);
  std::optional<TWvDataSetVisit> visit;
  std::exception_ptr failure;
  try {
    visit.emplace(*dataSet);
    visit->MoveTo(FDBIndex);
  } catch (const EDatabaseError& error) {
    // A query that fails leaves the panel's elements empty, as it leaves a
    // table empty: the page is still written, and the log says why.
    LogError(error.what());
  } catch (...) {
    failure = std::current_exception();
  }
  // The panel is written whether or not the record was reached; the caller
  // hears of any other failure afterwards, with the data set closed again.
  std::string result = TWvPanel::put(optimizer);
  if (failure) std::rethrow_exception(failure);
  return result;
}

void TWvDBPanel::SetDatasource(TDataSource* Value) {
  if (FDataSource != nullptr) RemoveFreeNotification(FDataSource);
  FDataSource = Value;
  if (Value != nullptr) FreeNotification(Value);
  NotifyChildrenOfDBChange();
}

void TWvDBPanel::SetDBIndex(int Value) {
  FDBIndex = Value;
  NotifyChildrenOfDBChange();
}

void TWvDBPanel::NotifyChildrenOfDBChange() {
  if (IsDesigning()) NotifyControls(CM_DBCONTROLSUPDATE);
}

void TWvDBPanel::Notification(TComponent* component, TOperation operation) {
  TWvPanel::Notification(component, operation);
  if (operation == TOperation::opRemove && component == FDataSource) FDataSource = nullptr;
}

namespace WvDBPanel {
void RegisterClasses() {
  WvPanel::RegisterClasses();
  using C = TWvDBPanel;
  RegisterClass<C, TWvPanel>({
      props::Component<C, TDataSource>("DataSource", &C::GetDataSource, &C::SetDatasource),
      props::Integer<C>("DBIndex", &C::GetDBIndex, &C::SetDBIndex),
  });
}

void Register() {
  RegisterClasses();
  RegisterComponents("Taveno", {"TWvDBPanel"});
}
}  // namespace WvDBPanel

}  // namespace tavkit
