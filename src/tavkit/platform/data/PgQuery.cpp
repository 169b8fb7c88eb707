// The PostgreSQL query: each open query borrows a connection from the
// process's pool, begins a read-only transaction and declares a cursor for
// its statement, then fetches rows in batches that grow from a handful (a
// page usually shows a few records) to a bounded size. Once a reader has
// gone through a few batches, the next one is asked for as soon as one
// arrives, so that the server makes it while this one is read; a query over
// any number of rows holds two batches at most. Text crosses between the
// server's UTF-8 and the library's Latin-1 strings here, in both directions.
#include <tavkit/platform/data/PgQuery.h>

#include <libpq-fe.h>
#include <strings.h>

#include <charconv>
#include <cstdint>
#include <cstring>

#include <tavkit/platform/base/TextEncoding.h>
#include <tavkit/platform/data/detail/DatabaseText.h>
#include <tavkit/platform/data/detail/PgConnections.h>

namespace tavkit {

namespace {

// The first batch is small, since a page mostly reads a few records; each
// next one is twice as large up to the limit, which bounds the memory held.
constexpr int FirstBatch = 32;
constexpr int LargestBatch = 1024;
// The smallest batch after which the next one is asked for at once.
constexpr int AheadFrom = 128;

const char* const CursorName = "tavkit_rows";

// The type oid of char(n), whose values come padded with blanks.
constexpr unsigned int BlankPaddedChar = 1042;

// PostgreSQL's error code for a statement stopped by statement_timeout (and
// for one cancelled otherwise).
const char* const QueryCanceled = "57014";

std::string OneLine(const char* message) {
  std::string text = message == nullptr ? "" : message;
  for (char& c : text)
    if (c == '\n' || c == '\t' || c == '\r') c = ' ';
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

template <class T>
bool ParseWhole(const char* text, int length, T& value) {
  auto result = std::from_chars(text, text + length, value);
  return result.ec == std::errc() && result.ptr == text + length;
}

}  // namespace

TFieldType FieldTypeOfPgType(unsigned int typeOid) {
  switch (typeOid) {
    case 0:
      return ftUnknown;
    case 16:  // bool
      return ftBoolean;
    case 17:  // bytea
      return ftBlob;
    case 21:  // int2
      return ftSmallint;
    case 20:  // int8
    case 23:  // int4
    case 26:  // oid
      return ftInteger;
    case 700:   // float4
    case 701:   // float8
    case 1700:  // numeric
      return ftFloat;
    case 1082:  // date
      return ftDate;
    case 1083:  // time
    case 1266:  // timetz
      return ftTime;
    case 1114:  // timestamp
    case 1184:  // timestamptz
      return ftDateTime;
    default:  // text, varchar, char, name and whatever else reads as text
      return ftString;
  }
}

void TPgQuery::TResultDeleter::operator()(pg_result* result) const {
  PQclear(result);
}

TPgQuery::TPgQuery(TComponent* owner) : TDataSet(owner), FSQL(std::make_unique<TStringList>()) {
  FSQL->OnChange = [this](TObject*) { Reset(); };
}

TPgQuery::~TPgQuery() {
  // Observers are not told: the data set is going, and free notification
  // tells those that hold it.
  InternalClose();
}

void TPgQuery::Reset() {
  Close();
  DestroyFields();
}

void TPgQuery::SetConnection(const std::string& conninfo) {
  if (conninfo == FConnection) return;
  char* error = nullptr;
  PQconninfoOption* parsed = PQconninfoParse(Latin1ToUtf8(conninfo).c_str(), &error);
  PQfreemem(error);
  bool password = false;
  for (PQconninfoOption* option = parsed; option != nullptr && option->keyword != nullptr; ++option)
    password = password || (std::strcmp(option->keyword, "password") == 0 &&
                            option->val != nullptr && *option->val != '\0');
  PQconninfoFree(parsed);
  if (password)
    DatabaseError(
        "the connection string holds a password: give it in PGPASSWORD or a password file");
  Reset();
  FConnection = conninfo;
}

void TPgQuery::SetSQL(const TStrings& lines) {
  // Assign tells OnChange, which closes the query and frees its fields.
  FSQL->Assign(&lines);
}

void TPgQuery::SetTimeout(int seconds) {
  if (seconds < 0) DatabaseError("the time limit cannot be negative");
  FTimeout = seconds;
}

void TPgQuery::ServerError(const std::string& what, pg_result* result) const {
  const char* state = result != nullptr ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
  std::string message;
  if (state != nullptr && std::strcmp(state, QueryCanceled) == 0 && FTimeout > 0) {
    message = "the query ran longer than its time limit of " + std::to_string(FTimeout) + " s";
  } else {
    const char* primary =
        result != nullptr ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    message = OneLine(primary != nullptr ? primary
                      : FLink != nullptr ? PQerrorMessage(FLink->Connection)
                                         : "no connection");
  }
  DatabaseError(what + " \"" + FConnection + "\": " + Utf8ToLatin1(message));
}

void TPgQuery::TakeLink() {
  std::string error;
  FLink = detail::TakePgLink(Latin1ToUtf8(FConnection), error);
  if (FLink == nullptr)
    DatabaseError("cannot connect to database \"" + FConnection +
                  "\": " + Utf8ToLatin1(OneLine(error.c_str())));
}

void TPgQuery::ReleaseLink() {
  if (FLink == nullptr) return;
  detail::GiveBackPgLink(Latin1ToUtf8(FConnection), FLink);
  FLink = nullptr;
}

TPgQuery::TResult TPgQuery::Run(const std::string& command, bool rowsExpected,
                                const std::string& what) {
  TResult result(PQexec(FLink->Connection, command.c_str()));
  const ExecStatusType wanted = rowsExpected ? PGRES_TUPLES_OK : PGRES_COMMAND_OK;
  if (PQresultStatus(result.get()) != wanted) ServerError(what, result.get());
  return result;
}

TPgQuery::TResult TPgQuery::RunFirst(const std::string& command, const std::string& what) {
  TResult result(PQexec(FLink->Connection, command.c_str()));
  if (PQresultStatus(result.get()) == PGRES_COMMAND_OK) return result;
  if (PQstatus(FLink->Connection) == CONNECTION_OK) ServerError(what, result.get());
  // The server went away since the connection was last used (a restart):
  // this request is still answered, over a new connection.
  std::string error;
  if (!detail::RemakePgLink(*FLink, error))
    DatabaseError("cannot connect to database \"" + FConnection +
                  "\": " + Utf8ToLatin1(OneLine(error.c_str())));
  return Run(command, false, what);
}

void TPgQuery::ApplyTimeout() {
  const int wanted = FTimeout * 1000;
  if (FLink->TimeoutMs == wanted) {
    RunFirst("BEGIN READ ONLY", "cannot read from database");
    return;
  }
  RunFirst("SET statement_timeout = " + std::to_string(wanted), "cannot read from database");
  FLink->TimeoutMs = wanted;
  Run("BEGIN READ ONLY", false, "cannot read from database");
}

bool TPgQuery::IsPictureColumn(unsigned int table, int column) {
  if (table == 0 || column <= 0) return false;
  const auto key = std::make_pair(Oid(table), column);
  auto known = FLink->PictureColumns.find(key);
  if (known != FLink->PictureColumns.end()) return known->second;
  // The description gives a domain's base type; the column's declared type
  // is in the catalogue.
  const std::string tableText = std::to_string(table), columnText = std::to_string(column);
  const char* values[] = {tableText.c_str(), columnText.c_str()};
  TResult result(PQexecParams(FLink->Connection,
                              "SELECT t.typname FROM pg_catalog.pg_attribute a "
                              "JOIN pg_catalog.pg_type t ON t.oid = a.atttypid "
                              "WHERE a.attrelid = $1::oid AND a.attnum = $2::int2 "
                              "AND t.typtype = 'd'",
                              2, nullptr, values, nullptr, nullptr, 0));
  if (PQresultStatus(result.get()) != PGRES_TUPLES_OK)
    ServerError("cannot describe the columns on database", result.get());
  bool picture = false;
  if (PQntuples(result.get()) == 1) {
    const char* name = PQgetvalue(result.get(), 0, 0);
    for (const char* kind : {"graphic", "image", "picture"})
      picture = picture || strcasecmp(name, kind) == 0;
  }
  FLink->PictureColumns[key] = picture;
  return picture;
}

void TPgQuery::Describe(pg_result* description) {
  const int count = PQnfields(description);
  if (count == 0) DatabaseError("the SQL is no query: it gives no columns");
  std::vector<TFieldDef> defs(static_cast<std::size_t>(count));
  FTypes.assign(static_cast<std::size_t>(count), ftUnknown);
  FBlankPadded.assign(static_cast<std::size_t>(count), false);
  for (int i = 0; i < count; ++i) {
    TFieldDef& def = defs[static_cast<std::size_t>(i)];
    def.Name = Utf8ToLatin1(PQfname(description, i));
    def.DataType = FieldTypeOfPgType(PQftype(description, i));
    if (def.DataType == ftBlob &&
        IsPictureColumn(PQftable(description, i), PQftablecol(description, i)))
      def.DataType = ftGraphic;
    FTypes[static_cast<std::size_t>(i)] = def.DataType;
    FBlankPadded[static_cast<std::size_t>(i)] = PQftype(description, i) == BlankPaddedChar;
  }
  DefineFields(defs);
}

void TPgQuery::CheckStatement() const {
  const std::string sql = FSQL->GetText();
  if (sql.find_first_not_of(" \t\r\n;") == std::string::npos)
    DatabaseError("the SQL holds no statement");
}

void TPgQuery::InternalDescribe() {
  CheckStatement();
  TakeLink();
  try {
    const std::string sql = Latin1ToUtf8(FSQL->GetText());
    // Preparing only compiles: nothing runs, whatever the statement.
    TResult prepared(PQprepare(FLink->Connection, "", sql.c_str(), 0, nullptr));
    if (PQresultStatus(prepared.get()) != PGRES_COMMAND_OK &&
        PQstatus(FLink->Connection) != CONNECTION_OK) {
      std::string error;
      if (!detail::RemakePgLink(*FLink, error))
        DatabaseError("cannot connect to database \"" + FConnection +
                      "\": " + Utf8ToLatin1(OneLine(error.c_str())));
      prepared.reset(PQprepare(FLink->Connection, "", sql.c_str(), 0, nullptr));
    }
    if (PQresultStatus(prepared.get()) != PGRES_COMMAND_OK)
      ServerError("SQL error on database", prepared.get());
    TResult description(PQdescribePrepared(FLink->Connection, ""));
    if (PQresultStatus(description.get()) != PGRES_COMMAND_OK)
      ServerError("SQL error on database", description.get());
    Describe(description.get());
  } catch (...) {
    ReleaseLink();
    throw;
  }
  ReleaseLink();
}

void TPgQuery::Declare() {
  const std::string sql = Latin1ToUtf8(FSQL->GetText());
  // Only a query can stand in a cursor, and the extended protocol refuses a
  // second statement behind it.
  const std::string command = std::string("DECLARE ") + CursorName + " NO SCROLL CURSOR FOR " + sql;
  TResult declared(
      PQexecParams(FLink->Connection, command.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 0));
  if (PQresultStatus(declared.get()) != PGRES_COMMAND_OK) {
    const char* state = PQresultErrorField(declared.get(), PG_DIAG_SQLSTATE);
    if (state != nullptr && std::strcmp(state, "42601") == 0) RefuseNoQuery(sql);
    ServerError("SQL error on database", declared.get());
  }
  FBatch.reset();
  FBatchRow = 0;
  FBatchSize = FirstBatch;
  FDone = false;
  FDelivered = false;
}

void TPgQuery::RefuseNoQuery(const std::string& sql) {
  // A syntax error in a cursor may be a statement that is no query (an
  // UPDATE ... RETURNING); compiled alone, outside the failed transaction,
  // it tells which.
  TResult ended(PQexec(FLink->Connection, "ROLLBACK"));
  TResult prepared(PQprepare(FLink->Connection, "", sql.c_str(), 0, nullptr));
  if (PQresultStatus(prepared.get()) == PGRES_COMMAND_OK)
    DatabaseError("the SQL is no query: only a SELECT can be read");
  ServerError("SQL error on database", prepared.get());
}

void TPgQuery::InternalOpen() {
  CheckStatement();
  TakeLink();
  try {
    ApplyTimeout();
    Declare();
    // The first batch describes its columns even when it holds no row: one
    // trip to the server fewer than asking for the description apart.
    FetchBatch();
    Describe(FBatch.get());
  } catch (...) {
    InternalClose();
    throw;
  }
}

void TPgQuery::InternalClose() {
  FBatch.reset();
  if (FLink == nullptr) return;
  DropAhead();
  // Ending the transaction closes the cursor; a connection that cannot
  // even do that is not kept.
  TResult ended(PQexec(FLink->Connection, "ROLLBACK"));
  ReleaseLink();
}

void TPgQuery::InternalRewind() {
  if (!FDelivered) return;
  DropAhead();
  // The cursor only goes forward: it is declared again.
  Run(std::string("CLOSE ") + CursorName, false, "cannot read from database");
  Declare();
}

std::string TPgQuery::FetchCommand() const {
  return "FETCH FORWARD " + std::to_string(FBatchSize) + " FROM " + CursorName;
}

void TPgQuery::FetchBatch() {
  const int asked = FBatchSize;
  FBatch = FAhead ? ReceiveAhead() : Run(FetchCommand(), true, "cannot read from database");
  FBatchRow = 0;
  if (PQntuples(FBatch.get()) < asked) FDone = true;
  FBatchSize = std::min(FBatchSize * 2, LargestBatch);
  // A command that cannot be sent is sent again, and fails, when its batch
  // is wanted.
  if (!FDone && asked >= AheadFrom)
    FAhead = PQsendQuery(FLink->Connection, FetchCommand().c_str()) == 1;
}

TPgQuery::TResult TPgQuery::ReceiveAhead() {
  FAhead = false;
  TResult result(PQgetResult(FLink->Connection));
  // The connection takes the next command only once every result of this
  // one has been read.
  while (PGresult* rest = PQgetResult(FLink->Connection)) PQclear(rest);
  if (PQresultStatus(result.get()) != PGRES_TUPLES_OK)
    ServerError("cannot read from database", result.get());
  return result;
}

void TPgQuery::DropAhead() {
  if (!FAhead) return;
  FAhead = false;
  // The server finishes the batch (one of bounded size); its rows are read
  // and dropped, so that the connection can take the next command.
  while (PGresult* result = PQgetResult(FLink->Connection)) PQclear(result);
}

bool TPgQuery::InternalFetch(std::vector<TFieldValue>& row) {
  if (FBatch == nullptr || FBatchRow >= PQntuples(FBatch.get())) {
    if (FDone) return false;
    FetchBatch();
    if (PQntuples(FBatch.get()) == 0) return false;
  }
  pg_result* batch = FBatch.get();
  const int count = std::min(PQnfields(batch), static_cast<int>(row.size()));
  for (std::size_t i = static_cast<std::size_t>(count); i < row.size(); ++i)
    row[i] = std::monostate();
  for (int i = 0; i < count; ++i) {
    TFieldValue& value = row[static_cast<std::size_t>(i)];
    if (PQgetisnull(batch, FBatchRow, i)) {
      value = std::monostate();
      continue;
    }
    const char* text = PQgetvalue(batch, FBatchRow, i);
    const int length = PQgetlength(batch, FBatchRow, i);
    switch (i < static_cast<int>(FTypes.size()) ? FTypes[static_cast<std::size_t>(i)] : ftString) {
      case ftSmallint:
      case ftInteger: {
        std::int64_t number = 0;
        if (ParseWhole(text, length, number)) {
          value = number;
          continue;
        }
        break;
      }
      case ftFloat: {
        double number = 0;
        if (ParseWhole(text, length, number)) {
          value = number;
          continue;
        }
        break;
      }
      case ftBoolean:
        value = std::int64_t{text[0] == 't' ? 1 : 0};
        continue;
      case ftBlob:
      case ftGraphic: {
        std::size_t size = 0;
        unsigned char* bytes = PQunescapeBytea(reinterpret_cast<const unsigned char*>(text), &size);
        if (bytes == nullptr) DatabaseError("out of memory reading a picture");
        value = TFieldBlob{std::string(reinterpret_cast<const char*>(bytes), size)};
        PQfreemem(bytes);
        continue;
      }
      default:
        break;
    }
    std::size_t size = static_cast<std::size_t>(length);
    // char(n) pads with blanks that PostgreSQL itself ignores (and that an
    // SQLite column of the same declaration never holds).
    if (i < static_cast<int>(FBlankPadded.size()) && FBlankPadded[static_cast<std::size_t>(i)])
      while (size > 0 && text[size - 1] == ' ') --size;
    detail::AssignLatin1(value, text, size);
  }
  ++FBatchRow;
  FDelivered = true;
  return true;
}

}  // namespace tavkit
