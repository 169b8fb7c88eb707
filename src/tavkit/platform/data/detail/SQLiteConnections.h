// Database connections kept open for the life of the process, with the
// statements compiled on them, so that a server answering request after
// request opens a database file and compiles a query once, not for every
// page. Internal to the SQLite query.
#pragma once

#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace tavkit::detail {

// The read-only connection to the file at path, opened on first use and
// opened again when the file on disk is no longer the one opened (replaced,
// or written to). Returns null and SQLite's message when it cannot be
// opened. The connection stays the cache's: it is never closed by the caller.
sqlite3* SharedConnection(const std::string& path, std::string& error);

// A statement of sql compiled earlier on database and given back since, or
// null when there is none (the caller compiles one).
sqlite3_stmt* TakeStatement(sqlite3* database, const std::string& sql);

// Gives back a statement of sql that the caller compiled or took; it is
// kept for the next query of the same text, or finalized when its
// connection was opened again meanwhile or enough of its kind are kept.
void GiveBackStatement(sqlite3* database, const std::string& sql, sqlite3_stmt* statement);

}  // namespace tavkit::detail
