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
#include <compare/DiffOutput.h>
#include <compare/MigrationPlan.h>
#include <tillerhold/ModelVocabulary.h>
#include <writers/SqlStatements.h>
#include <writers/OutputFormats.h>

#include <CLI/CLI.hpp>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <system_error>
#include <thread>

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
  cli.add_option("--format", format,
                 "text: for people; json: for programs; sql: the statements that change a database shaped like OLD "
                 "into one shaped like NEW, in its dialect")
      ->type_name("FORMAT")
      ->check(CLI::IsMember({"text", "json", "sql"}))
      ->capture_default_str();
  bool allowDataLoss = false;
  cli.add_flag("--allow-data-loss", allowDataLoss,
               "With --format sql: write the steps that can lose data (a dropped table or column, a narrowed type, "
               "NOT NULL added), each after a comment saying what it loses; without it such a plan is refused");
  std::vector<std::string> renameTexts;
  cli.add_option("--rename", renameTexts,
                 "With --format sql: SCHEMA.TABLE=NEW or SCHEMA.TABLE.COLUMN=NEW: the table or column OLD calls so "
                 "is the one NEW calls NEW (renamed, not dropped and added); repeatable")
      ->type_name("RENAME");
  std::string dialectOption;
  {
    std::vector<std::string> dialectNames;
    for (std::string_view name : writers::SqlStatements::DialectNames()) dialectNames.emplace_back(name);
    cli.add_option("--dialect", dialectOption,
                   "With --format sql: the kind of database, where neither side records it (a model saved before "
                   "models recorded it)")
        ->type_name("NAME")
        ->check(CLI::IsMember(dialectNames));
  }
  bool quiet = false;
  cli.add_flag("-q,--quiet", quiet,
               "Only the summary line (with --format json: only the counts), nothing when the models agree; the "
               "exit code says whether they differ");
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
      "Exit codes: 0 the models agree; 1 they differ (with --format sql: the plan is written); 2 usage\n"
      "error (also: the sides come from different kinds of database, or a --rename names nothing);\n"
      "3 a live side could not be connected to; 4 a model cannot be read or the output cannot be\n"
      "written, or (--format sql) the plan is refused: it has steps that can lose data and\n"
      "--allow-data-loss is not given, or a change the planner cannot state; each is listed on\n"
      "standard error and nothing is written; 5 a live side was imported with errors (nothing\n"
      "compared); 130 cancelled.");
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
  if (format != "sql" && (allowDataLoss || !renameTexts.empty() || !dialectOption.empty())) {
    std::fprintf(stderr, "error: --allow-data-loss, --rename and --dialect go with --format sql\n");
    return kExitUsage;
  }
  std::vector<compare::Rename> renames;
  for (const std::string& text : renameTexts) {
    try {
      renames.push_back(compare::ReadRename(text));
    } catch (const std::invalid_argument& e) {
      std::fprintf(stderr, "error: --rename %s: %s\n", writers::VisibleText(text).c_str(), e.what());
      return kExitUsage;
    }
  }

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
  GenericModel* models[2] = {&oldModel, &newModel};
  const bool bothSaved = !newFromOptions && !IsUrl(before.path, loaded) && !IsUrl(after.path, loaded);
  if (bothSaved) {
    // Two saved models are read side by side: reading them is most of the
    // time of a diff, and each reading touches only its own model.
    std::string newError;
    int newCode = kExitOk;
    std::exception_ptr newFailure;
    std::thread reader([&] {
      try {
        newCode = LoadSide(after, newModel, newError);
      } catch (...) {
        newFailure = std::current_exception();
      }
    });
    int oldCode = kExitOk;
    try {
      oldCode = LoadSide(before, oldModel, error);
    } catch (...) {
      reader.join();
      throw;
    }
    reader.join();
    if (newFailure) std::rethrow_exception(newFailure);
    if (oldCode != kExitOk || newCode != kExitOk) {
      console.Error(oldCode != kExitOk ? error : newError);
      return oldCode != kExitOk ? oldCode : newCode;
    }
  }
  int index = 0;
  for (const DiffSide* side : {&before, &after}) {
    if (bothSaved) break;
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
  if (format == "sql") {
    // The kind of database: what either side records (a live side, what
    // its plug-in declares); two kinds cannot be planned between.
    std::string dialect = dialectOption;
    std::string recordedBy;
    for (int side = 0; side < 2; ++side) {
      const CMOProperty* property = models[side]->GetCMOObject()->GetProperty(model::SqlDialectName);
      if (property == nullptr) continue;
      const std::string recorded = platform::Utf16ToUtf8(property->GetWStringValue());
      const std::string label = side == 0 ? "OLD" : "NEW";
      if (!dialect.empty() && dialect != recorded) {
        console.Error(label + " comes from a " + writers::VisibleText(recorded) + " database, but " +
                      (recordedBy.empty() ? std::string("--dialect names ") : recordedBy + " from a ") +
                      writers::VisibleText(dialect) + (recordedBy.empty() ? "" : " one") +
                      ": a plan changes one kind of database");
        return kExitUsage;
      }
      dialect = recorded;
      recordedBy = label;
    }
    if (dialect.empty()) {
      console.Error("neither side says what kind of database it comes from (models saved by earlier versions do not); "
                    "name it with --dialect");
      return kExitUsage;
    }
    compare::MigrationPlan plan;
    try {
      // The old model is one of ours: the renames are made in it.
      plan = compare::PlanMigration(*models[0], *models[1],
                                    {dialect, allowDataLoss, renames});
    } catch (const compare::PlanError& e) {
      console.Error(e.what());
      return kExitUsage;
    }
    if (!plan.unplanned.empty()) {
      for (const std::string& line : plan.unplanned) console.Error("cannot plan: " + line);
      console.Error("no plan is written: " + std::to_string(plan.unplanned.size()) +
                    " change(s) above are beyond what the planner states");
      return kExitFailure;
    }
    if (!plan.dataLoss.empty() && !allowDataLoss) {
      for (const std::string& line : plan.dataLoss) console.Error("loses data: " + line);
      console.Error("no plan is written: " + std::to_string(plan.dataLoss.size()) +
                    " step(s) above can lose data; --allow-data-loss writes them");
      return kExitFailure;
    }
    if (plan.empty) plan.script = "-- The models agree: nothing to change.\n";
    for (const std::string& line : plan.notes) console.Warning(line);
    // The plan holds the databases' texts: a terminal gets none of the
    // characters it acts on, as with the sql format.
    std::size_t escaped = 0;
    const WriteOutcome written = output.Write(
        [&](std::ostream& out) { out << (output.IsTerminal() ? writers::TerminalText(plan.script, &escaped) : plan.script); },
        error);
    if (written != WriteOutcome::Written) {
      if (written == WriteOutcome::Failed) console.Error(error);
      return written == WriteOutcome::Failed ? kExitFailure : kExitCancelled;
    }
    if (escaped > 0)
      console.Warning(std::to_string(escaped) + (escaped == 1 ? " character" : " characters") +
                      " that the terminal would act on or not show are escaped (as \\x1b, \\u202e); write the plan "
                      "with -o FILE or to a pipe to have it exactly");
    return plan.empty ? kExitOk : kExitDifferent;
  }
  const compare::ModelDifference difference = compare::DiffModels(*models[0], *models[1]);
  const WriteOutcome written = output.Write(
      [&](std::ostream& out) {
        if (format == "json")
          compare::WriteDifferenceJson(difference, out, quiet);
        else
          compare::WriteDifferenceText(difference, out, {.summaryOnly = quiet});
      },
      error);
  if (written != WriteOutcome::Written) {
    if (written == WriteOutcome::Failed) console.Error(error);
    return written == WriteOutcome::Failed ? kExitFailure : kExitCancelled;
  }
  return difference.Empty() ? kExitOk : kExitDifferent;
}

}  // namespace app
