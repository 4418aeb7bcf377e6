#include "LintCommand.h"

#include "Console.h"
#include "DiffCommand.h"
#include "ExitCodes.h"
#include "LiveImport.h"
#include "Options.h"
#include "OutputFile.h"
#include "Signals.h"

#include <lint/Config.h>
#include <lint/Linter.h>
#include <lint/Reports.h>

#include <platform/Utf.h>
#include <schemaimport/ConnectionString.h>
#include <schemaimport/ScopeList.h>
#include <tillerhold/GenericModel.h>
#include <writers/SqlStatements.h>

#include <CLI/CLI.hpp>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <system_error>

namespace app {

namespace {

// Something at or above --fail-on was found.
constexpr int kExitFindings = 1;

std::string RuleList() {
  std::string text;
  for (const lint::Rule& rule : lint::Rules()) {
    std::string id(rule.id);
    id.resize(32, ' ');
    text += "  " + id + std::string(lint::SeverityName(rule.severity)) + (rule.enabled ? "" : " (off)") + "\n";
  }
  return text;
}

}  // namespace

int RunLint(int argc, char** argv, Loaded& loaded) {
  loaded.Open();
  const std::vector<Shortcut> shortcuts = ShortcutsOf(loaded.plugins);
  CLI::App cli{
      "Checks a schema against rules (keys, indexes, foreign keys, types, names, comments) and lists\n"
      "what it finds, with the fix as SQL where there is one. SOURCE is a saved model or a live\n"
      "database, imported first: a URL, or one of the import's database options.",
      "quillmere-import lint"};
  cli.get_formatter()->column_width(30);
  std::string sourcePath;
  auto* sourceOption = cli.add_option(
      "SOURCE", sourcePath, "A file the json format wrote ('-' for standard input), or a database URL");
  std::string format = "text";
  cli.add_option("--format", format, "text: for people; json: for programs; sarif: for code-scanning pages")
      ->type_name("FORMAT")
      ->check(CLI::IsMember({"text", "json", "sarif"}))
      ->capture_default_str();
  std::string outputPath;
  cli.add_option("-o,--output", outputPath, "Write the findings to FILE instead of standard output")->type_name("FILE");
  std::string configPath;
  cli.add_option("--config", configPath,
                 "The rules' configuration (TOML); default: " + std::string(lint::kConfigFileName) +
                     " in the current folder, if there is one")
      ->type_name("FILE");
  std::string failOn = "warning";
  cli.add_option("--fail-on", failOn, "Exit with 1 when a finding is this severe or more; none: never")
      ->type_name("SEVERITY")
      ->check(CLI::IsMember({"error", "warning", "info", "none"}))
      ->capture_default_str();
  std::string dialect;
  std::vector<std::string> dialectNames;
  for (std::string_view name : writers::SqlStatements::DialectNames()) dialectNames.emplace_back(name);
  cli.add_option("--dialect", dialect,
                 "For a saved model: the database it came from, for the engine's rules and the fixes' SQL "
                 "(a live source is known)")
      ->type_name("NAME")
      ->check(CLI::IsMember(dialectNames));
  // The import's options for a live source.
  Options live;
  live.quiet = true;
  std::string schemas;
  cli.add_option("--schema", schemas, "For a live source: import only these schemas (as the import's --schema)")
      ->type_name("NAMES");
  cli.add_option("--timeout", live.timeoutSeconds, "For a live source: as the import's --timeout")
      ->type_name("SECONDS")
      ->check(CLI::Range(1, kMaximumTimeoutSeconds))
      ->capture_default_str();
  auto* dsn = cli.add_option("--dsn", live.dsn, "SOURCE is the ODBC data source NAME")->type_name("NAME");
  auto* connect =
      cli.add_option("--connect", live.connectString, "SOURCE is read through a full ODBC connection string")
          ->type_name("STRING");
  cli.add_option("--plugin", live.plugin, "With --connect: the plug-in that reads it")->type_name("NAME")->needs(connect);
  std::vector<CLI::Option*> sources = {sourceOption, dsn, connect};
  std::vector<std::string> values(shortcuts.size());
  std::vector<std::pair<CLI::Option*, const Shortcut*>> shortcutOptions;
  for (std::size_t i = 0; i < shortcuts.size(); ++i) {
    const std::string name = "--" + shortcuts[i].option;
    if (cli.get_option_no_throw(name) != nullptr) continue;
    try {
      CLI::Option* option =
          cli.add_option(name, values[i], "SOURCE: " + shortcuts[i].help)->type_name(shortcuts[i].argument);
      shortcutOptions.emplace_back(option, &shortcuts[i]);
      sources.push_back(option);
    } catch (const CLI::ConstructionError&) {
    }
  }
  for (CLI::Option* source : sources)
    for (CLI::Option* other : sources)
      if (other != source) source->excludes(other);
  cli.footer("Rules (default severity; configure them in " + std::string(lint::kConfigFileName) + "):\n" + RuleList() +
             "\nExit codes: 0 nothing at or above --fail-on was found; 1 something was; 2 usage error or a\n"
             "configuration that is wrong; 3 the database could not be connected to; 4 the model cannot be\n"
             "read or the findings not written; 130 cancelled.");
  try {
    cli.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    std::cout << cli.help();
    return kExitOk;
  } catch (const CLI::ParseError& e) {
    std::fprintf(stderr, "error: %s\n", MaskPasswords(std::string_view(e.what())).c_str());
    std::fprintf(stderr, "Run 'quillmere-import lint --help' for the options.\n");
    return kExitUsage;
  }
  bool fromOptions = dsn->count() > 0 || connect->count() > 0;
  for (const auto& [option, shortcut] : shortcutOptions) {
    if (option->count() == 0) continue;
    live.shortcut = shortcut;
    live.shortcutValue = values[static_cast<std::size_t>(shortcut - shortcuts.data())];
    fromOptions = true;
  }
  live.connectGiven = connect->count() > 0;
  if (!fromOptions && sourceOption->count() == 0) {
    std::fprintf(stderr, "error: SOURCE is required: a saved model, a database URL, or a database option\n");
    std::fprintf(stderr, "Run 'quillmere-import lint --help' for the options.\n");
    return kExitUsage;
  }
  const ScopeList scope = ReadScopeList(platform::Utf8ToUtf16(schemas));
  if (!scope.error.empty()) {
    std::fprintf(stderr, "error: --schema: %s\n", platform::Utf16ToUtf8(scope.error).c_str());
    return kExitUsage;
  }
  live.schemas = schemas;

  signals::Install();
  Console console(stderr, ::isatty(STDERR_FILENO) != 0, false);
  // The configuration is read before anything is imported: a mistake in
  // it should not cost an import.
  lint::Config config;
  try {
    std::error_code code;
    if (!configPath.empty()) {
      if (std::filesystem::is_directory(configPath, code)) {
        console.Error("--config " + configPath + " is a folder, not a configuration file");
        return kExitUsage;
      }
      config = lint::Config::Load(configPath);
    } else if (std::filesystem::is_regular_file(lint::kConfigFileName, code)) {
      config = lint::Config::Load(std::string(lint::kConfigFileName));
    }
  } catch (const lint::ConfigError& e) {
    console.Error(e.what());
    return kExitUsage;
  }
  const OutputFile output(outputPath);
  std::string error;
  if (!output.Check(error)) {
    console.Error(error);
    return kExitFailure;
  }

  GenericModel saved;
  lint::LintInput input;
  input.model = &saved;
  input.dialect = dialect;
  if (fromOptions || IsUrl(sourcePath, loaded)) {
    Options options = live;
    if (!fromOptions) {
      options = Options();
      options.quiet = true;
      options.url = sourcePath;
      options.schemas = live.schemas;
      options.timeoutSeconds = live.timeoutSeconds;
    }
    // No progress and no summary: the findings are the output. Errors and
    // the password question show all the same.
    Console quiet(stderr, ::isatty(STDERR_FILENO) != 0, true);
    Imported imported;
    if (const int code = ImportSource(options, loaded, quiet, output, {}, imported); code >= 0) return code;
    input.model = imported.model;
    // The dialect the plug-in declares, unless the user named one.
    if (input.dialect.empty()) input.dialect = SqlDialectOf(*imported.plugin, console);
    for (const QmFailedStatement& statement : imported.failed)
      input.failed.push_back({platform::Utf16ToUtf8(statement.name), DescribeDiagnostic(statement.diagnostic)});
  } else {
    if (const int code = LoadSide(DiffSide{"SOURCE", sourcePath}, saved, error); code != kExitOk) {
      console.Error(error);
      return code;
    }
    if (dialect.empty())
      console.Warning("a saved model does not say which database it came from: the engine-specific rules are "
                      "skipped and fixes are written in standard SQL; name it with --dialect");
  }
  const std::vector<lint::Finding> findings = lint::Lint(input, config);
  const writers::SqlStatements statements(*input.model, input.dialect);
  const lint::ReportContext context{statements.Dialect(), QM_VERSION, &config};
  const WriteOutcome written = output.Write(
      [&](std::ostream& out) {
        if (format == "json")
          lint::WriteJson(findings, context, out);
        else if (format == "sarif")
          lint::WriteSarif(findings, context, out);
        else
          lint::WriteText(findings, context, out);
      },
      error);
  if (written != WriteOutcome::Written) {
    if (written == WriteOutcome::Failed) console.Error(error);
    return written == WriteOutcome::Failed ? kExitFailure : kExitCancelled;
  }
  if (failOn == "none") return kExitOk;
  const lint::Severity threshold = *lint::SeverityNamed(failOn);
  for (const lint::Finding& finding : findings)
    if (finding.severity >= threshold) return kExitFindings;
  return kExitOk;
}

}  // namespace app
