// The tests' PostgreSQL databases: made and dropped through the server's
// maintenance database, filled through libpq with the statements the SQLite
// tests use, turned into PostgreSQL's spelling where the two differ.
#include "PgTestDatabase.h"

#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <unistd.h>

#include <atomic>
#include <regex>

namespace tavkit::testsupport {

namespace {

std::string ConnectionTo(const std::string& database) {
  return "host=" + PgServerDir() + " user=tavkit dbname=" + database;
}

// Runs one statement without parameters; a failure fails the test.
void Run(PGconn* connection, const std::string& sql) {
  PGresult* result = PQexec(connection, sql.c_str());
  const ExecStatusType status = PQresultStatus(result);
  EXPECT_TRUE(status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
      << sql << ": " << PQerrorMessage(connection);
  PQclear(result);
}

PGconn* Connect(const std::string& conninfo) {
  PGconn* connection = PQconnectdb(conninfo.c_str());
  PQsetNoticeProcessor(
      connection, [](void*, const char*) {}, nullptr);
  if (PQstatus(connection) != CONNECTION_OK)
    ADD_FAILURE() << "no test server at " << PgServerDir() << " (ctest starts it; by hand: "
                  << "scripts/pg-server start " << PgServerDir()
                  << "): " << PQerrorMessage(connection);
  return connection;
}

// The statements of a script, split at semicolons outside quotes, without
// their comments.
std::vector<std::string> Statements(const std::string& sql) {
  std::vector<std::string> statements;
  std::string current;
  bool quoted = false;
  for (std::size_t i = 0; i < sql.size(); ++i) {
    const char c = sql[i];
    if (!quoted && c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
      i = sql.find('\n', i);
      if (i == std::string::npos) break;
      continue;
    }
    if (c == '\'') quoted = !quoted;
    if (c == ';' && !quoted) {
      statements.push_back(current);
      current.clear();
      continue;
    }
    current += c;
  }
  statements.push_back(current);
  std::erase_if(statements, [](const std::string& s) {
    return s.find_first_not_of(" \t\r\n") == std::string::npos;
  });
  return statements;
}

}  // namespace

std::string PgServerDir() {
  return TAVKIT_PG_DIR;
}

TPgTestDatabase::TPgTestDatabase() {
  static std::atomic<int> counter{0};
  Name = "tavkit_" + std::to_string(getpid()) + "_" + std::to_string(counter++);
  Connection = ConnectionTo(Name);
  PGconn* maintenance = Connect(ConnectionTo("postgres"));
  Run(maintenance, "DROP DATABASE IF EXISTS " + Name + " WITH (FORCE)");
  Run(maintenance, "CREATE DATABASE " + Name + " TEMPLATE tavkit_template");
  PQfinish(maintenance);
}

TPgTestDatabase::~TPgTestDatabase() {
  PGconn* maintenance = Connect(ConnectionTo("postgres"));
  // The library keeps its connections for the process: they go with it.
  Run(maintenance, "DROP DATABASE IF EXISTS " + Name + " WITH (FORCE)");
  PQfinish(maintenance);
}

void TPgTestDatabase::Exec(const std::string& sql, const std::vector<std::string>& blobs) const {
  PGconn* connection = Connect(Connection);
  std::size_t blob = 0;
  for (std::string statement : Statements(sql)) {
    statement = std::regex_replace(statement, std::regex("X'([0-9A-Fa-f]*)'"), "'\\x$1'::bytea");
    std::vector<const char*> values;
    std::vector<int> lengths, formats;
    std::string numbered;
    bool quoted = false;
    for (char c : statement) {
      if (c == '\'') quoted = !quoted;
      if (c == '?' && !quoted) {
        const std::string& bytes = blobs.at(blob++);
        values.push_back(bytes.data());
        lengths.push_back(static_cast<int>(bytes.size()));
        formats.push_back(1);
        numbered += "$" + std::to_string(values.size());
        continue;
      }
      numbered += c;
    }
    PGresult* result = PQexecParams(connection, numbered.c_str(), static_cast<int>(values.size()),
                                    nullptr, values.data(), lengths.data(), formats.data(), 0);
    const ExecStatusType status = PQresultStatus(result);
    EXPECT_TRUE(status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
        << numbered << ": " << PQerrorMessage(connection);
    PQclear(result);
  }
  PQfinish(connection);
}

}  // namespace tavkit::testsupport
