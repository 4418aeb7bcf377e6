// The sql format's round trip on MariaDB: each test schema (the real
// applications' MySQL schemas of tests/data/schemas, the MariaDB plug-in
// tests' shop with partitions, generated and invisible columns, every kind
// of index, sequences, views, triggers and routines, and the hardening
// tests' schema of hostile names) is loaded into the test server and
// imported; the model is written as SQL, the database dropped, the SQL run
// with the mariadb client (which makes the database again under its own
// name: a MariaDB schema is a database), the database imported again, and
// the two models compared through the differ: they agree object by object.
#include "RoundTrip.h"
#include "sql/SqlDialect.h"

#include <ImportHost.h>
#include <MariaHostileSchema.h>
#include <MariaServer.h>
#include <MariaShopSchema.h>
#include <MariaTestEnv.h>
#include <RealSchemas.h>

#include <schemaimport/SchemaImport.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <memory>
#include <sstream>

namespace writers::test {
namespace {

struct Source {
  const char* name;      // an application of tests/data/schemas, or one of ours
  const char* mustHave;  // kinds of object the schema must yield, so that one that loaded nothing fails
};

const Source kSources[] = {
    {"shop", "table key foreignKey index view routine trigger sequence partition checkConstraint"},
    {"hostile", "table key foreignKey index view routine trigger sequence partition checkConstraint"},
    {"bacula", "table key index"},
    {"freeradius", "table index view routine"},
    {"gammu", "table key index"},
    {"icinga2-ido", "table key index"},
    {"mediawiki", "table key index"},
    {"pdns", "table foreignKey key index"},
    {"roundcube", "table foreignKey key index"},
};

// A scope list naming exactly this schema, in double quotes (ScopeList.h).
std::string ScopeOf(const std::string& name) { return qm::test::hardening::QuoteIdent(name); }

// The database of one case: a plain one the test makes (and drops), or the
// hostile schema its script makes (dropped here).
class CaseDatabase {
 public:
  explicit CaseDatabase(const std::string& source) {
    std::string tag = source;
    std::replace(tag.begin(), tag.end(), '-', '_');
    if (source == "hostile") {
      m_name = "rt \"q' \\ %s`\n✓ " + std::to_string(::getpid());
      m_script = qm::test::hardening::MariaHostileScript(m_name);
      Drop();
    } else {
      m_plain = std::make_unique<qm::test::MariaDatabase>("rt_" + tag);
      m_name = m_plain->Name();
      m_script = source == "shop" ? qm::test::mariadb::MariaShopScript()
                                  : qm::test::RealSchemaSql(source, "mariadb");
    }
  }
  ~CaseDatabase() {
    if (!m_plain) Drop();
  }
  CaseDatabase(const CaseDatabase&) = delete;
  CaseDatabase& operator=(const CaseDatabase&) = delete;

  const std::string& Name() const { return m_name; }
  // The test's own script: the hostile one makes its database, the others
  // run in the database made for them.
  std::string Load() const { return qm::test::RunMariaSql(m_plain ? m_name : "", m_script); }
  std::string Drop() const { return qm::test::RunMariaSql("", "DROP DATABASE IF EXISTS " + qm::test::MariaIdent(m_name) + ";\n"); }

 private:
  std::unique_ptr<qm::test::MariaDatabase> m_plain;
  std::string m_name;
  std::string m_script;
};

// The text without the blanks that begin a column's alias.
std::u16string WithoutAliasBlanks(std::u16string text) {
  for (std::size_t at = text.find(u" AS ` "); at != std::u16string::npos; at = text.find(u" AS ` ", at)) text.erase(at + 5, 1);
  return text;
}

// What a round trip cannot carry, with the reason.
std::vector<Allowance> Allowances() {
  return {
      {"the server prints a view's columns as aliases, and removes the blanks that begin an alias when it reads "
       "one: a view column whose name begins with blanks cannot be made again by SQL (the column keeps its "
       "name, the view's text loses the blanks)",
       [](const ObjectDifference& object, const PropertyDifference* property) {
         return object.change == ObjectDifference::Change::Changed && object.type == model::View &&
                property != nullptr && property->propertyId == model::Definition &&
                WithoutAliasBlanks(property->before.text) == property->after.text;
       }},
  };
}

class MariaRoundTrip : public ::testing::TestWithParam<Source> {
 protected:
  static void SetUpTestSuite() {
    if (qm::test::MariaConnectionString()) s_plugin = std::make_unique<qm::test::LoadedPlugin>(QM_MARIADB_PLUGIN);
  }
  static void TearDownTestSuite() {
    s_plugin.reset();
  }
  void SetUp() override {
    QM_REQUIRE_MARIA();
    ASSERT_TRUE(s_plugin != nullptr && s_plugin->Loaded());
  }

  void Import(const CaseDatabase& database, GenericModel& model) {
    const qm::test::ImportOutcome outcome =
        qm::test::RunImport(s_plugin->Api(), model, *qm::test::MariaConnectionString(), ScopeOf(database.Name()));
    ASSERT_TRUE(qm::test::ReadInFull(outcome));
  }

  inline static std::unique_ptr<qm::test::LoadedPlugin> s_plugin;
};

TEST_P(MariaRoundTrip, ModelsAgreeObjectByObject) {
  const Source& source = GetParam();
  CaseDatabase database(source.name);
  ASSERT_EQ(database.Load(), "");

  GenericModel before(s_plugin->Api().modelType);
  Import(database, before);
  std::string present;
  for (int id = 2; id <= before.GetObjectCount(); ++id)
    present += std::string(" ") + model::ObjectTypeName(before.GetCMOObject(id)->GetObjectType()) + " ";
  std::istringstream kinds(source.mustHave);
  for (std::string kind; kinds >> kind;) EXPECT_NE(present.find(" " + kind + " "), std::string::npos) << kind;

  const std::string sql = SqlOf(before);
  ASSERT_EQ(database.Drop(), "");
  const std::string loaded = qm::test::RunMariaSql("", sql);
  ASSERT_EQ(loaded, "") << sql.substr(0, 4000);
  GenericModel after(s_plugin->Api().modelType);
  Import(database, after);
  EXPECT_EQ(Unexplained(DiffModels(before, after), Allowances()), "");
}

INSTANTIATE_TEST_SUITE_P(Schemas, MariaRoundTrip, ::testing::ValuesIn(kSources),
                         [](const ::testing::TestParamInfo<Source>& info) {
                           std::string name = info.param.name;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

}  // namespace
}  // namespace writers::test
