#include "LiveImport.h"

#include "ConnectionPrompt.h"
#include "Console.h"
#include "ExitCodes.h"
#include "Progress.h"
#include "SampleDatabase.h"
#include "Signals.h"
#include "Source.h"

#include <platform/ConnectionDialog.h>
#include <platform/Utf.h>
#include <runner/ImportRunner.h>
#include <schemaimport/SchemaImport.h>
#include <schemaimport/ScopeList.h>
#include <tillerhold/GenericModel.h>
#include <tillerhold/ModelVocabulary.h>
#include <writers/ObjectTypeWords.h>
#include <writers/SqlStatements.h>

#include <unistd.h>

#include <atomic>
#include <map>

namespace app {

namespace {

// Refuses an output that is one of the files the import reads: writing the
// model would destroy the database. Prints why and returns false.
bool OutputIsNotInput(const OutputFile& output, const std::vector<QmInputFile>& inputs, Console& console) {
  const QmInputFile* overwritten = output.FindOverwritten(inputs);
  if (overwritten == nullptr) return true;
  console.Error((output.IsStandardOutput() ? std::string("standard output") : "the output " + output.Path()) +
                " is " + overwritten->what + " being imported; write the model to another file");
  return false;
}

// Takes the hooks out again however the import ends.
struct HooksInstalled {
  ~HooksInstalled() {
    platform::SetConnectionDialogHook({});
    platform::SetPasswordPromptHook({});
  }
};

}  // namespace

void Loaded::Open() {
  const std::string directory = runner::LibraryDirectory();
  if (!module.Open(directory, moduleError)) return;
  // The plug-ins link the module: a new one may change how they load.
  plugins.DiscoverIndexed(runner::PluginDirectories(directory), runner::PluginIndexPath(directory),
                          {runner::ModulePath(directory)});
  runner::KeepOdbcDriverManagerLoaded();
}

void Loaded::LookAgain() {
  if (!module.IsOpen()) return;
  plugins.Close();
  plugins.Discover(runner::PluginDirectories(runner::LibraryDirectory()));
}

void Loaded::Close() {
  plugins.Close();
  module.Close();
}

std::vector<Shortcut> ShortcutsOf(const runner::PluginCatalogue& catalogue) {
  std::vector<Shortcut> shortcuts;
  for (const runner::FoundPlugin& plugin : catalogue.Plugins()) {
    const runner::PluginDescription& about = plugin.about;
    if (about.shortcutOption.empty()) continue;
    shortcuts.push_back({about.shortcutOption, about.shortcutArgument, about.shortcutHelp, about.name,
                         about.shortcutValue == QmShortcutValue::FilePath});
  }
  return shortcuts;
}

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
  std::string text = platform::Utf16ToUtf8(diagnostic.Describe());
  // A driver's text is prose, often on several lines ("Connection refused",
  // then a hint): one line of it, with blanks. The plug-ins' and the
  // module's words may name things, whose line breaks are shown escaped.
  if (diagnostic.origin == OdbcDiagnostic::Origin::Driver)
    for (char& c : text)
      if (c == '\n' || c == '\r' || c == '\t') c = ' ';
  return text.empty() ? std::string("no diagnostic") : text;
}

int ImportSource(const Options& options, Loaded& loaded, Console& console, const OutputFile& output,
                 const std::function<int()>& beforeOpening, Imported& imported) {
  if (!loaded.module.IsOpen()) {
    console.Error(loaded.moduleError);
    return kExitFailure;
  }
  ISchemaImport& api = *loaded.module.Api();
  ISchemaImportSessionState& session = *loaded.module.Session();

  Source source;
  if (const int exitCode = ResolveSource(options, loaded.plugins, console, source); exitCode >= 0) return exitCode;
  const QmPluginApi& plugin = *source.plugin->api;

  // Checked before anything is opened: the output must not replace what
  // the import reads, and a source the plug-in can tell it cannot open is
  // a usage error.
  const QmSourceFiles inputs = SourceFiles(source, loaded.plugins);
  if (!inputs.unusable.empty()) {
    console.Error(platform::Utf16ToUtf8(inputs.unusable));
    return kExitUsage;
  }
  if (!OutputIsNotInput(output, inputs.files, console)) return kExitUsage;
  if (beforeOpening) {
    if (const int exitCode = beforeOpening(); exitCode >= 0) return exitCode;
  }

  std::string error;
  if (source.sample) {
    imported.sample = std::make_shared<SampleDatabase>();
    if (!imported.sample->Create(plugin, error)) {
      console.Error(error);
      return kExitFailure;
    }
    source.text = imported.sample->Path();
    console.Info("no database given: importing the bundled sample (see --help for your own)");
  }

  QmConnectOptions connectOptions = ConnectOptionsFor(source, options.timeoutSeconds);
  connectOptions.withPrivileges = options.withPrivileges;
  connectOptions.notice = [&console](const std::u16string& text) { console.Warning(platform::Utf16ToUtf8(text)); };
  plugin.Configure(source.isPath ? std::u16string() : platform::Utf8ToUtf16(source.text),
                   platform::Utf8ToUtf16(options.schemas));
  plugin.SetConnectOptions(connectOptions);

  const HooksInstalled hooks;
  ConnectionPrompt prompt(console, STDIN_FILENO);
  // A server that asks for a password the source does not give: asked on
  // the terminal, as psql asks.
  platform::SetPasswordPromptHook([&prompt](const std::u16string& question, std::u16string& password) {
    return prompt.AskPassword(question, password);
  });
  std::atomic<bool> formNamedTheOutput{false};
  if (options.prompt) {
    platform::SetConnectionDialogHook([&](platform::win::HWND, CString& connectionString) {
      if (!prompt.Complete(connectionString)) return false;
      // The form may have named the output file as the database.
      const std::string completed = connectionString.ToUtf8();
      if (OutputIsNotInput(output, SourceFiles(source, loaded.plugins, &completed).files, console)) return true;
      formNamedTheOutput.store(true);
      return false;
    });
  }

  if (signals::InterruptCount() > 0) {
    console.Raw("import cancelled; no model written\n");
    return kExitCancelled;
  }
  // The model lives until the process ends and is never torn down: it is
  // written once and the process exits, and freeing a large model object by
  // object costs a noticeable share of the run. (Destroying it after the
  // libraries unload could also run code of theirs that is gone.)
  // Kept reachable from a list that is never destroyed either (diff may
  // import two).
  static std::vector<GenericModel*>* const kept = new std::vector<GenericModel*>();
  GenericModel* const model = kept->emplace_back(new GenericModel(plugin.modelType));
  ProgressView progress(console);
  runner::RunControl control;
  control.cancelRequested = [] { return signals::InterruptCount() > 0; };
  const runner::ImportOutcome outcome = runner::RunImport(api, session, *model, progress, control);
  if (outcome.abandoned) {
    // The worker is still inside the import: nothing may be unloaded or
    // destroyed under it, so the process ends here.
    console.Raw("import cancelled; no model written\n");
    signals::ExitNow(kExitCancelled);
  }
  imported.seconds = progress.Elapsed();
  if (formNamedTheOutput.load()) return kExitUsage;
  if (outcome.threw) {
    console.Error("the import failed: " + outcome.exception);
    return kExitFailure;
  }
  if (outcome.cancelled || prompt.WasCancelled()) {
    console.Raw("import cancelled; no model written\n");
    return kExitCancelled;
  }
  if (outcome.status == ImportStatusConnectFailed) {
    const OdbcDiagnostic diagnostic = plugin.LastConnectError();
    // The connection worked; --schema named what the database lacks.
    if (diagnostic.origin == OdbcDiagnostic::Origin::Plugin && diagnostic.sqlState == kNoSuchSchemaState) {
      console.Error("--schema: " + DescribeDiagnostic(diagnostic));
      return kExitUsage;
    }
    console.Error("could not connect: " + (diagnostic.IsEmpty() ? std::string("the plug-in gave no reason")
                                                                : DescribeDiagnostic(diagnostic)));
    return kExitConnectFailed;
  }
  if (outcome.status != ImportStatusConnected) {
    console.Error("the import did not run (session status " + std::to_string(outcome.status) + ")");
    return kExitFailure;
  }
  imported.model = model;
  imported.plugin = &plugin;
  imported.failed = plugin.FailedStatements();
  // The kind of database goes with the model, so that a saved model can
  // be planned against in its dialect; a name this program does not know
  // is not recorded (the sql format warns about it when it writes).
  const std::string declared = plugin.sqlDialect != nullptr ? plugin.sqlDialect : "";
  for (std::string_view name : writers::SqlStatements::DialectNames()) {
    if (name != declared || declared.empty()) continue;
    auto* property = new CMOProperty(model::SqlDialectName);
    property->SetWStringValue(platform::Utf8ToUtf16(declared));
    model->GetCMOObject()->SetProperty(property);
  }
  return -1;
}

std::string SqlDialectOf(const QmPluginApi& plugin, Console& console) {
  const std::string declared = plugin.sqlDialect != nullptr ? plugin.sqlDialect : "";
  if (declared.empty()) return "standard";
  for (std::string_view name : writers::SqlStatements::DialectNames())
    if (name == declared) return declared;
  console.Warning("the plug-in " + std::string(plugin.name) + " declares the SQL dialect \"" + declared +
                  "\", which this program does not know: its SQL is written in standard SQL");
  return "standard";
}

}  // namespace app
