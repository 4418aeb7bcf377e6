// The output formats: one table that names every format the model can be
// written in, with its description and its writer. The command line's
// --format option, its --help text and the README's list of formats all
// come from this table; a format added here is offered everywhere.
//
// The table is constant and built before any code runs (no static
// initialisation order to mind); it may be read from any thread.
#pragma once

#include <writers/ModelReader.h>
#include <writers/ModelWriter.h>

#include <span>
#include <string_view>

namespace writers {

struct OutputFormat {
  std::string_view name;         // the --format value: lower case, no blanks, unique in the table
  std::string_view description;  // one line for --help and the README, no full stop
  const ModelWriter* writer;     // static, never null
  // Reads the format back into a model (a saved model that `diff`
  // compares); static; null for a format that is written only.
  const ModelReader* reader = nullptr;
  // The output is bytes rather than UTF-8 text: embedded in another
  // format only encoded, never shown on a terminal.
  bool binary = false;
  // A person reads the output on a terminal. False for what is opened
  // with another program (a picture, a page) and for bytes: the host then
  // refuses to fill a terminal with it and asks for a file or a pipe.
  // On a terminal, what the terminal would act on is shown escaped
  // (TerminalText), whatever the format.
  bool forTerminal = true;
  // The output holds the entity-relationship diagram, or is one: the
  // format reads WriteOptions::aroundTable and depth.
  bool diagram = false;
};

// Every format, in the order --help and the README list them. The first
// is the default.
std::span<const OutputFormat> OutputFormats();

// The format the command line writes when none is chosen.
const OutputFormat& DefaultOutputFormat();

// The format with exactly this name (case-sensitive), or null when the
// table has none.
const OutputFormat* FindOutputFormat(std::string_view name);

}  // namespace writers
