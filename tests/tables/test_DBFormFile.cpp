// A page of data-bound elements loaded from a form file with its query and
// data source: written twice, the second time after the database changed,
// each time with the data read anew and the picture written as a new server
// image; saved and loaded again to the same file. A list whose query fails
// (no database, wrong SQL, a time limit, a damaged file) loads, writes and
// renders as an empty table, and the error log says why in one line.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <tavkit/core/WvMiscTools.h>
#include <tavkit/layout/WvPage.h>
#include <tavkit/platform/formfile/FormFile.h>
#include <tavkit/tables/WvDBImage.h>
#include <tavkit/tables/WvDBPanel.h>
#include <tavkit/tables/WvDBTable.h>
#include <tavkit/tables/WvDBText.h>
#include "test_DBSupport.h"

namespace tavkit {
namespace {

namespace fs = std::filesystem;
using testsupport::ReadText;

// The shop's page, its query reading the database db.
std::string ShopForm(const TTestDatabase& db) {
  return R"({
  "form": "Shop",
  "components": [
    { "class": ")" +
         db.QueryClass() + R"(", "name": "Products",
      "properties": { )" +
         db.Where() + R"(,
                      "SQL": ["SELECT id, name, price, picture", "FROM products ORDER BY id"] } },
    { "class": "TDataSource", "name": "ProductSource", "properties": { "DataSet": "Products" } },
    { "class": "TWvPage", "name": "Page1",
      "properties": { "Left": 0, "Top": 0, "Width": 320, "Height": 150, "PageTitle": "Shop" },
      "children": [
        { "class": "TWvDBTable", "name": "List",
          "properties": { "Left": 10, "Top": 10, "Width": 180, "Height": 60,
                          "DataSource": "ProductSource", "MaxRows": 2, "StartIndex": 1,
                          "DisplayHeader": false, "ListColor1": "clNone", "ListColor2": "clNone",
                          "ColumnList": [ { "Field": "Products.name", "width": 120 },
                                          { "Field": "Products.price", "width": 60 } ] } },
        { "class": "TWvDBPanel", "name": "Detail",
          "properties": { "Left": 10, "Top": 80, "Width": 200, "Height": 40,
                          "DataSource": "ProductSource", "DBIndex": 3 },
          "children": [
            { "class": "TWvDBText", "name": "DetailName",
              "properties": { "Left": 10, "Top": 10, "Width": 100, "Height": 20,
                              "Field": "Products.name" } },
            { "class": "TWvDBImage", "name": "DetailPicture",
              "properties": { "Left": 120, "Top": 10, "Width": 16, "Height": 16,
                              "Field": "Products.picture" } } ] } ] }
  ]
})";
}

// The page, the data-bound list and its query of a loaded list form.
struct ListFormParts {
  TWvPage* Page;
  TWvDBTable* List;
  TDataSet* Query;
  bool Complete() const { return Page != nullptr && List != nullptr && Query != nullptr; }
};

ListFormParts PartsOf(TComponent& form) {
  return {dynamic_cast<TWvPage*>(form.FindComponent("Page1")),
          dynamic_cast<TWvDBTable*>(form.FindComponent("List")),
          dynamic_cast<TDataSet*>(form.FindComponent("Products"))};
}

class DBFormFileTest : public ::testing::TestWithParam<TBackend> {
 protected:
  void SetUp() override {
    DataAccess::Register();
    WvPage::Register();
    WvDBTable::Register();
    WvDBPanel::Register();
    WvDBText::Register();
    WvDBImage::Register();
    db.LoadShop();
    oldInternal = WvGetInternalImagePath();
    oldExternal = WvGetExternalImagePath();
    WvSetInternalImagePath(db.Dir + "/images/");
    WvSetExternalImagePath("/img/");
    formFile = db.Dir + "/shop.json";
    std::ofstream(formFile) << ShopForm(db);
  }
  void TearDown() override {
    WvSetInternalImagePath(oldInternal);
    WvSetExternalImagePath(oldExternal);
  }
  // The page as the form file lays it out, around the two rows of the list
  // and the record of the panel.
  static std::string Page(const std::string& name1, const std::string& price1,
                          const std::string& name2, const std::string& price2,
                          const std::string& detail, const std::string& picture) {
    const std::string row = "<TR VALIGN=\"top\" ALIGN=\"left\">";
    const std::string font = "<FONT SIZE=\"2\" FACE=\"ARIAL,SYSTEM\" COLOR=\"000000\" >";
    return "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\"><HTML><HEAD><TITLE>Shop</TITLE>"
           "<META NAME=\"Generator\" CONTENT=\"Vettmark Taveno (C)\"><script "
           "language=\"JavaScript\">\r\n</script></HEAD><BODY BGCOLOR=\"#FFFFFF\" "
           "LINK=\"#000000\" VLINK=\"000000\" TEXT=\"000000\"  ><TABLE BGCOLOR=\"#FFFFFF\" "
           "BORDER=0 "
           "CELLSPACING=0 CELLPADDING=0 WIDTH=320>" +
           row +
           "<TD HEIGHT=10 WIDTH=10 ></TD><TD HEIGHT=10 WIDTH=180 ></TD><TD HEIGHT=10 WIDTH=20 "
           "></TD><TD HEIGHT=10 WIDTH=110 ></TD><TD></TD></TR>" +
           row +
           "<TD HEIGHT=60 ></TD><TD  HEIGHT=60    ><TABLE BORDER=0 CELLSPACING=0 CELLPADDING=0 >" +
           row + "<TD  height=20 width=120><P Align=Center>" + font + name1 +
           "</FONT></TD><TD  width=60><P Align=Center>" + font + price1 + "</FONT></TD></TR>" +
           row + "<TD  height=20><P Align=Center>" + font + name2 +
           "</FONT></TD><TD ><P Align=Center>" + font + price2 +
           "</FONT></TD></TR></TABLE></TD><TD COLSPAN=2></TD></TR>" + row +
           "<TD HEIGHT=10 ></TD><TD COLSPAN=3></TD></TR>" + row +
           "<TD HEIGHT=40 ></TD><TD  HEIGHT=40  COLSPAN=2  ><TABLE BORDER=0 CELLSPACING=0 "
           "CELLPADDING=0 WIDTH=200>" +
           row +
           "<TD HEIGHT=10 WIDTH=10 ></TD><TD HEIGHT=10 WIDTH=100 ></TD><TD HEIGHT=10 WIDTH=10 "
           "></TD><TD HEIGHT=10 WIDTH=16 ></TD><TD HEIGHT=10 WIDTH=64 ></TD><TD></TD></TR>" +
           row + "<TD HEIGHT=16 ></TD><TD  HEIGHT=16 ROWSPAN=2   >" + font + detail +
           "<br></FONT></TD><TD></TD><TD  HEIGHT=16    ><IMG SRC=\"/img/" + picture +
           "\"    BORDER=0 ></TD></TR>" + row + "<TD HEIGHT=4 ></TD><TD COLSPAN=3></TD></TR>" +
           row + "<TD HEIGHT=10 ></TD><TD COLSPAN=4></TD></TR></TABLE></TD></TR>" + row +
           "<TD HEIGHT=30 ></TD><TD COLSPAN=3></TD></TR></TABLE></BODY></HTML>";
  }

  TTestDatabase db{GetParam()};
  std::string oldInternal, oldExternal, formFile;
};

TEST_P(DBFormFileTest, APageOfDataBoundElementsReadsItsDataAnewEachTime) {
  TComponent form(nullptr);
  LoadForm(formFile, form);
  const ListFormParts parts = PartsOf(form);
  ASSERT_TRUE(parts.Complete());
  auto* page = parts.Page;
  auto* list = parts.List;
  auto* query = parts.Query;
  // The list read its rows once the form was complete; the query it opened
  // for that is closed again.
  EXPECT_EQ(list->NumberOfRows(), 2);
  EXPECT_EQ(query->State(), TDataSetState::dsInactive);

  const std::string first = page->put(nullptr);
  const std::vector<std::string> before = db.Images();
  ASSERT_EQ(before.size(), 1u);
  EXPECT_EQ(first, Page("Pear", "0.6", "Plum", "0.3", "Orange", before[0]));

  // The panel reads its record again at every put; the application reads
  // the list's rows anew before it writes the page.
  db.Exec(
      "UPDATE products SET name = 'Tangerine' WHERE id = 4;"
      "UPDATE products SET price = 0.65 WHERE id = 2");
  list->ReloadDB();
  const std::string second = page->put(nullptr);
  std::vector<std::string> after = db.Images();
  ASSERT_EQ(after.size(), 2u);
  std::erase(after, before[0]);
  ASSERT_EQ(after.size(), 1u);
  EXPECT_EQ(second, Page("Pear", "0.65", "Plum", "0.3", "Tangerine", after[0]));
  EXPECT_EQ(query->State(), TDataSetState::dsInactive);
}

TEST_P(DBFormFileTest, SavedAndLoadedAgainToTheSameFile) {
  TComponent form(nullptr);
  LoadForm(formFile, form);
  const std::string saved = SaveForm(form);
  TComponent again(nullptr);
  LoadFormFromText(saved, again, db.Dir);
  EXPECT_EQ(SaveForm(again), saved);
  auto* list = dynamic_cast<TWvDBTable*>(again.FindComponent("List"));
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->ColumnCount(), 2);
  EXPECT_EQ(list->GetStartIndex(), 1);
  EXPECT_EQ(list->GetColumnList()->Items(1)->GetField()->Reference(), "Products.price");
  EXPECT_EQ(list->GetColumnList()->Items(1)->GetHeader(), "price");
  auto* name = dynamic_cast<TWvDBText*>(again.FindComponent("DetailName"));
  ASSERT_NE(name, nullptr);
  EXPECT_EQ(name->GetField()->Reference(), "Products.name");
  auto* detail = dynamic_cast<TWvDBPanel*>(again.FindComponent("Detail"));
  ASSERT_NE(detail, nullptr);
  EXPECT_EQ(detail->GetDBIndex(), 3);
  EXPECT_EQ(detail->GetDataSource(), again.FindComponent("ProductSource"));
  ASSERT_EQ(list->NumberOfRows(), 2);
  EXPECT_EQ(list->GetItem(1, 0)->GetText(), "0.6");
}

// A page holding only a data-bound list over a query of the class, pointed
// at its database by where, with sql.
std::string ListForm(const std::string& queryClass, const std::string& where,
                     const std::string& sql, int timeout) {
  return R"({
  "form": "Broken",
  "components": [
    { "class": ")" +
         queryClass + R"(", "name": "Products",
      "properties": { )" +
         where + R"(, "SQL": [")" + sql + R"("], "Timeout": )" + std::to_string(timeout) + R"( } },
    { "class": "TDataSource", "name": "ProductSource", "properties": { "DataSet": "Products" } },
    { "class": "TWvPage", "name": "Page1",
      "properties": { "Left": 0, "Top": 0, "Width": 220, "Height": 50, "PageTitle": "Broken" },
      "children": [
        { "class": "TWvDBTable", "name": "List",
          "properties": { "Left": 10, "Top": 10, "Width": 200, "Height": 30,
                          "DataSource": "ProductSource",
                          "ColumnList": [ { "Header": "Name", "width": 200 } ] } } ] }
  ]
})";
}

// A database of 3,000 rows whose file is damaged in the middle, so that a
// query reads a good part of it before it meets the damage.
std::string DamagedDatabase(const TTestDatabase& db) {
  db.Exec(
      "CREATE TABLE big (name TEXT);"
      "WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r WHERE n < 3000) "
      "INSERT INTO big SELECT hex(randomblob(100)) FROM r");
  const std::uintmax_t size = fs::file_size(db.File);
  std::fstream file(db.File, std::ios::in | std::ios::out | std::ios::binary);
  file.seekp(static_cast<std::streamoff>(size / 2 / 4096 * 4096));
  const std::string garbage(4096, '\xFF');
  file.write(garbage.data(), static_cast<std::streamsize>(garbage.size()));
  return db.File;
}

TEST_P(DBFormFileTest, AFailingQueryLeavesTheListEmptyAndSaysWhyOnce) {
  const std::string expected =
      "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\"><HTML><HEAD><TITLE>Broken</TITLE>"
      "<META NAME=\"Generator\" CONTENT=\"Vettmark Taveno (C)\"><script "
      "language=\"JavaScript\">\r\n</script></HEAD><BODY BGCOLOR=\"#FFFFFF\" "
      "LINK=\"#000000\" VLINK=\"000000\" TEXT=\"000000\"  ><TABLE BGCOLOR=\"#FFFFFF\" "
      "BORDER=0 CELLSPACING=0 CELLPADDING=0 WIDTH=220><TR VALIGN=\"top\" ALIGN=\"left\"><TD "
      "HEIGHT=10 WIDTH=10 ></TD><TD HEIGHT=10 WIDTH=200 ></TD><TD HEIGHT=10 WIDTH=10 "
      "></TD><TD></TD></TR><TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=30 ></TD><TD  "
      "HEIGHT=30    ><TABLE BORDER=0 CELLSPACING=0 CELLPADDING=0 ><TR VALIGN=\"top\" "
      "ALIGN=\"left\" ><TD height=20 width=200 BGCOLOR=\"#000080\"><P Align=Center><FONT "
      "SIZE=\"2\" FACE=\"ARIAL,SYSTEM\" COLOR=\"000000\" >Name</FONT></TD></TR></TABLE></TD></TR>"
      "<TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=10 ></TD><TD "
      "COLSPAN=2></TD></TR></TABLE></BODY></HTML>";
  struct Case {
    std::string Where, SQL;
    int Timeout;
    std::string Says;  // what the log line tells
  };
  const std::string forever =
      "WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r) SELECT max(n) AS name "
      "FROM r";
  const std::string here = db.Where();
  std::vector<Case> cases = {
      {here, "SELECT name FROM no_such_table", 10, "no_such_table"},
      {here, "SELEKT name", 10, "syntax error"},
      {here, "DELETE FROM products RETURNING name", 10, "the SQL is no query"},
      {here, forever, 1, "the query ran longer than its time limit of 1 s"},
  };
  const TTestDatabase damaged;
  if (GetParam() == TBackend::SQLite) {
    cases.push_back(
        {db.Where("missing.db"), "SELECT name FROM products", 10,
         "cannot open database \"" + db.Dir + "/missing.db\": unable to open database file"});
    cases.push_back({here, "SELECT load_extension('/nowhere/x') AS name", 10, "not authorized"});
    cases.push_back({db.Where(DamagedDatabase(damaged)), "SELECT max(name) AS name FROM big", 10,
                     "database disk image is malformed"});
  } else {
    cases.push_back({"\"Connection\": \"host=" + db.Dir + "/no-server dbname=shop\"",
                     "SELECT name FROM products", 10, "cannot connect to database"});
    cases.push_back({"\"Connection\": \"host=" + testsupport::PgServerDir() +
                         " user=no_such_role dbname=" + db.Pg->Name + "\"",
                     "SELECT name FROM products", 10, "role \"no_such_role\" does not exist"});
  }
  for (const Case& broken : cases) {
    SCOPED_TRACE(broken.Where + ": " + broken.SQL);
    const std::string file = db.Dir + "/broken.json";
    std::ofstream(file) << ListForm(db.QueryClass(), broken.Where, broken.SQL, broken.Timeout);
    auto saysOnce = [&](const std::vector<std::string>& lines) {
      ASSERT_EQ(lines.size(), 1u);
      EXPECT_EQ(lines[0].rfind("error: Products: ", 0), 0u) << lines[0];
      EXPECT_NE(lines[0].find(broken.Says), std::string::npos) << lines[0];
    };

    TComponent form(nullptr);
    testsupport::TCapturedErrorLog log;
    ASSERT_NO_THROW(LoadForm(file, form));
    saysOnce(log.Lines);
    const ListFormParts parts = PartsOf(form);
    ASSERT_TRUE(parts.Complete());
    EXPECT_EQ(parts.List->NumberOfRows(), 0);
    EXPECT_EQ(parts.Query->State(), TDataSetState::dsInactive);
    std::string html;
    ASSERT_NO_THROW(html = parts.Page->put(nullptr));
    EXPECT_EQ(html, expected);
    log.Lines.clear();
    parts.List->ReloadDB();
    saysOnce(log.Lines);
    EXPECT_EQ(parts.List->NumberOfRows(), 0);
    EXPECT_EQ(parts.Query->State(), TDataSetState::dsInactive);
    // Reading never makes the database it looks for.
    EXPECT_FALSE(fs::exists(db.Dir + "/missing.db"));

    // The command writes the page and one line on standard error.
    const std::string output = db.Dir + "/page.html";
    const std::string errors = db.Dir + "/errors.txt";
    const std::string command = "'" TAVKIT_PROGRAM "' render '" + file + "' --image-dir '" +
                                db.Dir + "/images' > '" + output + "' 2> '" + errors + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(ReadText(output), expected);
    const std::string said = ReadText(errors);
    ASSERT_FALSE(said.empty());
    EXPECT_EQ(said.back(), '\n');
    std::vector<std::string> lines;
    std::istringstream split(said);
    for (std::string line; std::getline(split, line);) lines.push_back(line);
    saysOnce(lines);
  }
}

// A list and a text outside any panel on one query that opens when loaded:
// the list reads the open query whether the query comes before it in the
// file or after it, and the text shows the record the list's reading left
// current, the last, in both orders.
TEST_P(DBFormFileTest, TheOrderOfComponentsInTheFileDoesNotChangeThePage) {
  const std::string query = R"({ "class": ")" + db.QueryClass() +
                            R"(", "name": "Products", "properties": { )" + db.Where() +
                            R"(, "SQL": ["SELECT name FROM products ORDER BY id"], "Active": true } },
    { "class": "TDataSource", "name": "ProductSource", "properties": { "DataSet": "Products" } })";
  const std::string page = R"({ "class": "TWvPage", "name": "Page1",
      "properties": { "Width": 300, "Height": 100, "PageTitle": "Order" },
      "children": [
        { "class": "TWvDBTable", "name": "List",
          "properties": { "Left": 0, "Top": 0, "Width": 150, "Height": 60, "DataSource": "ProductSource",
                          "ColumnList": [ { "Field": "Products.name", "width": 120 } ] } },
        { "class": "TWvDBText", "name": "Name",
          "properties": { "Left": 160, "Top": 0, "Width": 100, "Height": 20, "Field": "Products.name" } } ] })";
  std::vector<std::string> pages;
  for (const std::string& components : {query + ",\n" + page, page + ",\n" + query}) {
    TComponent form(nullptr);
    LoadFormFromText(R"({"form": "Order", "components": [)" + components + "]}", form, db.Dir);
    pages.push_back(dynamic_cast<TWvPage&>(*form.FindComponent("Page1")).put(nullptr));
  }
  const std::string expected =
      "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\"><HTML><HEAD><TITLE>Order</TITLE>"
      "<META NAME=\"Generator\" CONTENT=\"Vettmark Taveno (C)\"><script language=\"JavaScript\">\r\n"
      "</script></HEAD><BODY BGCOLOR=\"#FFFFFF\" LINK=\"#000000\" VLINK=\"000000\" TEXT=\"000000\"  >"
      "<TABLE BGCOLOR=\"#FFFFFF\" BORDER=0 CELLSPACING=0 CELLPADDING=0 WIDTH=300>"
      "<TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=1 WIDTH=1 ></TD><TD HEIGHT=1 WIDTH=150 ></TD>"
      "<TD HEIGHT=1 WIDTH=9 ></TD><TD HEIGHT=1 WIDTH=100 ></TD><TD HEIGHT=1 WIDTH=40 ></TD><TD></TD></TR>"
      "<TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=20 ></TD><TD  HEIGHT=20 ROWSPAN=2   >"
      "<TABLE BORDER=0 CELLSPACING=0 CELLPADDING=0 ><TR VALIGN=\"top\" ALIGN=\"left\" >"
      "<TD height=20 width=120 BGCOLOR=\"#000080\"><P Align=Center>"
      "<FONT SIZE=\"2\" FACE=\"ARIAL,SYSTEM\" COLOR=\"000000\" >name</FONT></TD></TR>"
      "<TR VALIGN=\"top\" ALIGN=\"left\"><TD  height=20 BGCOLOR=\"#FFFFFF\"><P Align=Center><FONT SIZE=\"2\" FACE=\"ARIAL,SYSTEM\" COLOR=\"000000\" >Apple</FONT></TD></TR>"
      "<TR VALIGN=\"top\" ALIGN=\"left\"><TD  height=20 BGCOLOR=\"#EEEEEE\"><P Align=Center><FONT SIZE=\"2\" FACE=\"ARIAL,SYSTEM\" COLOR=\"000000\" >Pear</FONT></TD></TR>"
      "<TR VALIGN=\"top\" ALIGN=\"left\"><TD  height=20 BGCOLOR=\"#FFFFFF\"><P Align=Center><FONT SIZE=\"2\" FACE=\"ARIAL,SYSTEM\" COLOR=\"000000\" >Plum</FONT></TD></TR>"
      "<TR VALIGN=\"top\" ALIGN=\"left\"><TD  height=20 BGCOLOR=\"#EEEEEE\"><P Align=Center><FONT SIZE=\"2\" FACE=\"ARIAL,SYSTEM\" COLOR=\"000000\" >Orange</FONT></TD></TR>"
      "<TR VALIGN=\"top\" ALIGN=\"left\"><TD  height=20 BGCOLOR=\"#FFFFFF\"><P Align=Center><FONT SIZE=\"2\" FACE=\"ARIAL,SYSTEM\" COLOR=\"000000\" >Blueberry punnet</FONT></TD></TR>"
      "</TABLE></TD><TD></TD><TD  HEIGHT=20    >"
      "<FONT SIZE=\"2\" FACE=\"ARIAL,SYSTEM\" COLOR=\"000000\" >Blueberry punnet<br></FONT></TD></TR>"
      "<TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=40 ></TD><TD COLSPAN=3></TD></TR>"
      "<TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=39 ></TD><TD COLSPAN=4></TD></TR>"
      "</TABLE></BODY></HTML>";
  for (const std::string& written : pages) EXPECT_EQ(written, expected);
}

INSTANTIATE_TEST_SUITE_P(Backends, DBFormFileTest,
                         ::testing::Values(TBackend::SQLite, TBackend::PostgreSQL), TBackendName());

}  // namespace
}  // namespace tavkit
