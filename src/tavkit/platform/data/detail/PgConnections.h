// PostgreSQL connections kept open for the life of the process, so that a
// server answering request after request connects once per worker, not once
// per page. Internal to the PostgreSQL query.
#pragma once

#include <libpq-fe.h>

#include <map>
#include <string>
#include <utility>

namespace tavkit::detail {

// One connection with what the query has learnt about it. A link is lent to
// one query at a time, which keeps at most one cursor open on it.
struct TPgLink {
  PGconn* Connection = nullptr;
  // The statement_timeout set on the connection in milliseconds; -1 when
  // it is the server's own (a new or remade connection).
  int TimeoutMs = -1;
  // Whether the column (table oid, column number) is declared with a
  // picture domain, as the catalogue answered.
  std::map<std::pair<Oid, int>, bool> PictureColumns;
};

// A link for the connection string: one given back earlier, or a new
// connection. The session is read-only, with ISO dates and UTF-8 text.
// Returns null with libpq's message when no connection can be made.
TPgLink* TakePgLink(const std::string& conninfo, std::string& error);

// Makes the link's connection again after it was lost (a server restart);
// false with libpq's message when that fails too.
bool RemakePgLink(TPgLink& link, std::string& error);

// Gives a link back: kept for the next query when its connection is sound
// and idle, closed otherwise.
void GiveBackPgLink(const std::string& conninfo, TPgLink* link);

}  // namespace tavkit::detail
