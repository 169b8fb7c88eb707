// The data-bound table: records read into rows from StartIndex up to
// MaxRows, written as exact HTML; how each field kind fills its cell; the end
// of the data, failures and damaged pictures; the data set left as it was
// found; reloads on the column, window and design notices; references that
// go away; the design preview reading its data.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include <tavkit/platform/graphics/Bitmap.h>
#include <tavkit/platform/graphics/Canvas.h>
#include <tavkit/platform/graphics/Picture.h>
#include <tavkit/scripts/WvJavascript.h>
#include <tavkit/scripts/WvJavascriptList.h>
#include <tavkit/scripts/WvScriptInvoker.h>
#include <tavkit/tables/WvDBTable.h>
#include "test_DBSupport.h"

namespace tavkit {
namespace {

const std::string kRow = "<TR VALIGN=\"top\" ALIGN=\"left\">";

std::string Header(const std::string& text) {
  return "<TD height=20 width=100 BGCOLOR=\"#000080\"><P Align=Center><FONT SIZE=\"2\" "
         "FACE=\"ARIAL,SYSTEM\" COLOR=\"FFFFFF\" >" +
         text + "</FONT></TD>";
}

// The data font's markup of text, as the default columns write it.
std::string Data(const std::string& text) {
  return "<P Align=Center><FONT SIZE=\"2\" FACE=\"ARIAL,SYSTEM\" COLOR=\"000000\" >" + text +
         "</FONT>";
}

class DBTableTest : public ::testing::TestWithParam<TBackend> {
 protected:
  void SetUp() override {
    DataAccess::Register();
    WvDBTable::Register();
    db.LoadShop();
    query = db.NewQuery(&form, "Query1",
                        "SELECT name, price, added, picture FROM products ORDER BY id");
    source = new TDataSource(&form);
    source->SetDataSet(query);
    table = new TWvDBTable(&form);
    table->SetDataSource(source);
  }
  void Bind(int column, TDataSet& dataSet, const std::string& field) {
    table->GetColumnList()->Items(column)->SetField(dataSet.FieldByName(field));
  }

  TTestDatabase db{GetParam()};
  TComponent form{nullptr};
  TDataSet* query = nullptr;
  TDataSource* source = nullptr;
  TWvDBTable* table = nullptr;
};

TEST_P(DBTableTest, ListsTheRecordsFromStartIndexUpToMaxRows) {
  table->SetMaxRows(2);
  table->SetStartIndex(1);
  Bind(0, *query, "name");
  Bind(1, *query, "price");
  Bind(2, *query, "added");
  EXPECT_EQ(query->State(), TDataSetState::dsInactive);
  EXPECT_EQ(table->put(nullptr),
            "<TABLE BORDER=0 CELLSPACING=0 CELLPADDING=0 ><TR VALIGN=\"top\" ALIGN=\"left\" >" +
                Header("name") + Header("price") + Header("added") + "</TR>" + kRow +
                "<TD  height=20 BGCOLOR=\"#FFFFFF\">" + Data("Pear") +
                "</TD><TD  BGCOLOR=\"#FFFFFF\">" + Data("0.6") + "</TD><TD  BGCOLOR=\"#FFFFFF\">" +
                Data("2024-03-04") + "</TD></TR>" + kRow + "<TD  height=20 BGCOLOR=\"#EEEEEE\">" +
                Data("Plum") + "</TD><TD  BGCOLOR=\"#EEEEEE\">" + Data("0.3") +
                "</TD><TD  BGCOLOR=\"#EEEEEE\">" + Data("2024-04-12") + "</TD></TR></TABLE>");

  // Near the end fewer rows come; past it, and for a query without rows,
  // none at all (not a repeated last record, not an empty one).
  table->SetStartIndex(4);
  table->ReloadDB();
  ASSERT_EQ(table->NumberOfRows(), 1);
  EXPECT_EQ(table->GetItem(0, 0)->GetText(), "Blueberry punnet");
  table->SetStartIndex(5);
  table->ReloadDB();
  EXPECT_EQ(table->NumberOfRows(), 0);
  table->SetStartIndex(0);
  table->SetMaxRows(15);
  table->ReloadDB();
  EXPECT_EQ(table->NumberOfRows(), 5);
  TTestDatabase::SetSQL(*query, "SELECT name, price, added FROM products WHERE id > 99");
  Bind(0, *query, "name");
  EXPECT_EQ(table->NumberOfRows(), 0);
  EXPECT_EQ(table->put(nullptr),
            "<TABLE BORDER=0 CELLSPACING=0 CELLPADDING=0 ><TR VALIGN=\"top\" ALIGN=\"left\" >" +
                Header("name") + Header("price") + Header("added") + "</TR></TABLE>");
}

TEST_P(DBTableTest, ADataSetIsLeftOpenOrClosedAsItWasFound) {
  Bind(0, *query, "name");
  EXPECT_EQ(query->State(), TDataSetState::dsInactive);
  EXPECT_EQ(table->NumberOfRows(), 5);
  query->Open();
  table->SetStartIndex(3);
  table->ReloadDB();
  EXPECT_EQ(query->State(), TDataSetState::dsBrowse);
  ASSERT_EQ(table->NumberOfRows(), 2);
  EXPECT_EQ(table->GetItem(0, 0)->GetText(), "Orange");
}

TEST_P(DBTableTest, EachFieldKindFillsItsCellItsOwnWay) {
  TMemoryDataSet data(
      &form, {{"N", ftInteger}, {"BYTES", ftBlob}, {"NOTE", ftMemo}, {"FLAG", ftBoolean}},
      {{std::int64_t{7}, TFieldBlob{"\x01\x02"}, std::string("a\r\nb"), std::int64_t{1}},
       {std::int64_t{8}, TFieldBlob{"\x03"}, TFieldValue(), std::int64_t{0}}});
  source->SetDataSet(&data);
  // A column headed other than "default" keeps its header.
  table->GetColumnList()->Items(0)->SetHeader("Number");
  Bind(0, data, "N");
  Bind(1, data, "BYTES");
  Bind(2, data, "NOTE");
  EXPECT_EQ(table->GetColumnList()->Items(0)->GetHeader(), "Number");
  EXPECT_EQ(table->GetColumnList()->Items(1)->GetHeader(), "BYTES");
  table->GetColumnList()->AddItem();
  table->ReloadDB();
  table->SetDisplayHeader(false);
  // Blob cells stay empty; a memo stays one text; the fourth column has no
  // field and is left empty too.
  EXPECT_EQ(table->put(nullptr),
            "<TABLE BORDER=0 CELLSPACING=0 CELLPADDING=0 >" + kRow +
                "<TD  height=20 width=100 BGCOLOR=\"#FFFFFF\">" + Data("7") +
                "</TD><TD  width=100 BGCOLOR=\"#FFFFFF\">" + Data("") +
                "</TD><TD  width=100 BGCOLOR=\"#FFFFFF\">" + Data("a\r\nb") +
                "</TD><TD  width=100 BGCOLOR=\"#FFFFFF\">" + Data("") + "</TD></TR>" + kRow +
                "<TD  height=20 BGCOLOR=\"#EEEEEE\">" + Data("8") +
                "</TD><TD  BGCOLOR=\"#EEEEEE\">" + Data("") + "</TD><TD  BGCOLOR=\"#EEEEEE\">" +
                Data("") + "</TD><TD  BGCOLOR=\"#EEEEEE\">" + Data("") + "</TD></TR></TABLE>");
  // A boolean is text too.
  Bind(3, data, "FLAG");
  EXPECT_EQ(table->GetItem(3, 0)->GetText(), "True");
  EXPECT_EQ(table->GetItem(3, 1)->GetText(), "False");
}

TEST_P(DBTableTest, AFailureKeepsTheRowsReadAndClosesTheDataSet) {
  TMemoryDataSet data(&form, {{"N", ftInteger}},
                      {{std::int64_t{0}}, {std::int64_t{1}}, {std::int64_t{2}}, {std::int64_t{3}}});
  data.FailAt = 2;
  source->SetDataSet(&data);
  Bind(0, data, "N");
  ASSERT_EQ(table->NumberOfRows(), 2);
  EXPECT_EQ(table->GetItem(0, 1)->GetText(), "1");
  EXPECT_FALSE(data.GetActive());
  // One that was open before stays open after the same failure.
  data.Open();
  table->ReloadDB();
  EXPECT_EQ(table->NumberOfRows(), 2);
  EXPECT_TRUE(data.GetActive());
  data.Close();

  // A field the data set does not have ends the reading before any row.
  TMemoryDataSet other(&form, {{"M", ftInteger}}, {{std::int64_t{5}}});
  source->SetDataSet(&other);
  table->ReloadDB();
  EXPECT_EQ(table->NumberOfRows(), 0);
  EXPECT_FALSE(other.GetActive());

  // Within a record, the cells read before the failing field stay; the
  // rest of the row is empty.
  Bind(1, other, "M");
  TMemoryDataSet third(&form, {{"N", ftInteger}}, {{std::int64_t{7}}, {std::int64_t{8}}});
  source->SetDataSet(&third);
  table->ReloadDB();
  ASSERT_EQ(table->NumberOfRows(), 1);
  EXPECT_EQ(table->GetRow(0).Count(), 3);
  EXPECT_EQ(table->GetItem(0, 0)->GetText(), "7");
  EXPECT_EQ(table->GetItem(1, 0)->GetText(), "");
  EXPECT_FALSE(third.GetActive());
}

TEST_P(DBTableTest, PicturesLoadIntoImageCellsAndADamagedOneCostsOnlyItsCell) {
  Bind(0, *query, "name");
  Bind(1, *query, "picture");
  ASSERT_EQ(table->NumberOfRows(), 5);
  const TWvTableItem* apple = table->GetItem(1, 0);
  EXPECT_EQ(apple->GetText(), "[image]");
  ASSERT_NE(apple->GetPicture(), nullptr);
  EXPECT_EQ(apple->GetPicture()->GetWidth(), 16);
  EXPECT_EQ(apple->GetPicture()->GetHeight(), 16);

  db.Exec(
      "UPDATE products SET picture = X'89504E470D0A1A0A00' WHERE id = 2;"
      "UPDATE products SET picture = NULL WHERE id = 3");
  table->ReloadDB();
  ASSERT_EQ(table->NumberOfRows(), 5);
  for (int row : {1, 2}) {
    const TWvTableItem* damaged = table->GetItem(1, row);
    EXPECT_EQ(damaged->GetText(), "[image]");
    ASSERT_NE(damaged->GetPicture(), nullptr);
    EXPECT_EQ(damaged->GetPicture()->GetGraphic(), nullptr);
  }
  EXPECT_EQ(table->GetItem(0, 4)->GetText(), "Blueberry punnet");
  EXPECT_NE(table->GetItem(1, 4)->GetPicture()->GetGraphic(), nullptr);
}

TEST_P(DBTableTest, WhatReloadsTheRows) {
  // Fields bound before there is a source: nothing to read yet; setting the
  // source reads nothing either.
  table->SetDataSource(nullptr);
  Bind(0, *query, "name");
  table->SetDataSource(source);
  EXPECT_EQ(table->NumberOfRows(), 0);
  table->ReloadDB();
  EXPECT_EQ(table->NumberOfRows(), 5);

  // At run time the window only takes effect with the next reading.
  table->SetMaxRows(2);
  table->SetStartIndex(1);
  EXPECT_EQ(table->NumberOfRows(), 5);
  table->DBLoadData();
  EXPECT_EQ(table->NumberOfRows(), 5);
  EXPECT_EQ(table->GetItem(0, 0)->GetText(), "Pear");
  EXPECT_EQ(table->GetItem(0, 2)->GetText(), "Plum");

  // At design time it reads at once, and the preview follows.
  form.SetDesigning(true);
  const int repaints = table->RepaintRequests();
  table->SetMaxRows(3);
  ASSERT_EQ(table->NumberOfRows(), 3);
  EXPECT_EQ(table->GetItem(0, 0)->GetText(), "Pear");
  table->SetStartIndex(3);
  ASSERT_EQ(table->NumberOfRows(), 2);
  EXPECT_EQ(table->GetItem(0, 0)->GetText(), "Orange");
  EXPECT_EQ(table->RepaintRequests(), repaints + 2);
  // A column's reload notice reaches the table through the column list.
  table->EmptyTable();
  table->GetColumnList()->Perform(CM_RELOADDB);
  EXPECT_EQ(table->NumberOfRows(), 2);
}

// Reading again reuses the cells of the rows read before. Nothing the
// application gave those cells stays with them (a link, a script, a
// picture, one item placed in two cells): whatever the window, the table
// shows what a new table reading the same records shows.
TEST_P(DBTableTest, ReadingAgainShowsWhatANewTableShows) {
  auto* script = new TWvJavascript(&form);
  script->writescript(TStringList{"function shown(a) {", "}"});
  auto bind = [&](TWvDBTable& t) {
    t.GetColumnList()->Items(0)->SetField(query->FieldByName("name"));
    t.GetColumnList()->Items(1)->SetField(query->FieldByName("price"));
  };
  bind(*table);
  const struct {
    int Start, Max, Rows;
  } windows[] = {{0, 5, 5}, {2, 2, 2}, {0, 5, 5}, {4, 3, 1}, {1, 4, 4}, {5, 2, 0}, {0, 3, 3}};
  for (const auto& window : windows) {
    SCOPED_TRACE("from record " + std::to_string(window.Start));
    for (int r = 0; r < table->NumberOfRows(); ++r) {
      table->GetItem(0, r)->setlink("p" + std::to_string(r) + ".html");
      table->GetItem(1, r)->GetHyperLink()->GetJSOnClick()->setScript(script);
      table->GetItem(2, r)->SetPicture(std::make_unique<TPicture>());
    }
    if (table->NumberOfRows() > 1) table->SetItem(0, 1, table->GetItem(1, 0));
    table->SetStartIndex(window.Start);
    table->SetMaxRows(window.Max);
    table->ReloadDB();

    auto* fresh = new TWvDBTable(&form);
    fresh->SetDataSource(source);
    fresh->SetStartIndex(window.Start);
    fresh->SetMaxRows(window.Max);
    bind(*fresh);
    ASSERT_EQ(table->NumberOfRows(), window.Rows);
    EXPECT_EQ(table->put(nullptr), fresh->put(nullptr));
    EXPECT_EQ(table->ScriptList()->numberOfScripts(), 0);
    for (int r = 0; r < table->NumberOfRows(); ++r)
      for (const TWvTableItem* cell : table->GetRow(r)) {
        EXPECT_EQ(cell->FindHyperLink(), nullptr);
        EXPECT_EQ(cell->GetPicture(), nullptr);
      }
    delete fresh;
  }
}

TEST_P(DBTableTest, ReferencesThatGoAwayAreForgotten) {
  Bind(0, *query, "name");
  Bind(1, *query, "price");
  TWvDBTable copy(&form);
  copy.SetColumnList(table->GetColumnList());
  EXPECT_EQ(copy.GetColumnList()->Items(1)->GetField(), query->FieldByName("price"));
  EXPECT_EQ(copy.GetColumnList()->Items(1)->GetHeader(), "price");

  // New SQL frees the fields: the columns let go of them.
  TTestDatabase::SetSQL(*query, "SELECT id FROM customers");
  EXPECT_EQ(table->GetColumnList()->Items(0)->GetField(), nullptr);
  EXPECT_EQ(copy.GetColumnList()->Items(1)->GetField(), nullptr);
  table->ReloadDB();
  EXPECT_EQ(table->NumberOfRows(), 0);
  delete source;
  EXPECT_EQ(table->GetDataSource(), nullptr);
  table->ReloadDB();
  EXPECT_EQ(table->NumberOfRows(), 0);
}

TEST_P(DBTableTest, TheDesignPreviewReadsAnEmptyTableFirst) {
  table->SetDataSource(nullptr);
  Bind(0, *query, "name");
  table->SetDataSource(source);
  table->SetBounds(1, 1, 310, 120);
  ASSERT_EQ(table->NumberOfRows(), 0);
  TBitmap bitmap(310, 120, TPixelFormat::pf24bit);
  table->PaintTo(bitmap.Canvas(), 0, 0);
  EXPECT_EQ(table->NumberOfRows(), 0);  // only the designer's preview reads
  form.SetDesigning(true);
  table->PaintTo(bitmap.Canvas(), 0, 0);
  EXPECT_EQ(table->NumberOfRows(), 5);
  // The row colours alternate under the header: white, then light grey.
  EXPECT_EQ(bitmap.GetPixel(3, 23), clWhite);
  EXPECT_EQ(bitmap.GetPixel(3, 43), TColor(0xEEEEEE));
}

INSTANTIATE_TEST_SUITE_P(Backends, DBTableTest,
                         ::testing::Values(TBackend::SQLite, TBackend::PostgreSQL), TBackendName());

TEST(WvDBTable, RegisteredOnThePaletteWithItsProperties) {
  WvDBTable::Register();
  const TClassInfo* info = TClassRegistry::Instance().Find("TWvDBTable");
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->PalettePage, "Taveno");
  for (const char* name : {"DataSource", "LocalImagePath", "WebImagePath", "ColumnList", "MaxRows",
                           "StartIndex", "HeaderColor", "RowHeight"})
    EXPECT_NE(info->FindProperty(name), nullptr) << name;
  const TClassInfo* column = TClassRegistry::Instance().Find("TWvDBTableColumn");
  ASSERT_NE(column, nullptr);
  EXPECT_NE(column->FindProperty("Field"), nullptr);
  EXPECT_NE(column->FindProperty("Header"), nullptr);
}

}  // namespace
}  // namespace tavkit
