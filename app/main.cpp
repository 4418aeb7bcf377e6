// quillmere-import: the command-line host of the schema-import module.
//
// It loads libschemaimport.so and the plug-ins it finds with dlopen
// (runner/), picks the plug-in for the database named by what the plug-in
// tables say, hands it the database to read, runs one import through the
// module's ISchemaImport on a worker thread while the main thread shows the
// posted progress, and writes the model it got in the chosen output format
// (writers/OutputFormats.h). It names no plug-in and no format itself.
// `quillmere-import diff OLD NEW` compares two models (DiffCommand.h).
// Exit codes are in ExitCodes.h.
#include "ConnectionPrompt.h"
#include "Console.h"
#include "DiffCommand.h"
#include "ExitCodes.h"
#include "Options.h"
#include "OutputFile.h"
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

#include <malloc.h>
#include <unistd.h>

#include <atomic>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <ostream>

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

bool StderrIsTerminal() {
  if (::isatty(STDERR_FILENO) == 0) return false;
  const char* term = std::getenv("TERM");
  return term == nullptr || std::strcmp(term, "dumb") != 0;
}

// Refuses an output that is one of the files the import reads: writing the
// model would destroy the database. Prints why and returns false.
bool OutputIsNotInput(const OutputFile& output, const std::vector<QmInputFile>& inputs, Console& console) {
  const QmInputFile* overwritten = output.FindOverwritten(inputs);
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
  const std::string text = platform::Utf16ToUtf8(diagnostic.Describe());
  return text.empty() ? std::string("no diagnostic") : text;
}

// The module and the plug-ins, loaded before the command line is read: the
// plug-ins found decide which database options it has.
struct Loaded {
  runner::ImportModule module;        // libschemaimport.so
  runner::PluginCatalogue plugins;    // every plug-in found; closed before the module
  std::string moduleError;            // why the module did not load; empty when it did

  void Open() {
    const std::string directory = runner::LibraryDirectory();
    if (!module.Open(directory, moduleError)) return;
    plugins.Discover(runner::PluginDirectories(directory));
    runner::KeepOdbcDriverManagerLoaded();
  }
  // Plug-ins first, then the module, whose unload runs its ExitInstance.
  void Close() {
    plugins.Close();
    module.Close();
  }
};

// The shortcut options of the plug-ins found, in the order found.
std::vector<Shortcut> ShortcutsOf(const runner::PluginCatalogue& catalogue) {
  std::vector<Shortcut> shortcuts;
  for (const runner::FoundPlugin& plugin : catalogue.Plugins()) {
    const QmPluginShortcut& shortcut = plugin.api->shortcut;
    if (shortcut.option == nullptr) continue;
    shortcuts.push_back({shortcut.option, shortcut.argument, shortcut.help, plugin.api->name,
                         shortcut.value == QmShortcutValue::FilePath});
  }
  return shortcuts;
}

int Run(const Options& options, Loaded& loaded) {
  signals::Install();
  Console console(stderr, StderrIsTerminal(), options.quiet);
  // The module's one message (an unhandled data type) must never block a
  // command-line run: it is printed and answered OK.
  platform::SetMessageBoxHandler([&console](const char16_t* text, UINT) {
    console.Warning(platform::Utf16ToUtf8(text));
    return IDOK;
  });
  if (!loaded.module.IsOpen()) {
    console.Error(loaded.moduleError);
    return kExitFailure;
  }
  ISchemaImport& api = *loaded.module.Api();
  ISchemaImportSessionState& session = *loaded.module.Session();

  Source source;
  if (const int exitCode = ResolveSource(options, loaded.plugins, console, source); exitCode >= 0) return exitCode;
  const QmPluginApi& plugin = *source.plugin->api;

  const OutputFile output(options.output);
  // Checked before anything is opened: the output must not replace what
  // the import reads, and a source the plug-in can tell it cannot open is
  // a usage error.
  const QmSourceFiles inputs = SourceFiles(source, loaded.plugins);
  if (!inputs.unusable.empty()) {
    console.Error(platform::Utf16ToUtf8(inputs.unusable));
    return kExitUsage;
  }
  if (!OutputIsNotInput(output, inputs.files, console)) return kExitUsage;
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
    if (!sample.Create(plugin, error)) {
      console.Error(error);
      return kExitFailure;
    }
    source.text = sample.Path();
    console.Info("no database given: importing the bundled sample (see --help for your own)");
  }

  QmConnectOptions connectOptions = ConnectOptionsFor(source, options.timeoutSeconds);
  connectOptions.notice = [&console](const std::u16string& text) { console.Warning(platform::Utf16ToUtf8(text)); };
  plugin.Configure(source.isPath ? std::u16string() : platform::Utf8ToUtf16(source.text),
                   platform::Utf8ToUtf16(options.schemas));
  plugin.SetConnectOptions(connectOptions);

  ConnectionPrompt prompt(console, STDIN_FILENO);
  // A server that asks for a password the source does not give: asked on
  // the terminal, as psql asks.
  platform::SetPasswordPromptHook([&prompt](const std::u16string& question, std::u16string& password) {
    return prompt.AskPassword(question, password);
  });
  std::atomic<bool> formNamedTheOutput{false};
  if (options.prompt) {
    platform::SetConnectionDialogHook([&](HWND, CString& connectionString) {
      if (!prompt.Complete(connectionString)) return false;
      // The form may have named the output file as the database.
      const std::string completed = connectionString.ToUtf8();
      if (OutputIsNotInput(output, SourceFiles(source, loaded.plugins, &completed).files, console)) return true;
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
    static GenericModel* const kept = new GenericModel(plugin.modelType);
    GenericModel& model = *kept;
    ProgressView progress(console);
    runner::RunControl control;
    control.cancelRequested = [] { return signals::InterruptCount() > 0; };
    const runner::ImportOutcome outcome = runner::RunImport(api, session, model, progress, control);
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
      const OdbcDiagnostic diagnostic = plugin.LastConnectError();
      console.Error("could not connect: " + (diagnostic.IsEmpty() ? std::string("the plug-in gave no reason")
                                                                  : DescribeDiagnostic(diagnostic)));
      exitCode = kExitConnectFailed;
    } else if (outcome.status != ImportStatusConnected) {
      console.Error("the import did not run (session status " + std::to_string(outcome.status) + ")");
      exitCode = kExitFailure;
    } else {
      const std::vector<QmFailedStatement> failed = plugin.FailedStatements();
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
          console.Error("reading " + platform::Utf16ToUtf8(statement.name) +
                        " failed: " + DescribeDiagnostic(statement.diagnostic));
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
  platform::SetPasswordPromptHook({});
  platform::SetMessageBoxHandler({});
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
  // "diff" compares models instead of importing one (DiffCommand.h).
  if (argc > 1 && std::strcmp(argv[1], "diff") == 0) return app::RunDiff(argc - 1, argv + 1);
  app::Loaded loaded;
  loaded.Open();
  const std::vector<app::Shortcut> shortcuts = app::ShortcutsOf(loaded.plugins);
  app::Options options;
  int exitCode = app::ParseOptions(argc, argv, shortcuts, options, loaded.moduleError);
  if (exitCode < 0 && (options.listPlugins || options.listDsns || options.listDrivers)) {
    if (!loaded.module.IsOpen()) {
      std::fprintf(stderr, "error: %s\n", loaded.moduleError.c_str());
      exitCode = app::kExitFailure;
    } else {
      if (options.listPlugins) std::cout << app::DescribePlugins(loaded.plugins, options.offeredShortcuts);
      if (options.listDsns) std::cout << (options.listPlugins ? "\n" : "") << app::DescribeDataSources(loaded.plugins);
      if (options.listDrivers)
        std::cout << (options.listPlugins || options.listDsns ? "\n" : "") << app::DescribeDrivers(loaded.plugins);
      exitCode = app::kExitOk;
    }
  }
  if (exitCode < 0) exitCode = app::Run(options, loaded);
  loaded.Close();
  return exitCode;
}
