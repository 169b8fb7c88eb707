// TWvCustomColumnList: the collection of a table's columns. It belongs to its
// table, tells the table of every change through its change callback, and
// passes the repaint notice of its columns on to the table. The tables make
// their own lists with their own column class.
//
// ```cpp
// TComponent form(nullptr);
// auto* table = new TWvTable(&form);
// TWvCustomColumnList* columns = table->GetColumnList();
// columns->Delete(2);                         // two columns are enough
// for (int i = 0; i < columns->Count(); ++i) columns->Columns(i)->Setwidth(120);
// ```
#pragma once

#include <tavkit/platform/base/Collections.h>
#include <tavkit/platform/controls/Controls.h>

namespace tavkit {

class TWvCustomTable;
class TWvCustomTableColumn;

class TWvCustomColumnList : public TCollection {
 public:
  explicit TWvCustomColumnList(TWvCustomTable* table) : FTable(table) {}

  TWvCustomTable* GetTable() const { return FTable; }
  // The table, so that the designer names the collection after it.
  TPersistent* GetOwner() const override;
  TWvCustomTableColumn* Columns(int index) const;

  // Tells OnChange, with the list as sender.
  void UpdateSelf(TObject* Sender);

  // Sends a message to the list; it returns the result of the handler.
  std::intptr_t Perform(unsigned msg, std::intptr_t wParam = 0, std::intptr_t lParam = 0);

  TNotifyEvent OnChange;

 protected:
  // Passes the repaint notice (CM_DESIGNTIMEUPDATE) on to the table and
  // ignores everything else; lists that carry more messages add them here.
  virtual void Dispatch(TMessage& message);
  // Passes a message to the owner table.
  void PassToTable(TMessage& message);
  // A column added, removed, moved or renamed.
  void Update(TCollectionItem* item) override;

 private:
  TWvCustomTable* FTable;
};

namespace WvCustomColumnList {
// Publishes TWvCustomColumnList and its columns; safe to call more than once.
void RegisterClasses();
}  // namespace WvCustomColumnList

}  // namespace tavkit
