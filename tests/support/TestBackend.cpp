#include "TestBackend.h"

#include "RealSchemas.h"

#include <compare/DiffOutput.h>
#include <tillerhold/ModelVocabulary.h>
#include <writers/OutputFormats.h>

#include <algorithm>
#include <sstream>
#include <stdexcept>

namespace qm::test {

const TestBackend& SqliteBackend();
const TestBackend& PgBackend();
const TestBackend& MariaBackend();

std::string TestBackend::Script(const std::string& schema, const BackendDatabase&) const {
  return RealSchemaSql(schema, Name());
}

// The Server attribute of the source, and the database's name.
std::pair<std::string, std::string> TestBackend::ReportedNames(const BackendDatabase& database) const {
  std::string server = database.Source().substr(database.Source().find("Server=") + 7);
  return {server.substr(0, server.find(';')), database.Name()};
}

std::vector<std::string> TestBackend::Schemas() const {
  std::vector<std::string> schemas = RealSchemaApps(Name());
  schemas.insert(schemas.end(), {"hostile", "shop"});
  return schemas;
}

namespace {

using compare::ObjectDifference;
using compare::PropertyDifference;

constexpr int kWholeObject = 0;  // added or removed, not one property

// What the SQL round trip may change on the backend's database, and why.
struct RoundTripAllowance {
  const char* backend;
  bool fromPropertiesOnly;  // only when the model is written from its properties
  int objectType;
  int propertyId;
  const char* reason;
  bool (*also)(const ObjectDifference& object, const PropertyDifference* property);
};

// MariaDB drops the blanks that begin a view column's alias.
std::u16string WithoutAliasBlanks(std::u16string text) {
  for (std::size_t at = text.find(u" AS ` "); at != std::u16string::npos; at = text.find(u" AS ` ", at)) text.erase(at + 5, 1);
  return text;
}

// SQLite's clause FOREIGN KEY ("a") REFERENCES "t" ("b") ... without ("b").
std::u16string WithoutParentColumns(const std::u16string& clause) {
  const std::size_t references = clause.find(u") REFERENCES \"");
  if (references == std::u16string::npos) return clause;
  std::size_t end = references + 14;  // past the table name's opening quote
  while (end < clause.size() && !(clause[end] == u'"' && (end + 1 == clause.size() || clause[end + 1] != u'"')))
    end += clause[end] == u'"' ? 2 : 1;
  const std::size_t open = end + 1;
  if (clause.compare(open, 2, u" (") != 0) return clause;
  const std::size_t close = clause.find(u')', open);
  return close == std::u16string::npos ? clause : clause.substr(0, open) + clause.substr(close + 1);
}

std::u16string FoldAscii(std::u16string text) {
  for (char16_t& c : text) c = c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
  return text;
}

const RoundTripAllowance kRoundTripAllowances[] = {
    {"sqlite", true, model::Table, model::SqlText, "the table is written from its properties", nullptr},
    {"sqlite", true, model::Index, model::SqlText, "the index is written from its properties", nullptr},
    {"sqlite", true, model::ForeignKey, model::Definition,
     "a foreign key that names no parent columns refers to the parent's primary key; written from its properties "
     "it names those columns, and SQLite's clause then lists them",
     [](const ObjectDifference&, const PropertyDifference* p) { return WithoutParentColumns(p->after.text) == p->before.text; }},
    {"sqlite", true, model::ForeignKey, model::Definition,
     "SQLite compares names without regard to ASCII case: written from its properties, a foreign key names its "
     "parent as the model does, not as its clause did",
     [](const ObjectDifference&, const PropertyDifference* p) { return FoldAscii(p->after.text) == FoldAscii(p->before.text); }},
    {"postgres", false, model::Routine, kWholeObject,
     "the model holds an aggregate's arguments and result, not its transition function and state: it is not written",
     [](const ObjectDifference& object, const PropertyDifference*) {
       return object.change == ObjectDifference::Change::Removed &&
              std::any_of(object.properties.begin(), object.properties.end(), [](const PropertyDifference& p) {
                return p.propertyId == model::RoutineKind && p.before.text == u"aggregate";
              });
     }},
    {"postgres", false, model::TableSpace, kWholeObject,
     "tablespaces belong to the cluster, not to the database: the script does not make them, and other tests make "
     "and drop their own (the tables' and indexes' tablespaces are compared by name)",
     nullptr},
    {"postgres", true, model::Index, model::SqlText,
     "written from its properties, an index lists its expressions after its columns and without ordering options",
     nullptr},
    {"mariadb", false, model::View, model::Definition,
     "the server prints a view's columns as aliases, and removes the blanks that begin an alias when it reads one: "
     "a view column whose name begins with blanks cannot be made again by SQL",
     [](const ObjectDifference&, const PropertyDifference* p) { return WithoutAliasBlanks(p->before.text) == p->after.text; }},
};

}  // namespace

std::string TestBackend::UnexplainedRoundTrip(const compare::ModelDifference& difference, bool fromProperties) const {
  compare::ModelDifference left;
  for (const ObjectDifference& object : difference.objects) {
    auto covered = [&](const PropertyDifference* property) {
      return std::any_of(std::begin(kRoundTripAllowances), std::end(kRoundTripAllowances), [&](const auto& row) {
        // The whole object (added or removed), or the row's property of it.
        const bool what = row.propertyId == kWholeObject ? property == nullptr
                                                         : property != nullptr && property->propertyId == row.propertyId;
        return row.backend == Name() && (fromProperties || !row.fromPropertiesOnly) && object.type == row.objectType &&
               what && (row.also == nullptr || row.also(object, property));
      });
    };
    if (object.change != ObjectDifference::Change::Changed) {
      if (!covered(nullptr)) left.objects.push_back(object);
      continue;
    }
    ObjectDifference rest = object;
    rest.properties.clear();
    for (const PropertyDifference& property : object.properties)
      if (!covered(&property)) rest.properties.push_back(property);
    if (!rest.properties.empty()) left.objects.push_back(std::move(rest));
  }
  std::ostringstream out;
  if (!left.Empty()) compare::WriteDifferenceText(left, out);
  return out.str();
}

std::string SqlOf(const GenericModel& model, const std::string& dialect) {
  std::ostringstream out;
  writers::WriteOptions options;
  options.sqlDialect = dialect;
  writers::FindOutputFormat("sql")->writer->Write(model, out, options);
  return out.str();
}

const std::vector<const TestBackend*>& Backends() {
  static const std::vector<const TestBackend*> backends = {&SqliteBackend(), &PgBackend(), &MariaBackend()};
  return backends;
}

std::vector<Feature> KindsOf(std::initializer_list<std::pair<const char*, const char*>> schemaKinds) {
  std::vector<Feature> features;
  for (const auto& [schema, kinds] : schemaKinds) {
    std::istringstream in(kinds);
    for (std::string kind; in >> kind;) features.push_back({schema, kind, "", 1});
  }
  return features;
}

const TestBackend& BackendNamed(const std::string& name) {
  for (const TestBackend* backend : Backends())
    if (backend->Name() == name) return *backend;
  throw std::invalid_argument("no backend named " + name);
}

std::string GenericPluginPath() { return QM_ODBC_PLUGIN; }
std::string ImportProgram() { return QM_IMPORT_EXE; }

}  // namespace qm::test
