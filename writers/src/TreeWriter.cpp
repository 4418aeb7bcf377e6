#include <writers/ObjectTypeWords.h>
#include <writers/TreeWriter.h>
#include <writers/VisibleText.h>

#include <platform/Utf.h>
#include <tillerhold/GenericModel.h>
#include <tillerhold/ModelVocabulary.h>

#include <algorithm>
#include <charconv>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace writers {

namespace {

using namespace model;

// A text property as the database gave it; empty when absent.
std::u16string Raw(const CMOObject& object, int propertyId) {
  const CMOProperty* property = object.GetProperty(propertyId);
  if (property == nullptr || property->GetValueKind() != CMOProperty::ValueKind::WString) return {};
  return std::u16string(property->WStringRef());
}

// A text property as shown: UTF-8, invisible characters escaped.
std::string Text(const CMOObject& object, int propertyId) { return VisibleText(Raw(object, propertyId)); }

// An integer property; a text that holds a number counts too.
std::optional<long long> Integer(const CMOObject& object, int propertyId) {
  const CMOProperty* property = object.GetProperty(propertyId);
  if (property == nullptr) return std::nullopt;
  if (property->GetValueKind() == CMOProperty::ValueKind::Integer) return property->GetIntegerValue();
  if (property->GetValueKind() == CMOProperty::ValueKind::WString) {
    const std::string text = platform::Utf16ToUtf8(property->WStringRef());
    long long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec == std::errc() && end == text.data() + text.size()) return value;
  }
  return std::nullopt;
}

std::vector<int> Ids(const CMOObject& object, int propertyId) {
  const CMOProperty* property = object.GetProperty(propertyId);
  if (property == nullptr) return {};
  return property->GetObjectIdVectorValue();
}

std::string Quote(std::u16string_view name) { return VisibleName(name); }

// Characters on the screen, counted as code points.
std::size_t Width(const std::string& text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::string Pad(const std::string& text, std::size_t width) {
  const std::size_t w = Width(text);
  return w >= width ? text : text + std::string(width - w, ' ');
}

// One line of text: SQL definitions may span lines. Line breaks and tabs
// between the words become one blank; the rest is shown as VisibleText does.
std::string OneLine(const std::u16string& text) {
  std::u16string line;
  bool blank = false;
  for (char16_t c : text) {
    const bool space = c == u' ' || c == u'\n' || c == u'\r' || c == u'\t';
    if (space) {
      blank = !line.empty();
      continue;
    }
    if (blank) line += u' ';
    blank = false;
    line += c;
  }
  return VisibleText(line);
}

// One run of the writer over one model.
class Outline {
 public:
  Outline(const GenericModel& model, std::ostream& out) : m_model(model), m_out(out) {}

  void Write() {
    const CMOObject& root = *m_model.GetCMOObject();
    const std::string database = Text(root, DatabaseName);
    const std::string server = Text(root, ServerName);
    if (!database.empty() || !server.empty()) {
      m_out << "database " << (database.empty() ? "(unnamed)" : database);
      if (!server.empty() && server != database) m_out << " on " << server;
      m_out << '\n';
    }
    WriteChildren(root, 0);
  }

 private:
  const CMOObject* Object(int id) const { return m_model.GetCMOObject(id); }

  std::string NameOf(int id) const {
    const CMOObject* object = Object(id);
    return object == nullptr ? "#" + std::to_string(id) : Quote(Raw(*object, Name));
  }

  std::string NameList(const std::vector<int>& ids) const {
    std::string list;
    for (int id : ids) {
      if (!list.empty()) list += ", ";
      list += NameOf(id);
    }
    return list;
  }

  // The schema an object belongs to: the nearest schema above it.
  int SchemaOf(const CMOObject& object) const {
    for (const CMOObject* at = Object(object.GetParentId()); at != nullptr; at = Object(at->GetParentId())) {
      if (at->GetObjectType() == Schema) return at->GetObjectId();
    }
    return 0;
  }

  // A table named from where `from` stands: with its schema when that
  // differs.
  std::string TableName(int tableId, const CMOObject& from) const {
    const CMOObject* table = Object(tableId);
    if (table == nullptr) return "#" + std::to_string(tableId);
    const int schema = SchemaOf(*table);
    if (schema != 0 && schema != SchemaOf(from)) return NameOf(schema) + "." + NameOf(tableId);
    return NameOf(tableId);
  }

  void Line(int depth, const std::string& text) { m_out << std::string(static_cast<std::size_t>(depth) * 2, ' ') << text << '\n'; }

  // Children in a fixed order of kinds, each kind in creation order.
  void WriteChildren(const CMOObject& parent, int depth) {
    static constexpr int kOrder[] = {Schema, TableSpace, UserType, Sequence, Table, Column, Key, ForeignKey,
                                     CheckConstraint, Index, Partition, View, Trigger, Routine, Parameter};
    std::vector<const CMOObject*> children;
    for (int id : parent.GetChildIds()) {
      if (const CMOObject* child = Object(id)) children.push_back(child);
    }
    auto rank = [](int type) {
      const auto* at = std::find(std::begin(kOrder), std::end(kOrder), type);
      return static_cast<int>(at - std::begin(kOrder));
    };
    std::stable_sort(children.begin(), children.end(), [&](const CMOObject* a, const CMOObject* b) {
      return rank(a->GetObjectType()) < rank(b->GetObjectType());
    });

    std::vector<const CMOObject*> columns;
    for (const CMOObject* child : children) {
      if (child->GetObjectType() == Column) {
        columns.push_back(child);
        continue;
      }
      if (!columns.empty()) {
        WriteColumns(columns, depth);
        columns.clear();
      }
      WriteObject(*child, depth);
    }
    if (!columns.empty()) WriteColumns(columns, depth);
  }

  void WriteColumns(const std::vector<const CMOObject*>& columns, int depth) {
    Line(depth, "columns");
    std::size_t nameWidth = 0;
    std::size_t typeWidth = 0;
    for (const CMOObject* column : columns) {
      nameWidth = std::max(nameWidth, Width(Quote(Raw(*column, Name))));
      typeWidth = std::max(typeWidth, Width(Text(*column, DataType)));
    }
    for (const CMOObject* column : columns) {
      std::vector<std::string> details;
      if (Integer(*column, Nullable) == 0) details.push_back("NOT NULL");
      const std::u16string defaultValue = Raw(*column, DefaultValue);
      if (!defaultValue.empty()) details.push_back("DEFAULT " + OneLine(defaultValue));
      const std::u16string generated = Raw(*column, GeneratedExpression);
      if (!generated.empty()) details.push_back("GENERATED AS (" + OneLine(generated) + ")");
      const std::string identity = Text(*column, Identity);
      if (!identity.empty()) details.push_back("IDENTITY " + identity);
      const std::string collation = Text(*column, Collation);
      if (!collation.empty()) details.push_back("COLLATE " + collation);
      const std::optional<long long> pk = Integer(*column, PrimaryKeyPosition);
      if (pk && *pk > 0) details.push_back("PK " + std::to_string(*pk));

      std::string line = Pad(Quote(Raw(*column, Name)), nameWidth);
      const std::string type = Text(*column, DataType);
      if (typeWidth > 0) line += "  " + (details.empty() ? type : Pad(type, typeWidth));
      for (const std::string& detail : details) line += "  " + detail;
      while (!line.empty() && line.back() == ' ') line.pop_back();
      Line(depth + 1, line);
      WriteChildren(*column, depth + 2);
    }
  }

  static std::string Action(const char* clause, const std::string& action) {
    // NO ACTION is the default; leaving it out keeps the outline readable.
    if (action.empty() || action == "NO ACTION") return {};
    return std::string("  ") + clause + " " + action;
  }

  void WriteObject(const CMOObject& object, int depth) {
    const std::string name = Quote(Raw(object, Name));
    switch (object.GetObjectType()) {
      case Schema:
        Line(depth, "schema " + name);
        break;
      case Table: {
        std::string line = "table " + name;
        const std::string kind = Text(object, TableKind);
        // An ordinary table needs no word of its own; every other kind
        // (the model vocabulary's words, or whatever else a model holds) is
        // named.
        if (!kind.empty() && kind != "table") line += "  (" + kind + ")";
        Line(depth, line);
        break;
      }
      case View:
        Line(depth, "view " + name);
        break;
      case Key: {
        const std::string type = Text(object, KeyType);
        std::string line = type == "PRIMARY KEY" ? "primary key" : type == "UNIQUE" ? "unique" : "key";
        if (!Text(object, Name).empty()) line += " " + name;
        line += " (" + NameList(Ids(object, KeyColumns)) + ")";
        Line(depth, line);
        break;
      }
      case ForeignKey: {
        std::string line = "foreign key";
        if (!Text(object, Name).empty()) line += " " + name;
        line += " (" + NameList(Ids(object, ForeignKeyColumns)) + ") \u2192 ";
        std::vector<int> table = Ids(object, ReferencedTable);
        if (table.empty()) {
          // Named through the referenced key's table when only the key is known.
          const std::vector<int> key = Ids(object, ReferencedKey);
          if (!key.empty() && Object(key[0]) != nullptr) table.push_back(Object(key[0])->GetParentId());
        }
        line += table.empty() ? std::string("?") : TableName(table[0], object);
        const std::vector<int> referenced = Ids(object, ReferencedColumns);
        if (!referenced.empty()) line += " (" + NameList(referenced) + ")";
        line += Action("ON DELETE", Text(object, OnDelete));
        line += Action("ON UPDATE", Text(object, OnUpdate));
        if (Integer(object, Deferrable) == 1) {
          line += Integer(object, InitiallyDeferred) == 1 ? "  DEFERRABLE INITIALLY DEFERRED" : "  DEFERRABLE";
        }
        Line(depth, line);
        break;
      }
      case Index: {
        std::string line = "index " + name;
        const std::vector<int> columns = Ids(object, IndexColumns);
        const std::string expressions = OneLine(Raw(object, Expressions));
        std::string parts = NameList(columns);
        if (!expressions.empty()) parts += (parts.empty() ? "" : ", ") + expressions;
        line += " (" + parts + ")";
        if (Integer(object, IsUnique) == 1) line += "  unique";
        const std::string method = Text(object, IndexMethod);
        if (!method.empty() && method != "btree") line += "  using " + method;
        const std::vector<int> included = Ids(object, IncludedColumns);
        if (!included.empty()) line += "  include (" + NameList(included) + ")";
        const std::string predicate = OneLine(Raw(object, Predicate));
        if (!predicate.empty()) line += "  where " + predicate;
        Line(depth, line);
        break;
      }
      case CheckConstraint: {
        std::string line = "check";
        if (!Text(object, Name).empty()) line += " " + name;
        const std::string expression = OneLine(Raw(object, CheckExpression));
        if (!expression.empty()) line += " (" + expression + ")";
        Line(depth, line);
        break;
      }
      case Trigger: {
        std::string line = "trigger " + name;
        const std::string timing = Text(object, TriggerTiming);
        const std::string events = Text(object, TriggerEvents);
        if (!timing.empty() || !events.empty()) line += " ";
        if (!timing.empty()) line += " " + timing;
        if (!events.empty()) line += " " + events;
        Line(depth, line);
        break;
      }
      case Sequence: {
        std::string line = "sequence " + name;
        const std::optional<long long> start = Integer(object, SequenceStart);
        const std::optional<long long> increment = Integer(object, SequenceIncrement);
        if (start) line += "  start " + std::to_string(*start);
        if (increment) line += "  increment " + std::to_string(*increment);
        Line(depth, line);
        break;
      }
      case Routine: {
        const std::string kind = Text(object, RoutineKind);
        std::string line = (kind.empty() ? std::string("routine") : kind) + " " + name;
        const std::u16string parameters = Raw(object, ParameterList);
        line += "(" + OneLine(parameters) + ")";
        const std::string returns = Text(object, ReturnType);
        if (!returns.empty()) line += " returns " + returns;
        Line(depth, line);
        // Parameters are in the line already when the list is given.
        if (!parameters.empty()) return;
        break;
      }
      default: {
        std::string line = ObjectTypeWords(object.GetObjectType(), false);
        if (!Text(object, Name).empty()) line += " " + name;
        const std::string type = Text(object, DataType);
        if (!type.empty()) line += "  " + type;
        Line(depth, line);
        break;
      }
    }
    WriteChildren(object, depth + 1);
  }

  const GenericModel& m_model;
  std::ostream& m_out;
};

}  // namespace

void TreeWriter::Write(const GenericModel& model, std::ostream& out, const WriteOptions&) const {
  Outline(model, out).Write();
}

}  // namespace writers
