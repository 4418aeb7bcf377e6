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

// The one file of the whole model, or in a folder its index (README.md,
// which repositories show for the folder) or one object's page.
enum class Kind { OneFile, Index, ObjectPage };

class Document {
 public:
  Document(const ModelIndex& index, const WriteOptions& options, Kind kind)
      : m_index(index), m_options(options), m_kind(kind) {}

  std::string ObjectPage(const CMOObject& object) {
    m_prefix = "../";
    m_out += "[" + Text(Title()) + "](../README.md)";
    const CMOObject* schema = m_index.Object(m_index.SchemaOf(object.GetObjectId()));
    if (schema != nullptr)
      m_out += " / schema [" + ShownName(VisibleText(RawText(*schema, model::Name))) + "](../README.md#" +
               m_index.Stem(schema->GetObjectId()) + ")";
    m_out += "\n\n";
    if (object.GetObjectType() == Routine) WriteRoutine(object, "#");
    else WriteTable(object, object.GetObjectType() == View ? "View" : "Table", "#");
    return Finish();
  }

  std::string Index() {
    const CMOObject& root = *m_index.Model().GetCMOObject();
    const std::string database = VisibleText(RawText(root, DatabaseName));
    const std::string server = VisibleText(RawText(root, ServerName));
    m_out += "# " + Text(Title()) + "\n\n";
    if (!server.empty() && server != database) m_out += "Server " + Text(server) + "\n\n";
    const Diagram all = m_index.Tables().empty() ? Diagram() : BuildDiagram(m_index, WriteOptions{});
    std::size_t first = 0;
    for (const ModelIndex::SchemaEntry& schema : m_index.Schemas()) {
      m_out += "<a id=\"" + m_index.SchemaAnchor(schema) + "\"></a>\n\n## Schema " + ShownName(m_index.SchemaName(schema)) + "\n\n";
      if (schema.schema != nullptr) WriteComment(*schema.schema);
      m_out += std::to_string(schema.tables.size()) + (schema.tables.size() == 1 ? " table, " : " tables, ") +
               std::to_string(schema.views.size()) + (schema.views.size() == 1 ? " view, " : " views, ") +
               std::to_string(schema.routines.size()) + (schema.routines.size() == 1 ? " routine" : " routines") +
               "\n\n";
      if (!schema.tables.empty()) {
        MermaidBlock(SchemaPart(all, first, schema.tables.size()), "Each table's page has a diagram of the tables around it.");
        first += schema.tables.size();
      }
      if (!schema.tables.empty() || !schema.views.empty() || !schema.routines.empty()) {
        m_out += "| Name | Kind | Columns | Comment |\n|---|---|---|---|\n";
        auto row = [&](const CMOObject& object, const std::string& kind, std::string columns) {
          std::string comment = VisibleLines(RawText(object, Comment));
          std::replace(comment.begin(), comment.end(), '\n', ' ');
          m_out += "| " + Link(object, VisibleText(RawText(object, model::Name))) + " | " + Text(kind) + " | " + columns +
                   " | " + Text(comment) + " |\n";
        };
        for (const CMOObject* table : schema.tables) {
          const std::u16string& kind = RawText(*table, TableKind);
          row(*table, IsPlainKind(kind) ? std::string("table") : VisibleText(kind),
              std::to_string(m_index.Entry(table->GetObjectId()).columns.size()));
        }
        for (const CMOObject* view : schema.views)
          row(*view, "view", std::to_string(m_index.Entry(view->GetObjectId()).columns.size()));
        for (const CMOObject* routine : schema.routines) {
          const std::u16string& kind = RawText(*routine, RoutineKind);
          row(*routine, kind.empty() ? std::string("routine") : VisibleText(kind), "");
        }
        m_out += "\n";
      }
      WriteSequencesAndTypes(schema);
    }
    return Finish();
  }

  std::string Build() {
    const CMOObject& root = *m_index.Model().GetCMOObject();
    const std::string database = VisibleText(RawText(root, DatabaseName));
    const std::string server = VisibleText(RawText(root, ServerName));
    m_out.reserve(4096 + static_cast<std::size_t>(m_index.Model().GetObjectCount()) * 100);
    m_out += database.empty() ? std::string("# Schema\n\n") : "# Schema of " + Text(database) + "\n\n";
    if (!server.empty() && server != database) m_out += "Server " + Text(server) + "\n\n";
    // The whole diagram is fitted once: it decides the advice below and is
    // the diagram section's block.
    Diagram all;
    MermaidText whole;
    if (!m_index.Tables().empty()) {
      all = BuildDiagram(m_index, m_options);
      whole = FittingMermaid(m_index, all);
    }
    // The folder reads better where the one diagram cannot show the
    // columns readably: judged as the html format's page draws it (Mermaid
    // renderers fit a picture to the page alike), or where Mermaid drops
    // them itself.
    const bool crowded = !m_index.Tables().empty() && m_options.aroundTable.empty() &&
                         (whole.text.empty() || whole.withoutColumns || !ColumnsReadable(all));
    if (crowded)
      m_out += "This schema has " + std::to_string(m_index.Tables().size()) +
               " tables, more than one Mermaid diagram shows with their columns: written as a folder (`-o DIR/`) "
               "it has a page per table, each with a diagram of the tables around it.\n\n";
    WriteContents();
    WriteDiagram(whole);
    for (const ModelIndex::SchemaEntry& schema : m_index.Schemas()) WriteSchema(schema);
    return Finish();
  }

 private:
  // Whether the whole diagram shows its columns readably; a model
  // Graphviz cannot lay out is taken as too large.
  bool ColumnsReadable(const Diagram& all) const {
    try {
      return DiagramShowsColumns(m_index, all);
    } catch (const WriteError&) {
      return false;
    }
  }

  std::string Finish() {
    while (m_out.size() > 1 && m_out[m_out.size() - 1] == '\n' && m_out[m_out.size() - 2] == '\n') m_out.pop_back();
    return std::move(m_out);
  }

  std::string Title() const { return DocumentTitle(m_index); }

  // A Mermaid code block of the diagram, or a note saying why there is none.
  void MermaidBlock(const Diagram& diagram, const char* otherwise) {
    MermaidBlock(FittingMermaid(m_index, diagram), otherwise);
  }
  void MermaidBlock(const MermaidText& mermaid, const char* otherwise) {
    if (mermaid.text.empty()) {
      m_out += "No diagram: " + Text(mermaid.refusal) + ". " + otherwise + "\n\n";
      return;
    }
    if (mermaid.withoutColumns)
      m_out += "Tables without their columns: with them the diagram would be larger than Mermaid draws.\n\n";
    m_out += Block(mermaid.text, "mermaid");
  }

  void WriteSequencesAndTypes(const ModelIndex::SchemaEntry& schema) {
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

  // Where a link to an object's section or page leads.
  std::string Href(const CMOObject& object) const {
    const std::string& stem = m_index.Stem(object.GetObjectId());
    if (m_kind == Kind::OneFile) return std::string(object.GetObjectType() == Routine ? "#routine-" : "#") + stem;
    return m_prefix + m_index.PagePath(object, ".md");
  }

  std::string Link(const CMOObject& object, const std::string& visible) const {
    return "[" + ShownName(visible) + "](" + Href(object) + ")";
  }

  void WriteContents() {
    m_out += "## Contents\n\n- [Diagram](#diagram)\n";
    for (const ModelIndex::SchemaEntry& schema : m_index.Schemas()) {
      m_out += "- Schema [" + ShownName(m_index.SchemaName(schema)) + "](#" + m_index.SchemaAnchor(schema) + ")";
      std::string items;
      auto add = [&](const CMOObject& object) {
        items += (items.empty() ? ": " : ", ") + Link(object, VisibleText(RawText(object, model::Name)));
      };
      for (const CMOObject* table : schema.tables) add(*table);
      for (const CMOObject* view : schema.views) add(*view);
      for (const CMOObject* routine : schema.routines) add(*routine);
      m_out += items + "\n";
    }
    m_out += "\n";
  }

  // The whole model's diagram, as FittingMermaid gave it.
  void WriteDiagram(const MermaidText& whole) {
    m_out += "<a id=\"diagram\"></a>\n\n## Diagram\n\n";
    if (m_index.Tables().empty()) {
      m_out += "No diagram: the model has no tables.\n\n";
      return;
    }
    MermaidBlock(whole,
                 "Draw the tables around one with `--around TABLE --depth N`, or all of them with `--format svg`.");
  }

  void WriteSchema(const ModelIndex::SchemaEntry& schema) {
    m_out += "<a id=\"" + m_index.SchemaAnchor(schema) + "\"></a>\n\n## Schema " + ShownName(m_index.SchemaName(schema)) + "\n\n";
    if (schema.schema != nullptr) WriteComment(*schema.schema);
    for (const CMOObject* table : schema.tables) WriteTable(*table, "Table", "###");
    for (const CMOObject* view : schema.views) WriteTable(*view, "View", "###");
    for (const CMOObject* routine : schema.routines) WriteRoutine(*routine, "###");
    WriteSequencesAndTypes(schema);
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
    return Link(*table, DocumentName(m_index, *table));
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

  void WriteTable(const CMOObject& table, const char* word, const char* heading) {
    const int id = table.GetObjectId();
    const ModelIndex::TableEntry& entry = m_index.Entry(id);
    if (m_kind == Kind::OneFile) m_out += "<a id=\"" + m_index.Stem(id) + "\"></a>\n\n";
    m_out += std::string(heading) + " " + word + " " + ShownName(DocumentName(m_index, table));
    const std::u16string& kind = RawText(table, TableKind);
    if (!IsPlainKind(kind)) m_out += " (" + Text(VisibleText(kind)) + ")";
    m_out += "\n\n";
    WriteComment(table);
    if (m_kind == Kind::ObjectPage && table.GetObjectType() == Table) {
      const Diagram around = NeighbourDiagram(m_index, table);
      MermaidBlock(around, "The foreign keys are listed below.");
      if (around.leftOut > 0) m_out += LeftOutWords(around.leftOut) + ".\n\n";
    }
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

  void WriteRoutine(const CMOObject& routine, const char* heading) {
    const std::u16string& kind = RawText(routine, RoutineKind);
    if (m_kind == Kind::OneFile) m_out += "<a id=\"routine-" + m_index.Stem(routine.GetObjectId()) + "\"></a>\n\n";
    m_out += std::string(heading) + " " + (kind.empty() ? std::string("Routine") : Text(VisibleText(kind))) + " " +
             ShownName(DocumentName(m_index, routine)) + "\n\n";
    WriteComment(routine);
    m_out += Code(RoutineSignature(routine)) + "\n\n";
    const std::u16string& definition = DefinitionOf(routine);
    if (!definition.empty()) m_out += Block(VisibleLines(definition), "sql");
  }

  const ModelIndex& m_index;
  const WriteOptions& m_options;
  const Kind m_kind;
  std::string m_prefix;  // from this page to the folder's top: "" or "../"
  std::string m_out;
};

}  // namespace

void MarkdownWriter::Write(const GenericModel& model, std::ostream& out, const WriteOptions& options) const {
  const ModelIndex index(model);
  const std::string text = Document(index, options, Kind::OneFile).Build();
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

void MarkdownWriter::WriteFolder(const GenericModel& model, FolderOutput& out, const WriteOptions& options) const {
  WriteDocumentFolder(
      model, out, options, "README.md", ".md",
      [&](const ModelIndex& index) { return Document(index, options, Kind::Index).Index(); },
      [&](const ModelIndex& index, const CMOObject& object) {
        return Document(index, options, Kind::ObjectPage).ObjectPage(object);
      });
}

}  // namespace writers
