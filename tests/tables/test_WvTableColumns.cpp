// Columns and the table filled by code: how a new table starts, columns
// named after their header, every change of a column or of its fonts
// reaching the table's preview, the setters that repaint and those that do
// not, and a table with its columns read from and written to a form file.
#include <gtest/gtest.h>

#include <string>

#include <tavkit/core/WvComponent.h>
#include <tavkit/layout/WvPage.h>
#include <tavkit/platform/base/Registry.h>
#include <tavkit/platform/formfile/FormFile.h>
#include <tavkit/tables/WvTable.h>

namespace tavkit {
namespace {

TEST(WvTable, ANewTableHasThreeDefaultColumnsAndTheStandardLook) {
  TComponent form(nullptr);
  TWvTable table(&form);
  ASSERT_EQ(table.ColumnCount(), 3);
  for (int i = 0; i < 3; ++i) {
    TWvTableColumn* column = table.GetColumnList()->Items(i);
    EXPECT_EQ(column->GetDisplayName(), "default");
    EXPECT_EQ(column->Getwidth(), 100);
    EXPECT_EQ(column->GetHeaderAlign(), taCenter);
    EXPECT_EQ(column->GetDataAlign(), taCenter);
    EXPECT_EQ(column->GetHeaderFont()->GetColor(), TColor(0xFFFFFF));
    EXPECT_EQ(column->GetRowFont()->GetColor(), clBlack);
  }
  EXPECT_EQ(table.GetBorder(), 0);
  EXPECT_EQ(table.GetSpacing(), 0);
  EXPECT_EQ(table.GetPadding(), 0);
  EXPECT_TRUE(table.GetDisplayHeader());
  EXPECT_EQ(table.GetheaderHeight(), 20);
  EXPECT_EQ(table.GetRowHeight(), 20);
  EXPECT_EQ(table.GetMaxRows(), 15);
  EXPECT_EQ(table.GetStartIndex(), 0);
  EXPECT_EQ(table.GetHeaderColor(), TColor(0x800000));
  EXPECT_EQ(table.GetListColor1(), TColor(0xEEEEEE));
  EXPECT_EQ(table.GetListColor2(), TColor(0xFFFFFF));
  EXPECT_TRUE(table.IsBackgroundTransparent());
  EXPECT_EQ(table.NumberOfRows(), 0);
  EXPECT_EQ(table.GetColumnList()->GetOwner(), &table);
}

class ColumnChanges : public ::testing::Test {
 protected:
  void SetUp() override {
    form.SetDesigning(true);
    table->OnChange = [this](TObject*) { ++changes; };
  }
  // Repaints asked for by whatever f does.
  template <class F>
  int Repaints(F f) {
    const int before = table->RepaintRequests();
    f();
    return table->RepaintRequests() - before;
  }
  TComponent form{nullptr};
  TWvTable* table = new TWvTable(&form);
  int changes = 0;
};

TEST_F(ColumnChanges, EveryColumnChangeRepaintsTheTable) {
  TWvTableColumn* column = table->GetColumnList()->Items(1);
  int told = 0;
  column->OnChange = [&](TObject* sender) {
    EXPECT_EQ(sender, column);
    ++told;
  };
  EXPECT_GT(Repaints([&] { column->SetHeader("Price"); }), 0);
  EXPECT_EQ(column->GetDisplayName(), "Price");
  EXPECT_GT(Repaints([&] { column->Setwidth(60); }), 0);
  EXPECT_GT(Repaints([&] { column->SetHeaderAlign(taRight); }), 0);
  EXPECT_GT(Repaints([&] { column->SetDataAlign(taLeft); }), 0);
  EXPECT_GT(Repaints([&] { column->GetHeaderFont()->SetBold(true); }), 0);
  EXPECT_GT(Repaints([&] { column->GetRowFont()->SetFontSize(4); }), 0);
  EXPECT_EQ(told, 6);
  EXPECT_GT(Repaints([&] { table->GetColumnList()->Add(); }), 0);
  EXPECT_EQ(table->ColumnCount(), 4);
  // The repaint notice sent to the column list arrives at the table; the
  // reload notice of data-bound columns arrives too and is ignored.
  EXPECT_GT(Repaints([&] { table->GetColumnList()->Perform(CM_DESIGNTIMEUPDATE); }), 0);
  EXPECT_EQ(Repaints([&] { table->GetColumnList()->Perform(CM_RELOADDB); }), 0);
  // Column changes repaint without telling the table's OnChange.
  EXPECT_EQ(changes, 0);
}

TEST_F(ColumnChanges, TableSettersThatRepaintAndThoseThatOnlyStore) {
  EXPECT_EQ(Repaints([&] { table->SetMaxRows(3); }), 0);
  EXPECT_EQ(Repaints([&] { table->SetStartIndex(2); }), 0);
  EXPECT_EQ(table->GetMaxRows(), 3);
  EXPECT_EQ(table->GetStartIndex(), 2);
  EXPECT_EQ(changes, 0);
  EXPECT_GT(Repaints([&] { table->SetHeaderColor(clRed); }), 0);
  EXPECT_GT(Repaints([&] { table->SetListColor1(clRed); }), 0);
  EXPECT_GT(Repaints([&] { table->SetListColor2(clRed); }), 0);
  EXPECT_GT(Repaints([&] { table->SetBorder(2); }), 0);
  EXPECT_GT(Repaints([&] { table->SetSpacing(2); }), 0);
  EXPECT_GT(Repaints([&] { table->SetPadding(2); }), 0);
  EXPECT_GT(Repaints([&] { table->SetDisplayHeader(false); }), 0);
  EXPECT_GT(Repaints([&] { table->SetheaderHeight(30); }), 0);
  EXPECT_GT(Repaints([&] { table->SetRowHeight(30); }), 0);
  EXPECT_EQ(changes, 9);

  // Replacing the column list copies the columns and repaints.
  TComponent other(nullptr);
  TWvTable source(&other);
  source.GetColumnList()->Delete(0);
  source.GetColumnList()->Items(1)->SetHeader("B");
  source.GetColumnList()->Items(1)->GetRowFont()->SetItalic(true);
  EXPECT_GT(Repaints([&] { table->SetColumnList(source.GetColumnList()); }), 0);
  ASSERT_EQ(table->ColumnCount(), 2);
  EXPECT_EQ(table->GetColumnList()->Items(1)->GetHeader(), "B");
  EXPECT_TRUE(table->GetColumnList()->Items(1)->GetRowFont()->GetItalic());
  EXPECT_EQ(changes, 10);
}

TEST(WvTable, RegisteredOnThePaletteWithItsProperties) {
  WvTable::Register();
  const TClassInfo* info = TClassRegistry::Instance().Find("TWvTable");
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->PalettePage, "Taveno");
  for (const char* name : {"ColumnList", "MaxRows", "StartIndex", "HeaderColor", "ListColor1",
                           "ListColor2", "Border", "Spacing", "Padding", "DisplayHeader",
                           "headerHeight", "RowHeight", "BackGroundColor", "HTMLInside"})
    EXPECT_NE(info->FindProperty(name), nullptr) << name;
  const TClassInfo* column = TClassRegistry::Instance().Find("TWvTableColumn");
  ASSERT_NE(column, nullptr);
  for (const char* name : {"Header", "width", "HeaderFont", "RowFont", "HeaderAlign", "DataAlign"})
    EXPECT_NE(column->FindProperty(name), nullptr) << name;
}

TEST(WvTableFormFile, ATableWithItsColumnsReadAndWrittenAgain) {
  WvPage::Register();
  WvTable::Register();
  const std::string text = R"({
  "form": "Orders",
  "components": [
    { "class": "TWvPage", "name": "Page1",
      "properties": { "Left": 0, "Top": 0, "Width": 400, "Height": 200 },
      "children": [
        { "class": "TWvTable", "name": "Table1",
          "properties": { "Left": 10, "Top": 10, "Width": 300, "Height": 100,
                          "Border": 1, "HeaderColor": "clMaroon", "ListColor1": "#C0C0C0",
                          "DisplayHeader": true, "MaxRows": 4, "StartIndex": 1,
                          "ColumnList": [
                            { "Header": "Item", "width": 120, "DataAlign": "taLeft",
                              "HeaderFont": { "Bold": true, "Color": "clYellow" } },
                            { "Header": "Qty", "width": 40, "HeaderAlign": "taRight",
                              "RowFont": { "Size": 3, "PrimaryFont": "COURIER NEW" } } ] } }
      ] }
  ]
})";
  TComponent form(nullptr);
  LoadFormFromText(text, form);
  auto* table = dynamic_cast<TWvTable*>(form.FindComponent("Table1"));
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->GetParent(), form.FindComponent("Page1"));
  EXPECT_EQ(table->GetBorder(), 1);
  EXPECT_EQ(table->GetHeaderColor(), clMaroon);
  EXPECT_EQ(table->GetListColor1(), clSilver);
  EXPECT_EQ(table->GetMaxRows(), 4);
  EXPECT_EQ(table->GetStartIndex(), 1);
  // The file's columns replace the three a new table starts with.
  ASSERT_EQ(table->ColumnCount(), 2);
  TWvTableColumn* item = table->GetColumnList()->Items(0);
  TWvTableColumn* qty = table->GetColumnList()->Items(1);
  EXPECT_EQ(item->GetHeader(), "Item");
  EXPECT_EQ(item->Getwidth(), 120);
  EXPECT_EQ(item->GetDataAlign(), taLeft);
  EXPECT_EQ(item->GetHeaderAlign(), taCenter);
  EXPECT_TRUE(item->GetHeaderFont()->GetBold());
  EXPECT_EQ(item->GetHeaderFont()->GetColor(), clYellow);
  EXPECT_EQ(qty->GetHeader(), "Qty");
  EXPECT_EQ(qty->GetHeaderAlign(), taRight);
  EXPECT_EQ(qty->GetRowFont()->GetFontSize(), 3);
  EXPECT_EQ(qty->GetRowFont()->GetPrimaryFont(), "COURIER NEW");
  // A column made by the file starts like any new column: black header text.
  EXPECT_EQ(qty->GetHeaderFont()->GetColor(), clBlack);

  const std::string saved = SaveForm(form);
  TComponent again(nullptr);
  LoadFormFromText(saved, again);
  EXPECT_EQ(SaveForm(again), saved);
  auto* reread = dynamic_cast<TWvTable*>(again.FindComponent("Table1"));
  ASSERT_NE(reread, nullptr);
  ASSERT_EQ(reread->ColumnCount(), 2);
  EXPECT_EQ(reread->GetColumnList()->Items(1)->GetRowFont()->GetPrimaryFont(), "COURIER NEW");
  EXPECT_EQ(reread->put(nullptr), table->put(nullptr));
}

TEST(WvTableFormFile, AWrongColumnValueNamesItsPlace) {
  WvTable::Register();
  TComponent form(nullptr);
  try {
    LoadFormFromText(R"({"form": "F", "components": [{"class": "TWvTable", "name": "T",
                        "properties": {"ColumnList": [{"Header": "a"}, {"width": "wide"}]}}]})",
                     form);
    ADD_FAILURE() << "the form loaded";
  } catch (const EFormFileError& e) {
    EXPECT_NE(std::string(e.what()).find("ColumnList[1].width"), std::string::npos) << e.what();
  }
  EXPECT_EQ(form.ComponentCount(), 0);
}

}  // namespace
}  // namespace tavkit
