#include <writers/SqlWriter.h>
#include <writers/VisibleText.h>

#include "ModelValues.h"
#include "SqlDialect.h"
#include "SqlScript.h"

#include <platform/Utf.h>
#include <tillerhold/GenericModel.h>
#include <tillerhold/ModelVocabulary.h>

#include <ostream>

namespace writers {

namespace {

// The first lines: what the script is, for which database; names shown
// visibly, so that none can end a comment line.
std::u16string Header(const GenericModel& model, const sql::SqlDialect& dialect) {
  const CMOObject& root = *model.GetCMOObject();
  std::string line = "-- The schema";
  const std::u16string& database = values::Text(root, model::DatabaseName);
  const std::u16string& server = values::Text(root, model::ServerName);
  if (!database.empty()) line += " of the database " + VisibleText(database);
  if (!server.empty() && server != database) line += " on " + VisibleText(server);
  line += ", in " + platform::Utf16ToUtf8(dialect.Product()) + ", for an empty database.\n";
  line += "-- Written by quillmere-import --format sql.\n";
  if (dialect.HasPrivileges() && !values::Flag(root, model::PrivilegesRead))
    line += "-- Owners and grants are left out: import with --with-privileges to have them written.\n";
  return platform::Utf8ToUtf16(line + "\n");
}

// The phase an object's statements come in, for a line saying it is not
// written.
sql::Phase PhaseOf(int objectType) {
  switch (objectType) {
    case model::Schema: case model::TableSpace: return sql::kSchemas;
    case model::UserType: case model::Sequence: return sql::kTypes;
    case model::Table: return sql::kTables;
    case model::Key: case model::CheckConstraint: return sql::kKeys;
    case model::ForeignKey: return sql::kForeignKeys;
    case model::Index: return sql::kIndexes;
    case model::View: return sql::kViews;
    case model::Routine: return sql::kRoutines;
    default: return sql::kTriggers;
  }
}

}  // namespace

void SqlWriter::Write(const GenericModel& model, std::ostream& out, const WriteOptions& options) const {
  const sql::SqlDialect* named = sql::DialectNamed(options.sqlDialect);
  if (named == nullptr) {
    std::string known;
    for (std::string_view name : sql::DialectNames()) known += (known.empty() ? "" : ", ") + std::string(name);
    throw WriteError("no SQL dialect is named \"" + VisibleText(options.sqlDialect) + "\" (there are " + known + ")");
  }
  const sql::SqlDialect& dialect = *named;
  sql::SqlModel sqlModel(model);
  dialect.Prepare(sqlModel);
  sql::Script script(sqlModel, dialect);
  // In creation order, which is the order the database listed them in;
  // what is under an object that is not written is not written either.
  for (int id = 2; id <= model.GetObjectCount(); ++id) {
    const CMOObject* object = model.GetCMOObject(id);
    if (object == nullptr) continue;
    if (sqlModel.Omitted(object->GetParentId())) sqlModel.Omit(id);
    if (sqlModel.Omitted(id)) continue;
    try {
      switch (object->GetObjectType()) {
        case model::Schema: dialect.WriteSchema(script, sqlModel, *object); break;
        case model::TableSpace: dialect.WriteTableSpace(script, sqlModel, *object); break;
        case model::UserType: dialect.WriteType(script, sqlModel, *object); break;
        case model::Sequence: dialect.WriteSequence(script, sqlModel, *object); break;
        case model::Table: dialect.WriteTable(script, sqlModel, *object); break;
        case model::Key: dialect.WriteKey(script, sqlModel, *object); break;
        case model::CheckConstraint: dialect.WriteCheck(script, sqlModel, *object); break;
        case model::ForeignKey: dialect.WriteForeignKey(script, sqlModel, *object); break;
        case model::Index: dialect.WriteIndex(script, sqlModel, *object); break;
        case model::View: dialect.WriteView(script, sqlModel, *object); break;
        case model::Routine: dialect.WriteRoutine(script, sqlModel, *object); break;
        case model::Trigger: dialect.WriteTrigger(script, sqlModel, *object); break;
        case model::Column: break;  // with their table or view
        case model::Grant: break;   // with their object's owner, below
        default: dialect.WriteOther(script, sqlModel, *object); break;
      }
    } catch (const sql::RefusedText& refused) {
      // A text the script cannot hold as it is: the object is left out,
      // and with it what belongs to it.
      script.Refuse(PhaseOf(object->GetObjectType()), *object, refused);
      sqlModel.Omit(id);
    }
  }
  dialect.Finish(script, sqlModel);
  if (values::Flag(*model.GetCMOObject(), model::PrivilegesRead)) {
    for (int id = 2; id <= model.GetObjectCount(); ++id) {
      const CMOObject* object = model.GetCMOObject(id);
      if (object == nullptr || sqlModel.Omitted(id)) continue;
      try {
        script.AddPrivileges(dialect.Privileges(sqlModel, *object));
      } catch (const sql::RefusedText& refused) {
        script.RefusePrivileges(*object, refused);
      }
    }
  }
  if (options.leftOut)
    for (const std::string& line : script.LeftOut()) options.leftOut(line);
  script.Write(out, Header(model, dialect), dialect.Begin(), dialect.End());
}

}  // namespace writers
