// ModelWriter: what every output format implements. A writer turns one
// model into one output (a document, a picture, a script) on a stream.
//
// A writer reads what it needs from the model: the server and database
// from the root object's properties (model::ServerName,
// model::DatabaseName). What the host knows beyond the model (the SQL
// dialect its plug-in declares) and what the user chose beyond the format
// come in WriteOptions. A writer may use
// another one (a page that embeds a diagram looks the diagram's format up
// in OutputFormats.h and writes it into a string stream).
//
// Thread safety: writers hold no state between calls; Write is const and
// may run on any thread, for several models at once.
#pragma once

#include <functional>
#include <iosfwd>
#include <stdexcept>
#include <string>
#include <string_view>

class GenericModel;

namespace writers {

// What the user chose for the output beyond its format. Each field names
// the formats that read it and has the default the command line uses, so
// a writer that reads no field is unaffected when one is added.
struct WriteOptions {
  // Diagrams (dot, svg, mermaid, and the diagrams of html and markdown):
  // draw only this table and the tables within `depth` foreign keys of it,
  // referencing or referenced. A table's name, or schema.table where
  // several schemas have one of that name; UTF-8. Empty: every table.
  std::string aroundTable;
  // With aroundTable: how many foreign keys away a table may be; 0 draws
  // the table alone.
  int depth = 1;
  // The sql format: told once for each text of the model it leaves out of
  // the script, because the text is not what the script expects there
  // (one line for a person, UTF-8; the script names the text on a
  // "-- not written:" line). Called before the script is written. Unset:
  // nobody is told.
  std::function<void(const std::string& line)> leftOut;
  // The sql format: the dialect to write, by the short name the plug-in
  // that read the model declares ("sqlite", "postgresql", "mariadb",
  // "standard"; SqlStatements::DialectNames). Empty: standard SQL. A name
  // the writers do not know is a WriteError.
  std::string sqlDialect;
};

// Thrown by Write when the model cannot be written in this format as the
// options ask; what() is one line for the user. Whatever was already
// written to the stream is incomplete, and the host discards it where it
// can (an output file is left as it was).
class WriteError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Where the files of a documentation folder go (-o DIR/): the host
// creates them as the writer adds them.
class FolderOutput {
 public:
  virtual ~FolderOutput() = default;
  // Adds one file. path is relative to the folder, '/'-separated, in lower
  // case ASCII letters, digits and "._~-" (ModelIndex's stems), never ".."
  // and never twice. Throws std::runtime_error, one line for the user,
  // when the file cannot be written.
  virtual void Add(const std::string& path, std::string_view content) = 0;
};

class ModelWriter {
 public:
  virtual ~ModelWriter() = default;

  // Whether the format can also be written as a folder of files (a page
  // per object), with WriteFolder.
  virtual bool WritesFolder() const { return false; }
  // Writes the model as a folder of files. Throws WriteError as Write does
  // (and for a format that writes no folder).
  virtual void WriteFolder(const GenericModel& model, FolderOutput& out, const WriteOptions& options) const;

  // Writes the whole model to out, ending with a line break for text
  // formats. Stream failures are left in out's state for the caller to
  // check; the writer does not throw for them. Throws WriteError as above,
  // and std::bad_alloc when memory runs out.
  virtual void Write(const GenericModel& model, std::ostream& out, const WriteOptions& options) const = 0;
};

}  // namespace writers
