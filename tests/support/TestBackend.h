// The databases the family tests (tests/families/) run one body over. A
// backend makes databases of a test's own (a file, or a database on the
// test server scripts/test starts), loads SQL into them, hands the
// dedicated plug-in, the generic one and the command line their source,
// says what its catalogue itself reports, and ends an importer's session;
// and it holds what each family must know of it: its hostile and shop
// schemas, the differences its ODBC driver is known to report, what a SQL
// round trip cannot carry, its fault cases. A new database plug-in gets
// every family by adding one backend to Backends().
//
// Families: schemas (real applications', hostile names, the shop: the
// model against the catalogue, the generic plug-in against the dedicated
// one, the SQL round trip, the command line's JSON), session faults,
// plug-in lifetime.
//
// Thread safety: the test's thread.
#pragma once

#include "ImportHost.h"
#include "ModelComparison.h"
#include "PgTestEnv.h"
#include "RoundTrip.h"
#include "SessionKiller.h"

#include <schemaimport/PluginApi.h>
#include <tillerhold/GenericModel.h>

#include <functional>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace qm::test {

// A database of one test's own, made empty by its backend; dropped (its
// file removed) when the object goes.
class BackendDatabase {
 public:
  virtual ~BackendDatabase() = default;
  // The database's (schema's, file's) name as the catalogue gives it.
  virtual std::string Name() const = 0;
  // Runs the SQL script in it, stopping at the first error: "" when it
  // ran, otherwise what failed.
  virtual std::string Load(const std::string& script) = 0;
  // What the dedicated plug-in is given: its source and scope.
  virtual std::string Source() const = 0;
  virtual std::string Scope() const { return {}; }
  // The ODBC connection string that names the database, for the generic
  // plug-in and the connector.
  virtual std::string ConnectionString() const = 0;
  // quillmere-import's options that import exactly this database: an
  // option and the source, then the scope's options if any.
  virtual std::vector<std::string> CommandLine() const = 0;
  // The catalogue's own answer, one line per fact, and the same facts read
  // from a model (SqliteCatalogue.h, PgCatalogue.h, MariaCatalogue.h);
  // `failed` names what the import could not read.
  virtual std::vector<std::string> CatalogueLines() const = 0;
  virtual std::vector<std::string> ModelLines(GenericModel& model,
                                              const std::vector<QmFailedStatement>& failed = {}) const = 0;
  // A database made from the script the sql format wrote of this one (on
  // MariaDB, where a schema is a database, the script makes this very
  // database again after it is dropped); null with *error set when the
  // script does not load.
  virtual std::unique_ptr<BackendDatabase> Remake(const std::string& script, std::string* error) = 0;
  // The catalogue's own owners and grants (PgPrivilegeLines,
  // MariaPrivilegeLines); empty for a database without them.
  virtual std::vector<std::string> PrivilegeLines() const { return {}; }
  // Facts a model does not hold that a sound copy shares with the
  // original (indexes valid, partitions' links); empty by default.
  virtual std::vector<std::string> CopyFacts() const { return {}; }
  // What an import must leave as it was (the file and its folder); empty
  // when there is nothing a reader could change.
  virtual std::string Footprint() const { return {}; }
};

// Where a session fault strikes, relative to the statement a case names.
using FaultMoment = Moment;

struct FaultCase {
  const char* label;
  FaultMoment moment;
  const char* statement;            // a fragment of the statement the session ends at (ASCII)
  int fetch;                        // DuringFetch: the SQLFetch call before which it ends
  const char* failed;               // the statement the host is told failed; "" when the connect fails
  std::size_t failedCount;          // it and every statement after it
  std::set<std::string> complete;   // kinds of lines read in full before the fault
  std::set<std::string> partial;    // kinds all there, without what later statements add
  // DuringFetch: the kind of line the fetched statement makes; there are as
  // many as rows the driver delivered (a driver may hold the whole result).
  const char* fetched = "";
};

// A connection the server refuses, and a part of the driver's reason.
struct RefusedConnection {
  std::string source;
  std::string reason;
};

// What a family checks beyond the catalogue: at least `atLeast` catalogue
// lines of the kind ("table", "foreign key", ...) holding `part`.
struct Feature {
  std::string schema;
  std::string kind;
  std::string part;
  std::size_t atLeast;
};

// A feature per kind of the space-separated list: at least one line of it.
std::vector<Feature> KindsOf(const std::string& schema, const std::string& kinds);

class TestBackend {
 public:
  virtual ~TestBackend() = default;

  // "sqlite", "postgres", "mariadb": the plug-in's name, the start of the
  // family tests' names, their label (odbc-<name>) and the name of the
  // real applications' scripts (RealSchemas.h).
  virtual std::string Name() const = 0;
  virtual std::string PluginPath() const = 0;  // the dedicated plug-in
  virtual unsigned ModelType() const = 0;      // the model type it reads into
  // Why the backend cannot run here (its server is not configured); empty
  // when it can. QM_REQUIRE_BACKEND skips, or fails in CI.
  virtual std::string Unavailable() const { return {}; }
  // A new empty database; `hostile` puts it where the name or place is
  // hostile too (a hostile file folder, a hostile schema name).
  virtual std::unique_ptr<BackendDatabase> Create(const std::string& tag, bool hostile = false) const = 0;

  // ---- Connectors (families/ConnectorTest.cpp).
  // The server and database names the driver reports for the database.
  virtual std::pair<std::string, std::string> ReportedNames(const BackendDatabase&) const = 0;
  // A connection string of the database whose completed form is longer than
  // a connector's buffer; empty when the driver cannot be made to give one.
  virtual std::string LongConnectionString(const BackendDatabase&) const { return {}; }
  // Whether a name outside ASCII reaches the driver as it is (the driver
  // manager narrows connection strings for an ANSI driver).
  virtual bool WideNames() const { return true; }

  // ---- Schemas.
  // The SQL that makes the schema in the database: a real application's
  // (RealSchemas.h), "hostile" (hostile names in every kind of object) or
  // "shop" (every kind of object the plug-in reads).
  virtual std::string Script(const std::string& schema, const BackendDatabase& database) const;
  // The schemas the family runs: the applications, hostile and shop.
  virtual std::vector<std::string> Schemas() const;
  // What each schema must yield, so that one that loaded nothing fails.
  virtual std::vector<Feature> Features() const = 0;
  // Checks of the model beyond the catalogue's lines, for the schema.
  virtual void CheckDetails(const std::string& /*schema*/, GenericModel& /*model*/) const {}
  // The generic plug-in's lines against the dedicated one's
  // (ModelComparison.h): the differences the driver is known to report,
  // and the schema name the generic model gives the dedicated one's.
  virtual std::vector<odbc::KnownDifference> GenericDifferences(GenericModel& dedicated,
                                                               const std::vector<std::string>& dedicatedLines,
                                                               const std::vector<std::string>& genericLines) const = 0;
  virtual std::string GenericSchemaName(const std::string& schema, const BackendDatabase&) const { return schema; }
  // The SQL round trip: what it cannot carry (the table in
  // TestBackend.cpp), and the properties to leave out so that the sql
  // format builds those objects from the rest (no such variant when null).
  std::vector<writers::test::Allowance> RoundTripAllowances(bool fromProperties) const;
  virtual std::function<bool(const CMOObject&, int propertyId)> FromProperties() const { return {}; }
  // The database's own list of its keywords (when it keeps one), each with
  // whether a name spelled so must be quoted.
  virtual bool ListsKeywords() const { return false; }
  virtual std::vector<std::pair<std::string, bool>> Keywords() const { return {}; }

  // ---- Owners and grants (--with-privileges); none for a database without them.
  // The SQL that makes the server's roles the privileges test grants to (a
  // hostile name among them) holding nothing, and with `grants` objects in
  // the database owned by and granted to them. Empty: nothing to read.
  // `database` is the database's name.
  virtual std::string PrivilegesScript(const std::string& /*database*/, bool /*grants*/) const { return {}; }

  // ---- Session faults; none for a database without sessions.
  virtual std::vector<FaultCase> FaultCases() const { return {}; }
  // The database the faults break the import of (its table a third
  // session locks: Sessions), and what the import's source adds.
  virtual std::string FaultScript() const { return {}; }
  virtual std::string FaultSource(const BackendDatabase& database) const { return database.Source(); }
  // How the server ends the importer's sessions (SessionKiller.h).
  virtual SessionControl Sessions(const BackendDatabase&) const { return {}; }
  // Whether the diagnostic says the connection was lost.
  virtual bool LostConnection(const OdbcDiagnostic&) const { return false; }
  virtual std::vector<RefusedConnection> Refusals(const BackendDatabase&) const { return {}; }
  // The password the test server's connection string carries, never to be
  // printed.
  virtual std::string Password() const { return {}; }
};

// A backend as a test parameter prints its name.
inline void PrintTo(const TestBackend* backend, std::ostream* out) { *out << backend->Name(); }

// Every backend, in a fixed order; the one of that name.
const std::vector<const TestBackend*>& Backends();
const TestBackend& BackendNamed(const std::string& name);

// The generic plug-in (plugins/odbc) and the command line.
std::string GenericPluginPath();
std::string ImportProgram();

}  // namespace qm::test

// Use at the top of a test body or SetUp: skips the test when the
// backend's server is not configured, or fails it in CI.
#define QM_REQUIRE_BACKEND(backend)                                                        \
  do {                                                                                     \
    const std::string qmWhy = (backend).Unavailable();                                     \
    if (!qmWhy.empty()) {                                                                  \
      if (::qm::test::RunningInCi()) GTEST_FAIL() << qmWhy << " (in CI: run scripts/test)"; \
      GTEST_SKIP() << qmWhy;                                                               \
    }                                                                                      \
  } while (false)
