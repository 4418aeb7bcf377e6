#include "PgReader.h"

#include "PgCatalog.h"
#include "PgConnector.h"
#include "PgRowActions.h"
#include "PgText.h"

#include <schemaimport/ImportedObjectCaches.h>
#include <schemaimport/ModelWriting.h>
#include <schemaimport/OdbcSupport.h>
#include <schemaimport/QueryResultActions.h>
#include <schemaimport/SchemaSourceConnectorI.h>
#include <tillerhold/GenericModel.h>
#include <tillerhold/ModelVocabulary.h>

#include <algorithm>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qm::postgres {
namespace {

using platform::win::VT_EMPTY;
using platform::win::VT_I4;

// SQLSTATEs of the server shutting the backend down (57P01..57P03): the
// session is gone, as with a connection exception (class 08, which the
// module's read loop knows).
bool MeansSessionEnded(const std::u16string& sqlState) {
  return sqlState == u"57P01" || sqlState == u"57P02" || sqlState == u"57P03";
}

// Failures that another session's DDL causes, and that a new snapshot does
// not repeat: XX000 for "cache lookup failed for relation ..." and "could
// not open relation with OID ..." (a catalogue function meeting an object
// dropped since the snapshot), an object named in the statement's plan gone
// (42P01, 42704, 42883), a serialization failure or deadlock (40001,
// 40P01), and 25P02, a transaction something other than the statement left
// aborted. A lock waited for until lock_timeout (55P03) is not retried: the
// session waited the whole timeout the user gave for it.
bool Retryable(const std::u16string& sqlState) {
  return sqlState == u"XX000" || sqlState == u"42P01" || sqlState == u"42704" || sqlState == u"42883" ||
         sqlState == u"40001" || sqlState == u"40P01" || sqlState == u"25P02";
}

// What a failure says to the user beyond the server's words. 25P02: the
// statement did not fail by itself, and the driver does not pass on the
// reason of what did. 55P03: the session waited the whole timeout (its
// lock_timeout) for a lock another session holds.
OdbcDiagnostic Explained(OdbcDiagnostic failure, int timeoutSeconds) {
  if (failure.sqlState == u"25P02")
    failure.message = u"the transaction was left aborted by a catalogue query the driver ran on its own, "
                      u"whose error the driver did not report; " + failure.message;
  if (failure.sqlState == u"55P03") {
    const std::string seconds = std::to_string(timeoutSeconds);
    failure.message += u" (a table is locked by another session; waited " +
                       std::u16string(seconds.begin(), seconds.end()) + u" s, see --timeout)";
  }
  return failure;
}

// Failures of the statement that locks relations that say the server
// cannot run it at all (no PL/pgSQL in the database, or not for this
// role): the attempt then reads without locks.
bool MeansCannotLock(const std::u16string& sqlState) { return sqlState == u"42704" || sqlState == u"42501"; }

// Live objects and the held objects they are checked against, as one
// number: the kind in the high half ('n' schema, 'r' relation, 't' type,
// 'p' routine), the oid in the low half.
std::uint64_t LiveKey(char16_t kind, std::uint32_t oid) { return (std::uint64_t{kind} << 32) | oid; }

// The columns of held rows that name an object the final check knows, with
// its kind; a row naming a held object that is not live is left out.
struct OwnerColumn {
  std::u16string_view name;
  char16_t kind;
  bool other;  // names another object than the row's own (a foreign key's table, a partition's parent)
};
constexpr OwnerColumn kOwnerColumns[] = {
    {u"schema_oid", u'n', false},   {u"table_oid", u'r', false},     {u"view_oid", u'r', false},
    {u"sequence_oid", u'r', false}, {u"partition_oid", u'r', false}, {u"parent_oid", u'r', true},
    {u"referenced_table_oid", u'r', true}, {u"type_oid", u't', false}, {u"routine_oid", u'p', false},
};

// A statement's row action, holding the rows while the import reads, to
// hand them to the action once it is known which objects remain. Owns the
// action. When not holding, rows go straight through.
//
// A held row is the record's values taken out place by place (ReplaceRow
// exchanges them for empty ones: the fetch loop refills every place for
// the next row), under the record's places as they were; handed on, the
// places are set once per run of rows that share them and each row's
// values are put back the same way. No value is copied. Only the values a
// row has are kept, each with its place: catalogue rows are NULL in many
// places, and a held import holds every row.
class HeldRows : public QueryResultRowActionI {
 public:
  explicit HeldRows(QueryResultRowActionI* action) : m_action(action) {
    if (action != nullptr) SetObjectType(action->GetRowObjectType());
  }

  // Whether rows are held from now on; drops what is held.
  void Hold(bool hold) {
    m_holding = hold;
    m_keepOnce = false;
    Clear();
  }

  // The next run of the statement adds to what is held: it reads the rest
  // of the same attempt (another group of relations).
  void KeepForNextRun() { m_keepOnce = true; }

  // A new attempt of the statement starts with nothing held.
  void PreExecute(GenericModel* model) override {
    if (m_holding) {
      if (!m_keepOnce) Clear();
      m_keepOnce = false;
    } else if (m_action) {
      m_action->PreExecute(model);
    }
  }

  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    if (!m_holding) {
      if (m_action) m_action->ProcessRow(model, record);
      return;
    }
    // The places change once per statement run, not per row.
    if (m_layouts.empty() || &record != m_seenRecord || record.RowLayout() != m_seenLayout) {
      Layout layout;
      layout.names.reserve(record.Places());
      for (std::size_t place = 0; place < record.Places(); ++place) {
        const std::uint16_t name = NameIndex(record.PlaceName(place));
        if (const OwnerColumn* owner = m_owners[name]) layout.owners.push_back(OwnerPlace{place, owner});
        layout.names.push_back(name);
      }
      if (m_layouts.empty() || m_layouts.back().names != layout.names) m_layouts.push_back(std::move(layout));
      m_seenRecord = &record;
      m_seenLayout = record.RowLayout();
    }
    // The record's values come out into the scratch row (empty between
    // uses), and those present move on to the held ones.
    const std::size_t places = m_layouts.back().names.size();
    if (m_scratch.size() < places) m_scratch.resize(places);
    record.ReplaceRow(std::span<COleVariant>(m_scratch.data(), places));
    for (std::size_t place = 0; place < places; ++place) {
      if (m_scratch[place].vt == VT_EMPTY) continue;
      m_places.push_back(static_cast<std::uint16_t>(place));
      swap(m_values.emplace_back(), m_scratch[place]);
    }
    m_rows.push_back(Row{m_values.size(), m_layouts.size() - 1});
  }

  void PostExecute(GenericModel* model) override {
    if (!m_holding && m_action) m_action->PostExecute(model);
  }

  // Rows held now.
  std::size_t Rows() const { return m_rows.size(); }

  // The objects the held rows make: the kind and oid in each owner column
  // that names the row's own object.
  template <typename Visit>
  void ForEachOwnObject(Visit visit) const {
    std::size_t begin = 0;
    for (const Row& row : m_rows) {
      ForEachOwnerValue(m_layouts[row.layout], begin, row.end, [&](const OwnerColumn& column, const COleVariant& value) {
        if (!column.other && value.vt == VT_I4) visit(column.kind, static_cast<std::uint32_t>(value.lVal));
        return true;
      });
      begin = row.end;
    }
  }

  // Hands the held rows to the action (PreExecute, ProcessRow for each row
  // keep accepts, PostExecute) in the record, then drops them.
  template <typename Keep>
  void HandOn(GenericModel* model, CommonDataObject& record, Keep keep) {
    if (m_action) {
      m_action->PreExecute(model);
      std::vector<const std::u16string*> names;
      std::size_t laidOut = m_layouts.size();  // the layout the record has places for; none yet
      std::uint64_t recordLayout = 0;
      std::size_t begin = 0;
      for (const Row& row : m_rows) {
        const Layout& layout = m_layouts[row.layout];
        const bool kept =
            ForEachOwnerValue(layout, begin, row.end, [&](const OwnerColumn& column, const COleVariant& value) {
              return value.vt != VT_I4 || keep(column.kind, static_cast<std::uint32_t>(value.lVal));
            });
        if (kept) {
          // Again should a row action have changed the record's places.
          if (row.layout != laidOut || record.RowLayout() != recordLayout) {
            names.clear();
            for (std::uint16_t name : layout.names) names.push_back(&m_names[name]);
            recordLayout = record.SetRowNames(names);
            laidOut = row.layout;
          }
          const std::size_t places = layout.names.size();
          if (m_scratch.size() < places) m_scratch.resize(places);
          for (std::size_t i = begin; i < row.end; ++i) swap(m_scratch[m_places[i]], m_values[i]);
          record.ReplaceRow(std::span<COleVariant>(m_scratch.data(), places));
          // Back come the row before's values, handed on already.
          for (std::size_t place = 0; place < places; ++place) m_scratch[place].Clear();
          m_action->ProcessRow(model, record);
        }
        begin = row.end;
      }
      m_action->PostExecute(model);
    }
    Clear();
  }

 private:
  // An owner column's place in a layout.
  struct OwnerPlace {
    std::size_t place;           // index among the layout's places
    const OwnerColumn* column;   // its entry in kOwnerColumns
  };
  // The places of a run of held rows.
  struct Layout {
    std::vector<std::uint16_t> names;  // name index (in m_names) of each place
    std::vector<OwnerPlace> owners;    // the places of owner columns, ascending
  };
  // One held row: where its values end in m_values, and its places.
  struct Row {
    std::size_t end;     // end of its values in m_values and m_places (the row before's end is its beginning)
    std::size_t layout;  // index in m_layouts of its places
  };

  // Visits the owner columns the row whose values are [begin, end) has a
  // value in, with that value, while visit says go on; false if it said stop.
  // Both go by ascending place: one walk.
  template <typename Visit>
  bool ForEachOwnerValue(const Layout& layout, std::size_t begin, std::size_t end, Visit visit) const {
    std::size_t i = begin;
    for (const OwnerPlace& owner : layout.owners) {
      while (i < end && m_places[i] < owner.place) ++i;
      if (i == end) break;
      if (m_places[i] == owner.place && !visit(*owner.column, m_values[i])) return false;
    }
    return true;
  }

  std::uint16_t NameIndex(const std::u16string& name) {
    const auto found = m_index.find(name);
    if (found != m_index.end()) return found->second;
    const auto index = static_cast<std::uint16_t>(m_names.size());
    m_names.push_back(name);
    const OwnerColumn* column = nullptr;
    for (const OwnerColumn& owner : kOwnerColumns)
      if (owner.name == name) column = &owner;
    m_owners.push_back(column);
    m_index.emplace(name, index);
    return index;
  }

  void Clear() {
    m_values.clear();
    m_places.clear();
    m_rows.clear();
    m_layouts.clear();
    m_values.shrink_to_fit();
    m_places.shrink_to_fit();
    m_rows.shrink_to_fit();
    m_seenRecord = nullptr;
  }

  std::unique_ptr<QueryResultRowActionI> m_action;    // the statement's own row action; may be null
  bool m_holding = false;                              // rows are held rather than handed on
  bool m_keepOnce = false;                             // the next PreExecute keeps what is held
  std::vector<std::u16string> m_names;                 // column names seen, by index; kept across imports
  std::vector<const OwnerColumn*> m_owners;            // per name: its owner column, or null
  std::map<std::u16string, std::uint16_t, std::less<>> m_index;  // name -> its index in m_names
  std::vector<Layout> m_layouts;                       // places of held rows, each run's once
  const CommonDataObject* m_seenRecord = nullptr;      // the record the last held row came from, and ...
  std::uint64_t m_seenLayout = 0;                      // ... its layout then, whose places are m_layouts.back()
  std::vector<COleVariant> m_values;                   // held values a row has, all rows one after the other ...
  std::vector<std::uint16_t> m_places;                 // ... and the place of each in its row's layout
  std::vector<COleVariant> m_scratch;                  // one row by place, empty between uses
  std::vector<Row> m_rows;                             // held rows in fetch order
};

HeldRows* Held(const SchemaSourceReaderI& reader, int statementId) {
  return dynamic_cast<HeldRows*>(reader.GetStatementRowAction(statementId));
}

}  // namespace

PgConnector* PgReader::Connector() const { return dynamic_cast<PgConnector*>(m_connector); }

void PgReader::RegisterQueryStatements() {
  for (int id : StatementIds()) {
    AddQueryStatement(id, qm::postgres::StatementObjectType(id), CString(StatementText(id, ScopeFilter(u"n.nspname", {}), 0)),
                      qm::postgres::StatementName(id));
    // A registered action stays; a second one would not be taken over.
    if (GetStatementRowAction(id) == nullptr) SetStatementRowAction(id, new HeldRows(CreateRowAction(id)));
  }
}

void PgReader::GetAvailableObjects() {
  m_scopeFilter = ScopeFilter(u"n.nspname", ParseScope(m_reScope.view()));
  const PgConnector* connector = Connector();
  m_serverVersion = connector != nullptr ? connector->ServerVersion() : 0;
}

void PgReader::PreProcessQueryStatement(int statementId, CString& statement) {
  if (m_scopeFilter.empty()) m_scopeFilter = ScopeFilter(u"n.nspname", {});
  std::u16string text =
      StatementText(statementId, m_relationFilter.empty() ? m_scopeFilter : m_scopeFilter + u" AND " + m_relationFilter,
                    m_serverVersion);
  if (!text.empty()) statement = CString(std::move(text));
}

PgReader::AfterFailure PgReader::OnStatementFailed(int statementId, OdbcDiagnostic& failure, int attempt) {
  // The server ended the session: as lost as a broken connection.
  if (MeansSessionEnded(failure.sqlState)) return AfterFailure::Abandon;
  const AfterFailure next = SchemaSourceReaderI::OnStatementFailed(statementId, failure, attempt);
  if (next != AfterFailure::Report || Connector() == nullptr) return next;
  // Each attempt runs on a new snapshot: OnStatementEnded ends the
  // transaction in between.
  if (attempt < kStatementAttempts && Retryable(failure.sqlState)) {
    m_lockingStatement = statementId;
    return AfterFailure::Retry;
  }
  failure = Explained(std::move(failure), std::max(Connector()->GetConnectOptions().timeoutSeconds, 1));
  return AfterFailure::Report;
}

void PgReader::ImportObjects(int statementId) {
  PgConnector* connector = Connector();
  if (connector == nullptr || m_lockingStatement != statementId || m_cannotLock || !ReadsRelations(statementId)) {
    SchemaSourceReaderI::ImportObjects(statementId);
    return;
  }
  // The relations in scope now, and how many one transaction may lock.
  void* const connection = connector->GetConnectionHandle();
  std::vector<std::u16string> listing;
  OdbcDiagnostic failure = ExecuteOnConnection(connection, RelationsInScopeText(m_scopeFilter), &listing);
  connector->RollbackTransaction();
  if (!failure.IsEmpty()) {
    ReportFailure(statementId, std::move(failure));
    return;
  }
  std::vector<std::uint32_t> relations;
  std::size_t budget = 0;
  for (std::u16string_view rest = listing.empty() ? std::u16string_view() : std::u16string_view(listing.front());
       !rest.empty();) {
    const std::size_t space = rest.find(u' ');
    const std::optional<std::int64_t> number = ParseInt64(rest.substr(0, space));
    if (!number || *number <= 0) break;
    if (budget == 0) {
      budget = static_cast<std::size_t>(*number);
    } else {
      relations.push_back(static_cast<std::uint32_t>(*number));
    }
    rest = space == std::u16string_view::npos ? std::u16string_view() : rest.substr(space + 1);
  }
  budget = std::max<std::size_t>(budget, 1);

  // Group after group of at most `budget` relations, each in a transaction
  // of its own: the locks first, then the statement on a snapshot taken
  // after them (READ COMMITTED: a snapshot per statement), limited to the
  // group. A relation dropped before its lock is not in that snapshot; one
  // locked cannot go, nor anything on it, until the transaction ends.
  HeldRows* held = Held(*this, statementId);
  const std::size_t failedBefore = GetFailedStatements().size();
  for (std::size_t from = 0; from == 0 || from < relations.size(); from += budget) {
    // The host's stop is heard between groups too; the read loop then
    // runs no further statement.
    if (from > 0 && StopRequested()) return;
    const std::span<const std::uint32_t> group =
        std::span<const std::uint32_t>(relations).subspan(from, std::min(budget, relations.size() - from));
    failure = ExecuteOnConnection(connection, u"BEGIN ISOLATION LEVEL READ COMMITTED");
    if (failure.IsEmpty()) failure = ExecuteOnConnection(connection, LockRelationsText(group));
    if (!failure.IsEmpty() && MeansCannotLock(failure.sqlState)) {
      // Read as the first attempt did (all relations, whatever groups were
      // read are read again), and so for the rest of the import.
      m_cannotLock = true;
      ExecuteOnConnection(connection, u"ROLLBACK");
      connector->RollbackTransaction();
      SchemaSourceReaderI::ImportObjects(statementId);
      return;
    }
    if (!failure.IsEmpty()) {
      ExecuteOnConnection(connection, u"ROLLBACK");
      connector->RollbackTransaction();
      ReportFailure(statementId, std::move(failure));
      return;
    }
    if (from > 0 && held != nullptr) held->KeepForNextRun();
    m_relationFilter = RelationFilter(group);
    SchemaSourceReaderI::ImportObjects(statementId);
    m_relationFilter.clear();
    ExecuteOnConnection(connection, u"ROLLBACK");
    connector->RollbackTransaction();
    if (GetFailedStatements().size() != failedBefore) return;
  }
}

void PgReader::OnStatementEnded(int) {
  // Each statement has a transaction of its own: the locks the server's
  // catalogue functions take (pg_get_viewdef, pg_get_expr) are held no
  // longer than the statement, and whatever failed in it (the statement,
  // or a query the driver ran on its own) leaves nothing aborted for the
  // next one.
  if (PgConnector* connector = Connector()) connector->RollbackTransaction();
}

std::optional<std::unordered_set<std::uint64_t>> PgReader::LiveObjects(PgConnector& connector) {
  // A transaction of its own (as every statement has): its snapshot, and
  // the server's catalogue caches, are as the import ends.
  std::vector<std::u16string> rows;
  const OdbcDiagnostic failure =
      ExecuteOnConnection(m_connector->GetConnectionHandle(), LiveObjectsText(m_scopeFilter), &rows);
  connector.RollbackTransaction();
  if (!failure.IsEmpty()) return std::nullopt;
  std::unordered_set<std::uint64_t> live;
  live.reserve(rows.size());
  for (const std::u16string& row : rows) {
    if (row.size() < 2) continue;
    if (const std::optional<std::int64_t> oid = ParseInt64(std::u16string_view(row).substr(1)))
      live.insert(LiveKey(row[0], static_cast<std::uint32_t>(*oid)));
  }
  return live;
}

void PgReader::HandOnHeldRows(const std::unordered_set<std::uint64_t>* live) {
  // The objects the held rows make (their own oid columns), so that a row
  // naming an object outside the import (a foreign key to another schema)
  // is not taken for one that has gone.
  std::unordered_set<std::uint64_t> gone;
  if (live != nullptr) {
    for (int id : StatementIds())
      if (const HeldRows* held = Held(*this, id))
        held->ForEachOwnObject([&](char16_t kind, std::uint32_t oid) {
          const std::uint64_t key = LiveKey(kind, oid);
          if (!live->count(key)) gone.insert(key);
        });
  }
  for (int id : StatementIds())
    if (HeldRows* held = Held(*this, id))
      held->HandOn(m_model, m_heldRecord,
                   [&](char16_t kind, std::uint32_t oid) { return gone.empty() || !gone.count(LiveKey(kind, oid)); });
  m_heldRecord.Reset();
}

bool PgReader::NothingToRead(int statementId) const {
  if (const PgConnector* connector = Connector(); connector != nullptr && connector->CountedNone(statementId))
    return true;
  const std::vector<int>& owners = OwnerStatements(statementId);
  if (owners.empty()) return false;
  for (int owner : owners) {
    const HeldRows* held = Held(*this, owner);
    if (held == nullptr || held->Rows() != 0) return false;
    for (const FailedStatement& failed : GetFailedStatements())
      if (failed.statementId == owner) return false;
  }
  return true;
}

void PgReader::ReadObjects() {
  PgConnector* connector = Connector();
  for (int id : StatementIds())
    if (HeldRows* held = Held(*this, id)) held->Hold(connector != nullptr);

  // The read loop's way (RunStatements), but a statement that can find
  // nothing is not sent: one for a kind of object the scope held none of
  // when the session was set up, and one whose rows could only belong to
  // objects the statements before it did not find (the columns of a
  // database without tables or views). Each costs a round trip and its
  // planning on a fresh session, which on a small database is most of the
  // import's time. Its progress notices are posted all the same. An object
  // made after the session was set up is one made during the import: not
  // there (see PgReader.h).
  // Owners and grants only when the host asked: the model, and the
  // import's cost, are otherwise what they always were.
  const bool privileges = connector != nullptr && connector->GetConnectOptions().withPrivileges;
  if (privileges && m_model != nullptr) SetIntegerProperty(*m_model->GetCMOObject(), model::PrivilegesRead, 1);
  bool whole = true;
  for (int id : StatementIds()) {
    if (id == kPrivileges && !privileges) continue;
    if (connector != nullptr && !StopRequested() && NothingToRead(id)) {
      NotifyImporting(id);
      NotifyImported(id);
      continue;
    }
    m_lockingStatement = 0;
    if (RunStatement(id)) continue;
    whole = false;
    if (StopRequested()) break;
  }

  if (connector != nullptr) {
    // Without a connection or after a stop, what was read is handed on as
    // it is; the model then holds what the statements returned.
    std::optional<std::unordered_set<std::uint64_t>> live;
    // Schemas (and tablespaces) alone are each read whole by one statement:
    // with nothing under them there is nothing the final check could find
    // half there, and it is not sent.
    bool under = false;
    for (int id : StatementIds())
      if (const HeldRows* held = Held(*this, id); held != nullptr && id != kSchemas && id != kTableSpaces)
        under = under || held->Rows() != 0;
    if (whole && under) live = LiveObjects(*connector);
    HandOnHeldRows(live ? &*live : nullptr);
    for (int id : StatementIds())
      if (HeldRows* held = Held(*this, id)) held->Hold(false);
  }
  // The included columns of every index and key read, as property 180; run
  // once, after all statements, so that a failed statement costs only its
  // own objects' lists.
  ImportedIndexCache::Instance()->ProcessIncludedColumns();
  m_scopeFilter.clear();
  m_lockingStatement = 0;
  m_cannotLock = false;
}

}  // namespace qm::postgres
