// TWvCustomTable: the data side and the HTML of a table element. It keeps rows
// of cells (TWvTableItem) under a collection of columns, with the look of the
// table (header and row colours, border, spacing, padding, heights, how many
// rows are written from which one) and writes the whole table as one HTML
// TABLE element, with font markup or with style classes. The tables that
// application code fills and the data-bound tables derive from it and make
// its column collection.
//
// ```cpp
// TComponent form(nullptr);
// auto* table = new TWvTable(&form);
// table->SetDisplayHeader(true);
// table->SetHeaderColor(clNavy);
// table->SetListColor1(clWhite);              // the rows alternate between the two
// table->SetListColor2(clSilver);
// table->SetBorder(1);
// table->SetStartIndex(10);                   // rows 10 to 19 are written
// table->SetMaxRows(10);
// table->Sort([](TWvTableRow* a, TWvTableRow* b) {  // by the text of the first cell
//   return a->Get(0)->GetText().compare(b->Get(0)->GetText());
// });
// ```
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include <tavkit/core/WvVisibleComponent.h>
#include <tavkit/platform/base/Exceptions.h>
#include <tavkit/platform/base/Lists.h>
#include <tavkit/tables/WvCustomColumnList.h>
#include <tavkit/tables/WvTableItem.h>

namespace tavkit {

class TWvCustomTableColumn;

// A column address outside the table's columns.
class TWvInvalidTableColumnException : public Exception {
 public:
  using Exception::Exception;
};

// A negative row address.
class TWvInvalidTableRowException : public Exception {
 public:
  using Exception::Exception;
};

// How often each style class is used along one row, to pick the class the
// row itself carries.
class TWvClassListItem : public TObject {
 public:
  explicit TWvClassListItem(const std::string& name) : FName(name) {}
  const std::string& GetName() const { return FName; }
  int GetCount() const { return FCount; }
  void Increment() { ++FCount; }

 private:
  std::string FName;
  int FCount = 1;
};

class TWvClassList : public TObject {
 public:
  // Counts one more use of Name (names compare case-sensitively).
  void addclass(const std::string& Name);
  // The name used most often, empty when nothing was counted. Among names
  // used equally often the one counted first wins.
  std::string getMostFrequentClass();

 private:
  std::vector<std::unique_ptr<TWvClassListItem>> FItems;
};

// One row of the table: its cells in column order. A row holds as many cells
// as it was given, which need not be one per column.
using TWvTableRow = TList<TWvTableItem>;

class TWvCustomTable : public TWvVisibleComponent {
 public:
  // Compares two rows for Sort: negative when a comes first.
  using TWvRowCompare = TList<TWvTableRow>::TListSortCompare;

  explicit TWvCustomTable(TComponent* owner);
  ~TWvCustomTable() override;

  // The whole table as one TABLE element; the optimizer may be null.
  std::string put(TWvCustomOptimizer* optimizer) override;
  // The scripts called by the links of the cells that put writes.
  std::unique_ptr<TWvJavascriptlist> ScriptList() override;

  TWvCustomColumnList* GetColumnList() const { return FColumnList.get(); }
  int ColumnCount() const { return FColumnList ? FColumnList->Count() : 0; }
  TWvCustomTableColumn* Columns(int index) const { return FColumnList->Columns(index); }

  // Appends a row: one cell per string of List, or, without a list, one
  // empty cell per column.
  void AddRow(const TStrings* List = nullptr);
  // Inserts a row before Index (the number of rows appends): one cell per
  // string of List, or no cells at all without a list.
  void InsertRow(int Index, const TStrings* List = nullptr);
  // Frees the cells of row Index and removes the row.
  void DeleteRow(int Index);
  // Removes every row and frees every cell the table holds.
  void EmptyTable();
  int NumberOfRows() const { return FRows.Count(); }
  // The cells of one row, read-only; the rows are changed through the table.
  const TWvTableRow& GetRow(int Row) const { return *FRows.Get(Row); }
  // Stores Item in a cell; missing rows are appended first, each with one
  // empty cell per column. The table owns Item from then on. The cell's
  // former item stays valid (a caller may still hold it, or store it in
  // another cell) until the table is emptied or freed. On an exception
  // nothing changes and Item stays the caller's.
  void SetItem(int Col, int Row, TWvTableItem* Item);
  // The item of a cell; a row beyond the last is made first, as SetItem does.
  TWvTableItem* GetItem(int Col, int Row);
  // Sorts whole rows with the caller's comparison.
  void Sort(const TWvRowCompare& Compare) { FRows.Sort(Compare); }

  // Repaints the preview; the column list's change callback.
  void UpdateSelf(TObject* Sender);

  int GetStartIndex() const { return FStartIndex; }
  virtual void SetStartIndex(int value) { FStartIndex = value; }
  TColor GetHeaderColor() const { return FHeaderColor; }
  void SetHeaderColor(TColor value);
  TColor GetListColor1() const { return FListColor1; }
  void SetListColor1(TColor value);
  TColor GetListColor2() const { return FListColor2; }
  void SetListColor2(TColor value);
  int GetBorder() const { return FBorder; }
  void SetBorder(int value);
  int GetSpacing() const { return FSpacing; }
  void SetSpacing(int value);
  int GetPadding() const { return FPadding; }
  void SetPadding(int value);
  bool GetDisplayHeader() const { return FDisplayHeader; }
  void SetDisplayHeader(bool value);
  int GetheaderHeight() const { return FHeaderHeight; }
  void SetheaderHeight(int value);
  int GetRowHeight() const { return FRowHeight; }
  void SetRowHeight(int value);
  int GetMaxRows() const { return FMaxRows; }
  virtual void SetMaxRows(int value);

 protected:
  // Appends a row of one cell per column: the items of cells where given,
  // new empty ones elsewhere. The table owns the items from now on.
  void AppendRow(std::vector<std::unique_ptr<TWvTableItem>>& cells);
  // Makes columns the table's column list, with three default columns, white
  // header text on navy, rows alternating white and light grey, 20-pixel
  // header and rows and up to 15 rows: how every ready-made table starts.
  void SetupTable(std::unique_ptr<TWvCustomColumnList> columns);
  // Replaces the columns by copies of those of another list, then tells
  // OnChange and repaints.
  void AssignColumnList(const TWvCustomColumnList* columns);
  // The rows taken out of a table that is filled again, whose items are
  // handed out again for the new rows, row by row, first cell first: the
  // items of an old row are taken up just before the new row that reuses
  // them is filled, while they are still in the cache, and the old rows not
  // needed are freed with the spares.
  class TSpareItems {
   public:
    TSpareItems() = default;
    TSpareItems(const TSpareItems&) = delete;
    TSpareItems& operator=(const TSpareItems&) = delete;
    ~TSpareItems();

   private:
    friend class TWvCustomTable;
    // Takes up the next old row that gives any spares: its items that only
    // this cell held become spares, blank; the others lose a placement.
    void TakeNextRow();
    void Prefetch(std::size_t row) const;
    std::vector<TWvTableRow*> FRows;
    std::size_t FNextRow = 0;
    std::vector<std::unique_ptr<TWvTableItem>> FItems;
    std::size_t FNext = 0;
  };
  // Empties the table as EmptyTable does, but keeps its rows in spares, so
  // that a table filled again and again does not free and make every item
  // anew each time.
  void EmptyTableKeeping(TSpareItems& spares);
  // The text of an item, to be written in place.
  static std::string& TextOf(TWvTableItem& item) { return item.FText; }
  // An empty item for a new cell: the next spare when there is one, else a
  // new one.
  std::unique_ptr<TWvTableItem> NewItem(TSpareItems& spares);
  // Sets MaxRows without telling anyone, for tables whose setter does more
  // or less than the default one.
  void StoreMaxRows(int value) { FMaxRows = value; }
  // Draws the table's design preview: header cells, then MaxRows rows in
  // alternating colours with the texts and pictures of the rows there are.
  void PaintTable();

 private:
  void CheckAddress(int Col, int Row) const;
  // Gives back one placement of an item; the last one frees it.
  static void Release(TWvTableItem* item);
  // How many rows put writes, from StartIndex on.
  std::int64_t RowsWritten() const;
  std::string HeaderRow(TWvCustomOptimizer* optimizer, bool styleMode) const;
  void PaintCell(const TWvTableItem& item, const TWvCustomTableColumn& column, const TRect& cell,
                 TColor rowColor);

  std::unique_ptr<TWvCustomColumnList> FColumnList;
  int FStartIndex = 0;
  TColor FHeaderColor = clNone;
  TColor FListColor1 = clNone;
  TColor FListColor2 = clNone;
  int FBorder = 0;
  int FSpacing = 0;
  int FPadding = 0;
  bool FDisplayHeader = false;
  int FHeaderHeight = 0;
  int FRowHeight = 0;
  int FMaxRows = 0;
  // The rows; every row and every item in them belongs to the table.
  TList<TWvTableRow> FRows;
  // Items that SetItem took out of their cell and that no cell holds now.
  std::unordered_set<TWvTableItem*> FDisplaced;
};

namespace WvCustomTable {
// Publishes TWvCustomTable with its columns; safe to call more than once.
void RegisterClasses();
}  // namespace WvCustomTable

}  // namespace tavkit
