// The pool of PostgreSQL connections. Links are looked up by the connection
// string and lent one query at a time; a few idle ones are kept per string.
// Connections are not carried into a forked child: both processes would
// talk over one socket, so a child makes its own and leaves the parent's
// alone (closing them would end the parent's sessions).
#include <tavkit/platform/data/detail/PgConnections.h>

#include <unistd.h>

#include <memory>
#include <mutex>
#include <vector>

namespace tavkit::detail {

namespace {

// Idle connections kept per connection string: one per query a page keeps
// open at once is plenty; more would only hold server processes.
constexpr std::size_t MaxIdleLinks = 4;

// The session every connection gets, before the user's own options so that
// those cannot loosen it: read-only, and values written the way the SQLite
// query reads them (ISO dates, shortest exact floating-point numbers).
const char* const SessionOptions =
    "-c default_transaction_read_only=on -c DateStyle=ISO,YMD -c extra_float_digits=1 "
    "-c IntervalStyle=postgres";

std::string Trimmed(const char* message) {
  std::string text = message == nullptr ? "" : message;
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

// The user's options, if the connection string has any, after ours.
std::string OptionsFor(const std::string& conninfo) {
  std::string options = SessionOptions;
  char* error = nullptr;
  PQconninfoOption* parsed = PQconninfoParse(conninfo.c_str(), &error);
  PQfreemem(error);
  if (parsed == nullptr) return options;
  for (PQconninfoOption* option = parsed; option->keyword != nullptr; ++option)
    if (std::string(option->keyword) == "options" && option->val != nullptr && *option->val)
      options = std::string(option->val) + " " + options;
  PQconninfoFree(parsed);
  return options;
}

class TPool {
 public:
  TPgLink* Take(const std::string& conninfo, std::string& error) {
    {
      std::lock_guard<std::mutex> lock(FLock);
      ForgetAfterFork();
      auto& idle = FIdle[conninfo];
      if (!idle.empty()) {
        TPgLink* link = idle.back().release();
        idle.pop_back();
        return link;
      }
    }
    const std::string options = OptionsFor(conninfo);
    const char* keywords[] = {"dbname", "options", "client_encoding", "fallback_application_name",
                              nullptr};
    const char* values[] = {conninfo.c_str(), options.c_str(), "UTF8", "tavkit", nullptr};
    PGconn* connection = PQconnectdbParams(keywords, values, 1);
    if (PQstatus(connection) != CONNECTION_OK) {
      error = Trimmed(connection != nullptr ? PQerrorMessage(connection) : "out of memory");
      PQfinish(connection);
      return nullptr;
    }
    // The server's notices (a warning, a note on an implicit index) are no
    // failures of a page; libpq would print them on standard error.
    PQsetNoticeProcessor(
        connection, [](void*, const char*) {}, nullptr);
    auto link = std::make_unique<TPgLink>();
    link->Connection = connection;
    return link.release();
  }

  void GiveBack(const std::string& conninfo, TPgLink* given) {
    std::unique_ptr<TPgLink> link(given);
    if (link == nullptr) return;
    std::lock_guard<std::mutex> lock(FLock);
    ForgetAfterFork();
    auto& idle = FIdle[conninfo];
    const bool sound = PQstatus(link->Connection) == CONNECTION_OK &&
                       PQtransactionStatus(link->Connection) == PQTRANS_IDLE;
    if (sound && idle.size() < MaxIdleLinks) {
      idle.push_back(std::move(link));
      return;
    }
    PQfinish(link->Connection);
  }

  ~TPool() {
    if (getpid() != FOwner) return;
    for (auto& [conninfo, links] : FIdle)
      for (auto& link : links) PQfinish(link->Connection);
  }

 private:
  void ForgetAfterFork() {
    const pid_t pid = getpid();
    if (pid == FOwner) return;
    if (FOwner != 0)
      for (auto& [conninfo, links] : FIdle)
        for (auto& link : links) link.release();
    FIdle.clear();
    FOwner = pid;
  }

  std::mutex FLock;
  pid_t FOwner = 0;
  std::map<std::string, std::vector<std::unique_ptr<TPgLink>>> FIdle;
};

TPool& Pool() {
  static TPool pool;
  return pool;
}

}  // namespace

TPgLink* TakePgLink(const std::string& conninfo, std::string& error) {
  return Pool().Take(conninfo, error);
}

bool RemakePgLink(TPgLink& link, std::string& error) {
  PQreset(link.Connection);
  link.TimeoutMs = -1;
  link.PictureColumns.clear();
  if (PQstatus(link.Connection) == CONNECTION_OK) return true;
  error = Trimmed(PQerrorMessage(link.Connection));
  return false;
}

void GiveBackPgLink(const std::string& conninfo, TPgLink* link) {
  Pool().GiveBack(conninfo, link);
}

}  // namespace tavkit::detail
