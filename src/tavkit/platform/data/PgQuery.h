// TPgQuery: a data set holding the rows of one SELECT statement on a
// PostgreSQL server. It reads as TSQLiteQuery does: rows come from a cursor
// in batches as the data set moves, the fields are known from the
// statement's description before the first row, and values are shown as
// the SQLite query shows values of the same type, so the same data gives
// the same page on either database.
//
// ```cpp
// TComponent form(nullptr);
// auto* query = new TPgQuery(&form);
// query->SetConnection("host=/run/postgresql dbname=shop");  // the password from PGPASSWORD
// query->GetSQL()->SetText("SELECT name, price FROM products ORDER BY name");
// query->SetTimeout(5);
// query->Open();
// for (query->FindFirst(); !query->Eof(); query->Next())
//   std::cout << query->FieldByName("name")->AsString() << "\n";
// query->Close();
// ```
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <tavkit/platform/base/Strings.h>
#include <tavkit/platform/data/DataSet.h>

struct pg_result;

namespace tavkit {

namespace detail {
struct TPgLink;
}

// The field type of a PostgreSQL column by its type's oid (int4 23, text
// 25, ...): ftUnknown for none; types without a field type of their own
// (json, uuid, intervals) read as text.
TFieldType FieldTypeOfPgType(unsigned int typeOid);

class TPgQuery : public TDataSet {
 public:
  explicit TPgQuery(TComponent* owner);
  ~TPgQuery() override;

  // The libpq connection string or URI ("host=/run/postgresql dbname=shop",
  // "postgresql:///shop"). A password is refused: it comes from the
  // environment (PGPASSWORD) or a password file, as libpq reads them, so
  // that form files never hold one. Changing it closes the query.
  const std::string& GetConnection() const { return FConnection; }
  void SetConnection(const std::string& conninfo);

  // The statement; changing it closes the query and frees its fields.
  TStringList* GetSQL() const { return FSQL.get(); }
  void SetSQL(const TStrings& lines);

  // The time limit, in seconds, of each statement the server runs for the
  // query (opening, reading the next batch of rows): statement_timeout.
  // 0 means no limit; 10 by default.
  int GetTimeout() const { return FTimeout; }
  void SetTimeout(int seconds);

 protected:
  void InternalOpen() override;
  void InternalClose() override;
  bool InternalFetch(std::vector<TFieldValue>& row) override;
  void InternalRewind() override;
  void InternalDescribe() override;

 private:
  struct TResultDeleter {
    void operator()(pg_result* result) const;
  };
  using TResult = std::unique_ptr<pg_result, TResultDeleter>;

  void Reset();
  void TakeLink();
  void ReleaseLink();
  // Runs a command that must succeed, raising the server's message.
  TResult Run(const std::string& command, bool rowsExpected, const std::string& what);
  // The first command on a link: a connection lost since its last use is
  // made again and the command run once more.
  TResult RunFirst(const std::string& command, const std::string& what);
  void ApplyTimeout();
  void CheckStatement() const;
  void Declare();
  [[noreturn]] void RefuseNoQuery(const std::string& sql);
  std::string FetchCommand() const;
  void FetchBatch();
  // The batch asked for ahead, raising the server's message.
  TResult ReceiveAhead();
  // Forgets a batch asked for ahead.
  void DropAhead();
  void Describe(pg_result* description);
  bool IsPictureColumn(unsigned int table, int column);
  [[noreturn]] void ServerError(const std::string& what, pg_result* result) const;

  std::string FConnection;
  std::unique_ptr<TStringList> FSQL;
  int FTimeout = 10;
  detail::TPgLink* FLink = nullptr;
  std::vector<TFieldType> FTypes;  // of the columns, as the fields were defined
  std::vector<bool> FBlankPadded;  // the columns of type char(n)
  TResult FBatch;                  // the rows fetched last
  int FBatchRow = 0;               // the next row of FBatch to deliver
  int FBatchSize = 0;              // rows asked for by the next FETCH
  bool FDone = false;              // the cursor has given its last row
  bool FDelivered = false;         // a row was read since the cursor was declared
  bool FAhead = false;             // a FETCH of FBatchSize rows is on its way
};

}  // namespace tavkit
