// Table speed: put of a 20-column table of 1,000 and 10,000 rows filled by
// code, in each output mode (plain markup, style classes per cell, row
// classes with the cells that differ), and ReloadDB of 10,000 records of 20
// fields from an SQLite database. Reports the time per call, the document's
// size and the rows per second, and for put the time per byte and the most
// heap memory one put holds at once.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include <tavkit/core/WvOptimizer.h>
#include <tavkit/platform/base/Strings.h>
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

void BM_DBTableReload(benchmark::State& state) {
  const int records = static_cast<int>(state.range(0));
  std::string dir = (std::filesystem::temp_directory_path() / "tavkit-bench-XXXXXX").string();
  if (mkdtemp(dir.data()) == nullptr) {
    state.SkipWithError("no temporary folder");
    return;
  }
  MakeDatabase(dir + "/listing.db", records);
  {
    TComponent form(nullptr);
    auto* query = new TSQLiteQuery(&form);
    query->SetDatabaseFile(dir + "/listing.db");
    query->GetSQL()->SetText("SELECT * FROM listing ORDER BY c0");
    auto* source = new TDataSource(&form);
    source->SetDataSet(query);
    auto* table = new TWvDBTable(&form);
    while (table->ColumnCount() < kColumns) table->GetColumnList()->AddItem();
    // Bound before the source is set, so that binding reads nothing.
    for (int c = 0; c < kColumns; ++c)
      table->GetColumnList()->Items(c)->SetField(query->FieldByName("c" + std::to_string(c)));
    table->SetDataSource(source);
    table->SetMaxRows(records);
    for (auto _ : state) {
      table->ReloadDB();
      if (table->NumberOfRows() != records) {
        state.SkipWithError("the table did not read every record");
        break;
      }
    }
    state.counters["rows/s"] = benchmark::Counter(static_cast<double>(records),
                                                  benchmark::Counter::kIsIterationInvariantRate);
  }
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_DBTableReload)->ArgName("rows")->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
