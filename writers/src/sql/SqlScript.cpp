#include "SqlScript.h"

#include "ModelValues.h"
#include "SqlDialect.h"

#include <writers/VisibleText.h>

#include <platform/Utf.h>
#include <tillerhold/GenericModel.h>
#include <tillerhold/ModelVocabulary.h>

#include <algorithm>
#include <ostream>
#include <queue>
#include <tuple>

namespace writers::sql {

// ---- SqlModel

SqlModel::SqlModel(const GenericModel& model) : m_model(model) {
  for (int id = 2; id <= model.GetObjectCount(); ++id) {
    const CMOObject* object = model.GetCMOObject(id);
    if (object == nullptr || object->GetObjectType() != model::Table) continue;
    if (const CMOObject* parent = PartitionParent(*object)) m_partitions[parent->GetObjectId()].push_back(object);
  }
}

const CMOObject* SqlModel::Object(int id) const { return id > 0 ? m_model.GetCMOObject(id) : nullptr; }

std::vector<const CMOObject*> SqlModel::Children(const CMOObject& object, int type) const {
  std::vector<const CMOObject*> children;
  for (int id : object.GetChildIds()) {
    const CMOObject* child = Object(id);
    if (child != nullptr && child->GetObjectType() == type) children.push_back(child);
  }
  return children;
}

const CMOObject* SqlModel::SchemaOf(const CMOObject& object) const {
  for (const CMOObject* step = &object; step != nullptr; step = Parent(*step))
    if (step->GetObjectType() == model::Schema) return step;
  return nullptr;
}

const CMOObject* SqlModel::Referenced(const CMOObject& object, int propertyId) const {
  const std::vector<int>& ids = values::Ids(object, propertyId);
  return ids.empty() ? nullptr : Object(ids.front());
}

const CMOObject* SqlModel::PartitionParent(const CMOObject& table) const {
  const CMOObject* parent = Referenced(table, model::PartitionOf);
  return parent != nullptr && parent != &table ? parent : nullptr;
}

const std::vector<const CMOObject*>& SqlModel::Partitions(const CMOObject& table) const {
  static const std::vector<const CMOObject*> kNone;
  const auto found = m_partitions.find(table.GetObjectId());
  return found == m_partitions.end() ? kNone : found->second;
}

bool SqlModel::InheritedFromParent(const CMOObject& object) const {
  const CMOObject* table = Parent(object);
  const CMOObject* parent = table != nullptr ? PartitionParent(*table) : nullptr;
  if (parent == nullptr || !values::HasText(object, model::Name)) return false;
  for (const CMOObject* sibling : Children(*parent, object.GetObjectType()))
    if (values::Name(*sibling) == values::Name(object)) return true;
  return false;
}

const CMOObject* SqlModel::IdentitySequence(int columnId) const {
  const auto found = m_identitySequences.find(columnId);
  return found == m_identitySequences.end() ? nullptr : found->second;
}

// ---- Script

namespace {

const char16_t* const kPhaseTitles[kPhaseCount] = {
    u"Schemas", u"Types and sequences", u"Tables", u"Keys and checks", u"Foreign keys",
    u"Indexes", u"Views",               u"Routines", u"Triggers",
};

}  // namespace

Script::Script(const SqlModel& model, const SqlDialect& dialect) : m_model(model), m_dialect(dialect) {}

int Script::Add(Phase phase, const CMOObject& object, std::u16string text, bool creates) {
  const int number = static_cast<int>(m_statements.size());
  m_statements.push_back({phase, object.GetObjectId(), std::move(text), {}, {}});
  m_byObject[object.GetObjectId()].push_back(number);
  if (creates) {
    std::u16string name = m_dialect.MatchKey(values::Name(object), true);
    m_bareNames[name].push_back(number);
    if (const CMOObject* schema = m_model.SchemaOf(object); schema != nullptr && schema != &object) {
      std::u16string key = m_dialect.MatchKey(values::Name(*schema), true) + u'\0' + name;
      m_names[key].push_back(number);
      m_statements.back().creates = std::move(key);
    }
  }
  return number;
}

void Script::Refuse(Phase phase, const CMOObject& object, const RefusedText& refused, std::u16string_view instead) {
  Add(phase, object, platform::Utf8ToUtf16(RefusedLine(object, refused, instead)));
}

void Script::RefusePrivileges(const CMOObject& object, const RefusedText& refused) {
  m_privileges += platform::Utf8ToUtf16(RefusedLine(object, refused, {}));
}

std::string Script::RefusedLine(const CMOObject& object, const RefusedText& refused, std::u16string_view instead) {
  static constexpr const char* kKinds[] = {"one expression", "a list of expressions", "one type", "one clause",
                                           "one query", "one statement", "one body"};
  const std::string kind = kKinds[static_cast<int>(refused.kind)];
  const std::string self = platform::Utf16ToUtf8(m_dialect.Describe(m_model, object));
  const CMOObject* owner = m_model.Object(refused.objectId);
  const std::string property = model::PropertyName(refused.propertyId);
  const std::string why = platform::Utf16ToUtf8(refused.why);
  std::string line;
  if (!instead.empty()) {
    line = "the " + property + " of " + self + ", which is not " + kind + " (" + why + "); " +
           platform::Utf16ToUtf8(instead);
  } else if (owner == nullptr || owner == &object) {
    line = self + ", whose " + property + " is not " + kind + " (" + why + ")";
  } else {
    line = self + ", as the " + property + " of " + platform::Utf16ToUtf8(m_dialect.Describe(m_model, *owner)) +
           " is not " + kind + " (" + why + ")";
  }
  m_leftOut.push_back("not written: " + line);
  return "-- not written: " + line + ": " + VisibleText(refused.text) + "\n";
}

void Script::Follow(int statement, int before) {
  if (statement != before) m_statements[static_cast<std::size_t>(statement)].follows.push_back(before);
}

const std::vector<int>& Script::StatementsOf(int objectId) const {
  static const std::vector<int> kNone;
  const auto found = m_byObject.find(objectId);
  return found == m_byObject.end() ? kNone : found->second;
}

void Script::AddModelDependencies() {
  auto followObject = [&](int statement, const CMOObject* object) {
    if (object == nullptr) return;
    for (int before : StatementsOf(object->GetObjectId())) Follow(statement, before);
  };
  for (int number = 0; number < static_cast<int>(m_statements.size()); ++number) {
    const CMOObject* object = m_model.Object(m_statements[static_cast<std::size_t>(number)].objectId);
    if (object == nullptr) continue;
    const CMOObject* parent = m_model.Parent(*object);
    // A key, index or trigger after its table; a view's trigger after it.
    followObject(number, parent);
    switch (object->GetObjectType()) {
      case model::ForeignKey:
        followObject(number, m_model.Referenced(*object, model::ReferencedTable));
        followObject(number, m_model.Referenced(*object, model::ReferencedKey));
        break;
      case model::Table: followObject(number, m_model.PartitionParent(*object)); break;
      default: break;
    }
    // A partitioned table's key, foreign key or index after those of its
    // partitions: made on the parent, it takes theirs over instead of
    // making its own under other names.
    const int type = object->GetObjectType();
    if (parent != nullptr && (type == model::Key || type == model::ForeignKey || type == model::Index))
      for (const CMOObject* partition : m_model.Partitions(*parent))
        for (const CMOObject* sibling : m_model.Children(*partition, type)) followObject(number, sibling);
  }
}

void Script::AddTextDependencies() {
  const TokenRules rules = m_dialect.Tokens();
  for (int number = 0; number < static_cast<int>(m_statements.size()); ++number) {
    Statement& statement = m_statements[static_cast<std::size_t>(number)];
    // Bare names are looked at only in what runs queries: in a table's
    // text they are its columns.
    const bool bare = m_dialect.BareNamesReferToObjects() && statement.phase >= kViews;
    for (const std::vector<NamePart>& run : ReferencedNames(statement.text, rules)) {
      const std::vector<int>* found = nullptr;
      if (run.size() >= 2) {
        const std::u16string key =
            m_dialect.MatchKey(run[0].name, run[0].quoted) + u'\0' + m_dialect.MatchKey(run[1].name, run[1].quoted);
        // Routines of one name (overloads) do not follow each other.
        if (key == statement.creates) continue;
        const auto entry = m_names.find(key);
        if (entry != m_names.end()) found = &entry->second;
      } else if (bare) {
        const auto entry = m_bareNames.find(m_dialect.MatchKey(run[0].name, run[0].quoted));
        if (entry != m_bareNames.end()) found = &entry->second;
      }
      if (found == nullptr) continue;
      for (int before : *found)
        if (m_statements[static_cast<std::size_t>(before)].objectId != statement.objectId) Follow(number, before);
    }
  }
}

std::vector<int> Script::Order() const {
  const int count = static_cast<int>(m_statements.size());
  std::vector<std::vector<int>> successors(static_cast<std::size_t>(count));
  std::vector<int> waiting(static_cast<std::size_t>(count), 0);  // statements still to come before each
  for (int number = 0; number < count; ++number) {
    std::vector<int> follows = m_statements[static_cast<std::size_t>(number)].follows;
    std::sort(follows.begin(), follows.end());
    follows.erase(std::unique(follows.begin(), follows.end()), follows.end());
    for (int before : follows) {
      successors[static_cast<std::size_t>(before)].push_back(number);
      ++waiting[static_cast<std::size_t>(number)];
    }
  }
  using Rank = std::tuple<int, int>;  // phase, number: the order where nothing else decides
  auto rank = [&](int number) { return Rank{m_statements[static_cast<std::size_t>(number)].phase, number}; };
  std::priority_queue<Rank, std::vector<Rank>, std::greater<Rank>> ready;
  for (int number = 0; number < count; ++number)
    if (waiting[static_cast<std::size_t>(number)] == 0) ready.push(rank(number));
  // Every statement by rank, for breaking a circle at its earliest member.
  std::vector<int> byRank(static_cast<std::size_t>(count));
  for (int number = 0; number < count; ++number) byRank[static_cast<std::size_t>(number)] = number;
  std::stable_sort(byRank.begin(), byRank.end(), [&](int a, int b) { return rank(a) < rank(b); });
  std::size_t nextByRank = 0;

  std::vector<bool> written(static_cast<std::size_t>(count), false);
  std::vector<int> order;
  order.reserve(static_cast<std::size_t>(count));
  while (static_cast<int>(order.size()) < count) {
    int number = -1;
    while (!ready.empty() && number < 0) {
      const int candidate = std::get<1>(ready.top());
      ready.pop();
      if (!written[static_cast<std::size_t>(candidate)]) number = candidate;
    }
    if (number < 0) {
      while (written[static_cast<std::size_t>(byRank[nextByRank])]) ++nextByRank;
      number = byRank[nextByRank];
    }
    written[static_cast<std::size_t>(number)] = true;
    order.push_back(number);
    for (int successor : successors[static_cast<std::size_t>(number)])
      if (--waiting[static_cast<std::size_t>(successor)] == 0 && !written[static_cast<std::size_t>(successor)])
        ready.push(rank(successor));
  }
  return order;
}

void Script::Write(std::ostream& out, std::u16string_view header, std::u16string_view begin, std::u16string_view end) {
  AddModelDependencies();
  AddTextDependencies();
  std::string text;
  platform::AppendUtf16AsUtf8(text, header);
  platform::AppendUtf16AsUtf8(text, begin);
  int phase = -1;
  // A statement that needs one of a later section comes back to its own
  // section after it: that return is marked as a continuation, so each
  // section has one heading.
  std::vector<bool> started(kPhaseCount, false);
  bool blank = begin.empty();  // the last line written is empty (or nothing is written yet)
  for (int number : Order()) {
    const Statement& statement = m_statements[static_cast<std::size_t>(number)];
    if (statement.phase != phase) {
      phase = statement.phase;
      text += blank ? "-- " : "\n-- ";
      platform::AppendUtf16AsUtf8(text, kPhaseTitles[phase]);
      text += started[static_cast<std::size_t>(phase)] ? " (continued)\n\n" : "\n\n";
      started[static_cast<std::size_t>(phase)] = true;
    }
    platform::AppendUtf16AsUtf8(text, statement.text);
    // A statement of several lines is set apart from the next.
    const std::size_t firstBreak = statement.text.find(u'\n');
    blank = firstBreak != std::u16string::npos && firstBreak + 1 < statement.text.size();
    if (blank) text += '\n';
    if (text.size() > (1 << 16)) {
      out.write(text.data(), static_cast<std::streamsize>(text.size()));
      text.clear();
    }
  }
  if (!blank && !end.empty()) text += '\n';
  platform::AppendUtf16AsUtf8(text, end);
  if (!m_privileges.empty()) {
    text += "\n-- Owners and grants (after the end: a role this database lacks fails its statement here, "
            "and the schema above stays complete)\n\n";
    platform::AppendUtf16AsUtf8(text, m_privileges);
  }
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

}  // namespace writers::sql
