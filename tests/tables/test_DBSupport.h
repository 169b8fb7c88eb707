// What the tests of the data-bound elements share: a database of either
// kind, SQLite or PostgreSQL, holding the example shop or tables of the
// test's own, with a temporary folder for what a page writes beside it; and
// a small in-memory data set whose rows, field types and failures a test
// chooses freely. Tests that read a database run once on each kind, with
// the same expected pages.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <memory>
#include <ostream>

#include <tavkit/platform/data/DataAccess.h>
#include <tavkit/platform/data/DataSet.h>

#include "PgTestDatabase.h"
#include "TestSupport.h"

namespace tavkit {

enum class TBackend { SQLite, PostgreSQL };

inline void PrintTo(TBackend backend, std::ostream* out) {
  *out << (backend == TBackend::SQLite ? "SQLite" : "PostgreSQL");
}

// Names the instances of a test run on each kind of database.
struct TBackendName {
  std::string operator()(const ::testing::TestParamInfo<TBackend>& info) const {
    return info.param == TBackend::SQLite ? "SQLite" : "PostgreSQL";
  }
};

// A database in a folder of its own (the file test.db, or a database on the
// tests' PostgreSQL server), removed with the object.
class TTestDatabase {
 public:
  explicit TTestDatabase(TBackend backend = TBackend::SQLite) : Backend(backend) {
    std::string pattern = (std::filesystem::temp_directory_path() / "tavkit-db-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "no temporary folder";
    Dir = pattern;
    File = Dir + "/test.db";
    if (backend == TBackend::PostgreSQL) Pg = std::make_unique<testsupport::TPgTestDatabase>();
  }
  ~TTestDatabase() { std::filesystem::remove_all(Dir); }
  TTestDatabase(const TTestDatabase&) = delete;
  TTestDatabase& operator=(const TTestDatabase&) = delete;

  // A query of the database's kind on it, owned by owner.
  TDataSet* NewQuery(TComponent* owner, const std::string& name, const std::string& sql) const {
    TDataSet* query = nullptr;
    if (Pg) {
      auto* pg = new TPgQuery(owner);
      pg->SetConnection(Pg->Connection);
      pg->GetSQL()->SetText(sql);
      query = pg;
    } else {
      auto* lite = new TSQLiteQuery(owner);
      lite->SetDatabaseFile(File);
      lite->GetSQL()->SetText(sql);
      query = lite;
    }
    query->SetName(name);
    return query;
  }
  // The SQL of a query of either kind.
  static void SetSQL(TDataSet& query, const std::string& sql) {
    if (auto* pg = dynamic_cast<TPgQuery*>(&query)) pg->GetSQL()->SetText(sql);
    if (auto* lite = dynamic_cast<TSQLiteQuery*>(&query)) lite->GetSQL()->SetText(sql);
  }
  // Points a query at a database that is not there: a missing file, or a
  // server that is not running.
  void PointAtNothing(TDataSet& query) const {
    if (auto* pg = dynamic_cast<TPgQuery*>(&query))
      pg->SetConnection("host=" + Dir + "/no-server user=tavkit dbname=" + Pg->Name);
    if (auto* lite = dynamic_cast<TSQLiteQuery*>(&query))
      lite->SetDatabaseFile(Dir + "/missing.db");
  }
  // Points the query back at this database.
  void PointHere(TDataSet& query) const {
    if (auto* pg = dynamic_cast<TPgQuery*>(&query)) pg->SetConnection(Pg->Connection);
    if (auto* lite = dynamic_cast<TSQLiteQuery*>(&query)) lite->SetDatabaseFile(File);
  }
  // How a form file names the query class and points it at this database
  // (file names are relative to the form file's folder, Dir).
  std::string QueryClass() const { return Pg ? "TPgQuery" : "TSQLiteQuery"; }
  std::string Where(const std::string& file = "test.db") const {
    return Pg ? "\"Connection\": \"" + Pg->Connection + "\"" : "\"DatabaseFile\": \"" + file + "\"";
  }

  // Runs every statement of sql; ? parameters take the blobs in order.
  void Exec(const std::string& sql, const std::vector<std::string>& blobs = {}) const {
    if (Pg) {
      Pg->Exec(sql, blobs);
      return;
    }
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(File.c_str(), &db), SQLITE_OK);
    // Test databases need no protection against power loss.
    sqlite3_exec(db, "PRAGMA synchronous = OFF", nullptr, nullptr, nullptr);
    const char* rest = sql.c_str();
    std::size_t blob = 0;
    while (*rest != '\0') {
      sqlite3_stmt* statement = nullptr;
      ASSERT_EQ(sqlite3_prepare_v2(db, rest, -1, &statement, &rest), SQLITE_OK)
          << sqlite3_errmsg(db);
      if (statement == nullptr) break;
      for (int i = 0; i < sqlite3_bind_parameter_count(statement); ++i, ++blob)
        sqlite3_bind_blob(statement, i + 1, blobs.at(blob).data(),
                          static_cast<int>(blobs.at(blob).size()), SQLITE_STATIC);
      EXPECT_EQ(sqlite3_step(statement), SQLITE_DONE) << sqlite3_errmsg(db);
      sqlite3_finalize(statement);
    }
    sqlite3_close(db);
  }

  // The example shop: five products with PNG pictures, four customers.
  void LoadShop() const {
    const std::string text = testsupport::ReadText(TAVKIT_SOURCE_DIR "/examples/data/shop.sql");
    ASSERT_FALSE(text.empty());
    Exec(text);
  }

  // The names of the pictures written into the folder images/ beside the
  // database so far, in order of name.
  std::vector<std::string> Images() const {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(Dir + "/images", error))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  TBackend Backend;
  std::string Dir;
  std::string File;
  std::unique_ptr<testsupport::TPgTestDatabase> Pg;
};

// Rows held in memory. Reading row FailAt raises, as a broken cursor does.
class TMemoryDataSet : public TDataSet {
 public:
  TMemoryDataSet(TComponent* owner, std::vector<TFieldDef> defs,
                 std::vector<std::vector<TFieldValue>> rows)
      : TDataSet(owner), Defs(std::move(defs)), Rows(std::move(rows)) {}
  ~TMemoryDataSet() override { Close(); }

  std::vector<TFieldDef> Defs;
  std::vector<std::vector<TFieldValue>> Rows;
  int FailAt = -1;
  int Opens = 0;

 protected:
  void InternalOpen() override {
    ++Opens;
    InternalDescribe();
  }
  void InternalClose() override {}
  bool InternalFetch(std::vector<TFieldValue>& row) override {
    if (FNext == FailAt) throw EDatabaseError("row " + std::to_string(FNext) + " is unreadable");
    if (FNext >= static_cast<int>(Rows.size())) return false;
    row = Rows[static_cast<std::size_t>(FNext++)];
    return true;
  }
  void InternalRewind() override { FNext = 0; }
  void InternalDescribe() override { DefineFields(Defs); }

 private:
  int FNext = 0;
};

}  // namespace tavkit
