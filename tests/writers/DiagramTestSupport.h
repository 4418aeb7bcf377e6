// What the diagram and documentation tests share: models of hostile names
// and of chosen shapes, a format's output as text, and real parsers for
// what the formats write (Graphviz's own for DOT, libxml2 for SVG and HTML).
#pragma once

#include <writers/ModelWriter.h>

#include <tillerhold/GenericModel.h>

#include <libxml/xpath.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace writers::test {

// Names that try to break out of every format: the hardening names and
// markup of HTML, XML, Markdown, DOT and Mermaid (UTF-8).
const std::vector<std::string>& DiagramHostileNames();

// One schema "main" with a table per name, each with a column of the same
// name (its primary key) and, from the second on, a column "ref <name>"
// with a foreign key to the table before. Returns the tables' ids.
std::vector<int> BuildChainModel(GenericModel& model, const std::vector<std::string>& names);

// Tables named by `names` in one schema "main", each with an id column,
// and a foreign key for each pair (from, to) of indexes into names.
std::vector<int> BuildGraphModel(GenericModel& model, const std::vector<std::string>& names,
                                 const std::vector<std::pair<int, int>>& links);

// A schema "app" of `tables` tables as applications have them: four hubs
// (account, customer, product, organisation) that most tables refer to,
// chains of tables referring to the one before, tables without foreign
// keys, comments on tables and columns, and a view for every twentieth
// table. `skip` leaves the table of that number out (to add it back and
// compare). Tables are made in the order of their names, as a database
// lists them.
void BuildApplicationModel(GenericModel& model, int tables, int skip = 0);
// The name of table number n of that schema ("invoice_017").
std::string ApplicationTable(int n);

// The files a folder writer writes, by path, in memory.
struct FolderFiles : FolderOutput {
  std::map<std::string, std::string> files;
  void Add(const std::string& path, std::string_view content) override;
};

// The format's output for the model (the format must exist).
std::string WriteFormat(const char* format, const GenericModel& model, const WriteOptions& options = {});

// A DOT graph read back with Graphviz's parser.
struct DotGraph {
  bool parsed = false;
  std::set<std::string> nodes;                             // node names ("t12")
  std::vector<std::pair<std::string, std::string>> edges;  // tail, head node names
  std::set<std::string> clusters;                          // subgraph names beginning "cluster"
};
DotGraph ReadDot(const std::string& text);

// The DOT text laid out by dot and drawn as SVG with Graphviz's library, as
// a user's Graphviz draws it; empty where Graphviz refuses it.
std::string RenderDot(const std::string& text);

// SVG read with libxml2's XML parser, or a page with its HTML parser as a
// browser's would build it (no network, no entities loaded).
class ParsedDocument {
 public:
  ParsedDocument(const std::string& text, bool html);
  ~ParsedDocument();
  ParsedDocument(const ParsedDocument&) = delete;
  ParsedDocument& operator=(const ParsedDocument&) = delete;
  bool Parsed() const { return m_context != nullptr; }
  // The text of each node the XPath selects (an attribute's value); SVG's
  // elements have the prefix "svg".
  std::vector<std::string> Texts(const std::string& path) const;

 private:
  xmlDoc* m_document;
  xmlXPathContext* m_context = nullptr;
};

}  // namespace writers::test
