// Table speed: put of a 20-column table of 1,000 and 10,000 rows filled by
// code, in each output mode (plain markup, style classes per cell, row
// classes with the cells that differ), and ReloadDB of 10,000 records of 20
// fields from an SQLite database and from PostgreSQL, each beside its floor:
// the same statement read by the database's own library alone, every value
// as text. Reports the time per call, the document's size and the rows per
// second, for put the time per byte, for put and ReloadDB the most heap
// memory one call holds at once beyond what was held before it (for SQLite,
// also the most its own memory rose: the sort of the statement is there),
// and for ReloadDB the heap memory the table keeps for its rows. The PostgreSQL
// server is the one TAVKIT_BENCH_POSTGRES names (a libpq connection string),
// else one of the benchmark's own (scripts/pg-server) in a temporary folder.
#include <benchmark/benchmark.h>
#include <libpq-fe.h>
#include <sqlite3.h>
#include <malloc.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include <tavkit/core/WvOptimizer.h>
#include <tavkit/platform/base/Strings.h>
#include <tavkit/platform/base/TextEncoding.h>
#include <tavkit/platform/data/DataAccess.h>
#include <tavkit/platform/data/SQLiteQuery.h>
#include <tavkit/tables/WvDBTable.h>
#include <tavkit/tables/WvTable.h>

#include "PeakMemory.h"

namespace {

using namespace tavkit;

constexpr int kColumns = 20;

enum Mode { kPlain, kStyle, kOptimised };

// The text of a cell: short words and numbers, as a listing holds them.
std::string CellText(int row, int column) {
  switch (column % 4) {
    case 0:
      return std::to_string(row * 31 + column);
    case 1:
      return "Item " + std::to_string(row);
    case 2:
      return std::to_string(row % 97) + "." + std::to_string(column % 10) + "0";
    default:
      return "Text of column " + std::to_string(column);
  }
}

// A table of 20 columns and rows rows, every row written. Every fifth column
// is right-aligned so that the optimised mode has cells that differ from
// their row's class.
std::unique_ptr<TComponent> MakeTable(int rows, TWvTable*& table) {
  auto form = std::make_unique<TComponent>(nullptr);
  table = new TWvTable(form.get());
  while (table->ColumnCount() < kColumns) table->GetColumnList()->AddItem();
  for (int c = 0; c < kColumns; c += 5) table->GetColumnList()->Items(c)->SetDataAlign(taRight);
  table->SetMaxRows(rows);
  TStringList cells;
  for (int r = 0; r < rows; ++r) {
    cells.Clear();
    for (int c = 0; c < kColumns; ++c) cells.Add(CellText(r, c));
    table->AddRow(&cells);
  }
  return form;
}

void BM_TablePut(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  const auto mode = static_cast<Mode>(state.range(1));
  TWvTable* table = nullptr;
  auto form = MakeTable(rows, table);
  TWvOptimizer optimizer(nullptr);
  optimizer.setUseCSS(mode != kPlain);
  optimizer.setoptimizeTableDefinitions(mode == kOptimised);
  TWvCustomOptimizer* given = mode == kPlain ? nullptr : &optimizer;
  std::size_t bytes = 0;
  std::size_t peak = 0;
  for (auto _ : state) {
    std::string html;
    peak = std::max(peak, peakmemory::Of([&] { html = table->put(given); }));
    bytes = html.size();
    benchmark::DoNotOptimize(html);
  }
  state.counters["bytes"] = static_cast<double>(bytes);
  state.counters["peak_MB"] = static_cast<double>(peak) / 1e6;
  state.counters["ns_per_byte"] = benchmark::Counter(
      static_cast<double>(bytes) * 1e-9,
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.counters["rows/s"] =
      benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_TablePut)
    ->ArgNames({"rows", "mode"})
    ->ArgsProduct({{1000, 10000}, {kPlain, kStyle, kOptimised}})
    ->Unit(benchmark::kMillisecond);

void Exec(sqlite3* db, const char* sql) {
  if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
    throw std::runtime_error(sqlite3_errmsg(db));
}

// A database of records records with 20 fields: a whole number, a real
// number and eighteen texts.
void MakeDatabase(const std::string& file, int records) {
  sqlite3* db = nullptr;
  if (sqlite3_open(file.c_str(), &db) != SQLITE_OK) throw std::runtime_error("cannot open " + file);
  std::string create = "CREATE TABLE listing (c0 INTEGER, c1 REAL";
  std::string insert = "INSERT INTO listing VALUES (?, ?";
  for (int c = 2; c < kColumns; ++c) {
    create += ", c" + std::to_string(c) + " TEXT";
    insert += ", ?";
  }
  Exec(db, (create + ")").c_str());
  Exec(db, "BEGIN");
  sqlite3_stmt* statement = nullptr;
  sqlite3_prepare_v2(db, (insert + ")").c_str(), -1, &statement, nullptr);
  for (int r = 0; r < records; ++r) {
    sqlite3_bind_int(statement, 1, r);
    sqlite3_bind_double(statement, 2, r * 0.25);
    for (int c = 2; c < kColumns; ++c) {
      const std::string text = CellText(r, c);
      sqlite3_bind_text(statement, c + 1, text.c_str(), static_cast<int>(text.size()),
                        SQLITE_TRANSIENT);
    }
    if (sqlite3_step(statement) != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(db));
    sqlite3_reset(statement);
  }
  sqlite3_finalize(statement);
  Exec(db, "COMMIT");
  sqlite3_close(db);
}

// The same records in a PostgreSQL database, through conninfo.
void MakePgDatabase(const std::string& conninfo, int records) {
  PGconn* db = PQconnectdb(conninfo.c_str());
  auto run = [db](const std::string& sql) {
    PGresult* result = PQexec(db, sql.c_str());
    const ExecStatusType status = PQresultStatus(result);
    PQclear(result);
    if (status != PGRES_COMMAND_OK && status != PGRES_COPY_IN)
      throw std::runtime_error(PQerrorMessage(db));
  };
  if (PQstatus(db) != CONNECTION_OK) throw std::runtime_error(PQerrorMessage(db));
  PQsetNoticeProcessor(
      db, [](void*, const char*) {}, nullptr);
  std::string create = "DROP TABLE IF EXISTS listing; CREATE TABLE listing (c0 integer, c1 real";
  for (int c = 2; c < kColumns; ++c) create += ", c" + std::to_string(c) + " text";
  run(create + ")");
  run("COPY listing FROM STDIN");
  for (int r = 0; r < records; ++r) {
    std::string line = std::to_string(r) + "\t" + std::to_string(r * 0.25);
    for (int c = 2; c < kColumns; ++c) line += "\t" + Latin1ToUtf8(CellText(r, c));
    line += "\n";
    PQputCopyData(db, line.data(), static_cast<int>(line.size()));
  }
  PQputCopyEnd(db, nullptr);
  PGresult* copied = PQgetResult(db);
  const bool done = PQresultStatus(copied) == PGRES_COMMAND_OK;
  PQclear(copied);
  if (!done) throw std::runtime_error(PQerrorMessage(db));
  PQfinish(db);
}

// Reads records records of twenty fields into a data-bound table again and
// again, from the query that makeQuery puts on the form.
// Each reload runs inside around, which may measure it.
void MeasureReload(
    benchmark::State& state, int records, const std::function<TDataSet*(TComponent&)>& makeQuery,
    const std::function<void(const std::function<void()>&)>& around =
        [](const std::function<void()>& reload) { reload(); }) {
  TComponent form(nullptr);
  TDataSet* query = makeQuery(form);
  auto* source = new TDataSource(&form);
  source->SetDataSet(query);
  auto* table = new TWvDBTable(&form);
  while (table->ColumnCount() < kColumns) table->GetColumnList()->AddItem();
  // Bound before the source is set, so that binding reads nothing.
  for (int c = 0; c < kColumns; ++c)
    table->GetColumnList()->Items(c)->SetField(query->FieldByName("c" + std::to_string(c)));
  table->SetDataSource(source);
  table->SetMaxRows(records);
  // The first reading fills an empty table; the ones timed read into a full
  // one, as a server answering page after page does.
  const std::size_t empty = peakmemory::gLiveBytes;
  table->ReloadDB();
  const std::size_t kept = peakmemory::gLiveBytes - empty;
  std::size_t peak = 0;
  for (auto _ : state) {
    around([&] { peak = std::max(peak, peakmemory::Of([&] { table->ReloadDB(); })); });
    if (table->NumberOfRows() != records) {
      state.SkipWithError("the table did not read every record");
      break;
    }
  }
  state.counters["peak_MB"] = static_cast<double>(peak) / 1e6;
  state.counters["table_MB"] = static_cast<double>(kept) / 1e6;
  state.counters["rows/s"] = benchmark::Counter(static_cast<double>(records),
                                                benchmark::Counter::kIsIterationInvariantRate);
}

const char* const kListing = "SELECT * FROM listing ORDER BY c0";

// A database of records records in a temporary folder, for as long as the
// benchmark runs.
class TBenchDatabase {
 public:
  explicit TBenchDatabase(int records) {
    std::string dir = (std::filesystem::temp_directory_path() / "tavkit-bench-XXXXXX").string();
    if (mkdtemp(dir.data()) == nullptr) return;
    FDir = dir;
    File = dir + "/listing.db";
    MakeDatabase(File, records);
  }
  ~TBenchDatabase() {
    if (!FDir.empty()) std::filesystem::remove_all(FDir);
  }
  std::string File;  // empty when no temporary folder could be had

 private:
  std::string FDir;
};

// SQLite's own memory high water over work(), above what it held before.
template <class Work>
double SQLiteMegabytes(Work&& work) {
  sqlite3_int64 current = 0, highest = 0;
  sqlite3_status64(SQLITE_STATUS_MEMORY_USED, &current, &highest, 1);
  const sqlite3_int64 before = current;
  work();
  sqlite3_status64(SQLITE_STATUS_MEMORY_USED, &current, &highest, 1);
  return static_cast<double>(highest - before) / 1e6;
}

void BM_DBTableReload(benchmark::State& state) {
  const int records = static_cast<int>(state.range(0));
  TBenchDatabase database(records);
  if (database.File.empty()) {
    state.SkipWithError("no temporary folder");
    return;
  }
  double sqlitePeak = 0;
  MeasureReload(state, records, [&](TComponent& form) {
    auto* query = new TSQLiteQuery(&form);
    query->SetDatabaseFile(database.File);
    query->GetSQL()->SetText(kListing);
    return query;
  }, [&](const std::function<void()>& reload) {
    sqlitePeak = std::max(sqlitePeak, SQLiteMegabytes(reload));
  });
  state.counters["sqlite_MB"] = sqlitePeak;
}
BENCHMARK(BM_DBTableReload)->ArgName("rows")->Arg(10000)->Unit(benchmark::kMillisecond);

// The floor of BM_DBTableReload: the same statement stepped with the SQLite
// API alone, every column read as text.
void BM_SQLiteFloor(benchmark::State& state) {
  const int records = static_cast<int>(state.range(0));
  TBenchDatabase database(records);
  sqlite3* db = nullptr;
  sqlite3_stmt* statement = nullptr;
  if (database.File.empty() ||
      sqlite3_open_v2(database.File.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK ||
      sqlite3_prepare_v2(db, kListing, -1, &statement, nullptr) != SQLITE_OK) {
    state.SkipWithError("cannot read the database");
    sqlite3_close(db);
    return;
  }
  // As for the table, the pass timed is not the first: SQLite's page cache
  // is filled already.
  while (sqlite3_step(statement) == SQLITE_ROW) {
  }
  sqlite3_reset(statement);
  double sqlitePeak = 0;
  for (auto _ : state) {
    int rows = 0;
    std::size_t bytes = 0;
    sqlitePeak = std::max(sqlitePeak, SQLiteMegabytes([&] {
      while (sqlite3_step(statement) == SQLITE_ROW) {
        for (int c = 0; c < kColumns; ++c) {
          benchmark::DoNotOptimize(sqlite3_column_text(statement, c));
          bytes += static_cast<std::size_t>(sqlite3_column_bytes(statement, c));
        }
        ++rows;
      }
      sqlite3_reset(statement);
    }));
    benchmark::DoNotOptimize(bytes);
    if (rows != records) {
      state.SkipWithError("the statement did not give every record");
      break;
    }
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  state.counters["sqlite_MB"] = sqlitePeak;
  state.counters["rows/s"] = benchmark::Counter(static_cast<double>(records),
                                                benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_SQLiteFloor)->ArgName("rows")->Arg(10000)->Unit(benchmark::kMillisecond);

// A PostgreSQL server for the benchmark: the one the environment names, or
// one of its own for as long as the program runs.
class TBenchServer {
 public:
  TBenchServer() {
    const char* given = std::getenv("TAVKIT_BENCH_POSTGRES");
    if (given != nullptr && *given != '\0') {
      Connection = given;
      return;
    }
    char folder[] = "/tmp/tavkit-bench-pg-XXXXXX";
    if (mkdtemp(folder) == nullptr) return;
    FDir = folder;
    if (Script("start") && Script("psql", "postgres -c 'CREATE DATABASE bench'"))
      Connection = "host=" + FDir + " user=tavkit dbname=bench";
  }
  ~TBenchServer() {
    if (!FDir.empty()) Script("stop");
  }
  std::string Connection;  // empty when no server could be had

 private:
  bool Script(const std::string& command, const std::string& arguments = "") const {
    const std::string line = "'" TAVKIT_EXAMPLES_DIR "/../scripts/pg-server' " + command + " '" +
                             FDir + "' " + arguments + " > /dev/null";
    return std::system(line.c_str()) == 0;
  }
  std::string FDir;
};

// The one server of the program, started when first asked for.
TBenchServer& Server() {
  static TBenchServer server;
  return server;
}

void BM_DBTableReloadPostgres(benchmark::State& state) {
  const TBenchServer& server = Server();
  const int records = static_cast<int>(state.range(0));
  if (server.Connection.empty()) {
    state.SkipWithError("no PostgreSQL server");
    return;
  }
  MakePgDatabase(server.Connection, records);
  MeasureReload(state, records, [&](TComponent& form) {
    auto* query = new TPgQuery(&form);
    query->SetConnection(server.Connection);
    query->GetSQL()->SetText(kListing);
    return query;
  });
}
BENCHMARK(BM_DBTableReloadPostgres)->ArgName("rows")->Arg(10000)->Unit(benchmark::kMillisecond);

// The floor of BM_DBTableReloadPostgres: libpq alone runs the same statement
// and reads every value of the result. The result holds every row at once,
// which the query behind the table never does; result_MB is its size.
void BM_PostgresFloor(benchmark::State& state) {
  const TBenchServer& server = Server();
  const int records = static_cast<int>(state.range(0));
  if (server.Connection.empty()) {
    state.SkipWithError("no PostgreSQL server");
    return;
  }
  MakePgDatabase(server.Connection, records);
  PGconn* db = PQconnectdb(server.Connection.c_str());
  if (PQstatus(db) != CONNECTION_OK) {
    state.SkipWithError("cannot connect");
    PQfinish(db);
    return;
  }
  double held = 0;
  for (auto _ : state) {
    const std::size_t before = mallinfo2().uordblks;
    PGresult* result = PQexec(db, kListing);
    const std::size_t after = mallinfo2().uordblks;
    held = std::max(held, static_cast<double>(after - std::min(after, before)) / 1e6);
    const int rows = PQresultStatus(result) == PGRES_TUPLES_OK ? PQntuples(result) : -1;
    std::size_t bytes = 0;
    for (int r = 0; r < rows; ++r)
      for (int c = 0; c < kColumns; ++c) {
        benchmark::DoNotOptimize(PQgetvalue(result, r, c));
        bytes += static_cast<std::size_t>(PQgetlength(result, r, c));
      }
    PQclear(result);
    benchmark::DoNotOptimize(bytes);
    if (rows != records) {
      state.SkipWithError("the statement did not give every record");
      break;
    }
  }
  PQfinish(db);
  state.counters["result_MB"] = held;
  state.counters["rows/s"] = benchmark::Counter(static_cast<double>(records),
                                                benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_PostgresFloor)->ArgName("rows")->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
