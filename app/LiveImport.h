// One import of a live source into a model, as the command line runs it:
// the source chosen from the options (Source.h), checked against the output
// before anything is opened, the sample written when no database is named,
// the plug-in configured, the connection form and the password question
// installed, the import run on a worker thread with its progress on the
// console. Both the import command and `diff` (for a live side) run it.
//
// Thread safety: the main thread only.
#pragma once

#include "Options.h"
#include "OutputFile.h"

#include <runner/Libraries.h>
#include <runner/PluginCatalogue.h>
#include <schemaimport/PluginApi.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class GenericModel;

namespace app {

class Console;
class SampleDatabase;

// The module and the plug-ins, loaded before the command line is read: the
// plug-ins found decide which database options it has.
struct Loaded {
  runner::ImportModule module;        // libschemaimport.so
  runner::PluginCatalogue plugins;    // every plug-in found; closed before the module
  std::string moduleError;            // why the module did not load; empty when it did

  // The module, then the plug-ins' descriptions, from the plug-in index
  // when it describes the files there (a plug-in is loaded when it is
  // used, PluginCatalogue::Table).
  void Open();
  // Every plug-in loaded and looked at afresh, the index aside: what the
  // listings show is what the libraries say now.
  void LookAgain();
  // Plug-ins first, then the module, whose unload runs its ExitInstance.
  void Close();
};

// The shortcut options of the plug-ins found, in the order found.
std::vector<Shortcut> ShortcutsOf(const runner::PluginCatalogue& catalogue);

// What one import gave.
struct Imported {
  GenericModel* model = nullptr;            // the model; lives until the process ends (never freed)
  const QmPluginApi* plugin = nullptr;      // the plug-in that read it
  std::vector<QmFailedStatement> failed;    // statements that failed (the model is incomplete)
  double seconds = 0;                       // time taken
  std::shared_ptr<SampleDatabase> sample;   // the sample imported, if any; removed when the last copy goes
};

// Imports the source options name. output is where the caller will write
// (never one of the files the import reads); beforeOpening runs once the
// source is known and checked, before anything is opened, and may end the
// run with an exit code (>= 0). Returns -1 with the model in imported, or
// the exit code after printing why (ExitCodes.h: 2, 3, 4, 130).
int ImportSource(const Options& options, Loaded& loaded, Console& console, const OutputFile& output,
                 const std::function<int()>& beforeOpening, Imported& imported);

// The SQL dialect the plug-in declares for its models, by the writers'
// name: "standard" when it declares none, and, with a warning, when it
// names one this program does not know (a plug-in built for a later
// version), so that its models are still written.
std::string SqlDialectOf(const QmPluginApi& plugin, Console& console);

// "13 tables, 70 columns, 1 view" from the objects in the model.
std::string CountObjects(const GenericModel& model);

// A diagnostic as one line, or "no diagnostic".
std::string DescribeDiagnostic(const OdbcDiagnostic& diagnostic);

}  // namespace app
