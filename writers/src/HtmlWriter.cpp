#include "Diagram.h"
#include "DocumentText.h"
#include "ModelIndex.h"
#include "page/PageAssets.h"

#include <writers/HtmlWriter.h>
#include <writers/VisibleText.h>

#include <tillerhold/ModelVocabulary.h>

#include <algorithm>
#include <map>
#include <ostream>

namespace writers {

using namespace model;

namespace {

// A database name in the page, in an element that keeps its blanks.
std::string NameHtml(const std::string& visible) {
  return "<span class=\"name\">" + (visible.empty() ? std::string("<i>(empty name)</i>") : MarkupText(visible)) +
         "</span>";
}

// What a page is: the one page of the whole model, or in a folder the
// index or one object's page.
enum class Kind { OnePage, Index, ObjectPage };

// The tables of the model by name, for the tables views read: made once
// for all the pages of a folder, filled when first needed.
using TablesByName = std::map<std::u16string, std::vector<int>>;

// One page: built in one string.
class Page {
 public:
  Page(const ModelIndex& index, const WriteOptions& options, Kind kind, TablesByName& tablesByName)
      : m_index(index), m_options(options), m_kind(kind), m_tablesByName(tablesByName) {}

  std::string OnePage() {
    const std::string title = Title();
    Head(title);
    WriteSideIndex();
    m_out += "<main>\n<h1>" + MarkupText(title) + "</h1>\n";
    Server();
    // The folder reads better where the one diagram cannot show the
    // columns readably: from about 20 tables of ten columns (bench's
    // schemas; the sample's 14 keep theirs).
    const std::size_t note = m_out.size();
    m_out += "<section id=\"diagram\">\n<h2>Diagram</h2>\n";
    if (!WholeDiagram() && m_options.aroundTable.empty())
      m_out.insert(note, "<p class=\"note\">This schema has " + std::to_string(m_index.Tables().size()) +
                             " tables, more than one diagram shows with their columns: written as a folder (-o DIR/) "
                             "it has a page per table, each with a diagram of the tables around it.</p>\n");
    m_out += "</section>\n";
    for (const ModelIndex::SchemaEntry& schema : m_index.Schemas()) WriteSchema(schema);
    return Tail();
  }

  std::string Index() {
    const std::string title = Title();
    Head(title);
    m_out += "<main class=\"wide\">\n<h1>" + MarkupText(title) + "</h1>\n";
    Server();
    std::size_t tables = 0, views = 0, routines = 0, foreignKeys = 0;
    for (const ModelIndex::SchemaEntry& schema : m_index.Schemas()) {
      tables += schema.tables.size();
      views += schema.views.size();
      routines += schema.routines.size();
      for (const CMOObject* table : schema.tables) foreignKeys += m_index.Entry(table->GetObjectId()).foreignKeys.size();
    }
    m_out += "<p class=\"counts\">" + Count(m_index.Schemas().size(), "schema", "schemas") + ", " +
             Count(tables, "table", "tables") + ", " + Count(views, "view", "views") + ", " +
             Count(routines, "routine", "routines") + ", " + Count(foreignKeys, "foreign key", "foreign keys") + "</p>\n";
    m_out += "<input id=\"filter\" type=\"search\" placeholder=\"Filter by name or column\" "
             "aria-label=\"Filter by name or column\">\n";
    m_out += "<p id=\"no-match\" class=\"kind\" hidden>Nothing matches the filter.</p>\n";
    Diagram all;
    std::string refusal;
    if (!m_index.Tables().empty()) {
      all = BuildDiagram(m_index, WriteOptions{});
      if (!CanLayOut(all)) refusal = LayoutRefusal(all);
    }
    std::size_t first = 0;  // the schema's first table in `all`
    for (std::size_t s = 0; s < m_index.Schemas().size(); ++s) {
      const ModelIndex::SchemaEntry& schema = m_index.Schemas()[s];
      m_out += "<section class=\"schema\" id=\"" + MarkupText(m_index.SchemaAnchor(schema)) + "\">\n<h2>Schema " +
               NameHtml(m_index.SchemaName(schema)) + "</h2>\n";
      if (schema.schema != nullptr) WriteComment(*schema.schema);
      if (!schema.tables.empty()) {
        if (refusal.empty()) {
          Viewer(SchemaPart(all, first, schema.tables.size()), false);
        } else {
          m_out += "<p class=\"note\">No overview diagram: " + MarkupText(refusal) + ". Each table's page has its own.</p>\n";
        }
      }
      first += schema.tables.size();
      Overview(schema);
      WriteSequencesAndTypes(schema);
      m_out += "</section>\n";
    }
    return Tail();
  }

  std::string ObjectPage(const CMOObject& object) {
    m_prefix = "../";
    const std::string name = DocumentName(m_index, object);
    Head(name + " \u2013 " + Title());
    m_out += "<main class=\"wide\">\n<p class=\"crumbs\"><a href=\"../index.html\">" + MarkupText(Title()) + "</a>";
    const CMOObject* schema = m_index.Object(m_index.SchemaOf(object.GetObjectId()));
    if (schema != nullptr)
      m_out += " / <a href=\"../index.html#" + MarkupText(m_index.Stem(schema->GetObjectId())) + "\">" +
               NameHtml(VisibleText(RawText(*schema, Name))) + "</a>";
    m_out += "</p>\n";
    if (object.GetObjectType() == Routine) WriteRoutine(object, "h1");
    else WriteTable(object, object.GetObjectType() == View ? "View" : "Table", "h1");
    return Tail();
  }

 private:
  static std::string Count(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
  }

  std::string Title() const { return DocumentTitle(m_index); }

  void Server() {
    const CMOObject& root = *m_index.Model().GetCMOObject();
    const std::string database = VisibleText(RawText(root, DatabaseName));
    const std::string server = VisibleText(RawText(root, ServerName));
    if (!server.empty() && server != database) m_out += "<p>Server " + NameHtml(server) + "</p>\n";
  }

  void Head(const std::string& title) {
    m_out.reserve(16384);
    m_out += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
    m_out += "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; script-src '";
    m_out += kPageScriptHash;
    m_out += "'; style-src '";
    m_out += kPageStyleHash;
    m_out += "'\">\n<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
    m_out += "<title>" + MarkupText(title) + "</title>\n<style>";
    m_out += kPageStyle;
    m_out += "</style>\n</head>\n<body>\n";
  }

  std::string Tail() {
    m_out += "</main>\n<script>";
    m_out += kPageScript;
    m_out += "</script>\n</body>\n</html>\n";
    return std::move(m_out);
  }

  // Where a link to an object's section or page leads.
  std::string Href(const CMOObject& object) const {
    if (m_kind == Kind::OnePage) return "#" + OnePageAnchor(object);
    return m_prefix + m_index.PagePath(object, ".html");
  }

  // An object's section on the one page: its stem, "routine-" before a
  // routine's.
  std::string OnePageAnchor(const CMOObject& object) const {
    return (object.GetObjectType() == Routine ? "routine-" : "") + m_index.Stem(object.GetObjectId());
  }

  // The column names of a table or view, for the filter.
  std::string ColumnWords(const CMOObject& object) const {
    std::string words;
    for (const CMOObject* column : m_index.Entry(object.GetObjectId()).columns)
      words += (words.empty() ? "" : "\n") + VisibleText(RawText(*column, Name));
    return words;
  }

  void IndexEntry(const CMOObject& object, const char* word) {
    const std::string name = VisibleText(RawText(object, Name));
    m_out += "<li data-name=\"" + MarkupText(name) + "\" data-columns=\"" + MarkupText(ColumnWords(object)) + "\"><a href=\"" +
             MarkupText(Href(object)) + "\">" + NameHtml(name) + "</a>";
    if (word != nullptr) m_out += std::string(" <span class=\"kind\">") + word + "</span>";
    m_out += "</li>\n";
  }

  void WriteSideIndex() {
    const std::string database = VisibleText(RawText(*m_index.Model().GetCMOObject(), DatabaseName));
    m_out += "<nav id=\"index\">\n<h1>" + (database.empty() ? std::string("Schema") : MarkupText(database)) + "</h1>\n";
    m_out += "<input id=\"filter\" type=\"search\" placeholder=\"Filter by name or column\" "
             "aria-label=\"Filter by name or column\">\n";
    m_out += "<p id=\"no-match\" class=\"kind\" hidden>Nothing matches the filter.</p>\n<ul>\n";
    m_out += "<li><a href=\"#diagram\">Diagram</a></li>\n";
    for (const ModelIndex::SchemaEntry& schema : m_index.Schemas()) {
      m_out += "<li class=\"schema\"><a href=\"#" + MarkupText(m_index.SchemaAnchor(schema)) + "\">" +
               NameHtml(m_index.SchemaName(schema)) + "</a>\n<ul>\n";
      for (const CMOObject* table : schema.tables) IndexEntry(*table, nullptr);
      for (const CMOObject* view : schema.views) IndexEntry(*view, "view");
      for (const CMOObject* routine : schema.routines) IndexEntry(*routine, "routine");
      m_out += "</ul>\n</li>\n";
    }
    m_out += "</ul>\n</nav>\n";
  }

  // The rows of a schema's objects on the index: name, kind, columns,
  // comment.
  void Overview(const ModelIndex::SchemaEntry& schema) {
    if (schema.tables.empty() && schema.views.empty() && schema.routines.empty()) return;
    m_out += "<table class=\"overview\">\n<thead><tr><th>Name</th><th>Kind</th><th>Columns</th><th>Comment</th></tr>"
             "</thead>\n<tbody>\n";
    auto row = [&](const CMOObject& object, const std::string& kind, std::size_t columns) {
      const std::string name = VisibleText(RawText(object, Name));
      std::string comment = VisibleLines(RawText(object, Comment));
      m_out += "<tr data-name=\"" + MarkupText(name) + "\" data-columns=\"" + MarkupText(ColumnWords(object)) +
               "\"><td><a href=\"" + MarkupText(Href(object)) + "\">" + NameHtml(name) + "</a></td><td>" + MarkupText(kind) +
               "</td><td>" + (object.GetObjectType() == Routine ? std::string() : std::to_string(columns)) +
               "</td><td>" + MarkupText(comment) + "</td></tr>\n";
    };
    for (const CMOObject* table : schema.tables) {
      const std::u16string& kind = RawText(*table, TableKind);
      row(*table, IsPlainKind(kind) ? std::string("table") : VisibleText(kind),
          m_index.Entry(table->GetObjectId()).columns.size());
    }
    for (const CMOObject* view : schema.views) {
      const std::u16string& kind = RawText(*view, TableKind);
      row(*view, IsPlainKind(kind) ? std::string("view") : VisibleText(kind), m_index.Entry(view->GetObjectId()).columns.size());
    }
    for (const CMOObject* routine : schema.routines) {
      const std::u16string& kind = RawText(*routine, RoutineKind);
      row(*routine, kind.empty() ? std::string("routine") : VisibleText(kind), 0);
    }
    m_out += "</tbody>\n</table>\n";
  }

  // A diagram with its tools (zoom, move, fit) and its legend. Returns
  // whether its boxes show their columns.
  bool Viewer(const Diagram& diagram, bool around) {
    DiagramDrawing drawing;
    bool namesOnly = false;
    drawing.namesOnly = &namesOnly;
    drawing.link = [this](const CMOObject& table) { return Href(table); };
    m_out += "<figure class=\"viewer\">\n<div class=\"tools\"><button type=\"button\" data-zoom=\"in\" "
             "title=\"Zoom in (+)\">+</button><button type=\"button\" data-zoom=\"out\" title=\"Zoom out (-)\">"
             "\u2212</button><button type=\"button\" data-zoom=\"fit\" title=\"Fit (0)\">Fit</button>"
             "<button type=\"button\" data-zoom=\"actual\" title=\"Actual size (1)\">1:1</button>"
             "<span class=\"kind\"> wheel or + \u2212 to zoom, drag or arrow keys to move</span></div>\n"
             "<div class=\"picture\" tabindex=\"0\" role=\"img\" aria-label=\"Diagram\">\n";
    m_out += DiagramSvg(m_index, diagram, drawing);
    m_out += "</div>\n<figcaption class=\"legend\"><span class=\"line\"></span> refers to one row "
             "<span class=\"line dashed\"></span> may refer to none (a referencing column may be NULL); "
             "<span class=\"mark\">PK</span> primary key, <span class=\"mark\">FK</span> foreign key";
    if (around) {
      m_out += "; the outlined box is this page's table";
      if (diagram.leftOut > 0) m_out += "; " + LeftOutWords(diagram.leftOut);
    }
    m_out += "</figcaption>\n</figure>\n";
    return !namesOnly;
  }

  // The whole model's diagram on the one page, as --around and --depth
  // narrow it; a note in its place where it cannot be laid out. Returns
  // whether the boxes show their columns.
  bool WholeDiagram() {
    // An --around that names no table is the user's mistake, refused as
    // the diagram formats refuse it; a diagram too large to lay out is a
    // note on the page.
    const Diagram diagram = BuildDiagram(m_index, m_options);
    std::string refusal;
    if (m_index.Tables().empty()) refusal = "the model has no tables";
    else if (!CanLayOut(diagram)) refusal = LayoutRefusal(diagram);
    if (!refusal.empty()) {
      m_out += "<p class=\"note\">No diagram: " + MarkupText(refusal) + ".</p>\n";
      return m_index.Tables().empty();
    }
    return Viewer(diagram, diagram.centre >= 0);
  }

  void WriteSchema(const ModelIndex::SchemaEntry& schema) {
    m_out += "<section id=\"" + MarkupText(m_index.SchemaAnchor(schema)) + "\">\n<h2>Schema " + NameHtml(m_index.SchemaName(schema)) +
             "</h2>\n";
    if (schema.schema != nullptr) WriteComment(*schema.schema);
    for (const CMOObject* table : schema.tables) WriteTable(*table, "Table", "h3");
    for (const CMOObject* view : schema.views) WriteTable(*view, "View", "h3");
    for (const CMOObject* routine : schema.routines) WriteRoutine(*routine, "h3");
    WriteSequencesAndTypes(schema);
    m_out += "</section>\n";
  }

  void WriteSequencesAndTypes(const ModelIndex::SchemaEntry& schema) {
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
        if (!kind.empty()) m_out += " <span class=\"kind\">" + MarkupText(VisibleText(kind)) + "</span>";
        const std::u16string& labels = RawText(*type, EnumLabels);
        if (!labels.empty()) m_out += " (" + MarkupText(VisibleText(labels)) + ")";
        m_out += "</li>\n";
      }
      m_out += "</ul>\n";
    }
  }

  void WriteComment(const CMOObject& object) {
    const std::u16string& comment = RawText(object, Comment);
    if (!comment.empty()) m_out += "<p class=\"comment\">" + MarkupText(VisibleLines(comment)) + "</p>\n";
  }

  // A link to a table's or view's section or page, named as the
  // documentation names it.
  std::string TableLink(int id) const {
    const CMOObject* table = m_index.Object(id);
    if (table == nullptr) return "?";
    return "<a href=\"" + MarkupText(Href(*table)) + "\">" + NameHtml(DocumentName(m_index, *table)) + "</a>";
  }

  void Definition(const CMOObject& object) {
    const std::u16string& definition = DefinitionOf(object);
    if (!definition.empty()) m_out += "<pre><code>" + MarkupText(VisibleLines(definition)) + "</code></pre>\n";
  }

  // Anchors of a table's rows: the table's stem (on the one page) and the
  // column's name part.
  std::string ColumnAnchor(const CMOObject& table, const CMOObject& column) const {
    const std::string part = "col-" + NamePart(RawText(column, Name));
    return m_kind == Kind::OnePage ? m_index.Stem(table.GetObjectId()) + "." + part : part;
  }

  void WriteColumns(const CMOObject& table, const ModelIndex::TableEntry& entry) {
    if (entry.columns.empty()) return;
    m_out += "<table class=\"columns\">\n<thead><tr><th>Column</th><th>Type</th><th>Null</th><th>Default</th>"
             "<th>Comment</th></tr></thead>\n<tbody>\n";
    for (const CMOObject* column : entry.columns) {
      m_out += "<tr id=\"" + MarkupText(ColumnAnchor(table, *column)) + "\"><td>" +
               NameHtml(VisibleText(RawText(*column, Name)));
      if (m_index.IsPrimaryKeyColumn(*column)) m_out += "<span class=\"mark\">PK</span>";
      if (m_index.IsForeignKeyColumn(*column)) m_out += "<span class=\"mark\">FK</span>";
      m_out += "</td><td><code>" + MarkupText(VisibleText(RawText(*column, DataType))) + "</code></td><td>";
      const std::optional<long long> nullable = IntegerValue(*column, Nullable);
      m_out += nullable ? (*nullable == 0 ? "NOT NULL" : "null") : "";
      m_out += "</td><td>";
      const std::u16string& generated = RawText(*column, GeneratedExpression);
      const std::u16string& value = RawText(*column, DefaultValue);
      if (!generated.empty()) {
        m_out += "generated: <code>" + MarkupText(VisibleText(generated)) + "</code>";
      } else if (!value.empty()) {
        m_out += "<code>" + MarkupText(VisibleText(value)) + "</code>";
      }
      const std::u16string& identity = RawText(*column, Identity);
      if (!identity.empty()) m_out += " identity " + MarkupText(VisibleText(identity));
      m_out += "</td><td>" + MarkupText(VisibleLines(RawText(*column, Comment))) + "</td></tr>\n";
    }
    m_out += "</tbody>\n</table>\n";
  }

  // The tables a view's definition names: each word of it (a quoted name
  // or a plain one, letter case ignored for plain ones) that is a table's
  // name in the model.
  std::vector<int> TablesRead(const CMOObject& view) {
    if (m_tablesByName.empty()) {
      for (const CMOObject* table : m_index.Tables()) {
        std::u16string name = RawText(*table, Name);
        m_tablesByName[name].push_back(table->GetObjectId());
      }
    }
    const std::u16string& text = DefinitionOf(view);
    std::vector<int> found;
    auto consider = [&](const std::u16string& word, bool quoted) {
      auto add = [&](const std::vector<int>& ids) {
        for (int id : ids)
          if (std::find(found.begin(), found.end(), id) == found.end()) found.push_back(id);
      };
      const auto exact = m_tablesByName.find(word);
      if (exact != m_tablesByName.end()) add(exact->second);
      if (quoted) return;
      std::u16string lower = word;
      for (char16_t& c : lower)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
      if (lower != word) {
        const auto folded = m_tablesByName.find(lower);
        if (folded != m_tablesByName.end()) add(folded->second);
      }
    };
    for (std::size_t i = 0; i < text.size();) {
      const char16_t c = text[i];
      if (c == u'"' || c == u'`' || c == u'[') {
        const char16_t close = c == u'[' ? u']' : c;
        const std::size_t end = text.find(close, i + 1);
        if (end == std::u16string::npos) break;
        consider(text.substr(i + 1, end - i - 1), true);
        i = end + 1;
      } else if (c == u'\'') {
        const std::size_t end = text.find(u'\'', i + 1);
        if (end == std::u16string::npos) break;
        i = end + 1;
      } else if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c >= 0x80) {
        std::size_t end = i;
        while (end < text.size() && ((text[end] >= u'a' && text[end] <= u'z') || (text[end] >= u'A' && text[end] <= u'Z') ||
                                     (text[end] >= u'0' && text[end] <= u'9') || text[end] == u'_' || text[end] == u'$' ||
                                     text[end] >= 0x80))
          ++end;
        consider(text.substr(i, end - i), false);
        i = end;
      } else {
        ++i;
      }
    }
    return found;
  }

  void WriteTable(const CMOObject& table, const char* word, const char* heading) {
    const int id = table.GetObjectId();
    const ModelIndex::TableEntry& entry = m_index.Entry(id);
    const std::string& stem = m_index.Stem(id);
    const bool own = m_kind == Kind::ObjectPage;
    const std::string sub = own ? "h2" : "h4";
    m_out += "<section class=\"object\" id=\"" + MarkupText(own ? std::string("object") : stem) + "\">\n<" + heading +
             "><span class=\"kind\">" + word + "</span> " + NameHtml(DocumentName(m_index, table));
    const std::u16string& kind = RawText(table, TableKind);
    if (!IsPlainKind(kind))
      m_out += " <span class=\"kind\">(" + MarkupText(VisibleText(kind)) + ")</span>";
    m_out += std::string("</") + heading + ">\n";
    WriteComment(table);
    if (own && table.GetObjectType() == Table) Viewer(NeighbourDiagram(m_index, table), true);
    WriteColumns(table, entry);

    auto list = [&](const char* title) { m_out += "<" + sub + ">" + title + "</" + sub + ">\n<ul class=\"facts\">\n"; };
    if (!entry.keys.empty()) {
      list("Keys");
      for (const CMOObject* key : entry.keys) {
        m_out += std::string("<li>") + (IsPrimaryKey(*key) ? "primary key" : "unique");
        const std::string name = VisibleText(RawText(*key, Name));
        if (!name.empty()) m_out += " " + NameHtml(name);
        m_out += " (" + MarkupText(NameList(m_index, IdList(*key, KeyColumns))) + ")</li>\n";
      }
      m_out += "</ul>\n";
    }
    if (!entry.foreignKeys.empty()) {
      list("Foreign keys");
      for (const CMOObject* foreignKey : entry.foreignKeys) {
        m_out += "<li>";
        const std::string name = VisibleText(RawText(*foreignKey, Name));
        if (!name.empty()) m_out += NameHtml(name) + " ";
        m_out += "(" + MarkupText(NameList(m_index, IdList(*foreignKey, ForeignKeyColumns))) + ") \u2192 ";
        const int target = m_index.ReferencedTableOf(*foreignKey);
        m_out += target == 0 ? std::string("?") : TableLink(target);
        const std::vector<int>& referenced = IdList(*foreignKey, ReferencedColumns);
        if (!referenced.empty()) m_out += " (" + MarkupText(NameList(m_index, referenced)) + ")";
        const std::string rules = ForeignKeyRules(*foreignKey);
        if (!rules.empty()) m_out += " <span class=\"kind\">" + MarkupText(rules) + "</span>";
        m_out += "</li>\n";
      }
      m_out += "</ul>\n";
    }
    if (!entry.referencedBy.empty()) {
      list("Referenced by");
      for (const CMOObject* foreignKey : entry.referencedBy) {
        const int from = m_index.TableOf(foreignKey->GetObjectId());
        m_out += "<li>" + TableLink(from) + " (" +
                 MarkupText(NameList(m_index, IdList(*foreignKey, ForeignKeyColumns))) + ")";
        const std::string name = VisibleText(RawText(*foreignKey, Name));
        if (!name.empty()) m_out += " <span class=\"kind\">" + MarkupText(name) + "</span>";
        m_out += "</li>\n";
      }
      m_out += "</ul>\n";
    }
    if (!entry.checks.empty()) {
      list("Checks");
      for (const CMOObject* check : entry.checks) {
        m_out += "<li>";
        const std::string name = VisibleText(RawText(*check, Name));
        if (!name.empty()) m_out += NameHtml(name) + " ";
        m_out += "<code>" + MarkupText(VisibleText(RawText(*check, CheckExpression))) + "</code></li>\n";
      }
      m_out += "</ul>\n";
    }
    if (!entry.indexes.empty()) {
      list("Indexes");
      for (const CMOObject* index : entry.indexes) {
        m_out += "<li>" + NameHtml(VisibleText(RawText(*index, Name))) + " (" + MarkupText(IndexParts(m_index, *index)) + ")";
        const std::string details = IndexDetails(m_index, *index);
        if (!details.empty()) m_out += " <span class=\"kind\">" + MarkupText(details) + "</span>";
        m_out += "</li>\n";
      }
      m_out += "</ul>\n";
    }
    if (!entry.partitions.empty()) {
      list("Partitions");
      for (const CMOObject* partition : entry.partitions) {
        m_out += "<li>" + NameHtml(VisibleText(RawText(*partition, Name))) + " <code>" +
                 MarkupText(VisibleText(RawText(*partition, PartitionBound))) + "</code></li>\n";
      }
      m_out += "</ul>\n";
    }
    if (!entry.triggers.empty()) {
      m_out += "<" + sub + ">Triggers</" + sub + ">\n";
      for (const CMOObject* trigger : entry.triggers) {
        m_out += "<p>" + NameHtml(VisibleText(RawText(*trigger, Name))) + " <span class=\"kind\">" +
                 MarkupText(VisibleText(RawText(*trigger, TriggerTiming))) + " " +
                 MarkupText(VisibleText(RawText(*trigger, TriggerEvents))) + "</span></p>\n";
        Definition(*trigger);
      }
    }
    if (table.GetObjectType() == View) {
      const std::vector<int> read = TablesRead(table);
      if (!read.empty()) {
        list("Reads");
        for (int source : read) m_out += "<li>" + TableLink(source) + "</li>\n";
        m_out += "</ul>\n";
      }
      m_out += "<" + sub + ">Definition</" + sub + ">\n";
      Definition(table);
    }
    m_out += "</section>\n";
  }

  void WriteRoutine(const CMOObject& routine, const char* heading) {
    const std::u16string& kind = RawText(routine, RoutineKind);
    const bool own = m_kind == Kind::ObjectPage;
    m_out += "<section class=\"object\" id=\"" + MarkupText(own ? std::string("object") : OnePageAnchor(routine)) +
             "\">\n<" + heading + "><span class=\"kind\">" +
             (kind.empty() ? std::string("Routine") : MarkupText(VisibleText(kind))) + "</span> " +
             NameHtml(DocumentName(m_index, routine)) + "</" + heading + ">\n";
    WriteComment(routine);
    m_out += "<p><code>" + MarkupText(RoutineSignature(routine)) + "</code></p>\n";
    Definition(routine);
    m_out += "</section>\n";
  }

  const ModelIndex& m_index;
  const WriteOptions& m_options;
  const Kind m_kind;
  std::string m_prefix;  // from this page to the folder's top: "" or "../"
  std::string m_out;
  TablesByName& m_tablesByName;
};

}  // namespace

void HtmlWriter::Write(const GenericModel& model, std::ostream& out, const WriteOptions& options) const {
  const ModelIndex index(model);
  TablesByName tablesByName;
  const std::string page = Page(index, options, Kind::OnePage, tablesByName).OnePage();
  out.write(page.data(), static_cast<std::streamsize>(page.size()));
}

void HtmlWriter::WriteFolder(const GenericModel& model, FolderOutput& out, const WriteOptions& options) const {
  TablesByName tablesByName;  // of the one model and index the folder is written from
  WriteDocumentFolder(
      model, out, options, "index.html", ".html",
      [&](const ModelIndex& index) { return Page(index, options, Kind::Index, tablesByName).Index(); },
      [&](const ModelIndex& index, const CMOObject& object) {
        return Page(index, options, Kind::ObjectPage, tablesByName).ObjectPage(object);
      });
}

}  // namespace writers
