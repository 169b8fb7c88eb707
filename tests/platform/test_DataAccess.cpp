// Tests of the data-access layer: field types from declared column types,
// values as text, navigation and its end-of-data rule, rows read only as the
// cursor moves, observers, pictures from graphic fields, the error messages,
// and queries in form files (fields bound before the query opens, the round
// trip). Databases are built in a temporary folder through SQLite itself.
#include <tavkit/platform/data/DataAccess.h>

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <tavkit/platform/base/Streams.h>
#include <tavkit/platform/formfile/FormFile.h>
#include <tavkit/platform/graphics/Bitmap.h>
#include <tavkit/platform/graphics/Canvas.h>
#include <tavkit/platform/graphics/Picture.h>

#include "TestSupport.h"

namespace tavkit {
namespace {

namespace fs = std::filesystem;
using testsupport::ErrorOf;

// A component with a field reference, as data-bound elements have.
class TDataTestLabel : public TComponent {
 public:
  using TComponent::TComponent;
  TField* GetField() const { return FField; }
  void SetField(TField* field) {
    if (FField != nullptr) RemoveFreeNotification(FField);
    FField = field;
    if (field != nullptr) FreeNotification(field);
  }
  void Notification(TComponent* component, TOperation operation) override {
    TComponent::Notification(component, operation);
    if (operation == TOperation::opRemove && component == FField) FField = nullptr;
  }

 private:
  TField* FField = nullptr;
};

// Rows 0, 1, 2 ... in one integer field N, counting how the cursor is used;
// reading row FailAt raises.
class TCountingDataSet : public TDataSet {
 public:
  TCountingDataSet(TComponent* owner, int rows, int failAt = -1)
      : TDataSet(owner), Rows(rows), FailAt(failAt) {}
  ~TCountingDataSet() override { Close(); }
  int Rows, FailAt, Fetches = 0, Rewinds = 0, Row = 0;

 protected:
  void InternalOpen() override { InternalDescribe(); }
  void InternalClose() override {}
  bool InternalFetch(std::vector<TFieldValue>& row) override {
    ++Fetches;
    if (Row == FailAt) throw EDatabaseError("row " + std::to_string(Row) + " is unreadable");
    if (Row >= Rows) return false;
    row[0] = std::int64_t(Row++);
    return true;
  }
  void InternalRewind() override {
    ++Rewinds;
    Row = 0;
  }
  void InternalDescribe() override { DefineFields({{"N", ftInteger}}); }
};

std::string PictureBytes(TGraphic& graphic, bool png) {
  TMemoryStream stream;
  if (png)
    static_cast<TBitmap&>(graphic).SaveToPNGStream(stream);
  else
    graphic.SaveToStream(stream);
  return stream.ToString();
}

class DataAccessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DataAccess::Register();
    RegisterClass<TDataTestLabel, TComponent>({props::FieldRef<TDataTestLabel>(
        "Field", &TDataTestLabel::GetField, &TDataTestLabel::SetField)});
    std::string pattern = (fs::temp_directory_path() / "tavkit-data-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    Dir = pattern;
    Db = Dir + "/test.db";
    Exec("PRAGMA user_version = 1");
  }
  void TearDown() override { fs::remove_all(Dir); }

  // Runs SQL on the test database (created on first use); ? parameters
  // take the blobs in order.
  void Exec(const std::string& sql, const std::vector<std::string>& blobs = {}) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(Db.c_str(), &db), SQLITE_OK);
    sqlite3_stmt* statement = nullptr;
    const char* rest = sql.c_str();
    while (*rest != '\0') {
      ASSERT_EQ(sqlite3_prepare_v2(db, rest, -1, &statement, &rest), SQLITE_OK)
          << sqlite3_errmsg(db);
      if (statement == nullptr) break;
      for (int i = 0; i < sqlite3_bind_parameter_count(statement); ++i)
        sqlite3_bind_blob(statement, i + 1, blobs[i].data(), int(blobs[i].size()), SQLITE_STATIC);
      EXPECT_EQ(sqlite3_step(statement), SQLITE_DONE) << sqlite3_errmsg(db);
      sqlite3_finalize(statement);
    }
    sqlite3_close(db);
  }

  TSQLiteQuery* Query(const std::string& sql, const std::string& name = "Query1") {
    auto* query = new TSQLiteQuery(&Form);
    query->SetName(name);
    query->SetDatabaseFile(Db);
    query->GetSQL()->SetText(sql);
    return query;
  }

  std::string Dir, Db;
  TComponent Form{nullptr};
};

TEST_F(DataAccessTest, DeclaredTypesMapToHostTypeNumbers) {
  Exec(
      "CREATE TABLE t (a INT, b INTEGER, c TEXT, d CHAR(8), e VARCHAR(30), f CLOB, g MEMO, h REAL,"
      " i FLOAT, j DOUBLE, k BOOLEAN, l DATE, m TIME, n DATETIME, o TIMESTAMP, p BLOB, q GRAPHIC,"
      " r IMAGE, s PICTURE, u, v BIGINT, w NVARCHAR(5), x double precision, y NUMERIC)");
  TSQLiteQuery* query = Query("SELECT * FROM t");
  const int expected[] = {3,  3,  1,  1,  1,  1,  16, 6, 6, 6, 5, 9,
                          10, 11, 11, 15, 17, 17, 17, 0, 3, 1, 6, 0};
  ASSERT_EQ(query->FieldCount(), 24);
  for (int i = 0; i < 24; ++i)
    EXPECT_EQ(query->Fields(i)->DataType(), expected[i]) << query->Fields(i)->FieldName();
  EXPECT_FALSE(query->GetActive());  // described without opening
}

TEST_F(DataAccessTest, UntypedColumnsTakeTheTypeOfTheirFirstValue) {
  TSQLiteQuery* query = Query(
      "SELECT column1 AS a, column2 AS b, column3 AS c, column4 AS d"
      " FROM (VALUES (NULL, 1.5, 'x', x'00'), (7, 2, 3, 'y'))");
  TField* a = query->FieldByName("A");
  EXPECT_EQ(a->DataType(), ftUnknown);
  query->Open();
  EXPECT_EQ(a->DataType(), ftUnknown);  // NULL tells nothing
  EXPECT_EQ(query->FieldByName("b")->DataType(), ftFloat);
  EXPECT_EQ(query->FieldByName("c")->DataType(), ftString);
  EXPECT_EQ(query->FieldByName("d")->DataType(), ftBlob);
  query->Next();
  EXPECT_EQ(a->DataType(), ftInteger);
  EXPECT_EQ(query->FieldByName("b")->DataType(), ftFloat);
}

TEST_F(DataAccessTest, ValuesReadAsText) {
  Exec("CREATE TABLE t (n INTEGER, r REAL, b BOOLEAN, d DATE, s TEXT, z TEXT, g BLOB)");
  Exec("INSERT INTO t VALUES (-42, 10, 1, '2024-05-01', 'Crème €5', NULL, x'414243')");
  Exec("INSERT INTO t VALUES (7, 0.1, 0, 45000.5, 'abc', '12', NULL)");
  TSQLiteQuery* query = Query("SELECT * FROM t");
  query->Open();
  auto text = [&](const char* name) { return query->FieldByName(name)->AsString(); };
  EXPECT_EQ(text("n"), "-42");
  EXPECT_EQ(text("r"), "10");
  EXPECT_EQ(text("b"), "True");
  EXPECT_EQ(text("d"), "2024-05-01");
  EXPECT_EQ(text("s"), "Cr\xE8me ?5");  // Latin-1; the euro sign has no place in it
  EXPECT_EQ(text("z"), "");
  EXPECT_TRUE(query->FieldByName("z")->IsNull());
  EXPECT_EQ(text("g"), "ABC");
  query->Next();
  EXPECT_EQ(text("r"), "0.1");
  EXPECT_EQ(text("b"), "False");
  EXPECT_EQ(text("d"), "45000.5");
  EXPECT_EQ(query->FieldByName("z")->AsInteger(), 12);
  EXPECT_DOUBLE_EQ(query->FieldByName("d")->AsFloat(), 45000.5);
  EXPECT_FALSE(query->FieldByName("b")->AsBoolean());
  EXPECT_EQ(query->FieldByName("g")->AsInteger(), 0);
  EXPECT_EQ(ErrorOf<EConvertError>([&] { query->FieldByName("s")->AsInteger(); }),
            "'abc' is not a valid integer value");
  query->Close();
  EXPECT_EQ(text("n"), "");                                              // no current record
  query->GetSQL()->SetText("SELECT n FROM t WHERE s LIKE 'Cr\xE8me%'");  // Latin-1 SQL
  query->Open();
  EXPECT_EQ(text("n"), "-42");
}

// Records reuse the room of the values read before them: whatever a value
// was two records back (a long text, a blob, a number), each record shows
// its own, and ReadString gives AsString's text over whatever its string
// held.
TEST_F(DataAccessTest, EachRecordShowsItsOwnValuesWhateverCameBefore) {
  Exec("CREATE TABLE t (k INTEGER, v)");
  Exec(
      "INSERT INTO t VALUES (1, 'a text longer than any short string'), (2, x'414200'),"
      " (3, NULL), (4, 12), (5, 'Cr\xC3\xA8me'), (6, 2.5), (7, ''), (8, 'short'), (9, NULL)");
  const std::vector<std::pair<std::string, bool>> expected = {
      {"a text longer than any short string", false},
      {std::string("AB\0", 3), false},
      {"", true},
      {"12", false},
      {"Cr\xE8me", false},
      {"2.5", false},
      {"", false},
      {"short", false},
      {"", true},
  };
  TSQLiteQuery* query = Query("SELECT v, k FROM t ORDER BY k");
  query->Open();
  std::string reused = "what the string held before";
  for (const auto& [text, null] : expected) {
    ASSERT_FALSE(query->Eof());
    const TField* v = query->FieldByName("v");
    EXPECT_EQ(v->AsString(), text) << "record " << query->RecNo();
    EXPECT_EQ(v->IsNull(), null) << "record " << query->RecNo();
    v->ReadString(reused);
    EXPECT_EQ(reused, text) << "record " << query->RecNo();
    EXPECT_EQ(query->FieldByName("k")->AsInteger(), query->RecNo());
    query->Next();
  }
  EXPECT_TRUE(query->Eof());
}

TEST_F(DataAccessTest, NavigatesWithTheEndOfDataRule) {
  Exec("CREATE TABLE t (n INTEGER); INSERT INTO t VALUES (10), (20), (30), (40), (50)");
  TSQLiteQuery* query = Query("SELECT n FROM t ORDER BY n");
  TField* n = query->FieldByName("n");
  EXPECT_TRUE(query->Eof());
  query->Open();
  EXPECT_EQ(query->State(), TDataSetState::dsBrowse);
  EXPECT_TRUE(query->Bof());
  EXPECT_FALSE(query->Eof());
  EXPECT_EQ(n->AsString(), "10");
  EXPECT_EQ(query->MoveBy(4), 4);
  EXPECT_EQ(n->AsString(), "50");
  EXPECT_FALSE(query->Eof());
  query->Next();  // past the last record: it stays current
  EXPECT_TRUE(query->Eof());
  EXPECT_EQ(query->RecNo(), 5);
  EXPECT_EQ(n->AsString(), "50");
  EXPECT_EQ(query->MoveBy(-2), -2);
  EXPECT_EQ(n->AsString(), "30");
  EXPECT_FALSE(query->Eof());
  EXPECT_EQ(query->MoveBy(10), 2);
  EXPECT_TRUE(query->Eof());
  EXPECT_EQ(query->MoveBy(-10), -4);
  EXPECT_TRUE(query->Bof());
  EXPECT_EQ(n->AsString(), "10");
  query->MoveBy(4);
  query->Next();
  EXPECT_TRUE(query->FindFirst());
  EXPECT_FALSE(query->Eof());
  EXPECT_EQ(query->RecNo(), 1);
  query->Close();
  EXPECT_EQ(query->State(), TDataSetState::dsInactive);
  EXPECT_EQ(ErrorOf<EDatabaseError>([&] { query->Next(); }), "Query1: the data set is closed");

  TSQLiteQuery* empty = Query("SELECT n FROM t WHERE n > 100", "Empty");
  empty->Open();
  EXPECT_TRUE(empty->Eof());
  EXPECT_TRUE(empty->Bof());
  EXPECT_FALSE(empty->FindFirst());
  EXPECT_EQ(empty->MoveBy(1), 0);
  EXPECT_EQ(empty->RecNo(), 0);
  EXPECT_EQ(empty->FieldByName("n")->AsString(), "");
}

TEST_F(DataAccessTest, RowsAreReadOnlyAsTheCursorMoves) {
  TCountingDataSet data(&Form, 10);
  data.Open();
  EXPECT_EQ(data.Fetches, 1);
  EXPECT_EQ(data.MoveBy(3), 3);
  EXPECT_EQ(data.Fetches, 4);
  EXPECT_TRUE(data.FindFirst());  // back by reading again from the start
  EXPECT_EQ(data.Rewinds, 2);
  EXPECT_TRUE(data.FindFirst());  // already there: nothing read
  EXPECT_EQ(data.Rewinds, 2);
  EXPECT_EQ(data.Fetches, 5);
  data.MoveBy(5);
  EXPECT_EQ(data.MoveBy(-2), -2);
  EXPECT_EQ(data.FieldByName("N")->AsInteger(), 3);
  EXPECT_EQ(data.Fetches, 14);

  // A billion rows: opening and moving must not read ahead.
  TSQLiteQuery* query = Query(
      "WITH RECURSIVE s(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM s LIMIT 1000000000)"
      " SELECT x FROM s");
  query->Open();
  EXPECT_EQ(query->MoveBy(999), 999);
  EXPECT_EQ(query->FieldByName("x")->AsString(), "1000");
  EXPECT_EQ(query->MoveBy(-500), -500);
  EXPECT_EQ(query->FieldByName("x")->AsString(), "500");
}

TEST_F(DataAccessTest, AFailedReadKeepsTheLastRecord) {
  TCountingDataSet data(&Form, 10, 3);
  data.SetName("Data");
  data.Open();
  EXPECT_EQ(ErrorOf<EDatabaseError>([&] { data.MoveBy(5); }), "row 3 is unreadable");
  EXPECT_TRUE(data.Eof());
  EXPECT_EQ(data.RecNo(), 3);
  EXPECT_EQ(data.FieldByName("N")->AsInteger(), 2);
}

TEST_F(DataAccessTest, ObserversFollowTheDataSetThroughItsSource) {
  std::string events;
  auto record = [&](TDataSet& set, TDataEvent event) {
    events += set.GetName() + ":" + std::to_string(int(event)) + " ";
  };
  auto* a = new TCountingDataSet(&Form, 3);
  a->SetName("A");
  TCountingDataSet b(&Form, 3);
  b.SetName("B");
  b.Open();
  TDataSource source(&Form);
  source.AddObserver(record);
  source.SetDataSet(a);
  a->Open();
  a->Next();
  a->MoveBy(5);  // one move of one record, one event
  a->FindFirst();
  source.SetDataSet(&b);  // the elements see the old set go and the new one open
  a->Next();              // no longer heard
  b.Close();
  EXPECT_EQ(events, "A:0 A:2 A:2 A:2 A:1 B:0 B:1 ");
  source.SetDataSet(a);
  delete a;
  EXPECT_EQ(source.GetDataSet(), nullptr);
  EXPECT_EQ(source.State(), TDataSetState::dsInactive);

  // A field freed (new SQL) is let go by the elements bound to it.
  Exec("CREATE TABLE t (n INTEGER)");
  TSQLiteQuery* query = Query("SELECT n FROM t");
  TDataTestLabel label(&Form);
  label.SetField(query->FieldByName("n"));
  query->Open();
  query->Close();
  EXPECT_EQ(label.GetField(), query->FieldByName("N"));  // reopening keeps the fields
  query->GetSQL()->Add("WHERE n > 0");
  EXPECT_EQ(label.GetField(), nullptr);
}

TEST_F(DataAccessTest, GraphicFieldsLoadIntoPictures) {
  TBitmap red(3, 2, TPixelFormat::pf24bit);
  red.Canvas().Brush().Color = clRed;
  red.Canvas().FillRect(Rect(0, 0, 3, 2));
  std::string png = PictureBytes(red, true), bmp = PictureBytes(red, false);
  Exec("CREATE TABLE t (id INTEGER, p GRAPHIC)");
  Exec("INSERT INTO t VALUES (1, ?), (2, ?), (3, ?), (4, NULL), (5, x'00010203')",
       {png, bmp, "GIF89a\x01\x00\x01\x00"});
  TSQLiteQuery* query = Query("SELECT p FROM t ORDER BY id");
  query->Open();
  TField* field = query->FieldByName("p");
  TPicture picture;
  picture.Assign(field);
  EXPECT_EQ(picture.GetGraphic()->ClassName(), "TPngImage");
  EXPECT_EQ(picture.Bitmap().GetPixel(2, 1), clRed);
  query->Next();
  picture.Assign(field);
  EXPECT_EQ(picture.GetGraphic()->ClassName(), "TBitmap");
  EXPECT_EQ(picture.GetWidth(), 3);
  EXPECT_EQ(picture.Bitmap().GetPixel(0, 0), clRed);
  query->Next();
  // GIF comes through the picture's format registry.
  EXPECT_EQ(ErrorOf<EInvalidGraphic>([&] { picture.Assign(field); }), "Unknown picture format");
  TPicture::RegisterFileFormat(
      "gif", "GIF", [] { return std::make_unique<TBitmap>(); }, "GIF8");
  EXPECT_EQ(ErrorOf<EInvalidGraphic>([&] { picture.Assign(field); }),
            "Invalid bitmap: the file is truncated");
  TPicture::UnregisterFileFormat("gif");
  query->Next();
  picture.Assign(field);
  EXPECT_EQ(picture.GetGraphic(), nullptr);  // NULL empties the picture
  query->Next();
  EXPECT_EQ(ErrorOf<EInvalidGraphic>([&] { picture.Assign(field); }), "Unknown picture format");
}

TEST_F(DataAccessTest, ErrorsNameTheQueryTheFileAndSQLite) {
  Exec("CREATE TABLE t (n INTEGER)");
  auto openError = [&](const std::string& sql, const std::string& file) {
    TSQLiteQuery* query = Query(sql);
    query->SetDatabaseFile(file);
    std::string message = ErrorOf<EDatabaseError>([&] { query->Open(); });
    EXPECT_FALSE(query->GetActive());
    delete query;
    return message;
  };
  std::string missing = Dir + "/missing.db";
  EXPECT_EQ(openError("SELECT 1", missing),
            "Query1: cannot open database \"" + missing + "\": unable to open database file");
  EXPECT_FALSE(fs::exists(missing));  // never created by reading
  EXPECT_EQ(openError("SELEC n FROM t", Db),
            "Query1: SQL error on database \"" + Db + "\": near \"SELEC\": syntax error");
  EXPECT_EQ(openError("SELECT x FROM t", Db),
            "Query1: SQL error on database \"" + Db + "\": no such column: x");
  EXPECT_EQ(openError("SELECT 1", ""), "Query1: no database file given");
  EXPECT_EQ(openError(" -- nothing\n", Db), "Query1: the SQL holds no statement");
  EXPECT_EQ(openError("SELECT 1; DELETE FROM t", Db),
            "Query1: the SQL holds more than one statement");
  EXPECT_EQ(openError("DELETE FROM t", Db), "Query1: the SQL is no query: it gives no columns");
  EXPECT_EQ(openError("INSERT INTO t VALUES (1) RETURNING n", Db),
            "Query1: the SQL is no query: it would change the database");
  TSQLiteQuery* query = Query("SELECT n FROM t", "");
  EXPECT_EQ(ErrorOf<EDatabaseError>([&] { query->FieldByName("m"); }),
            "TSQLiteQuery: field 'm' not found");
}

// Connections and statements are kept for the process, so a server opens a
// file once; what is read must still be the file as it is now.
TEST_F(DataAccessTest, KeptConnectionsFollowTheFileOnDisk) {
  Exec("CREATE TABLE t (s TEXT); INSERT INTO t VALUES ('one')");
  auto read = [&] {
    TSQLiteQuery* query = Query("SELECT s FROM t", "");
    std::string value = ErrorOf<EDatabaseError>([&] { query->Open(); });
    if (value == testsupport::kNoError) value = query->FieldByName("s")->AsString();
    delete query;
    return value;
  };
  EXPECT_EQ(read(), "one");
  EXPECT_EQ(read(), "one");
  // Written to by another program.
  Exec("UPDATE t SET s = 'two'");
  EXPECT_EQ(read(), "two");
  // Replaced by a new file, as a deployment does.
  const std::string old = Db;
  Db = Dir + "/new.db";
  Exec("CREATE TABLE t (s TEXT); INSERT INTO t VALUES ('three')");
  fs::rename(Db, old);
  Db = old;
  EXPECT_EQ(read(), "three");
  // Gone.
  fs::remove(Db);
  EXPECT_EQ(read(),
            "TSQLiteQuery: cannot open database \"" + Db + "\": unable to open database file");

  // Two queries of one text read on their own; a statement refused once is
  // refused again rather than kept.
  Exec("CREATE TABLE t (s TEXT); INSERT INTO t VALUES ('a'), ('b')");
  TSQLiteQuery* first = Query("SELECT s FROM t", "First");
  TSQLiteQuery* second = Query("SELECT s FROM t", "Second");
  first->Open();
  first->Next();
  second->Open();
  EXPECT_EQ(first->FieldByName("s")->AsString(), "b");
  EXPECT_EQ(second->FieldByName("s")->AsString(), "a");
  for (int i = 0; i < 2; ++i)
    EXPECT_EQ(ErrorOf<EDatabaseError>([&] { Query("SELECT 1; SELECT 2", "")->Open(); }),
              "TSQLiteQuery: the SQL holds more than one statement");
}

TEST_F(DataAccessTest, FormFilesBindFieldsBeforeTheQueryOpens) {
  Exec("CREATE TABLE products (id INTEGER, name TEXT); INSERT INTO products VALUES (1, 'Pear')");
  fs::rename(Db, Dir + "/shop.db");
  const std::string text = R"({
  "form": "ShopForm",
  "components": [
    {
      "class": "TSQLiteQuery",
      "name": "Products",
      "properties": {
        "Tag": 0,
        "DatabaseFile": "shop.db",
        "SQL": [
          "SELECT id, name",
          "FROM products"
        ],
        "Active": false
      }
    },
    {
      "class": "TDataSource",
      "name": "Source1",
      "properties": {
        "Tag": 0,
        "DataSet": "Products"
      }
    },
    {
      "class": "TDataTestLabel",
      "name": "Label1",
      "properties": {
        "Tag": 0,
        "Field": "Products.name"
      }
    }
  ]
}
)";
  std::string file = Dir + "/shop.json";
  std::ofstream(file) << text;
  TComponent form(nullptr);
  LoadForm(file, form);
  auto* query = dynamic_cast<TSQLiteQuery*>(form.FindComponent("Products"));
  auto* label = dynamic_cast<TDataTestLabel*>(form.FindComponent("Label1"));
  ASSERT_NE(label->GetField(), nullptr);
  EXPECT_FALSE(query->GetActive());
  EXPECT_EQ(label->GetField(), query->FieldByName("name"));
  EXPECT_EQ(label->GetField()->GetDisplayName(), "name");
  EXPECT_EQ(query->DatabasePath(), Dir + "/shop.db");
  EXPECT_EQ(SaveForm(form), text);

  // Active in the file: open once the whole form is read.
  std::string active = text;
  active.replace(active.find("false"), 5, "true");
  std::ofstream(file) << active;
  TComponent second(nullptr);
  LoadForm(file, second);
  label = dynamic_cast<TDataTestLabel*>(second.FindComponent("Label1"));
  EXPECT_EQ(label->GetField()->AsString(), "Pear");
  EXPECT_EQ(SaveForm(second), active);

  // The time limit is written only when it is not the default.
  std::string limited = text;
  limited.replace(limited.find("\"Active\": false"), 15,
                  "\"Active\": false,\n        \"Timeout\": 3");
  TComponent third(nullptr);
  LoadFormFromText(limited, third, Dir);
  EXPECT_EQ(dynamic_cast<TSQLiteQuery*>(third.FindComponent("Products"))->GetTimeout(), 3);
  EXPECT_EQ(SaveForm(third), limited);

  std::string unknown = text;
  unknown.replace(unknown.find("Products.name"), 13, "Products.NAMES");
  auto loadError = [](const std::string& json, const std::string& folder) {
    TComponent target(nullptr);
    return ErrorOf<EFormFileError>([&] { LoadFormFromText(json, target, folder); });
  };
  EXPECT_EQ(loadError(unknown, Dir),
            "Form file: component Label1 (TDataTestLabel), property Field: Products: field "
            "'NAMES' not found");
  EXPECT_EQ(loadError(text, "/nowhere"),
            "Form file: component Label1 (TDataTestLabel), property Field: Products: cannot open "
            "database \"/nowhere/shop.db\": unable to open database file");
  EXPECT_EQ(loadError(R"({"form": "F", "components": [{"class": "TSQLiteQuery", "name": "Q",
      "properties": {"DatabaseFile": "shop.db", "SQL": ["SELECT 1"], "Active": true}}]})",
                      "/nowhere"),
            "Form file: component Q (TSQLiteQuery): Q: cannot open database "
            "\"/nowhere/shop.db\": unable to open database file");
}

TEST_F(DataAccessTest, ExampleShopDatabase) {
  std::ifstream script(std::string(TAVKIT_SOURCE_DIR) + "/examples/data/shop.sql");
  Exec(std::string(std::istreambuf_iterator<char>(script), {}));
  TSQLiteQuery* products = Query("SELECT * FROM products ORDER BY id");
  products->Open();
  std::string names;
  TPicture picture;
  for (; !products->Eof(); products->Next()) {
    names += products->FieldByName("name")->AsString() + ";";
    picture.Assign(products->FieldByName("picture"));
    EXPECT_EQ(picture.GetWidth(), 16);
  }
  EXPECT_EQ(names, "Apple;Pear;Plum;Orange;Blueberry punnet;");
  EXPECT_EQ(products->FieldByName("price")->DataType(), ftFloat);
  EXPECT_EQ(products->FieldByName("picture")->DataType(), ftGraphic);
  TSQLiteQuery* customers = Query("SELECT city FROM customers", "Customers");
  customers->Open();
  EXPECT_EQ(customers->FieldByName("city")->AsString(), "Malm\xF6");
  const TClassInfo* info = TClassRegistry::Instance().Find("TSQLiteQuery");
  EXPECT_EQ(info->PalettePage, "Data Access");
}

}  // namespace
}  // namespace tavkit
