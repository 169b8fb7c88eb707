// The column collection: change callback and message forwarding to the table.
#include <tavkit/tables/WvCustomColumnList.h>

#include <tavkit/core/WvComponent.h>
#include <tavkit/platform/base/Registry.h>
#include <tavkit/tables/WvCustomTable.h>
#include <tavkit/tables/WvCustomTableColumn.h>

namespace tavkit {

TPersistent* TWvCustomColumnList::GetOwner() const {
  return FTable;
}

TWvCustomTableColumn* TWvCustomColumnList::Columns(int index) const {
  return static_cast<TWvCustomTableColumn*>(GetItem(index));
}

void TWvCustomColumnList::UpdateSelf(TObject*) {
  if (OnChange) OnChange(this);
}

std::intptr_t TWvCustomColumnList::Perform(unsigned msg, std::intptr_t wParam,
                                           std::intptr_t lParam) {
  TMessage message;
  message.Msg = msg;
  message.WParam = wParam;
  message.LParam = lParam;
  Dispatch(message);
  return message.Result;
}

void TWvCustomColumnList::Dispatch(TMessage& message) {
  if (message.Msg == CM_DESIGNTIMEUPDATE) PassToTable(message);
}

void TWvCustomColumnList::PassToTable(TMessage& message) {
  if (FTable != nullptr)
    message.Result = FTable->Perform(message.Msg, message.WParam, message.LParam);
}

void TWvCustomColumnList::Update(TCollectionItem*) {
  UpdateSelf(this);
}

namespace WvCustomColumnList {
void RegisterClasses() {
  WvCustomTableColumn::RegisterClasses();
  RegisterClass<TWvCustomColumnList, TCollection>({});
}
}  // namespace WvCustomColumnList

}  // namespace tavkit
