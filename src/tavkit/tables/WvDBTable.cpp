// The data-bound table: reading records into rows, the reload notices of its
// columns, the references it keeps to its data source and to the fields of
// its columns, and its publishing.
#include <tavkit/tables/WvDBTable.h>

#include <memory>
#include <vector>

#include <tavkit/core/WvComponent.h>
#include <tavkit/platform/base/ErrorLog.h>
#include <tavkit/platform/base/Limits.h>
#include <tavkit/platform/base/Registry.h>
#include <tavkit/platform/data/DataSet.h>
#include <tavkit/platform/graphics/DecodeBudget.h>
#include <tavkit/platform/graphics/Picture.h>
#include <tavkit/tables/WvDBPanel.h>

namespace tavkit {

namespace {

// The picture of a graphic field. One that cannot be read stays empty, so
// that a single damaged picture costs its own cell and not the rows after it.
std::unique_ptr<TPicture> ReadPicture(const TField& field) {
  auto picture = std::make_unique<TPicture>();
  try {
    // A cell shows its picture at the row's size: a file that claims more
    // pixels than the budget is not decoded.
    const TDecodeBudget budget("MaxElementPicturePixels", MaxElementPicturePixels);
    picture->Assign(&field);
  } catch (const std::exception&) {
    // A failed load leaves the picture as it was: empty.
  }
  return picture;
}

}  // namespace

void TWvDBTableColumnList::Dispatch(TMessage& message) {
  if (message.Msg == CM_RELOADDB) {
    PassToTable(message);
    return;
  }
  TWvCustomColumnList::Dispatch(message);
}

TWvDBTable::TWvDBTable(TComponent* owner) : TWvCustomTable(owner) {
  SetupTable(std::make_unique<TWvDBTableColumnList>(this));
  SetMessageHandler(CM_RELOADDB, [this](TMessage&) {
    // While the form loads, its fields are bound one by one; the rows are
    // read once, when everything is in place.
    if (!IsLoading()) ReloadDB();
  });
}

TWvDBTable::~TWvDBTable() {
  CleanUp();
}

void TWvDBTable::SetDataSource(TDataSource* Value) {
  if (Value == FDataSource) return;
  if (FDataSource != nullptr) RemoveFreeNotification(FDataSource);
  FDataSource = Value;
  if (Value != nullptr) FreeNotification(Value);
}

void TWvDBTable::SetStartIndex(int value) {
  FFirstRecord = value;
  if (IsDesigning()) ReloadDB();
}

void TWvDBTable::SetMaxRows(int value) {
  StoreMaxRows(value);
  if (IsDesigning()) ReloadDB();
}

std::unique_ptr<TWvTableItem> TWvDBTable::ReadCell(const TField& field, TLoadState& state) {
  const bool text = WvIsTextField(field);
  if (!text && !WvIsGraphicField(field)) return nullptr;
  std::unique_ptr<TWvTableItem> item = NewItem(state.Spares);
  if (text) {
    field.ReadString(TextOf(*item));
    return item;
  }
  item->SetText("[image]");
  item->SetPicture(ReadPicture(field));
  return item;
}

void TWvDBTable::LoadRecord(TDataSet& dataSet, int Row, TLoadState& state) {
  // A row that does not exist yet is put together from the cells read and
  // then appended, rather than made of empty cells that the cells read then
  // replace one by one. Rows that exist get their cells replaced.
  const bool fresh = Row >= NumberOfRows();
  std::vector<std::unique_ptr<TWvTableItem>>& cells = state.Cells;
  cells.clear();
  cells.resize(static_cast<std::size_t>(ColumnCount()));
  bool read = false;
  auto appendRead = [&] {
    while (NumberOfRows() < Row) AddRow();
    // Cells without a value take spares too, so that every old row is
    // taken up as the new one is filled.
    for (std::unique_ptr<TWvTableItem>& cell : cells)
      if (cell == nullptr) cell = NewItem(state.Spares);
    AppendRow(cells);
  };
  try {
    for (int c = 0; c < ColumnCount(); ++c) {
      const TField* bound = GetColumnList()->Items(c)->GetField();
      if (bound == nullptr) continue;
      // The data set's field of the bound name is looked up at the first
      // record and kept: its fields stay the same while the rows are read.
      const TField*& field = state.Fields[static_cast<std::size_t>(c)];
      if (field == nullptr) field = dataSet.FieldByName(bound->FieldName());
      std::unique_ptr<TWvTableItem> item = ReadCell(*field, state);
      if (item == nullptr) continue;
      if (fresh) {
        cells[static_cast<std::size_t>(c)] = std::move(item);
        read = true;
      } else {
        SetItem(c, Row, item.get());
        item.release();
      }
    }
  } catch (...) {
    // The cells read before the failure stay, as the rows before it do.
    if (read) appendRead();
    throw;
  }
  // A record without a single cell read adds no row of its own.
  if (read) appendRead();
}

void TWvDBTable::DBLoadData() {
  TLoadState state;
  LoadData(state);
}

void TWvDBTable::LoadData(TLoadState& state) {
  TDataSet* dataSet = FDataSource == nullptr ? nullptr : FDataSource->GetDataSet();
  if (dataSet == nullptr) return;
  try {
    TWvDataSetVisit visit(*dataSet);
    visit.MoveTo(FFirstRecord);
    state.Fields.assign(static_cast<std::size_t>(ColumnCount()), nullptr);
    // The end is tested before a record is read: an empty data set, or one
    // with no more records than StartIndex skips, gives no rows rather than
    // a repeated or empty one.
    for (int row = 0; row < GetMaxRows() && !dataSet->Eof(); ++row) {
      LoadRecord(*dataSet, row, state);
      dataSet->Next();
    }
  } catch (const std::exception& error) {
    // A page must not break over its data: the rows read so far stay, and
    // the server's log says why the rest are missing.
    LogError(error.what());
  }
}

void TWvDBTable::ReloadDB() {
  // The items of the rows read before take the records read now.
  TLoadState state;
  EmptyTableKeeping(state.Spares);
  LoadData(state);
  invalidate();
}

void TWvDBTable::Loaded() {
  TWvCustomTable::Loaded();
  if (FDataSource != nullptr) ReloadDB();
}

void TWvDBTable::Notification(TComponent* component, TOperation operation) {
  TWvCustomTable::Notification(component, operation);
  if (operation != TOperation::opRemove) return;
  if (component == FDataSource) FDataSource = nullptr;
  for (int c = 0; c < ColumnCount(); ++c) {
    TWvDBTableColumn* column = GetColumnList()->Items(c);
    if (column->FField == component) column->FField = nullptr;
  }
}

void TWvDBTable::paint() {
  if (IsDesigning() && NumberOfRows() == 0 && FDataSource != nullptr) DBLoadData();
  PaintTable();
}

namespace WvDBTable {
void RegisterClasses() {
  WvCustomTable::RegisterClasses();
  WvDBTableColumn::RegisterClasses();
  RegisterClass<TWvDBTableColumnList, TWvCustomColumnList>({});
  using C = TWvDBTable;
  RegisterClass<C, TWvCustomTable>({
      props::String<C>("LocalImagePath", &C::GetLocalImagePath, &C::SetLocalImagePath),
      props::String<C>("WebImagePath", &C::GetWebImagePath, &C::SetWebImagePath),
      props::Collection<C>("ColumnList", &C::GetColumnList),
      props::Component<C, TDataSource>("DataSource", &C::GetDataSource, &C::SetDataSource),
      // Published again: a data-bound table counts StartIndex in records.
      props::Integer<C>("StartIndex", &C::GetStartIndex, &C::SetStartIndex),
  });
}

void Register() {
  RegisterClasses();
  RegisterComponents("Taveno", {"TWvDBTable"});
}
}  // namespace WvDBTable

}  // namespace tavkit
