// quillmere-import lint SOURCE: the schema rules (lint/) over a model, with
// the findings for people (text), programs (json) or code-scanning pages
// (sarif), and the exit status a CI job checks: 0 when nothing at or above
// --fail-on (default warning) was found, 1 when something was, the other
// codes as for an import.
//
// SOURCE is what diff takes for a side (DiffCommand.h): a saved model (the
// json format's file, '-' for standard input), a database URL, or one of
// the import's source options instead. The configuration is --config FILE,
// else .quillmere-lint.toml in the current folder when there is one, else
// the rules' defaults.
//
// Thread safety: the main thread only.
#pragma once

namespace app {

struct Loaded;

// Runs the subcommand: argv[0] is "lint". Returns the exit code: 0 nothing
// at or above --fail-on, 1 something, 2 usage error or a configuration
// that is wrong, 3 the source could not be connected to, 4 the model
// cannot be read or the findings not written (or the module is missing),
// 130 cancelled. A live import's failed statements are findings
// (object-not-imported).
int RunLint(int argc, char** argv, Loaded& loaded);

}  // namespace app
