// TWvCustomTableColumn: one column of a table, as the designer's collection
// editor shows it: a header text, a width in pixels, a font for the header
// and one for the data cells, and an alignment for each. Every change tells
// the column's collection, which passes the news on to the table so that its
// design preview follows.
//
// ```cpp
// TComponent form(nullptr);
// auto* table = new TWvTable(&form);
// TWvCustomTableColumn* price = table->Columns(1);
// price->SetHeader("Price");
// price->Setwidth(80);
// price->SetDataAlign(taRight);
// price->GetHeaderFont()->SetColor(clWhite);
// price->GetRowFont()->SetBold(true);
// ```
#pragma once

#include <memory>
#include <string>

#include <tavkit/core/WvFont.h>
#include <tavkit/core/WvMiscTools.h>
#include <tavkit/platform/base/Collections.h>

namespace tavkit {

class TWvCustomTableColumn : public TCollectionItem {
 public:
  explicit TWvCustomTableColumn(TCollection* collection);
  ~TWvCustomTableColumn() override;

  // The collection editor lists a column by its header text.
  std::string GetDisplayName() const override;

  const std::string& GetHeader() const { return FHeader; }
  void SetHeader(const std::string& value);
  int Getwidth() const { return FWidth; }
  void Setwidth(int value);
  TWvFont* GetHeaderFont() const { return FHeaderFont.get(); }
  // Takes over the values of font; the column keeps its own font object.
  void SetHeaderFont(const TWvFont* font) { FHeaderFont->Assign(font); }
  TWvFont* GetRowFont() const { return FRowFont.get(); }
  void SetRowFont(const TWvFont* font) { FRowFont->Assign(font); }
  t_WvTextAlign GetHeaderAlign() const { return FHeaderAlign; }
  void SetHeaderAlign(t_WvTextAlign value);
  t_WvTextAlign GetDataAlign() const { return FDataAlign; }
  void SetDataAlign(t_WvTextAlign value);

  // Tells OnChange, then asks the table (through the collection) to repaint
  // its preview.
  void UpdateSelf(TObject* Sender);

  // Copies header, width, both fonts and both alignments of another column.
  void Assign(const TPersistent* source) override;

  TNotifyEvent OnChange;

 private:
  std::string FHeader = "default";
  int FWidth = 100;
  std::unique_ptr<TWvFont> FHeaderFont;
  std::unique_ptr<TWvFont> FRowFont;
  t_WvTextAlign FHeaderAlign = taCenter;
  t_WvTextAlign FDataAlign = taCenter;
};

namespace WvCustomTableColumn {
// Publishes TWvCustomTableColumn and its fonts; safe to call more than once.
void RegisterClasses();
}  // namespace WvCustomTableColumn

}  // namespace tavkit
