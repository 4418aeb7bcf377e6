// quillmere-import diff OLD NEW: the differences between two models, for
// people or (--format json) for programs, with the exit status a CI job
// checks: 0 when the models agree, 1 when they differ, 2 for a usage
// error and 4 when a side cannot be read.
//
// Each side is a DiffSide: a saved model (the file the json format writes,
// or '-' for standard input) or a live source, imported first (LiveImport.h)
// with --schema and --timeout as an import takes them: a URL in place of
// the file (postgresql://..., sqlite:..., odbc://DSN), or, for NEW, one of
// the import's source options (--dsn, --connect, a plug-in's --sqlite or
// --postgres).
//
// Thread safety: the main thread only.
#pragma once

#include <string>

class GenericModel;

namespace app {

struct Loaded;

// One side of the comparison.
struct DiffSide {
  std::string label;  // what it is called in messages: OLD or NEW
  std::string path;   // the saved model's file, or the URL, as given; empty for a source given by options
};

// Whether a side's text is a live source's URL rather than a file: a
// scheme followed by "//", or a scheme a plug-in (or the host, odbc)
// serves, as in sqlite:shop.db. (lint takes its SOURCE the same way.)
bool IsUrl(const std::string& text, const Loaded& loaded);

// Reads the side into `model` (which holds only its root). Returns 0, or
// the exit code to end with after printing why in `error` (one line).
int LoadSide(const DiffSide& side, GenericModel& model, std::string& error);

// Runs the subcommand: argv[0] is "diff", the rest its arguments. loaded is
// opened here (the plug-ins' options are diff's too) and closed by the
// caller. Returns the exit code: 0 equal, 1 different, 2 usage error, 3 a
// live side could not be connected to, 4 a side cannot be read (or the
// module is missing), 5 a live side was imported with errors (nothing is
// compared: an incomplete model would show false differences), 130
// cancelled.
int RunDiff(int argc, char** argv, Loaded& loaded);

}  // namespace app
