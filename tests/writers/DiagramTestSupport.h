// What the diagram and documentation tests share: models of hostile names
// and of chosen shapes, a format's output as text, and real parsers for
// what the formats write (Graphviz's own for DOT, libxml2 for SVG and HTML).
#pragma once

#include "TestModel.h"

#include <writers/ModelWriter.h>
#include <writers/OutputFormats.h>

#include <platform/Utf.h>
#include <tillerhold/GenericModel.h>
#include <tillerhold/ModelVocabulary.h>

#include <graphviz/cgraph.h>
#include <graphviz/gvc.h>
#include <libxml/HTMLparser.h>
#include <libxml/xpathInternals.h>

#include <HostileNames.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace writers::test {

// Names that try to break out of every format: the hardening names and
// markup of HTML, XML, Markdown, DOT and Mermaid (UTF-8).
inline const std::vector<std::string>& DiagramHostileNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> all = qm::test::hardening::HostileNames();
    for (const char* name : {"<script>window.qmInjected=1</script>", "<img src=x onerror=\"window.qmInjected=2\">",
                             "\"><svg onload=window.qmInjected=3>", "</code></pre><b>bold</b>", "&lt;not&gt; &amp;",
                             "]]><!-- -->", "a -> b [label=x]; }", "<TABLE>", "*emph* _u_ [l](http://x) `c`",
                             "- item", "1. item", "#quot; #35;", "pk", "Fk-x", "}o--|| :", "$x$ ~~s~~ | c",
                             // Graphviz's label escapes (node, graph, object, edge ends, line ends).
                             "a\\N\\G", "c\\L\\E", "\\T\\H\\l\\n\\r\\", "\\\\N"})
      all.emplace_back(name);
    return all;
  }();
  return names;
}

// Tables named by `names` in one schema ("main" unless named), each with an
// id column, and a foreign key for each pair (from, to) of indexes into names.
inline std::vector<int> BuildGraphModel(GenericModel& model, const std::vector<std::string>& names,
                                        const std::vector<std::pair<int, int>>& links,
                                        const std::u16string& schemaName = u"main") {
  using namespace model;
  const int schema = Add(model, Schema, 1, schemaName).GetObjectId();
  std::vector<int> tables, keys;
  for (const std::string& name : names) {
    tables.push_back(Add(model, Table, schema, platform::Utf8ToUtf16(name)).GetObjectId());
    CMOObject& id = AddColumn(model, tables.back(), u"id", u"INTEGER");
    SetInteger(id, Nullable, 0);
    SetInteger(id, PrimaryKeyPosition, 1);
    keys.push_back(id.GetObjectId());
  }
  for (const auto& [from, to] : links) {
    const int table = tables[static_cast<std::size_t>(from)];
    const std::u16string name = u"ref_" + std::u16string(1, u'a' + static_cast<char16_t>(to % 26));
    CMOObject& column = AddColumn(model, table, name, u"INTEGER");
    SetInteger(column, Nullable, 1);
    AddForeignKey(model, table, u"", {column.GetObjectId()}, tables[static_cast<std::size_t>(to)],
                  {keys[static_cast<std::size_t>(to)]});
  }
  return tables;
}

// One schema "main" with a table per name, each with a column of the same
// name (its primary key) and, from the second on, a column "ref <name>"
// with a foreign key to the table before; the name in every text it has.
inline std::vector<int> BuildChainModel(GenericModel& model, const std::vector<std::string>& names) {
  using namespace model;
  const int schema = Add(model, Schema, 1, u"main").GetObjectId();
  std::vector<int> tables;
  int previousKey = 0;
  for (const std::string& name8 : names) {
    const std::u16string name = platform::Utf8ToUtf16(name8);
    const int table = Add(model, Table, schema, name).GetObjectId();
    CMOObject& id = AddColumn(model, table, name, name);
    SetInteger(id, Nullable, 0);
    SetInteger(id, PrimaryKeyPosition, 1);
    SetText(id, Comment, name);
    SetText(id, DefaultValue, name);
    AddKey(model, table, name, u"PRIMARY KEY", {id.GetObjectId()});
    if (!tables.empty()) {
      const int ref = AddColumn(model, table, u"ref " + name, u"INTEGER").GetObjectId();
      SetText(AddForeignKey(model, table, name, {ref}, tables.back(), {previousKey}), OnDelete, name);
    }
    SetText(Add(model, CheckConstraint, table, name), CheckExpression, name);
    CMOObject& index = Add(model, Index, table, name);
    SetIds(index, IndexColumns, {id.GetObjectId()});
    SetText(index, Predicate, name);
    CMOObject& trigger = Add(model, Trigger, table, name);
    SetText(trigger, TriggerTiming, name);
    SetText(trigger, Definition, name);
    tables.push_back(table);
    previousKey = id.GetObjectId();
  }
  const std::u16string first = platform::Utf8ToUtf16(names.front()), last = platform::Utf8ToUtf16(names.back());
  SetText(Add(model, View, schema, first), Definition, first);
  CMOObject& routine = Add(model, Routine, schema, last);
  SetText(routine, ParameterList, last);
  SetText(routine, Definition, last);
  return tables;
}

// The name of table number n of the application schema ("invoice_017").
inline std::string ApplicationTable(int n) {
  static const char* const kWords[] = {"account", "customer", "product", "organisation", "invoice", "payment",
                                        "shipment", "address", "session", "audit", "ticket", "review"};
  char number[8];
  std::snprintf(number, sizeof number, "%03d", n);
  return std::string(kWords[n < 4 ? n : 4 + n % 8]) + "_" + number;
}

// A schema "app" of `tables` tables as applications have them (four hubs,
// chains, tables without foreign keys, comments, views), made in the order
// of their names; `skip` leaves that table out (to add it back and compare).
inline void BuildApplicationModel(GenericModel& model, int tables, int skip = 0) {
  using namespace model;
  const int schema = Add(model, Schema, 1, u"app").GetObjectId();
  SetText(*model.GetCMOObject(schema), Comment, u"The application's own tables");
  std::map<std::string, int> byName;
  for (int n = 0; n < tables; ++n)
    if (n != skip || skip == 0) byName[ApplicationTable(n)] = n;
  std::map<int, int> tableId, keyColumn;
  for (const auto& [name, n] : byName) {
    const std::u16string name16 = platform::Utf8ToUtf16(name);
    const int table = tableId[n] = Add(model, Table, schema, name16).GetObjectId();
    if (n % 3 == 0) SetText(*model.GetCMOObject(table), Comment, u"What the application keeps of each " + name16);
    CMOObject& id = AddColumn(model, table, u"id", u"bigint");
    SetInteger(id, Nullable, 0);
    SetInteger(id, PrimaryKeyPosition, 1);
    for (const std::u16string column : {u"name", u"status", u"amount", u"created_at"}) {
      CMOObject& c = AddColumn(model, table, column, column == u"amount" ? u"numeric(12,2)" : u"varchar(64)");
      SetInteger(c, Nullable, column == u"name" ? 0 : 1);
      if (n % 5 == 0) SetText(c, Comment, u"The " + column + u" as the user entered it");
    }
    AddKey(model, table, u"pk_" + name16, u"PRIMARY KEY", {id.GetObjectId()});
    keyColumn[n] = id.GetObjectId();
  }
  // To a hub, and to the table before in a chain; every seventh has none.
  for (const auto& [name, n] : byName) {
    if (n < 4 || n % 7 == 0) continue;
    std::vector<int> targets = {n % 4};
    if (n % 3 != 0 && n > 4 && tableId.count(n - 1)) targets.push_back(n - 1);
    for (int target : targets) {
      if (!tableId.count(target)) continue;
      const std::string word = ApplicationTable(target), column = word.substr(0, word.find('_')) +
                                                                 (target < 4 ? "_id" : "_parent_id");
      CMOObject& ref = AddColumn(model, tableId[n], platform::Utf8ToUtf16(column), u"bigint");
      SetInteger(ref, Nullable, target < 4 ? 0 : 1);
      AddForeignKey(model, tableId[n], platform::Utf8ToUtf16("fk_" + name + "_" + column), {ref.GetObjectId()},
                    tableId[target], {keyColumn[target]});
    }
  }
  for (const auto& [name, n] : byName) {
    if (n % 20 != 5) continue;
    const std::u16string table = platform::Utf8ToUtf16(name);
    CMOObject& view = Add(model, View, schema, u"v_" + table);
    SetText(view, Definition, u"SELECT t.id, t.name, a.name AS account FROM " + table +
                                  u" t JOIN account_000 a ON a.id = t.account_id");
    for (const char16_t* column : {u"id", u"name", u"account"})
      AddColumn(model, view.GetObjectId(), column, u"text");
  }
}

// The files a folder writer writes, by path, in memory.
struct FolderFiles : FolderOutput {
  std::map<std::string, std::string> files;
  void Add(const std::string& path, std::string_view content) override {
    EXPECT_TRUE(files.emplace(path, std::string(content)).second) << "written twice: " << path;
  }
};

// The format's output for the model (the format must exist).
inline std::string WriteFormat(const char* format, const GenericModel& model, const WriteOptions& options = {}) {
  const OutputFormat* found = FindOutputFormat(format);
  EXPECT_NE(found, nullptr) << format;
  if (found == nullptr) return {};
  std::ostringstream out;
  found->writer->Write(model, out, options);
  return out.str();
}

// A DOT graph read back with Graphviz's parser.
struct DotGraph {
  bool parsed = false;
  std::set<std::string> nodes;                             // node names ("t12")
  std::vector<std::pair<std::string, std::string>> edges;  // tail, head node names
  std::set<std::string> clusters;                          // subgraph names beginning "cluster"
};
inline DotGraph ReadDot(const std::string& text) {
  DotGraph graph;
  Agraph_t* g = agmemread(text.c_str());
  if (g == nullptr) return graph;
  graph.parsed = true;
  for (Agnode_t* node = agfstnode(g); node != nullptr; node = agnxtnode(g, node)) {
    graph.nodes.insert(agnameof(node));
    for (Agedge_t* edge = agfstout(g, node); edge != nullptr; edge = agnxtout(g, edge))
      graph.edges.emplace_back(agnameof(agtail(edge)), agnameof(aghead(edge)));
  }
  for (Agraph_t* sub = agfstsubg(g); sub != nullptr; sub = agnxtsubg(sub)) {
    const std::string name = agnameof(sub);
    if (name.rfind("cluster", 0) == 0) graph.clusters.insert(name);
  }
  agclose(g);
  return graph;
}

// The DOT text laid out by dot and drawn as SVG with Graphviz's library, as
// a user's Graphviz draws it; empty where Graphviz refuses it.
inline std::string RenderDot(const std::string& text) {
  std::string svg;
  GVC_t* gvc = gvContext();
  Agraph_t* g = agmemread(text.c_str());
  if (g != nullptr && gvLayout(gvc, g, "dot") == 0) {
    char* data = nullptr;
    unsigned int length = 0;
    if (gvRenderData(gvc, g, "svg", &data, &length) == 0 && data != nullptr) svg.assign(data, length);
    gvFreeRenderData(data);
    gvFreeLayout(gvc, g);
  }
  if (g != nullptr) agclose(g);
  gvFreeContext(gvc);
  return svg;
}

// SVG read with libxml2's XML parser, or a page with its HTML parser as a
// browser's would build it (no network, no entities loaded).
class ParsedDocument {
 public:
  ParsedDocument(const std::string& text, bool html)
      : m_document(html ? htmlReadMemory(text.data(), static_cast<int>(text.size()), "page.html", "UTF-8",
                                         HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING)
                        : xmlReadMemory(text.data(), static_cast<int>(text.size()), "diagram.svg", "UTF-8",
                                        XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING)) {
    if (m_document == nullptr) return;
    m_context = xmlXPathNewContext(m_document);
    xmlXPathRegisterNs(m_context, reinterpret_cast<const xmlChar*>("svg"),
                       reinterpret_cast<const xmlChar*>("http://www.w3.org/2000/svg"));
  }

  ~ParsedDocument() {
    if (m_context != nullptr) xmlXPathFreeContext(m_context);
    if (m_document != nullptr) xmlFreeDoc(m_document);
  }
  ParsedDocument(const ParsedDocument&) = delete;
  ParsedDocument& operator=(const ParsedDocument&) = delete;
  bool Parsed() const { return m_context != nullptr; }

  // The text of each node the XPath selects (an attribute's value); SVG's
  // elements have the prefix "svg".
  std::vector<std::string> Texts(const std::string& path) const {
    std::vector<std::string> texts;
    if (m_context == nullptr) return texts;
    xmlXPathObject* found = xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(path.c_str()), m_context);
    for (int i = 0; found != nullptr && found->nodesetval != nullptr && i < found->nodesetval->nodeNr; ++i) {
      xmlChar* content = xmlNodeGetContent(found->nodesetval->nodeTab[i]);
      texts.emplace_back(content == nullptr ? "" : reinterpret_cast<const char*>(content));
      xmlFree(content);
    }
    xmlXPathFreeObject(found);
    return texts;
  }

 private:
  xmlDoc* m_document;
  xmlXPathContext* m_context = nullptr;
};

}  // namespace writers::test
