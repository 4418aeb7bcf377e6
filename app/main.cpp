// quillmere-import: the command-line host of the schema-import module.
//
// It loads libschemaimport.so and one database plug-in with dlopen, hands the
// plug-in the database to read, runs one import through the module's
// ISchemaImport on a worker thread while the main thread shows the posted
// progress, and writes the model it got in the chosen output format
// (writers/OutputFormats.h).
// Exit codes are in ExitCodes.h.
#include "ConnectionPrompt.h"
#include "ConnectionString.h"
#include "Console.h"
#include "ExitCodes.h"
#include "ImportRun.h"
#include "InputFiles.h"
#include "Libraries.h"
#include "Options.h"
#include "OutputFile.h"
#include "Progress.h"
#include "SampleDatabase.h"
#include "Signals.h"

#include <gatehouse/InterfaceProvider.h>
#include <platform/ConnectionDialog.h>
#include <platform/MessageBox.h>
#include <platform/Utf.h>
#include <schemaimport/PluginApi.h>
#include <schemaimport/SchemaImport.h>
#include <tillerhold/GenericModel.h>
#include <tillerhold/ModelVocabulary.h>
#include <writers/ObjectTypeWords.h>
#include <writers/OutputFormats.h>

#include <malloc.h>
#include <unistd.h>

#include <atomic>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <ostream>

namespace app {
namespace {

// The SQLite ODBC driver converts wide text by the process locale, so the
// host runs in the user's locale, and in C.UTF-8 when that is plain C.
void InitLocale() {
  const char* locale = std::setlocale(LC_ALL, "");
  if (locale == nullptr || std::strcmp(locale, "C") == 0 || std::strcmp(locale, "POSIX") == 0) {
    std::setlocale(LC_ALL, "C.UTF-8");
  }
}

bool StderrIsTerminal() {
  if (::isatty(STDERR_FILENO) == 0) return false;
  const char* term = std::getenv("TERM");
  return term == nullptr || std::strcmp(term, "dumb") != 0;
}

// What to import, worked out from the command line.
struct Source {
  std::string plugin;      // plug-in name: "sqlite", "postgres", or what --plugin names
  std::string text;        // what the plug-in is configured with: a path or a connection string
  bool sample = false;     // the bundled sample
  bool isPath = false;     // text is a database file's path (any bytes), never a connection string
};

// Picks the plug-in and the text for it. On a usage error prints it and
// returns false.
bool ResolveSource(const Options& options, Console& console, Source& source) {
  auto rememberPasswords = [&](const std::string& connectionString) {
    for (const ConnectionAttribute& attribute : ParseConnectionString(connectionString)) {
      if (IsPasswordKey(attribute.key)) console.AddSecret(attribute.value);
    }
  };
  if (options.sqliteGiven) {
    source = {"sqlite", options.sqlitePath, false, true};
    return true;
  }
  if (options.postgresGiven) {
    rememberPasswords(options.postgresString);
    source = {"postgres", options.postgresString, false};
    return true;
  }
  if (options.connectGiven) {
    rememberPasswords(options.connectString);
    if (!options.plugin.empty()) {
      source = {options.plugin, options.connectString, false};
      return true;
    }
    const std::vector<ConnectionAttribute> attributes = ParseConnectionString(options.connectString);
    const std::optional<std::string> driver = FindAttribute(attributes, "Driver");
    if (!driver || driver->empty()) {
      console.Error(FindAttribute(attributes, "DSN")
                        ? "the connection string names a data source but no Driver, so the plug-in cannot be "
                          "chosen; use --postgres STRING for a PostgreSQL data source"
                        : "the connection string names no Driver (e.g. Driver={SQLite3} or "
                          "Driver={PostgreSQL Unicode})");
      return false;
    }
    const std::string plugin = PluginForDriver(*driver);
    if (plugin.empty()) {
      console.Error("no plug-in reads databases of the ODBC driver \"" + *driver +
                    "\"; known drivers: SQLite3, PostgreSQL Unicode, PostgreSQL ANSI, MariaDB Unicode");
      return false;
    }
    // The SQLite driver makes up a file name from the whole string when
    // it names no database; a data source may name one in its settings.
    if (plugin == "sqlite" && !FindAttribute(attributes, "DSN")) {
      const std::optional<std::string> database = FindAttribute(attributes, "Database");
      if (!database || database->find_first_not_of(" \t") == std::string::npos) {
        std::string keys;
        for (const ConnectionAttribute& attribute : attributes) keys += (keys.empty() ? "" : ", ") + attribute.key;
        console.Error("the connection string names no database: it needs Database=PATH (its keys: " + keys + ")");
        return false;
      }
    }
    source = {plugin, options.connectString, false, false};
    return true;
  }
  source = {"sqlite", {}, true, true};
  return true;
}

// The files the import reads, for the source as configured (or as the
// connection form completed it).
std::vector<InputFile> InputFilesOf(const Source& source, const std::string& connectionString) {
  if (source.sample) return {};
  if (source.plugin == "sqlite") {
    return connectionString.empty() ? SqliteInputFiles(source.text) : SqliteConnectionInputFiles(connectionString);
  }
  // Another plug-in (--plugin) may read an SQLite file too: the connection
  // string's Driver tells.
  const std::optional<std::string> driver = FindAttribute(ParseConnectionString(connectionString), "Driver");
  if (driver && PluginForDriver(*driver) == "sqlite") return SqliteConnectionInputFiles(connectionString);
  return {};
}

// Refuses an output that is one of the files the import reads: writing the
// model would destroy the database. Prints why and returns false.
bool OutputIsNotInput(const OutputFile& output, const std::vector<InputFile>& inputs, Console& console) {
  const InputFile* overwritten = output.FindOverwritten(inputs);
  if (overwritten == nullptr) return true;
  console.Error((output.IsStandardOutput() ? std::string("standard output") : "the output " + output.Path()) +
                " is " + overwritten->what + " being imported; write the model to another file");
  return false;
}

// "13 tables, 70 columns, 1 view" from the objects in the model.
std::string CountObjects(const GenericModel& model) {
  std::map<int, long long> counts;
  for (int id = 2; id <= model.GetObjectCount(); ++id) {
    if (const CMOObject* object = model.GetCMOObject(id)) ++counts[object->GetObjectType()];
  }
  std::string text;
  for (const auto& [type, count] : counts) {
    if (!text.empty()) text += ", ";
    text += std::to_string(count) + " " + writers::ObjectTypeWords(type, count != 1);
  }
  return text.empty() ? std::string("no objects") : text;
}

std::string DescribeDiagnostic(const OdbcDiagnostic& diagnostic) {
  std::string text;
  if (!diagnostic.sqlState.empty()) text += "[" + platform::Utf16ToUtf8(diagnostic.sqlState) + "] ";
  text += platform::Utf16ToUtf8(diagnostic.message);
  if (text.empty()) text = "no diagnostic";
  return text;
}

int Run(const Options& options) {
  signals::Install();
  Console console(stderr, StderrIsTerminal(), options.quiet);
  // The module's one message (an unhandled data type) must never block a
  // command-line run: it is printed and answered OK.
  platform::SetMessageBoxHandler([&console](const char16_t* text, UINT) {
    console.Warning(platform::Utf16ToUtf8(text));
    return IDOK;
  });

  Source source;
  if (!ResolveSource(options, console, source)) return kExitUsage;

  const OutputFile output(options.output);
  // Checked before anything is opened: the output must not replace what
  // the import reads.
  if (!OutputIsNotInput(output, InputFilesOf(source, options.sqliteGiven ? "" : source.text), console)) {
    return kExitUsage;
  }
  if (!options.format->forTerminal && output.IsTerminal()) {
    console.Error("--format " + std::string(options.format->name) +
                  " is not for a terminal; write it to a file with -o FILE or pipe it to a program");
    return kExitUsage;
  }
  std::string error;
  if (!output.Check(error)) {
    console.Error(error);
    return kExitFailure;
  }

  SampleDatabase sample;
  if (source.sample) {
    if (!sample.Create(error)) {
      console.Error(error);
      return kExitFailure;
    }
    source.text = sample.Path();
    console.Info("no database given: importing the bundled sample (see --help for your own)");
  }

  const std::string directory = LibraryDirectory();
  LoadedLibrary module;
  if (!module.Open(directory + "/libschemaimport.so", error)) {
    console.Error("the import module could not be loaded: " + error);
    return kExitFailure;
  }
  ISchemaImport* api = InterfaceProvider::Instance()->GetSchemaImportApi();
  ISchemaImportSessionState* session = InterfaceProvider::Instance()->GetSchemaImportSessionState();
  if (api == nullptr || session == nullptr) {
    console.Error(directory + "/libschemaimport.so registered no import interface");
    return kExitFailure;
  }
  LoadedLibrary plugin;
  const QmPluginApi* pluginApi = LoadPlugin(plugin, PluginDirectories(directory), source.plugin, error);
  if (pluginApi == nullptr) {
    console.Error(error);
    return kExitFailure;
  }
  KeepOdbcDriverManagerLoaded();
  // A --sqlite path reaches the plug-in as the bytes it is, and as a path.
  QmConnectOptions connectOptions;
  if (source.isPath) connectOptions.filePath = source.text;
  connectOptions.timeoutSeconds = options.timeoutSeconds;
  connectOptions.notice = [&console](const std::u16string& text) { console.Warning(platform::Utf16ToUtf8(text)); };
  pluginApi->Configure(source.isPath ? std::u16string() : platform::Utf8ToUtf16(source.text),
                       platform::Utf8ToUtf16(options.schemas));
  pluginApi->SetConnectOptions(connectOptions);

  ConnectionPrompt prompt(console, STDIN_FILENO);
  std::atomic<bool> formNamedTheOutput{false};
  if (options.prompt) {
    platform::SetConnectionDialogHook([&](HWND, CString& connectionString) {
      if (!prompt.Complete(connectionString)) return false;
      // The form may have named the output file as the database.
      if (OutputIsNotInput(output, InputFilesOf(source, connectionString.ToUtf8()), console)) return true;
      formNamedTheOutput.store(true);
      return false;
    });
  }

  int exitCode = kExitOk;
  if (signals::InterruptCount() > 0) {
    console.Raw("import cancelled; no model written\n");
    exitCode = kExitCancelled;
  } else {
    // The model lives until the process ends and is never torn down: it is
    // written once and the process exits, and freeing a large model object by
    // object costs a noticeable share of the run. (Destroying it after the
    // libraries unload could also run code of theirs that is gone.)
    static GenericModel* const kept = new GenericModel(pluginApi->modelType);
    GenericModel& model = *kept;
    ProgressView progress(console);
    const ImportOutcome outcome = RunImport(*api, *session, model, progress);
    if (outcome.abandoned) {
      // The worker is still inside the import: nothing may be unloaded or
      // destroyed under it, so the process ends here.
      console.Raw("import cancelled; no model written\n");
      signals::ExitNow(kExitCancelled);
    }
    const double seconds = progress.Elapsed();

    if (formNamedTheOutput.load()) {
      exitCode = kExitUsage;
    } else if (outcome.threw) {
      console.Error("the import failed: " + outcome.exception);
      exitCode = kExitFailure;
    } else if (outcome.cancelled || prompt.WasCancelled()) {
      console.Raw("import cancelled; no model written\n");
      exitCode = kExitCancelled;
    } else if (outcome.status == ImportStatusConnectFailed) {
      const OdbcDiagnostic diagnostic = pluginApi->LastConnectError();
      console.Error("could not connect: " + (diagnostic.IsEmpty() ? std::string("the plug-in gave no reason")
                                                                  : DescribeDiagnostic(diagnostic)));
      exitCode = kExitConnectFailed;
    } else if (outcome.status != ImportStatusConnected) {
      console.Error("the import did not run (session status " + std::to_string(outcome.status) + ")");
      exitCode = kExitFailure;
    } else {
      const std::vector<QmFailedStatement> failed = pluginApi->FailedStatements();
      const WriteOutcome written = output.Write(
          [&](std::ostream& out) { options.format->writer->Write(model, out, options.write); }, error);
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
        std::snprintf(elapsed, sizeof elapsed, "%.2f s", seconds);
        console.Info("imported " + CountObjects(model) + " in " + elapsed);
        for (const QmFailedStatement& statement : failed) {
          // PostgreSQL's lock_timeout, which the plug-in sets to --timeout.
          const std::string lock = statement.diagnostic.sqlState == u"55P03"
                                       ? " (a table is locked by another session; waited " +
                                             std::to_string(options.timeoutSeconds) + " s, see --timeout)"
                                       : "";
          console.Error("reading " + platform::Utf16ToUtf8(statement.name) +
                        " failed: " + DescribeDiagnostic(statement.diagnostic) + lock);
        }
        if (!failed.empty()) {
          console.Error(std::to_string(failed.size()) + (failed.size() == 1 ? " statement" : " statements") +
                        " failed; the model written is incomplete");
          exitCode = kExitImportErrors;
        }
      }
    }
  }

  platform::SetConnectionDialogHook({});
  platform::SetMessageBoxHandler({});
  // Plug-in first, then the module, whose unload runs its ExitInstance.
  plugin.Close();
  module.Close();
  return exitCode;
}

}  // namespace
}  // namespace app

int main(int argc, char** argv) {
#ifdef M_ARENA_MAX
  // One heap for the whole process. The import runs on a worker thread while
  // this one only waits; an arena of its own would grow a page at a time,
  // each step a system call, and that is a tenth of a large import's time.
  mallopt(M_ARENA_MAX, 1);
#endif
  app::InitLocale();
  app::Options options;
  if (const int exitCode = app::ParseOptions(argc, argv, options); exitCode >= 0) return exitCode;
  return app::Run(options);
}
