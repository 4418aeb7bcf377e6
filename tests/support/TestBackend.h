// The databases the family tests (tests/families/) run one body over; a new
// plug-in gets every family by adding one backend to Backends().
#pragma once

#include "ImportHost.h"
#include "ModelComparison.h"
#include "PgTestEnv.h"
#include "SessionKiller.h"

#include <compare/ModelDiff.h>
#include <schemaimport/PluginApi.h>
#include <tillerhold/GenericModel.h>

#include <functional>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace qm::test {

// A database of one test's own, empty; dropped when the object goes.
class BackendDatabase {
 public:
  virtual ~BackendDatabase() = default;
  virtual std::string Name() const = 0;  // as the catalogue gives it
  // Runs the script to the first error: "" or what failed.
  virtual std::string Load(const std::string& script) = 0;
  // The plug-in's source and scope, the ODBC string, the command line's options.
  virtual std::string Source() const = 0;
  virtual std::string Scope() const { return {}; }
  virtual std::string ConnectionString() const = 0;
  virtual std::vector<std::string> CommandLine() const = 0;
  // The catalogue's own answer and the same facts from a model (*Catalogue.h).
  virtual std::vector<std::string> CatalogueLines() const = 0;
  virtual std::vector<std::string> ModelLines(GenericModel& model,
                                              const std::vector<QmFailedStatement>& failed = {}) const = 0;
  // A database made from the sql format's script (MariaDB: this one, dropped first).
  virtual std::unique_ptr<BackendDatabase> Remake(const std::string& script, std::string* error) = 0;
  // Owners and grants; facts a sound copy shares that no model holds; what
  // an import must leave as it was. Empty where the database has none.
  virtual std::vector<std::string> PrivilegeLines() const { return {}; }
  virtual std::vector<std::string> CopyFacts() const { return {}; }
  virtual std::string Footprint() const { return {}; }
};

struct FaultCase {
  const char* label;
  Moment moment;
  const char* statement;            // a fragment of the statement the session ends at (ASCII)
  int fetch;                        // DuringFetch: the SQLFetch call before which it ends
  const char* failed;               // the statement the host is told failed; "" when the connect fails
  std::size_t failedCount;          // it and every statement after it
  std::set<std::string> complete;   // kinds of lines read in full before the fault
  std::set<std::string> partial;    // kinds all there, without what later statements add
  const char* fetched = "";         // DuringFetch: its kind of line, one per row delivered
};

struct RefusedConnection {
  std::string source;
  std::string reason;  // a part of the driver's reason for refusing it
};

// At least `atLeast` catalogue lines of the kind holding `part`.
struct Feature {
  std::string schema;
  std::string kind;
  std::string part;
  std::size_t atLeast;
};

// For each schema, a feature per kind of its space-separated list.
std::vector<Feature> KindsOf(std::initializer_list<std::pair<const char*, const char*>> schemaKinds);

class TestBackend {
 public:
  virtual ~TestBackend() = default;

  virtual std::string Name() const = 0;        // the plug-in's name
  virtual std::string PluginPath() const = 0;  // the dedicated plug-in
  virtual unsigned ModelType() const = 0;      // the model type it reads into
  virtual std::string Unavailable() const { return {}; }  // why its server is not there
  // `hostile`: its name or place is hostile too.
  virtual std::unique_ptr<BackendDatabase> Create(const std::string& tag, bool hostile = false) const = 0;

  // ---- Connectors: the names the driver reports; a string completed past a
  // connector's buffer; whether a non-ASCII name reaches the driver as it is.
  virtual std::pair<std::string, std::string> ReportedNames(const BackendDatabase& database) const;
  virtual std::string LongConnectionString(const BackendDatabase&) const { return {}; }
  virtual bool WideNames() const { return true; }

  // ---- Schemas: the applications' (RealSchemas.h), "hostile" and "shop";
  // what each must yield, so that one that loaded nothing fails.
  virtual std::string Script(const std::string& schema, const BackendDatabase& database) const;
  virtual std::vector<std::string> Schemas() const;
  virtual std::vector<Feature> Features() const = 0;
  virtual void CheckDetails(const std::string& /*schema*/, GenericModel& /*model*/) const {}
  // The generic plug-in against the dedicated one (ModelComparison.h).
  virtual std::vector<odbc::KnownDifference> GenericDifferences(GenericModel& dedicated,
                                                               const std::vector<std::string>& dedicatedLines,
                                                               const std::vector<std::string>& genericLines) const = 0;
  virtual std::string GenericSchemaName(const std::string& schema, const BackendDatabase&) const { return schema; }
  // The sql format's round trip: the differences no reason of the
  // backend's explains, printed ("" when none); properties to leave out.
  std::string UnexplainedRoundTrip(const compare::ModelDifference& difference, bool fromProperties) const;
  virtual std::function<bool(const CMOObject&, int propertyId)> FromProperties() const { return {}; }
  // The database's own keywords, each with whether it must be quoted.
  virtual bool ListsKeywords() const { return false; }
  virtual std::vector<std::pair<std::string, bool>> Keywords() const { return {}; }

  // ---- Roles (a hostile name among them), with `grants` objects of theirs.
  virtual std::string PrivilegesScript(const std::string& /*database*/, bool /*grants*/) const { return {}; }

  // ---- Session faults (SessionKiller.h): none without sessions.
  virtual std::vector<FaultCase> FaultCases() const { return {}; }
  virtual std::string FaultScript() const { return {}; }
  virtual std::string FaultSource(const BackendDatabase& database) const { return database.Source(); }
  virtual SessionControl Sessions(const BackendDatabase&) const { return {}; }
  virtual bool LostConnection(const OdbcDiagnostic&) const { return false; }
  virtual std::vector<RefusedConnection> Refusals(const BackendDatabase&) const { return {}; }
  virtual std::string Password() const { return {}; }  // never to be printed
};

inline void PrintTo(const TestBackend* backend, std::ostream* out) { *out << backend->Name(); }

const std::vector<const TestBackend*>& Backends();
const TestBackend& BackendNamed(const std::string& name);

// A suite over the named backend's shop, in a database of the suite's own,
// imported with the dedicated plug-in loaded as a host loads it.
template <const char* kBackend>
class ShopSuite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const TestBackend& backend = BackendNamed(kBackend);
    if (!backend.Unavailable().empty()) return;
    s_database = backend.Create("import");
    const std::string error = s_database->Load(backend.Script("shop", *s_database));
    if (!error.empty()) ADD_FAILURE() << error;
    s_plugin = std::make_unique<LoadedPlugin>(backend.PluginPath().c_str());
  }
  static void TearDownTestSuite() {
    s_plugin.reset();
    s_database.reset();
  }
  void SetUp() override {
    QM_REQUIRE_SERVER(BackendNamed(kBackend).Unavailable());
    ASSERT_TRUE(s_plugin != nullptr && s_plugin->Loaded());
  }

  inline static std::unique_ptr<BackendDatabase> s_database;
  inline static std::unique_ptr<LoadedPlugin> s_plugin;
};

std::string GenericPluginPath();
std::string SqlOf(const GenericModel& model, const std::string& dialect);  // the sql format's script
std::string ImportProgram();

}  // namespace qm::test

// Skips the test when the backend's server is not there; fails it in CI.
#define QM_REQUIRE_BACKEND(backend) QM_REQUIRE_SERVER((backend).Unavailable())
