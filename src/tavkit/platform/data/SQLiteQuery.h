// TSQLiteQuery: a data set holding the rows of one SELECT statement on an
// SQLite database file. Rows are stepped as the data set moves, never read
// all at once, and the columns are known from the compiled statement alone,
// so a form can bind to fields of a query that has not been opened.
//
// ```cpp
// TComponent form(nullptr);
// auto* query = new TSQLiteQuery(&form);
// query->SetDatabaseFile("shop.db");          // opened read-only
// query->GetSQL()->SetText("SELECT name, price FROM products ORDER BY name");
// query->Open();
// for (query->FindFirst(); !query->Eof(); query->Next())
//   std::cout << query->FieldByName("name")->AsString() << " "
//             << query->FieldByName("price")->AsFloat() << "\n";
// query->Close();
// ```
#pragma once

#include <memory>
#include <string>

#include <tavkit/platform/base/Strings.h>
#include <tavkit/platform/data/DataSet.h>

struct sqlite3;
struct sqlite3_stmt;

namespace tavkit {

// The field type for a column's declared type ("VARCHAR(20)", "DOUBLE
// PRECISION", ...); ftUnknown for none or one that names no type.
TFieldType FieldTypeOfDeclaration(const std::string& declaredType);

class TSQLiteQuery : public TDataSet {
 public:
  explicit TSQLiteQuery(TComponent* owner);
  ~TSQLiteQuery() override;

  // The database file as given: absolute, or relative to the folder of the
  // form file the query was loaded from (the working folder otherwise).
  const std::string& GetDatabaseFile() const { return FDatabaseFile; }
  void SetDatabaseFile(const std::string& fileName);
  // The file the query opens.
  std::string DatabasePath() const;

  // The statement; changing it closes the query and frees its fields.
  TStringList* GetSQL() const { return FSQL.get(); }
  void SetSQL(const TStrings& lines);

  // The time limit, in seconds, of each call on the database for the query
  // (opening, reading the next row): a statement that runs longer fails
  // with EDatabaseError. 0 means no limit; 10 by default.
  int GetTimeout() const { return FTimeout; }
  void SetTimeout(int seconds);

 protected:
  void InternalOpen() override;
  void InternalClose() override;
  bool InternalFetch(std::vector<TFieldValue>& row) override;
  void InternalRewind() override;
  void InternalDescribe() override;

 private:
  void Reset();
  // Opens the database read-only and compiles the SQL into FStatement.
  void Prepare();
  void Release();
  void Describe();
  [[noreturn]] void SQLiteError(const std::string& what, int code) const;
  // sqlite3_step under the time limit.
  int Step();

  std::string FDatabaseFile;
  std::string FBaseFolder;
  std::unique_ptr<TStringList> FSQL;
  sqlite3* FDatabase = nullptr;  // the cache's, shared with other queries of the file
  sqlite3_stmt* FStatement = nullptr;
  std::string FStatementSQL;  // the SQL FStatement was compiled from, in UTF-8
  bool FDone = false;         // the statement has given its last row
  int FTimeout = 10;
  bool FTimedOut = false;  // the last step was stopped by the time limit
};

}  // namespace tavkit
