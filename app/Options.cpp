#include "Options.h"

#include "ConnectionString.h"
#include "ExitCodes.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>
#include <map>

namespace app {

namespace {

// "a, b,,c " -> "a,b,c". Names are kept as written otherwise: they are
// database identifiers and compare exactly.
std::string NormaliseSchemaList(const std::string& text) {
  std::string list;
  std::size_t pos = 0;
  while (pos <= text.size()) {
    std::size_t comma = text.find(',', pos);
    if (comma == std::string::npos) comma = text.size();
    std::string name = text.substr(pos, comma - pos);
    const std::size_t first = name.find_first_not_of(" \t");
    const std::size_t last = name.find_last_not_of(" \t");
    if (first != std::string::npos) {
      if (!list.empty()) list += ',';
      list += name.substr(first, last - first + 1);
    }
    pos = comma + 1;
  }
  return list;
}

}  // namespace

int ParseOptions(int argc, char** argv, Options& options) {
  CLI::App cli{
      "Imports the schema of a live database into a model and writes it.\n"
      "Without a database option it imports the bundled sample database.",
      "quillmere-import"};
  cli.set_version_flag("--version", std::string("quillmere-import ") + QM_VERSION);
  cli.get_formatter()->column_width(30);

  auto* sqlite = cli.add_option("--sqlite", options.sqlitePath, "Import the SQLite database file PATH")
                     ->type_name("PATH");
  auto* connect = cli.add_option("--connect", options.connectString,
                                 "Import through a full ODBC connection string; its Driver picks the "
                                 "plug-in (SQLite3 or PostgreSQL)")
                      ->type_name("STRING");
  auto* postgres = cli.add_option("--postgres", options.postgresString,
                                  "Import a PostgreSQL database through the ODBC connection string STRING")
                       ->type_name("STRING");
  sqlite->excludes(connect)->excludes(postgres);
  connect->excludes(postgres);
  std::string schemas;
  cli.add_option("--schema", schemas, "Import only these schemas (comma-separated names)")
      ->type_name("NAMES");
  std::string format = "json";
  cli.add_option("--format", format, "Output format: json (the whole model) or tree (a readable outline)")
      ->type_name("FORMAT")
      ->check(CLI::IsMember({"json", "tree"}))
      ->capture_default_str();
  cli.add_option("-o,--output", options.output, "Write the model to FILE instead of standard output")
      ->type_name("FILE");
  cli.add_flag("--prompt", options.prompt,
               "Show the connection string as a form on the terminal before connecting");
  cli.add_flag("-q,--quiet", options.quiet, "Print no progress and no summary");
  cli.add_option("--timeout", options.timeoutSeconds,
                 "Wait at most SECONDS for the server to answer the connection, and for a database or table "
                 "another process has locked, each time")
      ->type_name("SECONDS")
      ->check(CLI::Range(1, kMaximumTimeoutSeconds))
      ->capture_default_str();
  cli.footer(
      "Exit codes: 0 imported; 2 usage error; 3 could not connect; 4 other failure;\n"
      "5 imported with errors (the model is written); 130 cancelled.");

  try {
    cli.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    std::cout << cli.help();
    return kExitOk;
  } catch (const CLI::CallForAllHelp&) {
    std::cout << cli.help();
    return kExitOk;
  } catch (const CLI::CallForVersion&) {
    std::cout << "quillmere-import " << QM_VERSION << "\n";
    return kExitOk;
  } catch (const CLI::ParseError& e) {
    // CLI11 quotes unexpected arguments, which may be connection strings.
    std::fprintf(stderr, "error: %s\n", MaskPasswords(e.what()).c_str());
    std::fprintf(stderr, "Run 'quillmere-import --help' for the options.\n");
    return kExitUsage;
  }

  options.sqliteGiven = sqlite->count() > 0;
  options.connectGiven = connect->count() > 0;
  options.postgresGiven = postgres->count() > 0;
  options.schemas = NormaliseSchemaList(schemas);
  options.format = format == "tree" ? OutputFormat::Tree : OutputFormat::Json;

  const char* empty = nullptr;
  if (options.sqliteGiven && options.sqlitePath.empty()) empty = "--sqlite";
  if (options.connectGiven && options.connectString.empty()) empty = "--connect";
  if (options.postgresGiven && options.postgresString.empty()) empty = "--postgres";
  if (empty != nullptr) {
    std::fprintf(stderr, "error: %s needs a value that is not empty\n", empty);
    return kExitUsage;
  }
  return -1;
}

}  // namespace app
