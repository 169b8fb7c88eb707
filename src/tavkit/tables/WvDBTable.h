// TWvDBTable: a table filled from a data set, one column per field, with its
// column collection TWvDBTableColumnList. The rows are read when asked
// (ReloadDB, DBLoadData, binding a column's field) and when the form has been
// loaded, never while the page is written: the application may still change
// cells between reading and writing. At design time the preview shows the
// data, read anew whenever the window of rows changes.
//
// ```cpp
// TComponent form(nullptr);
// auto* page = new TWvPage(&form);
// auto* query = new TSQLiteQuery(&form);
// query->SetDatabaseFile("shop.db");
// query->GetSQL()->SetText("SELECT name, price FROM products ORDER BY name");
// auto* source = new TDataSource(&form);
// source->SetDataSet(query);
// auto* table = new TWvDBTable(&form);
// table->SetParent(page);
// table->SetBounds(20, 40, 300, 200);
// table->SetDataSource(source);
// table->GetColumnList()->Delete(2);
// table->GetColumnList()->Items(0)->SetField(query->FieldByName("name"));
// table->GetColumnList()->Items(1)->SetField(query->FieldByName("price"));
// table->ReloadDB();                          // reads the rows; put only writes them
// ```
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <tavkit/tables/WvCustomColumnList.h>
#include <tavkit/tables/WvCustomTable.h>
#include <tavkit/tables/WvDBTableColumn.h>

namespace tavkit {

class TDataSet;
class TDataSource;
class TField;

class TWvDBTableColumnList : public TWvCustomColumnList {
 public:
  explicit TWvDBTableColumnList(TWvCustomTable* table) : TWvCustomColumnList(table) {}

  TWvDBTableColumn* Items(int index) const {
    return static_cast<TWvDBTableColumn*>(GetItem(index));
  }
  TWvDBTableColumn* AddItem() { return static_cast<TWvDBTableColumn*>(Add()); }

 protected:
  TCollectionItem* NewItem() override { return new TWvDBTableColumn(this); }
  // A column's reload notice goes to the table as well as its repaint notice.
  void Dispatch(TMessage& message) override;
};

class TWvDBTable : public TWvCustomTable {
 public:
  explicit TWvDBTable(TComponent* owner);
  ~TWvDBTable() override;

  TWvDBTableColumnList* GetColumnList() const {
    return static_cast<TWvDBTableColumnList*>(TWvCustomTable::GetColumnList());
  }
  // Takes over copies of the columns of list (their fields too), then repaints.
  void SetColumnList(const TWvDBTableColumnList* list) { AssignColumnList(list); }

  TDataSource* GetDataSource() const { return FDataSource; }
  // Stores another data source; the rows stay until they are read again.
  void SetDataSource(TDataSource* Value);
  // Kept with the form for the application; the table itself does not use them.
  const std::string& GetLocalImagePath() const { return FLocalImagePath; }
  void SetLocalImagePath(const std::string& Value) { FLocalImagePath = Value; }
  const std::string& GetWebImagePath() const { return FWebImagePath; }
  void SetWebImagePath(const std::string& Value) { FWebImagePath = Value; }

  // The number of records that loading skips. The rows read start there and
  // fill the table from its first row, and every row read is written: the
  // window is cut once, from the data. (The table underneath, reached as a
  // TWvCustomTable, therefore writes from its row 0.)
  int GetStartIndex() const { return FFirstRecord; }
  void SetStartIndex(int value) override;
  // Stores the value; at design time the rows are then read anew.
  void SetMaxRows(int value) override;

  // Reads up to MaxRows records, from record StartIndex on, into rows from
  // row 0: a cell per bound column, the field's text or, for a picture
  // field, the text "[image]" with the picture. Fields of other kinds and
  // unbound columns leave their cells empty. A data set that was closed is
  // closed again. A failure ends the reading; the rows read so far stay,
  // and its message goes to the error log.
  void DBLoadData();
  // Empties the table, reads the rows and repaints the preview.
  void ReloadDB();
  // Frees every row and cell.
  void CleanUp() { EmptyTable(); }

  // Reads the rows once the form, with its data sets, has been loaded.
  void Loaded() override;
  // The table reads its rows when loaded: after its query has opened.
  bool LoadedLast() const override { return true; }
  void Notification(TComponent* component, TOperation operation) override;

 protected:
  // At design time an empty table reads its rows before it is drawn.
  void paint() override;

 private:
  // What one reading keeps from record to record: the data set's field for
  // each column, found at the first record, the room for a row's cells and
  // the items of the rows read before, to be reused.
  struct TLoadState {
    std::vector<const TField*> Fields;
    std::vector<std::unique_ptr<TWvTableItem>> Cells;
    TSpareItems Spares;
  };
  void LoadData(TLoadState& state);
  // Puts one record into row Row.
  void LoadRecord(TDataSet& dataSet, int Row, TLoadState& state);
  // The cell of a field: its text, or "[image]" with its picture; none for a
  // field of another kind.
  std::unique_ptr<TWvTableItem> ReadCell(const TField& field, TLoadState& state);

  TDataSource* FDataSource = nullptr;
  std::string FLocalImagePath;
  std::string FWebImagePath;
  int FFirstRecord = 0;
};

namespace WvDBTable {
// Publishes TWvDBTable with its columns and the table classes beneath it.
void RegisterClasses();
// Puts TWvDBTable on the palette page "Taveno".
void Register();
}  // namespace WvDBTable

}  // namespace tavkit
