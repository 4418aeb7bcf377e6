#include <writers/DotWriter.h>
#include <writers/HtmlWriter.h>
#include <writers/JsonReader.h>
#include <writers/JsonWriter.h>
#include <writers/MarkdownWriter.h>
#include <writers/MermaidWriter.h>
#include <writers/OutputFormats.h>
#include <writers/SqlWriter.h>
#include <writers/SvgWriter.h>
#include <writers/TreeWriter.h>

#include <algorithm>
#include <iterator>

namespace writers {

namespace {

// The writers have no state, so one constant object of each serves every
// call; like the table, they are constant-initialised.
constinit const JsonWriter kJson;
constinit const JsonReader kJsonReader;
constinit const TreeWriter kTree;
constinit const SqlWriter kSql;
constinit const DotWriter kDot;
constinit const SvgWriter kSvg;
constinit const MermaidWriter kMermaid;
constinit const HtmlWriter kHtml;
constinit const MarkdownWriter kMarkdown;

// A new format is one entry here; README.md's "Output formats" and --help
// are checked against this table by the tests.
constexpr OutputFormat kFormats[] = {
    {.name = "json",
     .description = "the whole model for programs: every object, property and reference",
     .writer = &kJson,
     .reader = &kJsonReader},
    {.name = "tree",
     .description = "an outline for people: schemas, tables with columns, keys and indexes, views",
     .writer = &kTree},
    {.name = "sql",
     .description = "the DDL that recreates the schema, in the dialect of the database read",
     .writer = &kSql},
    {.name = "dot",
     .description = "the diagram as a Graphviz graph: tables with columns, an edge per foreign key",
     .writer = &kDot,
     .diagram = true},
    {.name = "svg",
     .description = "the diagram laid out and drawn as an SVG picture (Graphviz)",
     .writer = &kSvg,
     .forTerminal = false,
     .diagram = true},
    {.name = "mermaid",
     .description = "the diagram as a Mermaid erDiagram, for Markdown pages",
     .writer = &kMermaid,
     .diagram = true},
    {.name = "html",
     .description = "the documentation as one self-contained page, with the diagram and a filter",
     .writer = &kHtml,
     .forTerminal = false,
     .diagram = true},
    {.name = "markdown",
     .description = "the documentation as one GitHub-flavoured Markdown file, with a Mermaid diagram",
     .writer = &kMarkdown,
     .diagram = true},
};

}  // namespace

void ModelWriter::WriteFolder(const GenericModel&, FolderOutput&, const WriteOptions&) const {
  throw WriteError("this format is written as one file, not as a folder");
}

std::span<const OutputFormat> OutputFormats() { return kFormats; }

const OutputFormat& DefaultOutputFormat() { return kFormats[0]; }

const OutputFormat* FindOutputFormat(std::string_view name) {
  const auto found = std::find_if(std::begin(kFormats), std::end(kFormats),
                                  [name](const OutputFormat& format) { return format.name == name; });
  return found == std::end(kFormats) ? nullptr : &*found;
}

}  // namespace writers
