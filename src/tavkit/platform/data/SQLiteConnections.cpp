// The cache of database connections. A connection is looked up by the
// file's path, and the file's identity (device, inode, size, time of last
// change) is compared with the one opened, so that a database replaced by a
// new file, or changed by a writer, is read anew. Connections are not
// carried into a forked child: SQLite forbids using them there, so a child
// opens its own.
#include <tavkit/platform/data/detail/SQLiteConnections.h>

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace tavkit::detail {

namespace {

// How long a read waits for a writer holding the database before it fails.
constexpr int BusyTimeoutMs = 5000;
// Files kept open at once, and idle statements kept per connection: a
// program that makes up its paths or its SQL for each request must not
// grow without end.
constexpr std::size_t MaxConnections = 16;
constexpr std::size_t MaxIdleStatements = 32;

struct TIdentity {
  dev_t Device = 0;
  ino_t Inode = 0;
  off_t Size = 0;
  std::int64_t ChangedNs = 0;
  bool operator==(const TIdentity&) const = default;
};

bool IdentityOf(const std::string& path, TIdentity& identity) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return false;
  identity = {info.st_dev, info.st_ino, info.st_size,
              std::int64_t{info.st_mtim.tv_sec} * 1000000000 + info.st_mtim.tv_nsec};
  return true;
}

struct TConnection {
  sqlite3* Database = nullptr;
  TIdentity Identity;
  std::unordered_multimap<std::string, sqlite3_stmt*> Idle;
  int Lent = 0;          // statements out with queries
  bool Retired = false;  // the path now has a newer connection
  std::uint64_t LastUse = 0;

  ~TConnection() {
    for (auto& [sql, statement] : Idle) sqlite3_finalize(statement);
    sqlite3_close_v2(Database);
  }
};

class TCache {
 public:
  ~TCache() {
    // At exit no query is left to read; a connection still lent is left to
    // the operating system rather than pulled from under it.
    for (auto& [handle, connection] : FByHandle)
      if (connection->Lent > 0) connection.release();
  }

  sqlite3* Open(const std::string& path, std::string& error) {
    std::lock_guard<std::mutex> lock(FLock);
    ForgetAfterFork();
    TIdentity identity;
    const bool exists = IdentityOf(path, identity);
    auto found = FByPath.find(path);
    if (found != FByPath.end()) {
      TConnection* current = found->second;
      if (exists && current->Identity == identity) {
        current->LastUse = ++FClock;
        return current->Database;
      }
      Retire(current);
      FByPath.erase(found);
    }
    if (!exists) return OpenFailed(path, error);
    auto connection = std::make_unique<TConnection>();
    const int code =
        sqlite3_open_v2(path.c_str(), &connection->Database, SQLITE_OPEN_READONLY, nullptr);
    if (code != SQLITE_OK) {
      error = connection->Database != nullptr ? sqlite3_errmsg(connection->Database)
                                              : sqlite3_errstr(code);
      return nullptr;
    }
    sqlite3_busy_timeout(connection->Database, BusyTimeoutMs);
    connection->Identity = identity;
    connection->LastUse = ++FClock;
    if (FByPath.size() >= MaxConnections) RetireLeastUsed();
    sqlite3* handle = connection->Database;
    FByPath[path] = connection.get();
    FByHandle[handle] = std::move(connection);
    return handle;
  }

  sqlite3_stmt* Take(sqlite3* database, const std::string& sql) {
    std::lock_guard<std::mutex> lock(FLock);
    TConnection* connection = Find(database);
    if (connection == nullptr) return nullptr;
    ++connection->Lent;
    auto idle = connection->Idle.find(sql);
    if (idle == connection->Idle.end()) return nullptr;
    sqlite3_stmt* statement = idle->second;
    connection->Idle.erase(idle);
    return statement;
  }

  void GiveBack(sqlite3* database, const std::string& sql, sqlite3_stmt* statement) {
    std::lock_guard<std::mutex> lock(FLock);
    TConnection* connection = Find(database);
    if (connection == nullptr) {
      sqlite3_finalize(statement);
      return;
    }
    if (connection->Lent > 0) --connection->Lent;
    if (statement != nullptr) {
      if (connection->Retired || connection->Idle.size() >= MaxIdleStatements) {
        sqlite3_finalize(statement);
      } else {
        sqlite3_reset(statement);
        sqlite3_clear_bindings(statement);
        connection->Idle.emplace(sql, statement);
      }
    }
    if (connection->Retired && connection->Lent == 0) FByHandle.erase(database);
  }

 private:
  TConnection* Find(sqlite3* database) {
    auto it = FByHandle.find(database);
    return it == FByHandle.end() ? nullptr : it->second.get();
  }

  // The same message SQLite gives, without asking it to open a file that
  // is not there.
  sqlite3* OpenFailed(const std::string& path, std::string& error) {
    sqlite3* database = nullptr;
    const int code = sqlite3_open_v2(path.c_str(), &database, SQLITE_OPEN_READONLY, nullptr);
    error = database != nullptr ? sqlite3_errmsg(database) : sqlite3_errstr(code);
    sqlite3_close_v2(database);
    if (code == SQLITE_OK) error = "the file went away while it was opened";
    return nullptr;
  }

  void Retire(TConnection* connection) {
    connection->Retired = true;
    for (auto& [sql, statement] : connection->Idle) sqlite3_finalize(statement);
    connection->Idle.clear();
    if (connection->Lent == 0) FByHandle.erase(connection->Database);
  }

  void RetireLeastUsed() {
    auto oldest = std::min_element(
        FByPath.begin(), FByPath.end(),
        [](const auto& a, const auto& b) { return a.second->LastUse < b.second->LastUse; });
    Retire(oldest->second);
    FByPath.erase(oldest);
  }

  void ForgetAfterFork() {
    const pid_t pid = getpid();
    if (pid == FOwner) return;
    if (FOwner != 0)
      for (auto& [handle, connection] : FByHandle) connection.release();
    FByHandle.clear();
    FByPath.clear();
    FOwner = pid;
  }

  std::mutex FLock;
  pid_t FOwner = 0;
  std::uint64_t FClock = 0;
  std::map<std::string, TConnection*> FByPath;
  std::unordered_map<sqlite3*, std::unique_ptr<TConnection>> FByHandle;
};

TCache& Cache() {
  static TCache cache;
  return cache;
}

}  // namespace

sqlite3* SharedConnection(const std::string& path, std::string& error) {
  return Cache().Open(path, error);
}

sqlite3_stmt* TakeStatement(sqlite3* database, const std::string& sql) {
  return Cache().Take(database, sql);
}

void GiveBackStatement(sqlite3* database, const std::string& sql, sqlite3_stmt* statement) {
  Cache().GiveBack(database, sql, statement);
}

}  // namespace tavkit::detail
