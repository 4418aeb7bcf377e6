// PgReader: reads the catalogue of a PostgreSQL database into the model
// (statements in PgCatalog.h, row actions in PgRowActions.h).
//
// ReadObjects runs every statement once, in PgCatalog's order, each between
// the progress notifications; PreProcessQueryStatement gives each the
// import's schema filter (the scope the connector reports, names passed as
// SQL literals) and the routine-body expression of the server's version.
//
// A server that other sessions change while the import runs. Each
// statement runs in a read-only REPEATABLE READ transaction of its own
// (the connection is in autocommit mode; a result read from a server-side
// cursor ends its transaction when the cursor is closed), ended by the
// time its rows are in: the server's catalogue
// functions take locks that the transaction holds (pg_get_viewdef on the
// tables under a view, pg_get_expr on a column's table), and other
// sessions' DDL waits for them no longer than one statement. Those
// functions read the server's latest catalogue, not the snapshot, so an
// object dropped after the snapshot can fail a statement or come back
// without its texts. Therefore:
//   - a statement that fails because an object went away under it (see
//     Retryable in PgReader.cpp) is run again, up to kStatementAttempts
//     times, each time on a new snapshot. A statement that reads
//     relations (ReadsRelations) then runs with them locked, so that it
//     cannot fail that way again: in a READ COMMITTED transaction, ACCESS
//     SHARE locks on the tables and views in scope first (waiting at most
//     lock_timeout, as every lock the import takes), then the statement
//     on a snapshot taken after them, limited to those relations. What
//     was dropped before its lock is not in that snapshot; what is locked
//     cannot be dropped or altered, nor its constraints, indexes and
//     triggers, until the transaction ends. The relations are locked a
//     group at a time, each group in a transaction of its own, a group
//     being at most a quarter of the server's shared lock table: a large
//     catalogue does not take the lock slots other sessions need. The
//     first attempt takes no locks: on a server no one changes, locking
//     thousands of tables per statement would only cost time. Should the
//     server refuse the locking block itself (no PL/pgSQL, or not for
//     this role), the attempts read without locks;
//   - rows are held, not turned into objects, until every statement has
//     run; then (unless nothing but schemas was read) one statement on a
//     new snapshot lists the schemas,
//     relations, types and routines that still exist, and the held rows
//     are handed to the row actions, leaving out every row of an object
//     that has gone (and so everything under it). An object dropped during
//     the import is thus either in the model whole, as it was before the
//     drop, or not at all; an object made during the import likewise
//     (made after the statement that reads its kind, it is not there);
//     constraints, indexes and triggers dropped on their own come without
//     a definition and are left out by their row actions.
//
// The driver's own statements. psqlODBC runs catalogue queries of its own,
// inside the statement's transaction when one is open, for instance to look up the base
// table of a result column when asked for the column's SQL type with
// SQLDescribeCol; when one fails (pg_attrdef closed to the role) the driver
// says nothing and the transaction is left aborted. The module describes
// result columns with SQLColAttribute (name and type), which sends no such
// query for the plug-in's statements; and since every statement's
// transaction is ended after it, whatever the driver ran cannot fail a
// later statement. A statement that fails reports its own reason.
//
// The statements run in the module's read loop (SchemaSourceReaderI::
// RunStatements): before every statement the session's flag is checked
// (once the host has raised it, no further statement runs and the import
// ends normally with what was read, the held rows handed on without the
// final check); when the connection itself is lost, the statements not yet
// run are reported as not run, and the held rows are handed on as read.
// OnStatementFailed decides on the further attempts, OnStatementEnded ends
// a transaction a statement left open. ReadObjects skips the statements
// that can find nothing (NothingToRead), posting their progress.
//
// The plug-in keeps one reader for the process; it runs on the import's
// thread only, one import at a time.
#pragma once

#include <schemaimport/SchemaSourceReaderI.h>

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_set>

namespace qm::postgres {

class PgConnector;

class PgReader : public SchemaSourceReaderI {
 public:
  // Runs of one statement before its failure is reported.
  static constexpr int kStatementAttempts = 4;

  PgReader() = default;

  // Starts an import: takes the scope and the server version from the
  // connection.
  void GetAvailableObjects() override;
  void ReadObjects() override;
  void RegisterQueryStatements() override;
  void PreProcessQueryStatement(int statementId, CString& statement) override;
  // An attempt after the first of a statement that reads relations runs
  // with them locked (see the top of this file); any other run is the
  // base's.
  void ImportObjects(int statementId) override;

 protected:
  // Another attempt for a failure a new snapshot may not repeat (see
  // Retryable in PgReader.cpp); the connection given up when the server
  // ended the session; otherwise the failure reported, explained.
  AfterFailure OnStatementFailed(int statementId, OdbcDiagnostic& failure, int attempt) override;
  // Ends the statement's transaction (rolled back).
  void OnStatementEnded(int statementId) override;

 private:
  // The connector of the current import when it is the plug-in's; null
  // otherwise (then statements run once, in the connection's transaction,
  // and rows are handed on as they come).
  PgConnector* Connector() const;
  // The kind-and-oid keys (see LiveKey in PgReader.cpp) of the objects in
  // scope that exist now, read on a new snapshot; nothing when that failed.
  std::optional<std::unordered_set<std::uint64_t>> LiveObjects(PgConnector& connector);
  // Hands every statement's held rows to its row action, leaving out the
  // rows of held objects that are not live (all rows when live is null).
  void HandOnHeldRows(const std::unordered_set<std::uint64_t>* live);
  // Whether the statement can have no rows to hand on: the connection
  // counted no object of its kind in scope (PgConnector::CountedNone), or
  // the statements reading the objects its rows belong to
  // (OwnerStatements) ran without failing and found none. Only while rows
  // are held.
  bool NothingToRead(int statementId) const;

  std::u16string m_scopeFilter;   // schema filter of the current import (n.nspname)
  int m_serverVersion = 0;        // server_version_num of the current import; 0: newest
  CommonDataObject m_heldRecord;  // the record held rows are handed on in
  int m_lockingStatement = 0;     // the statement whose next attempt locks its relations; 0: none
  bool m_cannotLock = false;      // the server refused the lock statement itself in this import
  std::u16string m_relationFilter;  // while a group of locked relations is read: the condition on c.oid
};

}  // namespace qm::postgres
