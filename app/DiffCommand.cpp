#include "DiffCommand.h"

#include "Console.h"
#include "ExitCodes.h"
#include "LiveImport.h"
#include "Options.h"
#include "OutputFile.h"
#include "Signals.h"
#include "Source.h"

#include <platform/Utf.h>
#include <schemaimport/ConnectionString.h>
#include <schemaimport/ConnectionUrl.h>
#include <schemaimport/ScopeList.h>
#include <writers/VisibleText.h>

#include <tillerhold/GenericModel.h>
#include <writers/ModelDiff.h>
#include <writers/OutputFormats.h>

#include <CLI/CLI.hpp>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <system_error>

namespace app {

namespace {

// The exit code for models that differ; 0 (kExitOk) when they agree.
constexpr int kExitDifferent = 1;

// A saved model is what the format that can be read back writes (json):
// the first format of the table with a reader.
const writers::ModelReader* SavedModelReader() {
  for (const writers::OutputFormat& format : writers::OutputFormats())
    if (format.reader != nullptr) return format.reader;
  return nullptr;
}

int ReadSavedModel(const DiffSide& side, std::istream& in, GenericModel& model, std::string& error) {
  const writers::ModelReader* reader = SavedModelReader();
  if (reader == nullptr) {
    error = "this build has no format that reads a saved model";
    return kExitFailure;
  }
  try {
    reader->Read(in, model);
  } catch (const writers::ReadError& e) {
    error = side.label + " (" + (side.path == "-" ? std::string("standard input") : side.path) +
            ") is not a saved model: " + e.what();
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace

int LoadSide(const DiffSide& side, GenericModel& model, std::string& error) {
  if (side.path == "-") return ReadSavedModel(side, std::cin, model, error);
  std::error_code code;
  if (std::filesystem::is_directory(side.path, code)) {
    error = side.label + " (" + side.path + ") is a folder, not a saved model";
    return kExitFailure;
  }
  std::ifstream in(side.path, std::ios::binary);
  if (!in) {
    error = "cannot read " + side.label + " (" + side.path + "): " + std::strerror(errno);
    return kExitFailure;
  }
  return ReadSavedModel(side, in, model, error);
}

bool IsUrl(const std::string& text, const Loaded& loaded) {
  const std::optional<std::string> scheme = UrlScheme(text);
  if (!scheme) return false;
  if (text.compare(scheme->size(), 3, "://") == 0 || *scheme == kOdbcScheme) return true;
  const std::vector<std::string> schemes = loaded.plugins.UrlSchemes();
  return std::find(schemes.begin(), schemes.end(), *scheme) != schemes.end();
}

int RunDiff(int argc, char** argv, Loaded& loaded) {
  loaded.Open();
  const std::vector<Shortcut> shortcuts = ShortcutsOf(loaded.plugins);
  CLI::App cli{
      "Compares two models and prints what was added, removed and changed, object by object\n"
      "(matched by kind, parent and name) and property by property. A side is a saved model or a\n"
      "live database, imported first: a URL, or for NEW one of the import's database options.",
      "quillmere-import diff"};
  cli.get_formatter()->column_width(30);
  DiffSide before{"OLD", {}};
  DiffSide after{"NEW", {}};
  cli.add_option("OLD", before.path,
                 "The model before: a file the json format wrote ('-' for standard input), or a database URL")
      ->required();
  auto* newOption = cli.add_option("NEW", after.path, "The model after, likewise (or a database option below)");
  std::string format = "text";
  cli.add_option("--format", format, "text: for people; json: for programs")
      ->type_name("FORMAT")
      ->check(CLI::IsMember({"text", "json"}))
      ->capture_default_str();
  std::string outputPath;
  cli.add_option("-o,--output", outputPath, "Write the differences to FILE instead of standard output")
      ->type_name("FILE");
  // The import's options for the live sides.
  Options live;
  live.quiet = true;
  std::string schemas;
  cli.add_option("--schema", schemas, "For a live side: import only these schemas (as the import's --schema)")
      ->type_name("NAMES");
  cli.add_option("--timeout", live.timeoutSeconds, "For a live side: as the import's --timeout")
      ->type_name("SECONDS")
      ->check(CLI::Range(1, kMaximumTimeoutSeconds))
      ->capture_default_str();
  auto* dsn = cli.add_option("--dsn", live.dsn, "NEW is the ODBC data source NAME")->type_name("NAME");
  auto* connect =
      cli.add_option("--connect", live.connectString, "NEW is read through a full ODBC connection string")
          ->type_name("STRING");
  cli.add_option("--plugin", live.plugin, "With --connect: the plug-in that reads it")->type_name("NAME")->needs(connect);
  std::vector<CLI::Option*> sources = {newOption, dsn, connect};
  std::vector<std::string> values(shortcuts.size());
  std::vector<std::pair<CLI::Option*, const Shortcut*>> shortcutOptions;
  for (std::size_t i = 0; i < shortcuts.size(); ++i) {
    const std::string name = "--" + shortcuts[i].option;
    if (cli.get_option_no_throw(name) != nullptr) continue;
    try {
      CLI::Option* option =
          cli.add_option(name, values[i], "NEW: " + shortcuts[i].help)->type_name(shortcuts[i].argument);
      shortcutOptions.emplace_back(option, &shortcuts[i]);
      sources.push_back(option);
    } catch (const CLI::ConstructionError&) {
    }
  }
  for (CLI::Option* source : sources)
    for (CLI::Option* other : sources)
      if (other != source) source->excludes(other);
  cli.footer(
      "Exit codes: 0 the models agree; 1 they differ; 2 usage error; 3 a live side could not be\n"
      "connected to; 4 a model cannot be read or the output cannot be written; 5 a live side was\n"
      "imported with errors (nothing compared); 130 cancelled.");
  try {
    cli.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    std::cout << cli.help();
    return kExitOk;
  } catch (const CLI::ParseError& e) {
    std::fprintf(stderr, "error: %s\n", writers::VisibleText(MaskPasswords(std::string_view(e.what()))).c_str());
    std::fprintf(stderr, "Run 'quillmere-import diff --help' for the options.\n");
    return kExitUsage;
  }
  bool newFromOptions = dsn->count() > 0 || connect->count() > 0;
  for (const auto& [option, shortcut] : shortcutOptions) {
    if (option->count() == 0) continue;
    live.shortcut = shortcut;
    live.shortcutValue = values[static_cast<std::size_t>(shortcut - shortcuts.data())];
    newFromOptions = true;
  }
  live.connectGiven = connect->count() > 0;
  if (!newFromOptions && newOption->count() == 0) {
    std::fprintf(stderr, "error: NEW is required: a saved model, a database URL, or a database option\n");
    std::fprintf(stderr, "Run 'quillmere-import diff --help' for the options.\n");
    return kExitUsage;
  }
  const ScopeList scope = ReadScopeList(platform::Utf8ToUtf16(schemas));
  if (!scope.error.empty()) {
    std::fprintf(stderr, "error: --schema: %s\n", writers::VisibleText(scope.error).c_str());
    return kExitUsage;
  }
  live.schemas = schemas;

  signals::Install();
  Console console(stderr, ::isatty(STDERR_FILENO) != 0, false);
  if (before.path == "-" && after.path == "-") {
    console.Error("only one of OLD and NEW can be standard input");
    return kExitUsage;
  }
  const OutputFile output(outputPath);
  // The differences must not replace a saved model they come from: checked
  // before anything is read, as the import checks its database. A live
  // side's database is checked by the import itself, before it is opened.
  std::vector<QmInputFile> savedSides;
  for (const DiffSide* side : {&before, &after}) {
    const bool live = (side == &after && newFromOptions) || IsUrl(side->path, loaded);
    if (!live && !side->path.empty() && side->path != "-")
      savedSides.push_back({side->path, side->label + " (" + side->path + ")"});
  }
  if (const QmInputFile* overwritten = output.FindOverwritten(savedSides)) {
    console.Error((output.IsStandardOutput() ? std::string("standard output") : "the output " + output.Path()) +
                  " is " + overwritten->what + ", which the differences would replace; write them to another file");
    return kExitUsage;
  }
  std::string error;
  if (!output.Check(error)) {
    console.Error(error);
    return kExitFailure;
  }
  GenericModel oldModel;
  GenericModel newModel;
  const GenericModel* models[2] = {&oldModel, &newModel};
  int index = 0;
  for (const DiffSide* side : {&before, &after}) {
    const bool fromOptions = side == &after && newFromOptions;
    if (fromOptions || IsUrl(side->path, loaded)) {
      Options options = live;
      if (!fromOptions) {
        options = Options();
        options.quiet = true;
        options.url = side->path;
        options.schemas = live.schemas;
        options.timeoutSeconds = live.timeoutSeconds;
      }
      // No progress and no summary: the differences are the output. Errors
      // and the password question show all the same.
      Console quiet(stderr, ::isatty(STDERR_FILENO) != 0, true);
      Imported imported;
      if (const int code = ImportSource(options, loaded, quiet, output, {}, imported); code >= 0) return code;
      if (!imported.failed.empty()) {
        for (const QmFailedStatement& statement : imported.failed)
          quiet.Error("reading " + platform::Utf16ToUtf8(statement.name) +
                        " failed: " + DescribeDiagnostic(statement.diagnostic));
        quiet.Error(side->label + " was imported with errors; nothing is compared (an incomplete model would "
                      "show false differences)");
        return kExitImportErrors;
      }
      models[index] = imported.model;
    } else if (const int code = LoadSide(*side, index == 0 ? oldModel : newModel, error); code != kExitOk) {
      console.Error(error);
      return code;
    }
    ++index;
  }
  const writers::ModelDifference difference = writers::DiffModels(*models[0], *models[1]);
  const WriteOutcome written = output.Write(
      [&](std::ostream& out) {
        if (format == "json")
          writers::WriteDifferenceJson(difference, out);
        else
          writers::WriteDifferenceText(difference, out);
      },
      error);
  if (written != WriteOutcome::Written) {
    if (written == WriteOutcome::Failed) console.Error(error);
    return written == WriteOutcome::Failed ? kExitFailure : kExitCancelled;
  }
  return difference.Empty() ? kExitOk : kExitDifferent;
}

}  // namespace app
