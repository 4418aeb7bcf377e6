#include "Diagram.h"
#include "ModelIndex.h"

#include <writers/MermaidWriter.h>
#include <writers/VisibleText.h>

#include <platform/Utf.h>
#include <tillerhold/ModelVocabulary.h>

#include <ostream>
#include <set>

namespace writers {

using namespace model;

namespace {

// Characters every Mermaid renderer from 10.x on takes in an attribute's
// type or name, after the first: ASCII only (10.x refuses the others in a
// name), and neither ',' nor '.' (each ends the word: numeric(7,2) is
// refused).
bool IsWordCharacter(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'-' ||
         c == u'_' || c == u'[' || c == u']' || c == u'(' || c == u')' || c == u'*';
}

bool IsAsciiWordCharacter(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_';
}

// A column's name or type as one Mermaid word: invisible characters as
// escapes, then every character Mermaid does not take in a word as '_'.
std::string Word(const std::u16string& text) {
  std::u16string word = platform::Utf8ToUtf16(VisibleText(text));
  for (char16_t& c : word)
    if (!IsWordCharacter(c)) c = u'_';
  if (word.empty()) return "_";
  const char16_t first = word[0];
  bool prefix = !((first >= u'a' && first <= u'z') || (first >= u'A' && first <= u'Z') || first == u'_' ||
                  first == u'*');
  // PK, FK and UK followed by anything but a letter, digit or '_' read as
  // the key marks.
  if (word.size() >= 2) {
    const char16_t a = word[0] | 0x20;
    const char16_t b = word[1] | 0x20;
    if ((a == u'p' || a == u'f' || a == u'u') && b == u'k' && (word.size() == 2 || !IsAsciiWordCharacter(word[2])))
      prefix = true;
  }
  if (prefix) word.insert(word.begin(), u'_');
  return platform::Utf16ToUtf8(word);
}

// Text inside Mermaid's double quotes. Mermaid ends such text at '"',
// refuses '%', '\\' and line breaks in a label, reads "#name;" as one of
// its entity codes (which its diagrams of entities do not show again) and
// '<', '>', '&' as markup; these characters are written as their
// full-width look-alikes, which a reader recognises and Mermaid shows as
// they are. Invisible characters are escapes already (VisibleText).
std::string Label(const std::string& visible) {
  std::string out;
  out.reserve(visible.size());
  for (char c : visible) {
    switch (c) {
      case '"': out += "\u201d"; break;   // RIGHT DOUBLE QUOTATION MARK
      case '%': out += "\uff05"; break;
      case '\\': out += "\uff3c"; break;
      case '#': out += "\uff03"; break;
      case '<': out += "\uff1c"; break;
      case '>': out += "\uff1e"; break;
      case '&': out += "\uff06"; break;
      case '~': out += "\uff5e"; break;  // 10.x reads "~~" in a comment as a generic type's marks
      default: out += c; break;
    }
  }
  return out;
}

}  // namespace

std::string DiagramMermaid(const ModelIndex& index, const Diagram& diagram, bool columns) {
  std::string out = "erDiagram\n";
  // Entities are named by the table's name in double quotes, which every
  // renderer from 10.x on reads (the alias form, id["label"], came later);
  // two tables shown alike get their stems to tell them apart.
  std::vector<std::string> entity(diagram.tables.size());
  std::set<std::string> taken;
  for (std::size_t i = 0; i < diagram.tables.size(); ++i) {
    std::string name = DiagramTableName(index, *diagram.tables[i].table);
    if (name.empty()) name = "\"\"";
    entity[i] = "\"" + Label(name) + "\"";
    if (!taken.insert(entity[i]).second) {
      entity[i] = "\"" + Label(name + " [" + index.Stem(diagram.tables[i].table->GetObjectId()) + "]") + "\"";
      taken.insert(entity[i]);
    }
  }
  for (std::size_t i = 0; i < diagram.tables.size(); ++i) {
    const DiagramTable& table = diagram.tables[i];
    out += "  " + entity[i];
    if (!columns || table.columns.empty()) {
      out += "\n";
      continue;
    }
    out += " {\n";
    for (const DiagramColumn& column : table.columns) {
      const std::u16string& rawName = RawText(*column.column, Name);
      const std::string word = Word(rawName);
      out += "    " + Word(RawText(*column.column, DataType)) + " " + word;
      if (column.primaryKey || column.foreignKey)
        out += column.primaryKey ? (column.foreignKey ? " PK, FK" : " PK") : " FK";
      if (word != platform::Utf16ToUtf8(rawName)) {
        const std::string visible = VisibleText(rawName);
        out += " \"" + Label(visible.empty() ? std::string("\"\"") : visible) + "\"";
      }
      out += "\n";
    }
    out += "  }\n";
  }
  for (const DiagramEdge& edge : diagram.edges) {
    bool identifying = true;
    for (int id : IdList(*edge.foreignKey, ForeignKeyColumns)) {
      const CMOObject* column = index.Object(id);
      identifying = identifying && column != nullptr && index.IsPrimaryKeyColumn(*column);
    }
    identifying = identifying && !IdList(*edge.foreignKey, ForeignKeyColumns).empty();
    out += "  " + entity[edge.from] + " " + (edge.oneToOne ? "|o" : "}o") + (identifying ? "--" : "..") +
           (edge.optional ? "o|" : "||") + " " + entity[edge.to] +
           " : \"" + Label(VisibleText(RawText(*edge.foreignKey, Name))) + "\"\n";
  }
  return out;
}

MermaidText FittingMermaid(const ModelIndex& index, const Diagram& diagram) {
  MermaidText result;
  if (diagram.edges.size() > kMermaidMaximumEdges) {
    result.refusal = "its " + std::to_string(diagram.edges.size()) + " relationships are more than the " +
                     std::to_string(kMermaidMaximumEdges) + " Mermaid draws";
    return result;
  }
  result.text = DiagramMermaid(index, diagram, true);
  if (result.text.size() <= kMermaidMaximumText) return result;
  result.text = DiagramMermaid(index, diagram, false);
  result.withoutColumns = true;
  if (result.text.size() <= kMermaidMaximumText) return result;
  result.text.clear();
  result.refusal = "its " + std::to_string(diagram.tables.size()) + " tables are more than Mermaid draws";
  return result;
}

void MermaidWriter::Write(const GenericModel& model, std::ostream& out, const WriteOptions& options) const {
  const ModelIndex index(model);
  const MermaidText mermaid = FittingMermaid(index, BuildDiagram(index, options));
  if (mermaid.text.empty())
    throw WriteError("the Mermaid diagram is not written: " + mermaid.refusal +
                     " (50,000 characters and 500 relationships by default); draw the tables around one with "
                     "--around TABLE --depth N, one schema with --schema NAME, or all with --format svg");
  std::string text = mermaid.text;
  if (mermaid.withoutColumns)
    text.insert(text.find('\n') + 1, "%% tables without their columns: with them the diagram would be larger than "
                                     "Mermaid draws (50,000 characters)\n");
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

}  // namespace writers
