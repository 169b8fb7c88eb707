// The data-bound panel, text and image: a panel that shows record DBIndex
// through the texts and images inside it, written as exact HTML; the data set
// left as it was found; a query that fails leaves the texts empty and is
// logged; texts at run time and in the designer, with the notices that make
// their previews read again; images written as server GIF files, byte for
// byte; picture cells of a data-bound table; references that go away.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include <tavkit/core/WvMiscTools.h>
#include <tavkit/core/WvOptimizer.h>
#include <tavkit/platform/base/Streams.h>
#include <tavkit/platform/graphics/Bitmap.h>
#include <tavkit/platform/graphics/Canvas.h>
#include <tavkit/platform/graphics/Picture.h>
#include <tavkit/tables/WvDBImage.h>
#include <tavkit/tables/WvDBPanel.h>
#include <tavkit/tables/WvDBTable.h>
#include <tavkit/tables/WvDBText.h>
#include "test_DBSupport.h"

namespace tavkit {
namespace {

namespace fs = std::filesystem;

const std::string kRow = "<TR VALIGN=\"top\" ALIGN=\"left\">";

std::string Font(const std::string& text) {
  return "<FONT SIZE=\"2\" FACE=\"ARIAL,SYSTEM\" COLOR=\"000000\" >" + text + "</FONT>";
}

class DBElementsTest : public ::testing::TestWithParam<TBackend> {
 protected:
  void SetUp() override {
    DataAccess::Register();
    WvDBPanel::Register();
    WvDBText::Register();
    WvDBImage::Register();
    db.LoadShop();
    query =
        db.NewQuery(&form, "Query1", "SELECT id, name, price, picture FROM products ORDER BY id");
    source = new TDataSource(&form);
    source->SetDataSet(query);
    panel = new TWvDBPanel(&form);
    panel->SetBounds(1, 1, 200, 60);
    panel->SetDatasource(source);
    name = Text(10, 10, "name");
    price = Text(10, 30, "price");
  }
  TWvDBText* Text(int left, int top, const std::string& field) {
    auto* text = new TWvDBText(&form);
    text->SetBounds(left, top, 100, 20);
    text->SetParent(panel);
    text->SetField(query->FieldByName(field));
    return text;
  }
  // The panel's grid around the two texts, given the lines they write.
  std::string Panel(const std::string& nameLine, const std::string& priceLine) {
    return "<TABLE BORDER=0 CELLSPACING=0 CELLPADDING=0 WIDTH=200>" + kRow +
           "<TD HEIGHT=10 WIDTH=10 ></TD><TD HEIGHT=10 WIDTH=100 ></TD>"
           "<TD HEIGHT=10 WIDTH=90 ></TD><TD></TD></TR>" +
           kRow + "<TD HEIGHT=20 ></TD><TD  HEIGHT=20    >" + Font(nameLine) + "</TD></TR>" + kRow +
           "<TD HEIGHT=20 ></TD><TD  HEIGHT=20    >" + Font(priceLine) + "</TD></TR>" + kRow +
           "<TD HEIGHT=10 ></TD><TD COLSPAN=2></TD></TR>" + "</TABLE>";
  }

  TTestDatabase db{GetParam()};
  TComponent form{nullptr};
  TDataSet* query = nullptr;
  TDataSource* source = nullptr;
  TWvDBPanel* panel = nullptr;
  TWvDBText* name = nullptr;
  TWvDBText* price = nullptr;
};

TEST_P(DBElementsTest, APanelShowsRecordDBIndexThroughItsTexts) {
  panel->SetDBIndex(2);
  EXPECT_EQ(panel->put(nullptr), Panel("Plum<br>", "0.3<br>"));
  // It found the query closed and leaves it so.
  EXPECT_EQ(query->State(), TDataSetState::dsInactive);

  // A query that the application keeps open stays open, on that record.
  query->Open();
  panel->SetDBIndex(0);
  EXPECT_EQ(panel->put(nullptr), Panel("Apple<br>", "0.45<br>"));
  EXPECT_EQ(query->State(), TDataSetState::dsBrowse);
  EXPECT_EQ(query->RecNo(), 1);
  panel->SetDBIndex(4);
  EXPECT_EQ(panel->put(nullptr), Panel("Blueberry punnet<br>", "2.95<br>"));
  EXPECT_EQ(query->RecNo(), 5);
}

TEST_P(DBElementsTest, AFailingQueryLeavesThePanelsTextsEmptyAndIsLogged) {
  int written = 0;
  panel->OnAfterPut = [&](TObject*) { ++written; };
  testsupport::TCapturedErrorLog log;
  // Described, the query fails at its first row.
  const bool pg = GetParam() == TBackend::PostgreSQL;
  TTestDatabase::SetSQL(*query, pg ? "SELECT name, price FROM products WHERE 1 / (id - id) = 0"
                                   : "SELECT name, price FROM products "
                                     "WHERE load_extension('/nowhere/x') IS NULL");
  name->SetField(query->FieldByName("name"));
  price->SetField(query->FieldByName("price"));
  EXPECT_EQ(panel->put(nullptr), Panel("<br>", "<br>"));
  EXPECT_EQ(written, 1);
  EXPECT_EQ(query->State(), TDataSetState::dsInactive);
  ASSERT_EQ(log.Lines.size(), 1u);
  EXPECT_EQ(log.Lines[0],
            "error: Query1: cannot read from database \"" +
                (pg ? db.Pg->Connection + "\": division by zero" : db.File + "\": not authorized"));

  // A database that is not there fails at opening: the same.
  log.Lines.clear();
  db.PointAtNothing(*query);
  EXPECT_EQ(panel->put(nullptr), Panel("", ""));
  EXPECT_EQ(written, 2);
  ASSERT_EQ(log.Lines.size(), 1u);
  const std::string missing =
      pg ? "error: Query1: cannot connect to database \"host=" + db.Dir + "/no-server"
         : "error: Query1: cannot open database \"" + db.Dir +
               "/missing.db\": unable to open database file";
  EXPECT_EQ(log.Lines[0].substr(0, missing.size()), missing);

  // Without a data source the texts read what the data set holds: nothing.
  db.PointHere(*query);
  TTestDatabase::SetSQL(*query, "SELECT id, name, price, picture FROM products ORDER BY id");
  name->SetField(query->FieldByName("name"));
  price->SetField(query->FieldByName("price"));
  panel->SetDatasource(nullptr);
  EXPECT_EQ(panel->put(nullptr), Panel("<br>", "<br>"));
  EXPECT_EQ(written, 3);
}

TEST_P(DBElementsTest, ATextAtRunTimeReadsTheCurrentRecord) {
  auto* text = new TWvDBText(&form);
  text->SetField(query->FieldByName("name"));
  query->Open();
  query->MoveBy(1);
  EXPECT_EQ(text->put(nullptr), Font("Pear<br>"));
  query->Next();
  EXPECT_EQ(text->put(nullptr), Font("Plum<br>"));
  // A closed data set has no record: one empty line.
  query->Close();
  EXPECT_EQ(text->put(nullptr), Font("<br>"));
  // A picture is not text, and without a field there is nothing to read.
  text->SetField(query->FieldByName("picture"));
  EXPECT_EQ(text->put(nullptr), Font(""));
  text->SetField(nullptr);
  EXPECT_EQ(text->put(nullptr), Font(""));

  // A memo with line breaks is one line; style sheets take the font markup.
  TMemoryDataSet notes(&form, {{"NOTE", ftMemo}}, {{std::string("one\r\ntwo")}});
  notes.Open();
  text->SetField(notes.FieldByName("NOTE"));
  EXPECT_EQ(text->put(nullptr), Font("one\r\ntwo<br>"));
  TWvOptimizer optimizer(&form);
  optimizer.setUseCSS(true);
  EXPECT_EQ(text->put(&optimizer), "one\r\ntwo<br>");
  EXPECT_FALSE(text->GetStyleClass().empty());
}

TEST_P(DBElementsTest, DesignPreviewsFollowThePanelsRecord) {
  form.SetDesigning(true);
  name->InternalInvalidate();
  ASSERT_EQ(name->readText()->Count(), 1);
  EXPECT_EQ(name->readText()->Get(0), "Apple");
  EXPECT_EQ(query->State(), TDataSetState::dsInactive);

  // The preview keeps what it read until it is told that the data moved.
  db.Exec("UPDATE products SET name = 'Green apple' WHERE id = 1");
  EXPECT_EQ(name->readText()->Get(0), "Apple");
  const int repaints = name->RepaintRequests();
  panel->SetDBIndex(0);
  EXPECT_EQ(name->RepaintRequests(), repaints + 1);
  EXPECT_EQ(name->readText()->Get(0), "Green apple");
  panel->SetDBIndex(1);
  EXPECT_EQ(name->readText()->Get(0), "Pear");
  EXPECT_EQ(price->readText()->Get(0), "0.6");
  panel->SetDatasource(nullptr);
  EXPECT_EQ(name->readText()->Count(), 0);
  panel->SetDatasource(source);
  EXPECT_EQ(name->readText()->Get(0), "Pear");

  // Outside a data-bound panel nothing says which record to show.
  TWvPanel plain(&form);
  name->SetParent(&plain);
  name->Perform(CM_DBCONTROLSUPDATE);
  EXPECT_EQ(name->readText()->Count(), 0);
  name->SetParent(nullptr);
  EXPECT_EQ(name->readText()->Count(), 0);

  // At run time the record is read at every use and no notice is sent.
  form.SetDesigning(false);
  const int quiet = price->RepaintRequests();
  panel->SetDBIndex(3);
  EXPECT_EQ(price->RepaintRequests(), quiet);
}

TEST_P(DBElementsTest, ReferencesThatGoAwayAreForgotten) {
  // New SQL frees the fields the texts were bound to.
  TTestDatabase::SetSQL(*query, "SELECT name FROM customers ORDER BY id");
  EXPECT_EQ(name->GetField(), nullptr);
  EXPECT_EQ(price->GetField(), nullptr);
  EXPECT_EQ(panel->put(nullptr), Panel("", ""));
  name->SetField(query->FieldByName("name"));
  panel->SetDBIndex(1);
  EXPECT_EQ(panel->put(nullptr), Panel("Bruno Ferreira<br>", ""));
  delete source;
  EXPECT_EQ(panel->GetDataSource(), nullptr);
  delete query;
  EXPECT_EQ(name->GetField(), nullptr);
  EXPECT_EQ(panel->put(nullptr), Panel("", ""));
}

// Images are written into a folder of the test's database.
class DBImageTest : public DBElementsTest {
 protected:
  void SetUp() override {
    DBElementsTest::SetUp();
    oldInternal = WvGetInternalImagePath();
    oldExternal = WvGetExternalImagePath();
    WvSetInternalImagePath(db.Dir + "/images/");
    WvSetExternalImagePath("/img/");
    // A picture of two by two pixels: red, green / blue, white.
    TBitmap bitmap(2, 2, TPixelFormat::pf24bit);
    bitmap.SetPixel(0, 0, clRed);
    bitmap.SetPixel(1, 0, clLime);
    bitmap.SetPixel(0, 1, clBlue);
    bitmap.SetPixel(1, 1, clWhite);
    TMemoryStream png;
    bitmap.SaveToPNGStream(png);
    db.Exec(
        "CREATE TABLE pics (id INTEGER, pic GRAPHIC);"
        "INSERT INTO pics VALUES (1, ?); INSERT INTO pics VALUES (2, NULL);"
        "INSERT INTO pics VALUES (3, X'89504E470D0A1A0A00')",
        {png.ToString()});
    pics = db.NewQuery(&form, "Pics", "SELECT id, pic FROM pics ORDER BY id");
    picsSource = new TDataSource(&form);
    picsSource->SetDataSet(pics);
  }
  void TearDown() override {
    WvSetInternalImagePath(oldInternal);
    WvSetExternalImagePath(oldExternal);
  }
  std::string ImageBytes(const std::string& file) const {
    std::ifstream in(db.Dir + "/images/" + file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  std::string oldInternal, oldExternal;
  TDataSet* pics = nullptr;
  TDataSource* picsSource = nullptr;
};

TEST_P(DBImageTest, TheFieldsPictureBecomesAServerGIF) {
  panel->SetDatasource(picsSource);
  auto* image = new TWvDBImage(&form);
  image->SetBounds(10, 10, 40, 30);
  image->SetField(pics->FieldByName("pic"));
  pics->Open();
  const std::string html = image->put(nullptr);
  const std::vector<std::string> written = db.Images();
  ASSERT_EQ(written.size(), 1u);
  EXPECT_TRUE(std::regex_match(written[0], std::regex("AG[0-9]+_[0-9]+\\.gif"))) << written[0];
  EXPECT_EQ(html, "<IMG SRC=\"/img/" + written[0] + "\"    BORDER=0 >");
  // Written at its own size (no stretching): a GIF 87a of 2 by 2 pixels,
  // its local colour table the 216 colours of the web palette and 40 unused
  // entries, then the codes clear, 180 (red), 30 (lime), 5 (blue), 215
  // (white) and end in 9 bits each; no extensions.
  std::string palette;
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b) palette += {char(r * 0x33), char(g * 0x33), char(b * 0x33)};
  palette.append(40 * 3, '\0');
  EXPECT_EQ(ImageBytes(written[0]),
            std::string("GIF87a\x02\x00\x02\x00\x77\x00\x00"
                        ",\x00\x00\x00\x00\x02\x00\x02\x00\x87",
                        23) +
                palette + std::string("\x08\x07\x00\x69\x79\x28\x70\x2D\x20\x00;", 11));

  // A record without a picture, and one whose bytes are no picture, make no
  // file and leave the source empty.
  pics->Next();
  EXPECT_EQ(image->put(nullptr), "<IMG SRC=\"\"    BORDER=0 >");
  pics->Next();
  EXPECT_EQ(image->put(nullptr), "<IMG SRC=\"\"    BORDER=0 >");
  image->SetField(nullptr);
  EXPECT_EQ(image->put(nullptr), "<IMG SRC=\"\"    BORDER=0 >");
  EXPECT_EQ(db.Images().size(), 1u);
}

TEST_P(DBImageTest, InsideAPanelTheImageShowsThePanelsRecordStretchedAndLinked) {
  panel->SetDatasource(picsSource);
  name->SetParent(nullptr);
  price->SetParent(nullptr);
  auto* image = new TWvDBImage(&form);
  image->SetBounds(10, 10, 40, 30);
  image->SetParent(panel);
  image->SetField(pics->FieldByName("pic"));
  image->SetStretch(true);
  image->SetLink("item.html");
  const std::string html = panel->put(nullptr);
  const std::vector<std::string> written = db.Images();
  ASSERT_EQ(written.size(), 1u);
  EXPECT_EQ(html, "<TABLE BORDER=0 CELLSPACING=0 CELLPADDING=0 WIDTH=200>" + kRow +
                      "<TD HEIGHT=10 WIDTH=10 ></TD><TD HEIGHT=10 WIDTH=40 ></TD>"
                      "<TD HEIGHT=10 WIDTH=150 ></TD><TD></TD></TR>" +
                      kRow + "<TD HEIGHT=30 ></TD><TD  HEIGHT=30    ><A HREF=\"item.html\"   >" +
                      "<IMG SRC=\"/img/" + written[0] +
                      "\" WIDTH =40 HEIGHT =30    BORDER=0 ></A></TD></TR>" + kRow +
                      "<TD HEIGHT=20 ></TD><TD COLSPAN=2></TD></TR></TABLE>");
  // Stretched to the element's size.
  const std::string gif = ImageBytes(written[0]);
  ASSERT_GE(gif.size(), 10u);
  EXPECT_EQ(gif.substr(6, 4), std::string("\x28\x00\x1E\x00", 4));
  EXPECT_EQ(pics->State(), TDataSetState::dsInactive);
}

TEST_P(DBImageTest, TheDesignPreviewDrawsThePanelsRecord) {
  panel->SetDatasource(picsSource);
  auto* image = new TWvDBImage(&form);
  image->SetBounds(10, 10, 40, 30);
  image->SetParent(panel);
  image->SetField(pics->FieldByName("pic"));
  image->SetBackGroundColor(clYellow);
  form.SetDesigning(true);
  TBitmap canvas(40, 30, TPixelFormat::pf24bit);
  // At its own size in the top-left corner (the outline runs over row 0
  // and column 0), the rest in the element's colour.
  image->PaintTo(canvas.Canvas(), 0, 0);
  EXPECT_EQ(canvas.GetPixel(1, 1), clWhite);
  EXPECT_EQ(canvas.GetPixel(2, 2), clYellow);
  image->SetStretch(true);
  image->PaintTo(canvas.Canvas(), 0, 0);
  EXPECT_EQ(canvas.GetPixel(10, 8), clRed);
  EXPECT_EQ(canvas.GetPixel(30, 8), clLime);
  EXPECT_EQ(canvas.GetPixel(10, 22), clBlue);
  EXPECT_EQ(canvas.GetPixel(30, 22), clWhite);
  EXPECT_EQ(pics->State(), TDataSetState::dsInactive);

  // The record without a picture shows the plain preview.
  panel->SetDBIndex(1);
  image->PaintTo(canvas.Canvas(), 0, 0);
  EXPECT_EQ(canvas.GetPixel(10, 8), clYellow);
  EXPECT_EQ(canvas.GetPixel(30, 22), clYellow);
}

TEST_P(DBImageTest, ADataBoundTableWritesItsPicturesAsCellImages) {
  auto* table = new TWvDBTable(&form);
  table->SetDataSource(picsSource);
  table->GetColumnList()->Delete(2);
  table->GetColumnList()->Items(0)->SetField(pics->FieldByName("id"));
  table->GetColumnList()->Items(1)->SetField(pics->FieldByName("pic"));
  table->SetDisplayHeader(false);
  table->SetRowHeight(24);
  table->SetListColor1(clNone);
  ASSERT_EQ(table->NumberOfRows(), 3);
  const std::string html = table->put(nullptr);
  const std::vector<std::string> written = db.Images();
  ASSERT_EQ(written.size(), 1u);
  // Only the first record has a picture; the others keep empty sources.
  const std::string data =
      "<P Align=Center><FONT SIZE=\"2\" FACE=\"ARIAL,SYSTEM\" COLOR=\"000000\" >";
  EXPECT_EQ(html,
            "<TABLE BORDER=0 CELLSPACING=0 CELLPADDING=0 >"
            "<TR VALIGN=\"top\" ALIGN=\"left\"><TD  height=24 width=100 BGCOLOR=\"#FFFFFF\">" +
                data +
                "1</FONT></TD><TD height=24  width=100  BGCOLOR=\"#FFFFFF\">"
                "<IMG height=24 width=100 SRC=\"/img/" +
                written[0] +
                "\"></TD></TR>"
                "<TR VALIGN=\"top\" ALIGN=\"left\"><TD  height=24>" +
                data +
                "2</FONT></TD><TD height=24  ><IMG height=24 width=100 SRC=\"\"></TD></TR>"
                "<TR VALIGN=\"top\" ALIGN=\"left\"><TD  height=24 BGCOLOR=\"#FFFFFF\">" +
                data +
                "3</FONT></TD><TD height=24   BGCOLOR=\"#FFFFFF\"><IMG height=24 width=100 "
                "SRC=\"\"></TD></TR></TABLE>");
  // The cell's picture is scaled to the column's width and the row height.
  const std::string gif = ImageBytes(written[0]);
  ASSERT_GE(gif.size(), 10u);
  EXPECT_EQ(gif.substr(6, 4), std::string("\x64\x00\x18\x00", 4));
  // Writing leaves the cell's picture as it was read.
  EXPECT_EQ(table->GetItem(1, 0)->GetPicture()->GetGraphic()->ClassName(), "TPngImage");
}

INSTANTIATE_TEST_SUITE_P(Backends, DBElementsTest,
                         ::testing::Values(TBackend::SQLite, TBackend::PostgreSQL), TBackendName());
INSTANTIATE_TEST_SUITE_P(Backends, DBImageTest,
                         ::testing::Values(TBackend::SQLite, TBackend::PostgreSQL), TBackendName());

TEST(WvDBElements, RegisteredOnThePaletteWithTheirProperties) {
  WvDBPanel::Register();
  WvDBText::Register();
  WvDBImage::Register();
  const std::vector<std::pair<const char*, std::vector<const char*>>> classes = {
      {"TWvDBPanel", {"DataSource", "DBIndex", "HTMLInside"}},
      {"TWvDBText", {"Field", "Font", "Link", "HyperLink", "Align"}},
      {"TWvDBImage", {"Field", "Link", "Stretch", "Hyperlink", "JSOnLoad"}},
  };
  for (const auto& [name, properties] : classes) {
    const TClassInfo* info = TClassRegistry::Instance().Find(name);
    ASSERT_NE(info, nullptr) << name;
    EXPECT_EQ(info->PalettePage, "Taveno") << name;
    for (const char* property : properties)
      EXPECT_NE(info->FindProperty(property), nullptr) << name << "." << property;
  }
  // The image's web path is made at every put, not entered.
  EXPECT_EQ(TClassRegistry::Instance().Find("TWvDBImage")->FindProperty("ImagePath"), nullptr);
}

}  // namespace
}  // namespace tavkit
