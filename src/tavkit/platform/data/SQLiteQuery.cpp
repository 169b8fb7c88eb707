// The SQLite query: opens its database read-only (reading pages must never
// change or create a database), compiles exactly one statement, and steps it
// one row per move. Connections and compiled statements come from a cache
// that keeps them for the next page of a long-running server. Text crosses between SQLite's UTF-8
// and the library's Latin-1 strings here, in both directions.
#include <tavkit/platform/data/SQLiteQuery.h>

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <utility>

#include <tavkit/platform/base/TextEncoding.h>
#include <tavkit/platform/data/detail/DatabaseText.h>
#include <tavkit/platform/data/detail/SQLiteConnections.h>
#include <tavkit/platform/formfile/FormFile.h>

namespace tavkit {

namespace {

// The type name without its size ("VARCHAR(20)" -> "VARCHAR"), upper case,
// words separated by single blanks.
std::string TypeName(const std::string& declaredType) {
  std::string name;
  for (char c : AsciiUpperCase(declaredType.substr(0, declaredType.find('(')))) {
    bool blank = c == ' ' || c == '\t' || c == '\r' || c == '\n';
    if (!blank)
      name += c;
    else if (!name.empty() && name.back() != ' ')
      name += ' ';
  }
  if (!name.empty() && name.back() == ' ') name.pop_back();
  return name;
}

bool Contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

std::string TextOf(const unsigned char* text, int bytes) {
  if (text == nullptr || bytes <= 0) return std::string();
  return std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(bytes));
}

// How many virtual machine instructions SQLite runs between two looks at
// the clock: often enough to stop within a millisecond or so, rarely
// enough to cost nothing measurable.
constexpr int ProgressInterval = 1000;

struct TStepDeadline {
  std::chrono::steady_clock::time_point At;
  bool Passed = false;
};

int CheckDeadline(void* context) {
  auto* deadline = static_cast<TStepDeadline*>(context);
  deadline->Passed = std::chrono::steady_clock::now() >= deadline->At;
  return deadline->Passed ? 1 : 0;
}

}  // namespace

TFieldType FieldTypeOfDeclaration(const std::string& declaredType) {
  static const std::pair<const char*, TFieldType> exact[] = {
      {"INT", ftInteger},        {"INTEGER", ftInteger}, {"TEXT", ftString},
      {"CHAR", ftString},        {"VARCHAR", ftString},  {"CLOB", ftString},
      {"MEMO", ftMemo},          {"REAL", ftFloat},      {"FLOAT", ftFloat},
      {"DOUBLE", ftFloat},       {"BOOLEAN", ftBoolean}, {"BOOL", ftBoolean},
      {"DATE", ftDate},          {"TIME", ftTime},       {"DATETIME", ftDateTime},
      {"TIMESTAMP", ftDateTime}, {"BLOB", ftBlob},       {"GRAPHIC", ftGraphic},
      {"IMAGE", ftGraphic},      {"PICTURE", ftGraphic},
  };
  const std::string name = TypeName(declaredType);
  if (name.empty()) return ftUnknown;
  for (const auto& [typeName, type] : exact)
    if (name == typeName) return type;
  // Other names go by the rules SQLite itself uses for a column's affinity
  // ("BIGINT", "NVARCHAR", "DOUBLE PRECISION"); a name none of them covers
  // ("NUMERIC") leaves the type to the first value.
  if (Contains(name, "INT")) return ftInteger;
  if (Contains(name, "CHAR") || Contains(name, "CLOB") || Contains(name, "TEXT")) return ftString;
  if (Contains(name, "BLOB")) return ftBlob;
  if (Contains(name, "REAL") || Contains(name, "FLOA") || Contains(name, "DOUB")) return ftFloat;
  return ftUnknown;
}

TSQLiteQuery::TSQLiteQuery(TComponent* owner)
    : TDataSet(owner), FSQL(std::make_unique<TStringList>()) {
  FSQL->OnChange = [this](TObject*) { Reset(); };
}

TSQLiteQuery::~TSQLiteQuery() {
  // Observers are not told: the data set is going, and free notification
  // tells those that hold it.
  Release();
}

void TSQLiteQuery::Reset() {
  Close();
  DestroyFields();
}

void TSQLiteQuery::SetDatabaseFile(const std::string& fileName) {
  // Read from a form file, a relative name means the file's folder.
  const TFormLoadContext* load = CurrentFormLoad();
  if (load != nullptr && IsLoading()) FBaseFolder = load->Folder;
  if (fileName == FDatabaseFile) return;
  Reset();
  FDatabaseFile = fileName;
}

std::string TSQLiteQuery::DatabasePath() const {
  if (FDatabaseFile.empty()) return std::string();
  std::filesystem::path file(Latin1ToUtf8(FDatabaseFile));
  if (file.is_absolute()) return file.lexically_normal().string();
  std::error_code error;
  std::filesystem::path base = FBaseFolder.empty() ? std::filesystem::current_path(error)
                                                   : std::filesystem::path(FBaseFolder);
  return (base / file).lexically_normal().string();
}

void TSQLiteQuery::SetSQL(const TStrings& lines) {
  // Assign tells OnChange, which closes the query and frees its fields.
  FSQL->Assign(&lines);
}

void TSQLiteQuery::SetTimeout(int seconds) {
  if (seconds < 0) DatabaseError("the time limit cannot be negative");
  FTimeout = seconds;
}

void TSQLiteQuery::SQLiteError(const std::string& what, int code) const {
  if (FTimedOut)
    DatabaseError(what + " \"" + DatabasePath() +
                  "\": the query ran longer than its time limit of " + std::to_string(FTimeout) +
                  " s");
  const char* message = FDatabase != nullptr ? sqlite3_errmsg(FDatabase) : sqlite3_errstr(code);
  DatabaseError(what + " \"" + DatabasePath() + "\": " + message);
}

void TSQLiteQuery::Prepare() {
  if (FDatabaseFile.empty()) DatabaseError("no database file given");
  const std::string path = DatabasePath();
  std::string message;
  FDatabase = detail::SharedConnection(path, message);
  if (FDatabase == nullptr) DatabaseError("cannot open database \"" + path + "\": " + message);

  FStatementSQL = Latin1ToUtf8(FSQL->GetText());
  FStatement = detail::TakeStatement(FDatabase, FStatementSQL);
  FDone = false;
  // A statement compiled before passed the checks below then.
  if (FStatement != nullptr) return;
  const std::string& sql = FStatementSQL;
  const char* tail = nullptr;
  int code =
      sqlite3_prepare_v2(FDatabase, sql.c_str(), static_cast<int>(sql.size()), &FStatement, &tail);
  try {
    if (code != SQLITE_OK) SQLiteError("SQL error on database", code);
    if (FStatement == nullptr) DatabaseError("the SQL holds no statement");
    // Whatever follows must be blanks or comments: a second statement would
    // otherwise be silently dropped.
    sqlite3_stmt* next = nullptr;
    const char* end = sql.c_str() + sql.size();
    code = sqlite3_prepare_v2(FDatabase, tail, static_cast<int>(end - tail), &next, nullptr);
    sqlite3_finalize(next);
    if (code != SQLITE_OK) SQLiteError("SQL error on database", code);
    if (next != nullptr) DatabaseError("the SQL holds more than one statement");
    if (sqlite3_column_count(FStatement) == 0)
      DatabaseError("the SQL is no query: it gives no columns");
    // The file is opened read-only, so a statement that writes would fail
    // at its first row anyway; refused here it says why.
    if (sqlite3_stmt_readonly(FStatement) == 0)
      DatabaseError("the SQL is no query: it would change the database");
  } catch (...) {
    // A statement that failed the checks must not be kept for the next.
    sqlite3_finalize(FStatement);
    FStatement = nullptr;
    Release();
    throw;
  }
}

void TSQLiteQuery::Release() {
  if (FDatabase != nullptr) detail::GiveBackStatement(FDatabase, FStatementSQL, FStatement);
  FStatement = nullptr;
  FDatabase = nullptr;
}

void TSQLiteQuery::Describe() {
  const int count = sqlite3_column_count(FStatement);
  std::vector<TFieldDef> defs(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    const char* name = sqlite3_column_name(FStatement, i);
    const char* declared = sqlite3_column_decltype(FStatement, i);
    TFieldDef& def = defs[static_cast<std::size_t>(i)];
    def.Name = Utf8ToLatin1(name != nullptr ? name : "");
    def.DataType = FieldTypeOfDeclaration(declared != nullptr ? declared : "");
  }
  DefineFields(defs);
}

void TSQLiteQuery::InternalDescribe() {
  Prepare();
  try {
    Describe();
  } catch (...) {
    Release();
    throw;
  }
  Release();
}

void TSQLiteQuery::InternalOpen() {
  Prepare();
  try {
    Describe();
  } catch (...) {
    Release();
    throw;
  }
}

void TSQLiteQuery::InternalClose() {
  Release();
}

int TSQLiteQuery::Step() {
  FTimedOut = false;
  if (FTimeout == 0) return sqlite3_step(FStatement);
  // The connection is shared by every query of the file, so the handler is
  // this query's only while it steps.
  TStepDeadline deadline{std::chrono::steady_clock::now() + std::chrono::seconds(FTimeout)};
  sqlite3_progress_handler(FDatabase, ProgressInterval, CheckDeadline, &deadline);
  const int code = sqlite3_step(FStatement);
  sqlite3_progress_handler(FDatabase, 0, nullptr, nullptr);
  FTimedOut = deadline.Passed && code == SQLITE_INTERRUPT;
  return code;
}

void TSQLiteQuery::InternalRewind() {
  sqlite3_reset(FStatement);
  FDone = false;
}

bool TSQLiteQuery::InternalFetch(std::vector<TFieldValue>& row) {
  // After its last row a statement would start over if stepped again.
  if (FDone) return false;
  int code = Step();
  if (code == SQLITE_DONE) {
    FDone = true;
    return false;
  }
  if (code != SQLITE_ROW) {
    FDone = true;
    SQLiteError("cannot read from database", code);
  }
  const int count = std::min(sqlite3_column_count(FStatement), static_cast<int>(row.size()));
  for (std::size_t i = static_cast<std::size_t>(count); i < row.size(); ++i)
    row[i] = std::monostate();
  for (int i = 0; i < count; ++i) {
    TFieldValue& value = row[static_cast<std::size_t>(i)];
    switch (sqlite3_column_type(FStatement, i)) {
      case SQLITE_INTEGER:
        value = static_cast<std::int64_t>(sqlite3_column_int64(FStatement, i));
        break;
      case SQLITE_FLOAT:
        value = sqlite3_column_double(FStatement, i);
        break;
      case SQLITE_TEXT: {
        const unsigned char* text = sqlite3_column_text(FStatement, i);
        const int bytes = text == nullptr ? 0 : sqlite3_column_bytes(FStatement, i);
        detail::AssignLatin1(value, text == nullptr ? "" : reinterpret_cast<const char*>(text),
                             static_cast<std::size_t>(std::max(bytes, 0)));
        break;
      }
      case SQLITE_BLOB:
        value =
            TFieldBlob{TextOf(static_cast<const unsigned char*>(sqlite3_column_blob(FStatement, i)),
                              sqlite3_column_bytes(FStatement, i))};
        break;
      default:
        value = std::monostate();
        break;
    }
  }
  return true;
}

}  // namespace tavkit
