// quillmere-import diff OLD NEW: the differences between two models, for
// people or (--format json) for programs, with the exit status a CI job
// checks: 0 when the models agree, 1 when they differ, 2 for a usage
// error and 4 when a side cannot be read.
//
// Each side is a DiffSide. Today a side is a saved model (the file the
// json format writes); a live source (the options an import takes) is the
// second kind of side, loaded by LoadSide like the first once the host
// library runs imports for every host.
//
// Thread safety: the main thread only.
#pragma once

#include <string>

class GenericModel;

namespace app {

// One side of the comparison.
struct DiffSide {
  std::string label;  // what it is called in messages: OLD or NEW
  std::string path;   // the saved model's file, as given
};

// Reads the side into `model` (which holds only its root). Returns 0, or
// the exit code to end with after printing why in `error` (one line).
int LoadSide(const DiffSide& side, GenericModel& model, std::string& error);

// Runs the subcommand: argv[0] is "diff", the rest its arguments. Returns
// the exit code.
int RunDiff(int argc, char** argv);

}  // namespace app
