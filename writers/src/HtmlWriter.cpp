#include "Diagram.h"
#include "DocumentText.h"
#include "ModelIndex.h"
#include "page/PageAssets.h"

#include <writers/HtmlWriter.h>
#include <writers/OutputFormats.h>
#include <writers/VisibleText.h>

#include <tillerhold/ModelVocabulary.h>

#include <ostream>
#include <sstream>

namespace writers {

using namespace model;

namespace {

// Text for an HTML element or a quoted attribute value.
std::string Escape(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c; break;
    }
  }
  return out;
}

// A database name in the page, in an element that keeps its blanks.
std::string NameHtml(const std::string& visible) {
  return "<span class=\"name\">" + (visible.empty() ? std::string("<i>(empty name)</i>") : Escape(visible)) +
         "</span>";
}

std::string Anchor(char kind, int id) { return std::string(1, kind) + std::to_string(id); }

// One run of the writer over one model: the page is built in one string.
class Page {
 public:
  Page(const GenericModel& model, const WriteOptions& options) : m_index(model), m_options(options) {}

  std::string Build() {
    const CMOObject& root = *m_index.Model().GetCMOObject();
    const std::string database = VisibleText(RawText(root, DatabaseName));
    const std::string server = VisibleText(RawText(root, ServerName));
    const std::string title = database.empty() ? std::string("Schema") : "Schema of " + database;
    m_out.reserve(4096 + static_cast<std::size_t>(m_index.Model().GetObjectCount()) * 160);
    m_out += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
    m_out += "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; script-src '";
    m_out += kPageScriptHash;
    m_out += "'; style-src '";
    m_out += kPageStyleHash;
    m_out += "'\">\n<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
    m_out += "<title>" + Escape(title) + "</title>\n<style>";
    m_out += kPageStyle;
    m_out += "</style>\n</head>\n<body>\n";
    WriteIndex(database, server);
    m_out += "<main>\n<h1>" + Escape(title) + "</h1>\n";
    if (!server.empty() && server != database) m_out += "<p>Server " + NameHtml(server) + "</p>\n";
    WriteDiagram();
    for (const ModelIndex::SchemaEntry& schema : m_index.Schemas()) WriteSchema(schema);
    m_out += "</main>\n<script>";
    m_out += kPageScript;
    m_out += "</script>\n</body>\n</html>\n";
    return std::move(m_out);
  }

 private:
  std::string SchemaName(const ModelIndex::SchemaEntry& schema) const {
    return schema.schema == nullptr ? std::string("(no schema)") : VisibleText(RawText(*schema.schema, Name));
  }
  std::string SchemaAnchor(const ModelIndex::SchemaEntry& schema) const {
    return schema.schema == nullptr ? std::string("s0") : Anchor('s', schema.schema->GetObjectId());
  }

  void IndexEntry(const CMOObject& object, char kind, const char* word) {
    const std::string name = VisibleText(RawText(object, Name));
    m_out += "<li data-name=\"" + Escape(name) + "\"><a href=\"#" + Anchor(kind, object.GetObjectId()) + "\">" +
             NameHtml(name) + "</a>";
    if (word != nullptr) m_out += std::string(" <span class=\"kind\">") + word + "</span>";
    m_out += "</li>\n";
  }

  void WriteIndex(const std::string& database, const std::string& server) {
    m_out += "<nav id=\"index\">\n<h1>" + (database.empty() ? std::string("Schema") : Escape(database)) + "</h1>\n";
    if (!server.empty() && server != database) m_out += "<p class=\"kind\">on " + Escape(server) + "</p>\n";
    m_out += "<input id=\"filter\" type=\"search\" placeholder=\"Filter by name\" aria-label=\"Filter by name\">\n";
    m_out += "<p id=\"no-match\" class=\"kind\" hidden>Nothing matches the filter.</p>\n<ul>\n";
    m_out += "<li><a href=\"#diagram\">Diagram</a></li>\n";
    for (const ModelIndex::SchemaEntry& schema : m_index.Schemas()) {
      m_out += "<li class=\"schema\"><a href=\"#" + SchemaAnchor(schema) + "\">" + NameHtml(SchemaName(schema)) +
               "</a>\n<ul>\n";
      for (const CMOObject* table : schema.tables) IndexEntry(*table, 't', nullptr);
      for (const CMOObject* view : schema.views) IndexEntry(*view, 't', "view");
      for (const CMOObject* routine : schema.routines) IndexEntry(*routine, 'r', "routine");
      m_out += "</ul>\n</li>\n";
    }
    m_out += "</ul>\n</nav>\n";
  }

  // The svg format's picture, without its XML prologue; a note where it
  // cannot be drawn.
  void WriteDiagram() {
    m_out += "<section id=\"diagram\">\n<h2>Diagram</h2>\n";
    const OutputFormat* svg = FindOutputFormat("svg");
    std::string picture;
    std::string refusal;
    // An --around that names no table is the user's mistake, refused as
    // the diagram formats refuse it; a diagram too large to lay out is a
    // note on the page.
    const Diagram diagram = BuildDiagram(m_index, m_options);
    if (svg == nullptr) {
      refusal = "this build has no svg format";
    } else if (m_index.Tables().empty()) {
      refusal = "the model has no tables";
    } else if (!CanLayOut(diagram)) {
      refusal = LayoutRefusal(diagram);
    } else {
      try {
        std::ostringstream out;
        svg->writer->Write(m_index.Model(), out, m_options);
        picture = std::move(out).str();
      } catch (const WriteError& error) {
        refusal = error.what();
      }
    }
    const std::size_t start = picture.find("<svg");
    if (start != std::string::npos) {
      m_out += "<button id=\"zoom\" type=\"button\">Actual size</button>\n<div class=\"picture\">\n";
      m_out.append(picture, start);
      m_out += "</div>\n";
    } else {
      m_out += "<p class=\"note\">No diagram: " + Escape(refusal.empty() ? "the picture is empty" : refusal) +
               ".</p>\n";
    }
    m_out += "</section>\n";
  }

  void WriteSchema(const ModelIndex::SchemaEntry& schema) {
    m_out += "<section id=\"" + SchemaAnchor(schema) + "\">\n<h2>Schema " + NameHtml(SchemaName(schema)) + "</h2>\n";
    if (schema.schema != nullptr) WriteComment(*schema.schema);
    for (const CMOObject* table : schema.tables) WriteTable(*table, "Table");
    for (const CMOObject* view : schema.views) WriteTable(*view, "View");
    for (const CMOObject* routine : schema.routines) WriteRoutine(*routine);
    if (!schema.sequences.empty()) {
      m_out += "<h3>Sequences</h3>\n<ul class=\"facts\">\n";
      for (const CMOObject* sequence : schema.sequences) {
        m_out += "<li>" + NameHtml(VisibleText(RawText(*sequence, Name)));
        if (const auto start = IntegerValue(*sequence, SequenceStart)) m_out += " start " + std::to_string(*start);
        if (const auto step = IntegerValue(*sequence, SequenceIncrement)) m_out += " increment " + std::to_string(*step);
        m_out += "</li>\n";
      }
      m_out += "</ul>\n";
    }
    if (!schema.userTypes.empty()) {
      m_out += "<h3>Types</h3>\n<ul class=\"facts\">\n";
      for (const CMOObject* type : schema.userTypes) {
        m_out += "<li>" + NameHtml(VisibleText(RawText(*type, Name)));
        const std::u16string& kind = RawText(*type, TypeKind);
        if (!kind.empty()) m_out += " <span class=\"kind\">" + Escape(VisibleText(kind)) + "</span>";
        const std::u16string& labels = RawText(*type, EnumLabels);
        if (!labels.empty()) m_out += " (" + Escape(VisibleText(labels)) + ")";
        m_out += "</li>\n";
      }
      m_out += "</ul>\n";
    }
    m_out += "</section>\n";
  }

  void WriteComment(const CMOObject& object) {
    const std::u16string& comment = RawText(object, Comment);
    if (!comment.empty()) m_out += "<p class=\"comment\">" + Escape(VisibleLines(comment)) + "</p>\n";
  }

  // A link to a table's or view's section, named as the documentation
  // names it.
  std::string TableLink(int id) const {
    const CMOObject* table = m_index.Object(id);
    if (table == nullptr) return "?";
    return "<a href=\"#" + Anchor('t', id) + "\">" + NameHtml(DocumentName(m_index, *table)) + "</a>";
  }

  void Definition(const CMOObject& object) {
    const std::u16string& definition = DefinitionOf(object);
    if (!definition.empty()) m_out += "<pre><code>" + Escape(VisibleLines(definition)) + "</code></pre>\n";
  }

  void WriteColumns(const ModelIndex::TableEntry& entry) {
    if (entry.columns.empty()) return;
    m_out += "<table class=\"columns\">\n<thead><tr><th>Column</th><th>Type</th><th>Null</th><th>Default</th>"
             "<th>Comment</th></tr></thead>\n<tbody>\n";
    for (const CMOObject* column : entry.columns) {
      m_out += "<tr id=\"" + Anchor('c', column->GetObjectId()) + "\"><td>" +
               NameHtml(VisibleText(RawText(*column, Name)));
      if (m_index.IsPrimaryKeyColumn(*column)) m_out += "<span class=\"mark\">PK</span>";
      if (m_index.IsForeignKeyColumn(*column)) m_out += "<span class=\"mark\">FK</span>";
      m_out += "</td><td><code>" + Escape(VisibleText(RawText(*column, DataType))) + "</code></td><td>";
      const std::optional<long long> nullable = IntegerValue(*column, Nullable);
      m_out += nullable ? (*nullable == 0 ? "NOT NULL" : "null") : "";
      m_out += "</td><td>";
      const std::u16string& generated = RawText(*column, GeneratedExpression);
      const std::u16string& value = RawText(*column, DefaultValue);
      if (!generated.empty()) {
        m_out += "generated: <code>" + Escape(VisibleText(generated)) + "</code>";
      } else if (!value.empty()) {
        m_out += "<code>" + Escape(VisibleText(value)) + "</code>";
      }
      const std::u16string& identity = RawText(*column, Identity);
      if (!identity.empty()) m_out += " identity " + Escape(VisibleText(identity));
      m_out += "</td><td>" + Escape(VisibleLines(RawText(*column, Comment))) + "</td></tr>\n";
    }
    m_out += "</tbody>\n</table>\n";
  }

  void WriteTable(const CMOObject& table, const char* word) {
    const int id = table.GetObjectId();
    const ModelIndex::TableEntry& entry = m_index.Entry(id);
    m_out += "<section class=\"object\" id=\"" + Anchor('t', id) + "\">\n<h3><span class=\"kind\">" + word +
             "</span> " + NameHtml(DocumentName(m_index, table));
    const std::u16string& kind = RawText(table, TableKind);
    if (!IsPlainKind(kind))
      m_out += " <span class=\"kind\">(" + Escape(VisibleText(kind)) + ")</span>";
    m_out += "</h3>\n";
    WriteComment(table);
    WriteColumns(entry);

    if (!entry.keys.empty()) {
      m_out += "<h4>Keys</h4>\n<ul class=\"facts\">\n";
      for (const CMOObject* key : entry.keys) {
        m_out += std::string("<li>") + (IsPrimaryKey(*key) ? "primary key" : "unique");
        const std::string name = VisibleText(RawText(*key, Name));
        if (!name.empty()) m_out += " " + NameHtml(name);
        m_out += " (" + Escape(NameList(m_index, IdList(*key, KeyColumns))) + ")</li>\n";
      }
      m_out += "</ul>\n";
    }
    if (!entry.foreignKeys.empty()) {
      m_out += "<h4>Foreign keys</h4>\n<ul class=\"facts\">\n";
      for (const CMOObject* foreignKey : entry.foreignKeys) {
        m_out += "<li>";
        const std::string name = VisibleText(RawText(*foreignKey, Name));
        if (!name.empty()) m_out += NameHtml(name) + " ";
        m_out += "(" + Escape(NameList(m_index, IdList(*foreignKey, ForeignKeyColumns))) + ") \u2192 ";
        const int target = m_index.ReferencedTableOf(*foreignKey);
        m_out += target == 0 ? std::string("?") : TableLink(target);
        const std::vector<int>& referenced = IdList(*foreignKey, ReferencedColumns);
        if (!referenced.empty()) m_out += " (" + Escape(NameList(m_index, referenced)) + ")";
        const std::string rules = ForeignKeyRules(*foreignKey);
        if (!rules.empty()) m_out += " <span class=\"kind\">" + Escape(rules) + "</span>";
        m_out += "</li>\n";
      }
      m_out += "</ul>\n";
    }
    if (!entry.referencedBy.empty()) {
      m_out += "<h4>Referenced by</h4>\n<ul class=\"facts\">\n";
      for (const CMOObject* foreignKey : entry.referencedBy) {
        const int from = m_index.TableOf(foreignKey->GetObjectId());
        m_out += "<li>" + TableLink(from) + " (" +
                 Escape(NameList(m_index, IdList(*foreignKey, ForeignKeyColumns))) + ")";
        const std::string name = VisibleText(RawText(*foreignKey, Name));
        if (!name.empty()) m_out += " <span class=\"kind\">" + Escape(name) + "</span>";
        m_out += "</li>\n";
      }
      m_out += "</ul>\n";
    }
    if (!entry.checks.empty()) {
      m_out += "<h4>Checks</h4>\n<ul class=\"facts\">\n";
      for (const CMOObject* check : entry.checks) {
        m_out += "<li>";
        const std::string name = VisibleText(RawText(*check, Name));
        if (!name.empty()) m_out += NameHtml(name) + " ";
        m_out += "<code>" + Escape(VisibleText(RawText(*check, CheckExpression))) + "</code></li>\n";
      }
      m_out += "</ul>\n";
    }
    if (!entry.indexes.empty()) {
      m_out += "<h4>Indexes</h4>\n<ul class=\"facts\">\n";
      for (const CMOObject* index : entry.indexes) {
        m_out += "<li>" + NameHtml(VisibleText(RawText(*index, Name))) + " (" +
                 Escape(IndexParts(m_index, *index)) + ")";
        const std::string details = IndexDetails(m_index, *index);
        if (!details.empty()) m_out += " <span class=\"kind\">" + Escape(details) + "</span>";
        m_out += "</li>\n";
      }
      m_out += "</ul>\n";
    }
    if (!entry.partitions.empty()) {
      m_out += "<h4>Partitions</h4>\n<ul class=\"facts\">\n";
      for (const CMOObject* partition : entry.partitions) {
        m_out += "<li>" + NameHtml(VisibleText(RawText(*partition, Name))) + " <code>" +
                 Escape(VisibleText(RawText(*partition, PartitionBound))) + "</code></li>\n";
      }
      m_out += "</ul>\n";
    }
    if (!entry.triggers.empty()) {
      m_out += "<h4>Triggers</h4>\n";
      for (const CMOObject* trigger : entry.triggers) {
        m_out += "<p>" + NameHtml(VisibleText(RawText(*trigger, Name))) + " <span class=\"kind\">" +
                 Escape(VisibleText(RawText(*trigger, TriggerTiming))) + " " +
                 Escape(VisibleText(RawText(*trigger, TriggerEvents))) + "</span></p>\n";
        Definition(*trigger);
      }
    }
    if (table.GetObjectType() == View) {
      m_out += "<h4>Definition</h4>\n";
      Definition(table);
    }
    m_out += "</section>\n";
  }

  void WriteRoutine(const CMOObject& routine) {
    const std::u16string& kind = RawText(routine, RoutineKind);
    m_out += "<section class=\"object\" id=\"" + Anchor('r', routine.GetObjectId()) + "\">\n<h3><span class=\"kind\">" +
             (kind.empty() ? std::string("Routine") : Escape(VisibleText(kind))) + "</span> " +
             NameHtml(DocumentName(m_index, routine)) + "</h3>\n";
    WriteComment(routine);
    std::string signature = "(" + VisibleText(RawText(routine, ParameterList)) + ")";
    const std::u16string& returns = RawText(routine, ReturnType);
    if (!returns.empty()) signature += " returns " + VisibleText(returns);
    const std::u16string& language = RawText(routine, Language);
    if (!language.empty()) signature += ", language " + VisibleText(language);
    m_out += "<p><code>" + Escape(signature) + "</code></p>\n";
    Definition(routine);
    m_out += "</section>\n";
  }

  const ModelIndex m_index;
  const WriteOptions& m_options;
  std::string m_out;
};

}  // namespace

void HtmlWriter::Write(const GenericModel& model, std::ostream& out, const WriteOptions& options) const {
  const std::string page = Page(model, options).Build();
  out.write(page.data(), static_cast<std::streamsize>(page.size()));
}

}  // namespace writers
