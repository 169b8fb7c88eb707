// TWvDBText: a text element whose line is the value of a field at the data
// set's current record (inside a data-bound panel, the panel's record). At
// run time the value is read anew whenever the text is written; at design
// time the preview reads the record its panel names once and keeps it until
// the field, the panel's data source or its record changes.
//
// ```cpp
// TComponent form(nullptr);
// auto* page = new TWvPage(&form);
// auto* query = new TSQLiteQuery(&form);
// query->SetDatabaseFile("shop.db");
// query->GetSQL()->SetText("SELECT name FROM products ORDER BY id");
// auto* name = new TWvDBText(&form);
// name->SetParent(page);
// name->SetBounds(20, 10, 200, 20);
// name->SetField(query->FieldByName("name"));
// name->GetFont()->SetBold(true);
// query->Open();                              // on the first record
// std::string first = page->put(nullptr);
// query->Next();
// std::string second = page->put(nullptr);    // read anew on every put
// ```
#pragma once

#include <memory>

#include <tavkit/elements/WvCustomText.h>

namespace tavkit {

class TField;

class TWvDBText : public TWvCustomText {
 public:
  explicit TWvDBText(TComponent* owner);
  ~TWvDBText() override;

  // The field's value as one line (a memo with line breaks stays one line);
  // no line without a field or for a field that is not read as text.
  TStrings* readText() override;

  TField* GetField() const { return FField; }
  // Binds another field (null unbinds) and drops the preview's lines.
  void SetField(TField* Field);
  // Drops the lines kept for the preview and repaints it.
  void InternalInvalidate();

  void Notification(TComponent* component, TOperation operation) override;

 private:
  // The value of the field at the record of the parent panel, for the preview.
  void ReadDesignRecord(TStrings& lines);

  TField* FField = nullptr;
  std::unique_ptr<TStringList> FLines;
};

namespace WvDBText {
// Publishes TWvDBText; safe to call more than once.
void RegisterClasses();
// Puts TWvDBText on the palette page "Taveno".
void Register();
}  // namespace WvDBText

}  // namespace tavkit
