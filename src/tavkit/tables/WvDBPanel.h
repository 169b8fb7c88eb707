// TWvDBPanel: a panel that puts a data set on one record while its children
// are written, so that the data-bound texts and images inside it show that
// record. DBIndex counts records from the first. At design time a change of
// data source or record tells the children to read their previews anew.
// Shared by the data-bound elements: TWvDataSetVisit, which opens a closed
// data set for the time of one reading and closes it again afterwards, and
// the test of how a field is read (as text, as a picture, or not at all).
//
// ```cpp
// TComponent form(nullptr);
// auto* page = new TWvPage(&form);
// auto* query = new TSQLiteQuery(&form);
// query->SetDatabaseFile("shop.db");
// query->GetSQL()->SetText("SELECT name, price FROM products ORDER BY id");
// auto* source = new TDataSource(&form);
// source->SetDataSet(query);
// auto* product = new TWvDBPanel(&form);
// product->SetParent(page);
// product->SetBounds(20, 40, 200, 60);
// product->SetDatasource(source);
// product->SetDBIndex(2);                     // the third record, while the panel is put
// auto* name = new TWvDBText(&form);
// name->SetParent(product);
// name->SetBounds(10, 10, 180, 20);
// name->SetField(query->FieldByName("name"));
// ```
#pragma once

#include <string>

#include <tavkit/layout/WvPanel.h>

namespace tavkit {

class TDataSet;
class TDataSource;
class TField;

// Fields of the string, number, boolean, date and time, counter and memo
// types are read as text.
bool WvIsTextField(const TField& field);
// Graphic fields are read as pictures; every other kind is skipped.
bool WvIsGraphicField(const TField& field);

// Opens the data set unless it is browsing already; the destructor closes it
// again when it was opened here, so a data set that someone else keeps open
// stays open, and one that was closed is never left open.
class TWvDataSetVisit {
 public:
  explicit TWvDataSetVisit(TDataSet& dataSet);
  ~TWvDataSetVisit();
  TWvDataSetVisit(const TWvDataSetVisit&) = delete;
  TWvDataSetVisit& operator=(const TWvDataSetVisit&) = delete;

  // Moves to the first record and then Distance records on.
  void MoveTo(int Distance);

 private:
  TDataSet& FDataSet;
  bool FOpened;
};

class TWvDBPanel : public TWvPanel {
 public:
  explicit TWvDBPanel(TComponent* owner);

  // The panel with its children, written while the data set stands on
  // record DBIndex. A query that fails (EDatabaseError) leaves the children
  // without a record and is told to the error log; any other failure to
  // position fails the put after the panel has been written and the data
  // set closed again. Without a data set the children are written as they are.
  std::string put(TWvCustomOptimizer* optimizer) override;

  TDataSource* GetDataSource() const { return FDataSource; }
  void SetDatasource(TDataSource* Value);
  int GetDBIndex() const { return FDBIndex; }
  void SetDBIndex(int Value);
  // The data set behind the data source, or null.
  TDataSet* DataSet() const;

  // At design time, asks every child to drop what it read from the data.
  void NotifyChildrenOfDBChange();

  void Notification(TComponent* component, TOperation operation) override;

 private:
  TDataSource* FDataSource = nullptr;
  int FDBIndex = 0;
};

namespace WvDBPanel {
// Publishes TWvDBPanel; safe to call more than once.
void RegisterClasses();
// Puts TWvDBPanel on the palette page "Taveno".
void Register();
}  // namespace WvDBPanel

}  // namespace tavkit
