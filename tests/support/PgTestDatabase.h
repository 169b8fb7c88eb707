// Databases on the tests' own PostgreSQL server (scripts/pg-server, started
// and stopped by ctest around the suites that need it): each test gets a
// database of its own, made from a template that holds the picture domains
// graphic, image and picture, and dropped at the end, so that tests running
// side by side never see each other's tables.
#pragma once

#include <string>
#include <vector>

namespace tavkit::testsupport {

// The folder of the server's socket (and data).
std::string PgServerDir();

class TPgTestDatabase {
 public:
  TPgTestDatabase();
  ~TPgTestDatabase();
  TPgTestDatabase(const TPgTestDatabase&) = delete;
  TPgTestDatabase& operator=(const TPgTestDatabase&) = delete;

  // Runs every statement of sql, written as for SQLite: X'...' blob
  // literals are read as bytea, and ? parameters take the blobs in order.
  void Exec(const std::string& sql, const std::vector<std::string>& blobs = {}) const;

  std::string Name;
  // The libpq connection string of the database.
  std::string Connection;
};

}  // namespace tavkit::testsupport
