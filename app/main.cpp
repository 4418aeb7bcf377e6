// quillmere-import: the command-line host of the schema-import module.
//
// It loads libschemaimport.so and the plug-ins it finds with dlopen
// (runner/), picks the plug-in for the database named by what the plug-in
// tables say, hands it the database to read, runs one import through the
// module's ISchemaImport on a worker thread while the main thread shows the
// posted progress, and writes the model it got in the chosen output format
// (writers/OutputFormats.h). It names no plug-in and no format itself.
// `quillmere-import diff OLD NEW` compares two models (DiffCommand.h);
// `quillmere-import lint SOURCE` checks one against the schema rules
// (LintCommand.h).
// Exit codes are in ExitCodes.h.
#include "ConnectionPrompt.h"
#include "Console.h"
#include "DiffCommand.h"
#include "ExitCodes.h"
#include "LintCommand.h"
#include "LiveImport.h"
#include "Options.h"
#include "OutputFile.h"
#include "OutputFolder.h"
#include "PluginList.h"
#include "Progress.h"
#include "SampleDatabase.h"
#include "Signals.h"
#include "Source.h"

#include <platform/ConnectionDialog.h>
#include <platform/MessageBox.h>
#include <platform/Utf.h>
#include <runner/ImportRunner.h>
#include <runner/Libraries.h>
#include <runner/PluginCatalogue.h>
#include <schemaimport/PluginApi.h>
#include <schemaimport/SchemaImport.h>
#include <tillerhold/GenericModel.h>
#include <tillerhold/ModelVocabulary.h>
#include <writers/ObjectTypeWords.h>
#include <writers/OutputFormats.h>
#include <writers/VisibleText.h>

#include <malloc.h>
#include <sqlite3.h>
#include <unistd.h>

#include <atomic>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <ostream>
#include <sstream>

namespace app {
namespace {

// Drivers that take narrow text have the driver manager convert wide text
// by the process locale, so the host runs in the user's locale, and in
// C.UTF-8 when that is plain C.
void InitLocale() {
  const char* locale = std::setlocale(LC_ALL, "");
  if (locale == nullptr || std::strcmp(locale, "C") == 0 || std::strcmp(locale, "POSIX") == 0) {
    std::setlocale(LC_ALL, "C.UTF-8");
  }
}

// SQLite runs in this process twice over: the host's scratch store and the
// SQLite3 ODBC driver. Its defaults suit a process that shares connections
// between threads and reads SQLite's memory statistics; this one does
// neither. Each connection is used by one thread at a time (the import's
// worker, or this thread before and after it; a cancel is a flag the worker
// polls, never a call on its connection), so connection mutexes are not
// needed, and nothing reads the statistics, whose counters take a global
// lock on every SQLite allocation. Both must be set before SQLite starts;
// later they are refused and the defaults stay, which is only slower.
void ConfigureSqlite() {
  sqlite3_config(SQLITE_CONFIG_MULTITHREAD);
  sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
}

bool StderrIsTerminal() {
  if (::isatty(STDERR_FILENO) == 0) return false;
  const char* term = std::getenv("TERM");
  return term == nullptr || std::strcmp(term, "dumb") != 0;
}

int Run(const Options& options, Loaded& loaded) {
  signals::Install();
  Console console(stderr, StderrIsTerminal(), options.quiet);
  // The module's one message (an unhandled data type) must never block a
  // command-line run: it is printed and answered OK.
  platform::SetMessageBoxHandler([&console](const char16_t* text, platform::win::UINT) {
    console.Warning(platform::Utf16ToUtf8(text));
    return platform::win::IDOK;
  });
  const OutputFile output(options.output);
  // -o DIR/ writes a documentation folder, for the formats that have one.
  const bool folder = !output.IsStandardOutput() && OutputFolder::NamesFolder(options.output);
  const OutputFolder outputFolder(options.output);
  const bool toTerminal = !folder && output.IsTerminal();
  Imported imported;
  int exitCode = ImportSource(options, loaded, console, output, [&]() {
    if (folder) {
      if (!options.format->writer->WritesFolder()) {
        std::string formats;
        for (const writers::OutputFormat& format : writers::OutputFormats())
          if (format.writer->WritesFolder()) formats += (formats.empty() ? "" : ", ") + std::string(format.name);
        console.Error("-o " + options.output + " names a folder, and --format " + std::string(options.format->name) +
                      " is written as one file (formats written as a folder: " + formats + ")");
        return kExitUsage;
      }
      if (!options.write.aroundTable.empty()) {
        console.Error("--around draws part of one diagram; a documentation folder has a diagram around every "
                      "table (write one file with -o FILE to use --around)");
        return kExitUsage;
      }
      std::string error;
      if (!outputFolder.Check(error)) {
        console.Error(error);
        return kExitFailure;
      }
      return -1;
    }
    if (!options.format->forTerminal && toTerminal) {
      console.Error("--format " + std::string(options.format->name) +
                    " is not for a terminal; write it to a file with -o FILE or pipe it to a program");
      return kExitUsage;
    }
    std::string error;
    if (!output.Check(error)) {
      console.Error(error);
      return kExitFailure;
    }
    return -1;
  }, imported);
  if (exitCode < 0) {
    exitCode = kExitOk;
    const GenericModel& model = *imported.model;
    std::string error;
    // Texts the format leaves out (the sql format's refusals) are named as
    // the writer finds them; the run then ends with exit code 5.
    std::size_t leftOut = 0;
    std::size_t escapedForTerminal = 0;
    writers::WriteOptions write = options.write;
    if (options.format->name == "sql") write.sqlDialect = SqlDialectOf(*imported.plugin, console);
    write.leftOut = [&](const std::string& line) {
      console.Warning(line);
      ++leftOut;
    };
    const WriteOutcome written =
        folder ? outputFolder.Write(
                     [&](writers::FolderOutput& out) { options.format->writer->WriteFolder(model, out, write); }, error)
               : output.Write(
                     [&](std::ostream& out) {
                       if (!toTerminal) return options.format->writer->Write(model, out, write);
                       // Names and texts of the database are hostile: a
                       // terminal gets none of the characters it acts on.
                       std::ostringstream text;
                       options.format->writer->Write(model, text, write);
                       out << writers::TerminalText(text.str(), &escapedForTerminal);
                     },
                     error);
    if (written == WriteOutcome::Cancelled) {
      console.Raw("import cancelled; no model written\n");
      exitCode = kExitCancelled;
    } else if (written == WriteOutcome::Failed) {
      console.Error(error);
      exitCode = kExitFailure;
    } else {
      if (signals::InterruptCount() > 0) {
        // Said even with --quiet: the key press should be seen taken.
        console.Raw("Ctrl-C came while the model was being written; it is written in full\n");
      }
      char elapsed[32];
      std::snprintf(elapsed, sizeof elapsed, "%.2f s", imported.seconds);
      console.Info("imported " + CountObjects(model) + " in " + elapsed);
      for (const QmFailedStatement& statement : imported.failed) {
        console.Error("reading " + platform::Utf16ToUtf8(statement.name) +
                      " failed: " + DescribeDiagnostic(statement.diagnostic));
      }
      if (!imported.failed.empty()) {
        console.Error(std::to_string(imported.failed.size()) +
                      (imported.failed.size() == 1 ? " statement" : " statements") +
                      " failed; the model written is incomplete");
        exitCode = kExitImportErrors;
      }
      if (escapedForTerminal > 0) {
        console.Warning(std::to_string(escapedForTerminal) +
                        (escapedForTerminal == 1 ? " character" : " characters") +
                        " that the terminal would act on or not show are escaped (as \\x1b, \\u202e); "
                        "write the output with -o FILE or to a pipe to have it exactly");
      }
      if (leftOut > 0) {
        console.Error(std::to_string(leftOut) + (leftOut == 1 ? " text" : " texts") + " of the database " +
                      (leftOut == 1 ? "is" : "are") + " not in the " + std::string(options.format->name) +
                      " output (see the \"-- not written\" lines)");
        exitCode = kExitImportErrors;
      }
    }
  }
  platform::SetMessageBoxHandler({});
  return exitCode;
}

// Ends the process once the module and the plug-ins are unloaded. By then
// the output is written and renamed into place, temporary files are
// removed and the connection is closed; what exit() would still run are the
// libraries' own exit handlers (the ODBC driver's TLS and Kerberos
// libraries among them), which only free memory the kernel takes back
// anyway, and on a small database they are a few percent of the run.
// Sanitizer builds exit normally: their leak and race reports are made then.
[[noreturn]] void Finish(int exitCode) {
  std::cout.flush();
  std::cerr.flush();
  std::fflush(nullptr);
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  std::exit(exitCode);
#else
  std::_Exit(exitCode);
#endif
}

}  // namespace
}  // namespace app

int main(int argc, char** argv) {
#if !defined(QM_MIMALLOC) && defined(M_ARENA_MAX)
  // One heap for the whole process. The import runs on a worker thread while
  // this one only waits; an arena of its own would grow a page at a time,
  // each step a system call, and that is a tenth of a large import's time.
  mallopt(M_ARENA_MAX, 1);
#endif
  // The arguments as given, for the parsers; the process's own strings lose
  // their passwords at once, before anything is loaded or connected.
  std::vector<std::string> given(argv, argv + argc);
  std::vector<char*> arguments;
  for (std::string& argument : given) arguments.push_back(argument.data());
  arguments.push_back(nullptr);
  app::HidePasswordsInArguments(argc, argv);
  argv = arguments.data();
  app::ConfigureSqlite();
  app::InitLocale();
  // "diff" compares models instead of importing one (DiffCommand.h).
  app::Loaded loaded;
  if (argc > 1 && std::strcmp(argv[1], "diff") == 0) {
    const int exitCode = app::RunDiff(argc - 1, argv + 1, loaded);
    loaded.Close();
    app::Finish(exitCode);
  }
  // "lint" checks a model against the schema rules (LintCommand.h).
  if (argc > 1 && std::strcmp(argv[1], "lint") == 0) {
    const int exitCode = app::RunLint(argc - 1, argv + 1, loaded);
    loaded.Close();
    app::Finish(exitCode);
  }
  loaded.Open();
  const std::vector<app::Shortcut> shortcuts = app::ShortcutsOf(loaded.plugins);
  app::Options options;
  int exitCode = app::ParseOptions(argc, argv, shortcuts, options, loaded.moduleError);
  if (exitCode < 0 && (options.listPlugins || options.listDsns || options.listDrivers)) {
    if (!loaded.module.IsOpen()) {
      std::fprintf(stderr, "error: %s\n", loaded.moduleError.c_str());
      exitCode = app::kExitFailure;
    } else {
      loaded.LookAgain();
      if (options.listPlugins) std::cout << app::DescribePlugins(loaded.plugins, options.offeredShortcuts);
      if (options.listDsns) std::cout << (options.listPlugins ? "\n" : "") << app::DescribeDataSources(loaded.plugins);
      if (options.listDrivers)
        std::cout << (options.listPlugins || options.listDsns ? "\n" : "") << app::DescribeDrivers(loaded.plugins);
      exitCode = app::kExitOk;
    }
  }
  if (exitCode < 0) exitCode = app::Run(options, loaded);
  loaded.Close();
  app::Finish(exitCode);
}
