#include "Diagram.h"
#include "DocumentText.h"
#include "ModelIndex.h"

#include <writers/MarkdownWriter.h>
#include <writers/VisibleText.h>

#include <tillerhold/ModelVocabulary.h>

#include <algorithm>
#include <ostream>

namespace writers {

using namespace model;

namespace {

// What Mermaid renders by default (its maxTextSize and maxEdges).
constexpr std::size_t kMermaidMaximumText = 50000;
constexpr std::size_t kMermaidMaximumEdges = 500;

// Text that Markdown shows as it is: each character that could start
// emphasis, a link, a code span, markup, an entity, a table cell, math or
// a heading is escaped with a backslash (CommonMark's escapes), and so is
// what would start a list at the beginning of a list item ("- x", "1. x");
// blanks at either end, which a table cell or heading would drop, are
// entities.
std::string Text(const std::string& visible) {
  static constexpr std::string_view kSpecial = "\\`*_{}[]()<>#+!|~&$";
  std::string out;
  out.reserve(visible.size() + 8);
  const std::size_t first = visible.find_first_not_of(' ');
  const std::size_t last = visible.find_last_not_of(' ');
  const std::size_t digits = visible.find_first_not_of("0123456789");
  for (std::size_t i = 0; i < visible.size(); ++i) {
    const char c = visible[i];
    if (c == ' ' && (first == std::string::npos || i < first || i > last)) {
      out += "&#32;";
      continue;
    }
    const bool listMarker = (i == 0 && (c == '-' || c == '=')) || (i > 0 && i == digits && (c == '.' || c == ')'));
    if (listMarker || kSpecial.find(c) != std::string_view::npos) out += '\\';
    out += c;
  }
  return out;
}

std::string ShownName(const std::string& visible) { return visible.empty() ? std::string("*(empty name)*") : Text(visible); }

std::size_t LongestBacktickRun(const std::string& text) {
  std::size_t longest = 0;
  std::size_t run = 0;
  for (char c : text) {
    run = c == '`' ? run + 1 : 0;
    longest = std::max(longest, run);
  }
  return longest;
}

// A code span outside tables: a fence longer than any run inside.
std::string Code(const std::string& visible) {
  if (visible.empty()) return {};
  const std::string fence(LongestBacktickRun(visible) + 1, '`');
  const bool pad = visible.front() == '`' || visible.back() == '`' || visible.front() == ' ' || visible.back() == ' ';
  return fence + (pad ? " " : "") + visible + (pad ? " " : "") + fence;
}

// A fenced code block.
std::string Block(const std::string& visible, const char* language) {
  const std::string fence(std::max<std::size_t>(3, LongestBacktickRun(visible) + 1), '`');
  std::string text = visible;
  if (text.empty() || text.back() != '\n') text += '\n';
  return fence + language + "\n" + text + fence + "\n\n";
}

std::string Anchor(char kind, int id) { return std::string(1, kind) + std::to_string(id); }

class Document {
 public:
  Document(const GenericModel& model, const WriteOptions& options) : m_index(model), m_options(options) {}

  std::string Build() {
    const CMOObject& root = *m_index.Model().GetCMOObject();
    const std::string database = VisibleText(RawText(root, DatabaseName));
    const std::string server = VisibleText(RawText(root, ServerName));
    m_out.reserve(4096 + static_cast<std::size_t>(m_index.Model().GetObjectCount()) * 100);
    m_out += database.empty() ? std::string("# Schema\n\n") : "# Schema of " + Text(database) + "\n\n";
    if (!server.empty() && server != database) m_out += "Server " + Text(server) + "\n\n";
    WriteContents();
    WriteDiagram();
    for (const ModelIndex::SchemaEntry& schema : m_index.Schemas()) WriteSchema(schema);
    while (m_out.size() > 1 && m_out[m_out.size() - 1] == '\n' && m_out[m_out.size() - 2] == '\n') m_out.pop_back();
    return std::move(m_out);
  }

 private:
  std::string SchemaName(const ModelIndex::SchemaEntry& schema) const {
    return schema.schema == nullptr ? std::string("(no schema)") : VisibleText(RawText(*schema.schema, Name));
  }
  std::string SchemaAnchor(const ModelIndex::SchemaEntry& schema) const {
    return schema.schema == nullptr ? std::string("s0") : Anchor('s', schema.schema->GetObjectId());
  }

  std::string Link(const CMOObject& object, char kind, const std::string& visible) const {
    return "[" + ShownName(visible) + "](#" + Anchor(kind, object.GetObjectId()) + ")";
  }

  void WriteContents() {
    m_out += "## Contents\n\n- [Diagram](#diagram)\n";
    for (const ModelIndex::SchemaEntry& schema : m_index.Schemas()) {
      m_out += "- Schema [" + ShownName(SchemaName(schema)) + "](#" + SchemaAnchor(schema) + ")";
      std::string items;
      auto add = [&](const CMOObject& object, char kind) {
        items += (items.empty() ? ": " : ", ") + Link(object, kind, VisibleText(RawText(object, model::Name)));
      };
      for (const CMOObject* table : schema.tables) add(*table, 't');
      for (const CMOObject* view : schema.views) add(*view, 't');
      for (const CMOObject* routine : schema.routines) add(*routine, 'r');
      m_out += items + "\n";
    }
    m_out += "\n";
  }

  void WriteDiagram() {
    m_out += "<a id=\"diagram\"></a>\n\n## Diagram\n\n";
    std::string refusal;
    std::string diagramText;
    if (m_index.Tables().empty()) {
      refusal = "the model has no tables.";
    } else {
      const Diagram diagram = BuildDiagram(m_index, m_options);
      if (diagram.edges.size() > kMermaidMaximumEdges) {
        refusal = "its " + std::to_string(diagram.edges.size()) + " relationships are more than the " +
                  std::to_string(kMermaidMaximumEdges) + " Mermaid draws.";
      } else {
        diagramText = DiagramMermaid(m_index, diagram, true);
        if (diagramText.size() > kMermaidMaximumText) {
          diagramText = DiagramMermaid(m_index, diagram, false);
          if (diagramText.size() <= kMermaidMaximumText) {
            m_out += "Tables without their columns: with them the diagram would be larger than Mermaid draws.\n\n";
          } else {
            refusal = "its " + std::to_string(diagram.tables.size()) + " tables are more than Mermaid draws.";
            diagramText.clear();
          }
        }
      }
    }
    if (!diagramText.empty()) {
      m_out += Block(diagramText, "mermaid");
    } else {
      m_out += "No diagram: " + Text(refusal) +
               " Draw the tables around one with `--around TABLE --depth N`, or all of them with `--format svg`.\n\n";
    }
  }

  void WriteSchema(const ModelIndex::SchemaEntry& schema) {
    m_out += "<a id=\"" + SchemaAnchor(schema) + "\"></a>\n\n## Schema " + ShownName(SchemaName(schema)) + "\n\n";
    if (schema.schema != nullptr) WriteComment(*schema.schema);
    for (const CMOObject* table : schema.tables) WriteTable(*table, "Table");
    for (const CMOObject* view : schema.views) WriteTable(*view, "View");
    for (const CMOObject* routine : schema.routines) WriteRoutine(*routine);
    if (!schema.sequences.empty()) {
      m_out += "### Sequences\n\n";
      for (const CMOObject* sequence : schema.sequences) {
        m_out += "- " + ShownName(VisibleText(RawText(*sequence, model::Name)));
        if (const auto start = IntegerValue(*sequence, SequenceStart)) m_out += " start " + std::to_string(*start);
        if (const auto step = IntegerValue(*sequence, SequenceIncrement)) m_out += " increment " + std::to_string(*step);
        m_out += "\n";
      }
      m_out += "\n";
    }
    if (!schema.userTypes.empty()) {
      m_out += "### Types\n\n";
      for (const CMOObject* type : schema.userTypes) {
        m_out += "- " + ShownName(VisibleText(RawText(*type, model::Name)));
        const std::u16string& kind = RawText(*type, TypeKind);
        if (!kind.empty()) m_out += " (" + Text(VisibleText(kind)) + ")";
        const std::u16string& labels = RawText(*type, EnumLabels);
        if (!labels.empty()) m_out += ": " + Text(VisibleText(labels));
        m_out += "\n";
      }
      m_out += "\n";
    }
  }

  void WriteComment(const CMOObject& object) {
    const std::u16string& comment = RawText(object, Comment);
    if (comment.empty()) return;
    // One paragraph: the comment's line breaks become blanks.
    std::string text = VisibleLines(comment);
    std::replace(text.begin(), text.end(), '\n', ' ');
    m_out += Text(text) + "\n\n";
  }

  std::string TableLink(int id) const {
    const CMOObject* table = m_index.Object(id);
    if (table == nullptr) return "?";
    return Link(*table, 't', DocumentName(m_index, *table));
  }

  void WriteColumns(const ModelIndex::TableEntry& entry) {
    if (entry.columns.empty()) return;
    m_out += "| Column | Type | Null | Default | Comment |\n|---|---|---|---|---|\n";
    for (const CMOObject* column : entry.columns) {
      std::string line = "| " + ShownName(VisibleText(RawText(*column, model::Name)));
      if (m_index.IsPrimaryKeyColumn(*column)) line += " **PK**";
      if (m_index.IsForeignKeyColumn(*column)) line += " **FK**";
      line += " | " + Text(VisibleText(RawText(*column, DataType))) + " | ";
      const std::optional<long long> nullable = IntegerValue(*column, Nullable);
      line += nullable ? (*nullable == 0 ? "NOT NULL" : "null") : "";
      line += " | ";
      const std::u16string& generated = RawText(*column, GeneratedExpression);
      const std::u16string& value = RawText(*column, DefaultValue);
      if (!generated.empty()) {
        line += "generated: " + Text(VisibleText(generated));
      } else if (!value.empty()) {
        line += Text(VisibleText(value));
      }
      const std::u16string& identity = RawText(*column, Identity);
      if (!identity.empty()) line += " identity " + Text(VisibleText(identity));
      std::string comment = VisibleLines(RawText(*column, Comment));
      std::replace(comment.begin(), comment.end(), '\n', ' ');
      line += " | " + Text(comment) + " |\n";
      m_out += line;
    }
    m_out += "\n";
  }

  void WriteTable(const CMOObject& table, const char* word) {
    const int id = table.GetObjectId();
    const ModelIndex::TableEntry& entry = m_index.Entry(id);
    m_out += "<a id=\"" + Anchor('t', id) + "\"></a>\n\n### " + word + " " + ShownName(DocumentName(m_index, table));
    const std::u16string& kind = RawText(table, TableKind);
    if (!IsPlainKind(kind)) m_out += " (" + Text(VisibleText(kind)) + ")";
    m_out += "\n\n";
    WriteComment(table);
    WriteColumns(entry);

    if (!entry.keys.empty()) {
      m_out += "**Keys**\n\n";
      for (const CMOObject* key : entry.keys) {
        m_out += std::string("- ") + (IsPrimaryKey(*key) ? "primary key" : "unique");
        const std::string name = VisibleText(RawText(*key, model::Name));
        if (!name.empty()) m_out += " " + Text(name);
        m_out += " (" + Text(NameList(m_index, IdList(*key, KeyColumns))) + ")\n";
      }
      m_out += "\n";
    }
    if (!entry.foreignKeys.empty()) {
      m_out += "**Foreign keys**\n\n";
      for (const CMOObject* foreignKey : entry.foreignKeys) {
        m_out += "- ";
        const std::string name = VisibleText(RawText(*foreignKey, model::Name));
        if (!name.empty()) m_out += Text(name) + " ";
        m_out += "(" + Text(NameList(m_index, IdList(*foreignKey, ForeignKeyColumns))) + ") \u2192 ";
        const int target = m_index.ReferencedTableOf(*foreignKey);
        m_out += target == 0 ? std::string("?") : TableLink(target);
        const std::vector<int>& referenced = IdList(*foreignKey, ReferencedColumns);
        if (!referenced.empty()) m_out += " (" + Text(NameList(m_index, referenced)) + ")";
        const std::string rules = ForeignKeyRules(*foreignKey);
        if (!rules.empty()) m_out += " " + Text(rules);
        m_out += "\n";
      }
      m_out += "\n";
    }
    if (!entry.referencedBy.empty()) {
      m_out += "**Referenced by**\n\n";
      for (const CMOObject* foreignKey : entry.referencedBy) {
        m_out += "- " + TableLink(m_index.TableOf(foreignKey->GetObjectId())) + " (" +
                 Text(NameList(m_index, IdList(*foreignKey, ForeignKeyColumns))) + ")";
        const std::string name = VisibleText(RawText(*foreignKey, model::Name));
        if (!name.empty()) m_out += " " + Text(name);
        m_out += "\n";
      }
      m_out += "\n";
    }
    if (!entry.checks.empty()) {
      m_out += "**Checks**\n\n";
      for (const CMOObject* check : entry.checks) {
        m_out += "- ";
        const std::string name = VisibleText(RawText(*check, model::Name));
        if (!name.empty()) m_out += Text(name) + " ";
        m_out += Code(VisibleText(RawText(*check, CheckExpression))) + "\n";
      }
      m_out += "\n";
    }
    if (!entry.indexes.empty()) {
      m_out += "**Indexes**\n\n";
      for (const CMOObject* index : entry.indexes) {
        m_out += "- " + ShownName(VisibleText(RawText(*index, model::Name))) + " (" + Text(IndexParts(m_index, *index)) + ")";
        const std::string details = IndexDetails(m_index, *index);
        if (!details.empty()) m_out += " " + Text(details);
        m_out += "\n";
      }
      m_out += "\n";
    }
    if (!entry.partitions.empty()) {
      m_out += "**Partitions**\n\n";
      for (const CMOObject* partition : entry.partitions)
        m_out += "- " + ShownName(VisibleText(RawText(*partition, model::Name))) + " " +
                 Code(VisibleText(RawText(*partition, PartitionBound))) + "\n";
      m_out += "\n";
    }
    if (!entry.triggers.empty()) {
      m_out += "**Triggers**\n\n";
      for (const CMOObject* trigger : entry.triggers) {
        m_out += "- " + ShownName(VisibleText(RawText(*trigger, model::Name))) + " " +
                 Text(VisibleText(RawText(*trigger, TriggerTiming))) + " " +
                 Text(VisibleText(RawText(*trigger, TriggerEvents))) + "\n\n";
        const std::u16string& definition = DefinitionOf(*trigger);
        if (!definition.empty()) m_out += Block(VisibleLines(definition), "sql");
      }
    }
    if (table.GetObjectType() == View) {
      const std::u16string& definition = DefinitionOf(table);
      if (!definition.empty()) m_out += Block(VisibleLines(definition), "sql");
    }
  }

  void WriteRoutine(const CMOObject& routine) {
    const std::u16string& kind = RawText(routine, RoutineKind);
    m_out += "<a id=\"" + Anchor('r', routine.GetObjectId()) + "\"></a>\n\n### " +
             (kind.empty() ? std::string("Routine") : Text(VisibleText(kind))) + " " +
             ShownName(DocumentName(m_index, routine)) + "\n\n";
    WriteComment(routine);
    std::string signature = "(" + VisibleText(RawText(routine, ParameterList)) + ")";
    const std::u16string& returns = RawText(routine, ReturnType);
    if (!returns.empty()) signature += " returns " + VisibleText(returns);
    const std::u16string& language = RawText(routine, Language);
    if (!language.empty()) signature += ", language " + VisibleText(language);
    m_out += Code(signature) + "\n\n";
    const std::u16string& definition = DefinitionOf(routine);
    if (!definition.empty()) m_out += Block(VisibleLines(definition), "sql");
  }

  const ModelIndex m_index;
  const WriteOptions& m_options;
  std::string m_out;
};

}  // namespace

void MarkdownWriter::Write(const GenericModel& model, std::ostream& out, const WriteOptions& options) const {
  const std::string text = Document(model, options).Build();
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

}  // namespace writers
