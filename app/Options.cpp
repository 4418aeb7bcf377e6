#include "Options.h"

#include "ExitCodes.h"

#include <platform/Utf.h>
#include <schemaimport/ConnectionString.h>
#include <schemaimport/ScopeList.h>
#include <writers/VisibleText.h>

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>
#include <vector>

namespace app {

namespace {

// --format's values and help come from the table of output formats.
std::vector<std::string> FormatNames() {
  std::vector<std::string> names;
  for (const writers::OutputFormat& format : writers::OutputFormats()) names.emplace_back(format.name);
  return names;
}

// "Output format, one of:" and a line per format, name and description.
std::string FormatHelp() {
  std::size_t width = 0;
  for (const writers::OutputFormat& format : writers::OutputFormats()) width = std::max(width, format.name.size());
  std::string help = "Output format, one of:";
  for (const writers::OutputFormat& format : writers::OutputFormats()) {
    help += "\n  ";
    help += format.name;
    help.append(width - format.name.size() + 2, ' ');
    help += format.description;
  }
  return help;
}

bool IsShortName(const std::string& text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char ch) {
    return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') || ch == '_' || ch == '-';
  });
}

}  // namespace

int ParseOptions(int argc, char** argv, const std::vector<Shortcut>& shortcuts, Options& options,
                 const std::string& noPluginsBecause) {
  CLI::App cli{
      "Imports the schema of a live database into a model and writes it. The database is a URL\n"
      "(quillmere-import postgresql://me@db/shop), a data source (--dsn NAME) or a plug-in's option;\n"
      "without one it imports the sample database a plug-in brings.",
      "quillmere-import"};
  cli.set_version_flag("--version", std::string("quillmere-import ") + QM_VERSION);
  cli.get_formatter()->column_width(30);

  // The source: one plug-in's shortcut or --connect.
  auto* connect = cli.add_option("--connect", options.connectString,
                                 "Import through a full ODBC connection string; its Driver picks the plug-in "
                                 "(see --list-plugins)")
                      ->type_name("STRING");
  auto* url = cli.add_option("URL", options.url,
                             "The database as a URL: postgresql://USER@HOST:PORT/DATABASE?sslmode=..., "
                             "sqlite:///ABSOLUTE/PATH or sqlite:RELATIVE/PATH, odbc://DSN (the schemes of the "
                             "plug-ins found: see --list-plugins)")
                  ->type_name("");
  auto* dsn = cli.add_option("--dsn", options.dsn,
                             "Import the ODBC data source NAME of odbc.ini; its driver picks the plug-in "
                             "(see --list-dsns)")
                  ->type_name("NAME");
  std::vector<CLI::Option*> sources = {url, dsn, connect};
  std::map<const CLI::Option*, const Shortcut*> shortcutOf;
  std::vector<std::string> values(shortcuts.size());
  for (std::size_t i = 0; i < shortcuts.size(); ++i) {
    // A name the host or an earlier plug-in has taken is not offered.
    const std::string name = "--" + shortcuts[i].option;
    if (cli.get_option_no_throw(name) != nullptr) continue;
    CLI::Option* option = nullptr;
    try {
      option = cli.add_option(name, values[i], shortcuts[i].help)->type_name(shortcuts[i].argument);
    } catch (const CLI::ConstructionError&) {
      continue;  // a name the option parser does not take
    }
    shortcutOf[option] = &shortcuts[i];
    sources.push_back(option);
    options.offeredShortcuts.insert(shortcuts[i].option);
  }
  for (CLI::Option* source : sources)
    for (CLI::Option* other : sources)
      if (other != source) source->excludes(other);
  auto* plugin = cli.add_option("--plugin", options.plugin,
                                "Read the --connect source with the plug-in NAME (a name --list-plugins shows) instead "
                                "of the one its Driver picks")
                     ->type_name("NAME")
                     ->needs(connect);
  cli.add_flag("--generic", options.generic,
               "Read the --connect source with the plug-in that serves any ODBC driver (ODBC's own catalogue "
               "functions), even when a plug-in for its Driver was found")
      ->needs(connect)
      ->excludes(plugin);
  cli.add_flag("--list-plugins", options.listPlugins,
               "List the plug-ins found (name, description, drivers, options, file) and the libraries refused, "
               "and end");
  cli.add_flag("--list-dsns", options.listDsns,
               "List the ODBC data sources unixODBC has (user's and system's odbc.ini) and the plug-in that "
               "reads each, and end");
  cli.add_flag("--list-drivers", options.listDrivers,
               "List the ODBC drivers unixODBC has (odbcinst.ini) and the plug-in that reads each, and end");
  std::string schemas;
  cli.add_option("--schema", schemas,
                 "Import only these schemas (comma-separated names; a name in double quotes is taken "
                 "exactly, commas and blanks included, with \"\" for a quote: '\"a,b\",public')")
      ->type_name("NAMES");
  std::string format(options.format->name);
  cli.add_option("--format", format, FormatHelp())
      ->type_name("FORMAT")
      ->check(CLI::IsMember(FormatNames()))
      ->capture_default_str();
  // Diagram options: fields of WriteOptions, read by the formats that draw
  // a diagram (OutputFormat::diagram).
  auto* around = cli.add_option("--around", options.write.aroundTable,
                                "Draw only the table TABLE (its name, or schema.table) and the tables within "
                                "--depth foreign keys of it, in the formats with a diagram")
                     ->type_name("TABLE");
  cli.add_option("--depth", options.write.depth, "With --around: how many foreign keys away a table is drawn")
      ->type_name("N")
      ->check(CLI::Range(0, 1000))
      ->needs(around)
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
  cli.add_flag("--with-privileges", options.withPrivileges,
               "Read owners and grants too (PostgreSQL, MariaDB): the json format records them, diff compares "
               "them, and the sql format ends with ALTER ... OWNER TO and GRANT statements");
  cli.footer(
      "Exit codes: 0 imported; 2 usage error; 3 could not connect; 4 other failure;\n"
      "5 imported with errors, or texts of the database left out of the output (it is written);\n"
      "130 cancelled.\n\n"
      "quillmere-import diff OLD NEW compares two saved models (see quillmere-import diff --help).");

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
    if (!noPluginsBecause.empty()) {
      // Without the module no plug-in was looked for, so none of their
      // options exists: that is what to fix first.
      std::fprintf(stderr, "error: %s\n", writers::VisibleText(MaskPasswords(noPluginsBecause)).c_str());
      return kExitFailure;
    }
    // An option no one offers may be a plug-in's that was not found.
    std::string unknown;
    if (dynamic_cast<const CLI::ExtrasError*>(&e) != nullptr) {
      for (int i = 1; i < argc && unknown.empty(); ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--") break;
        const std::string name(arg.substr(0, arg.find('=')));
        if (name.size() > 2 && name.starts_with("--") && cli.get_option_no_throw(name) == nullptr) unknown = name;
      }
    }
    if (!unknown.empty()) {
      std::fprintf(stderr,
                   "error: unknown option %s (the options that name a database come from the plug-ins found: see "
                   "--list-plugins)\n",
                   writers::VisibleText(MaskPasswords(unknown)).c_str());
    } else {
      // CLI11 quotes unexpected arguments, which may be connection strings.
      std::fprintf(stderr, "error: %s\n", writers::VisibleText(MaskPasswords(std::string_view(e.what()))).c_str());
    }
    std::fprintf(stderr, "Run 'quillmere-import --help' for the options.\n");
    return kExitUsage;
  }

  for (const auto& [option, shortcut] : shortcutOf) {
    if (option->count() == 0) continue;
    options.shortcut = shortcut;
    options.shortcutValue = values[static_cast<std::size_t>(shortcut - shortcuts.data())];
  }
  options.connectGiven = connect->count() > 0;
  // The plug-in reads the list with the same ReadScopeList; a list it
  // could only guess at is refused here, before anything is loaded.
  const ScopeList scope = ReadScopeList(platform::Utf8ToUtf16(schemas));
  if (!scope.error.empty()) {
    std::fprintf(stderr, "error: --schema: %s\n", writers::VisibleText(scope.error).c_str());
    std::fprintf(stderr, "Run 'quillmere-import --help' for the options.\n");
    return kExitUsage;
  }
  options.schemas = schemas;
  options.format = writers::FindOutputFormat(format);  // a member of the table: checked above

  std::string empty;
  if (options.shortcut != nullptr && options.shortcutValue.empty()) empty = "--" + options.shortcut->option;
  if (options.connectGiven && options.connectString.empty()) empty = "--connect";
  if (dsn->count() > 0 && options.dsn.empty()) empty = "--dsn";
  if (url->count() > 0 && options.url.empty()) empty = "the URL";
  if (plugin->count() > 0 && options.plugin.empty()) empty = "--plugin";
  if (around->count() > 0 && options.write.aroundTable.empty()) empty = "--around";
  if (!empty.empty()) {
    std::fprintf(stderr, "error: %s needs a value that is not empty\n", empty.c_str());
    return kExitUsage;
  }
  if (around->count() > 0 && !options.format->diagram) {
    std::string formats;
    for (const writers::OutputFormat& format : writers::OutputFormats())
      if (format.diagram) formats += (formats.empty() ? "" : ", ") + std::string(format.name);
    std::fprintf(stderr, "error: --around draws part of a diagram, and --format %s has none (formats with one: %s)\n",
                 std::string(options.format->name).c_str(), formats.c_str());
    return kExitUsage;
  }
  if (!options.plugin.empty() && !IsShortName(options.plugin)) {
    std::fprintf(stderr, "error: --plugin takes a plug-in's short name (letters, digits, '_' and '-'), not a path\n");
    return kExitUsage;
  }
  return -1;
}

void HidePasswordsInArguments(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    char* const text = argv[i];
    const std::size_t length = std::strlen(text);
    const std::string masked = MaskPasswords(std::string_view(text, length));
    if (masked == std::string_view(text, length)) continue;
    // Masking replaces each password with "****" and keeps the rest: what
    // lies between the first and the last character that differ holds
    // every password (and, with two of them, what is between them).
    const std::size_t shortest = std::min(length, masked.size());
    std::size_t front = 0;
    while (front < shortest && text[front] == masked[front]) ++front;
    std::size_t back = 0;
    while (back < shortest - front && text[length - 1 - back] == masked[masked.size() - 1 - back]) ++back;
    std::fill(text + front, text + length - back, '*');
  }
}

}  // namespace app
