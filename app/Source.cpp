#include "Source.h"

#include "Console.h"
#include "ExitCodes.h"

#include <platform/Utf.h>
#include <runner/OdbcSources.h>
#include <schemaimport/ConnectionString.h>
#include <schemaimport/ConnectionUrl.h>

#include <algorithm>
#include <optional>

namespace app {

namespace {

// "a, b or c"
std::string Joined(const std::vector<std::string>& items, const char* last) {
  std::string text;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) text += i + 1 == items.size() ? last : ", ";
    text += items[i];
  }
  return text;
}

std::vector<std::string> PluginNames(const runner::PluginCatalogue& catalogue) {
  std::vector<std::string> names;
  for (const runner::FoundPlugin& plugin : catalogue.Plugins()) names.push_back(plugin.about.name);
  return names;
}

// "found: a, b" or "none found", and where it looked.
std::string WhatWasFound(const runner::PluginCatalogue& catalogue) {
  const std::vector<std::string> names = PluginNames(catalogue);
  return (names.empty() ? std::string("none was found") : "found: " + Joined(names, ", ")) + ", in " +
         Joined(catalogue.Directories(), " and ") + "; see --list-plugins";
}

// Why a plug-in chosen by its description cannot read the source after all.
std::string NotLoaded(const runner::FoundPlugin& plugin, const std::string& why) {
  return "the plug-in " + plugin.about.name + " (" + plugin.path + ") cannot be used: " + why;
}

// Picks the plug-in for a --connect string by its Driver.
int ByDriver(const std::vector<Utf8ConnectionAttribute>& attributes, const runner::PluginCatalogue& catalogue,
             Console& console, const runner::FoundPlugin*& plugin) {
  const std::optional<std::string> driver = FindAttribute(attributes, {"Driver"});
  if (!driver || driver->empty()) {
    if (HasAttribute(attributes, {"DSN"})) {
      std::vector<std::string> shortcuts;
      for (const runner::FoundPlugin& found : catalogue.Plugins()) {
        if (!found.about.shortcutOption.empty() && found.about.shortcutValue == QmShortcutValue::ConnectionString)
          shortcuts.push_back("--" + found.about.shortcutOption + " " + found.about.shortcutArgument);
      }
      console.Error("the connection string names a data source but no Driver, so the plug-in cannot be chosen; "
                    "name its Driver too, or choose the plug-in with --plugin NAME" +
                    (shortcuts.empty() ? std::string() : " or " + Joined(shortcuts, " or ")));
      return kExitUsage;
    }
    std::vector<std::string> examples;
    for (const runner::FoundPlugin& found : catalogue.Plugins())
      if (!found.about.drivers.empty()) examples.push_back("Driver={" + found.about.drivers.front() + "}");
    console.Error("the connection string names no Driver" +
                  (examples.empty() ? std::string() : " (e.g. " + Joined(examples, " or ") + ")"));
    return kExitUsage;
  }
  plugin = catalogue.FindForDriver(*driver);
  if (plugin == nullptr) {
    std::vector<std::string> drivers;
    for (const runner::FoundPlugin& found : catalogue.Plugins())
      drivers.insert(drivers.end(), found.about.drivers.begin(), found.about.drivers.end());
    console.Error("no plug-in reads databases of the ODBC driver \"" + *driver + "\"; known drivers: " +
                  (drivers.empty() ? std::string("none (no plug-in was found)") : Joined(drivers, ", ")));
    return kExitUsage;
  }
  return -1;
}

// "postgresql://, postgres://, sqlite: and odbc://": the URL schemes this
// host reads, those of the plug-ins found and its own odbc://.
std::string KnownSchemes(const runner::PluginCatalogue& catalogue) {
  std::vector<std::string> schemes;
  for (const std::string& scheme : catalogue.UrlSchemes()) schemes.push_back(scheme + "://");
  schemes.push_back(std::string(kOdbcScheme) + "://NAME (a data source)");
  return Joined(schemes, ", ");
}

// Says that the ODBC driver a source needs is not registered with
// unixODBC, and which package brings it (as the plug-in that serves the
// driver names it); false then. A Driver given as a library path is the
// driver manager's to find.
bool DriverInstalled(const std::string& driver, const runner::PluginCatalogue& catalogue, Console& console) {
  if (driver.empty() || driver.find('/') != std::string::npos) return true;
  const std::vector<runner::OdbcDriver> drivers = runner::ListOdbcDrivers();
  for (const runner::OdbcDriver& installed : drivers)
    if (EqualsIgnoringAsciiCase(installed.name, driver) || EqualsIgnoringAsciiCase(installed.library, driver))
      return true;
  std::vector<std::string> names;
  for (const runner::OdbcDriver& installed : drivers) names.push_back("\"" + installed.name + "\"");
  const runner::FoundPlugin* plugin = catalogue.FindByDriver(driver);
  const std::string package = plugin != nullptr ? plugin->about.driverPackage : std::string();
  console.Error("the ODBC driver \"" + driver + "\" is not installed" +
                (!package.empty() ? " (Debian package " + package + ": apt-get install " + package + ")" : std::string()) +
                "; installed: " + (names.empty() ? std::string("none") : Joined(names, ", ")) + " (" +
                runner::OdbcConfigurationFiles() + "; see --list-drivers)");
  return false;
}

// A value for a connection string: braced when it must be.
std::string Attribute(const std::string& key, const std::string& value) {
  Utf8ConnectionAttribute attribute;
  attribute.key = key;
  attribute.value = value;
  return FormatConnectionString(std::vector<Utf8ConnectionAttribute>{attribute});
}

// Picks the plug-in for a data source by its driver, and the connection
// string DSN=NAME with what else is given (user, password, settings).
int ByDataSource(const std::string& name, const std::string& extra, const runner::PluginCatalogue& catalogue,
                 Console& console, Source& source) {
  const std::optional<runner::OdbcDataSource> dsn = runner::FindOdbcDataSource(name);
  if (!dsn) {
    std::vector<std::string> names;
    for (const runner::OdbcDataSource& known : runner::ListOdbcDataSources()) names.push_back(known.name);
    console.Error("there is no ODBC data source named \"" + name + "\"; data sources: " +
                  (names.empty() ? std::string("none") : Joined(names, ", ")) + " (" +
                  runner::OdbcConfigurationFiles() + "; see --list-dsns)");
    return kExitUsage;
  }
  if (!DriverInstalled(dsn->driver, catalogue, console)) return kExitConnectFailed;
  source.plugin = catalogue.FindForDriver(dsn->driver);
  if (source.plugin == nullptr) {
    console.Error("the data source \"" + dsn->name + "\" uses the ODBC driver \"" + dsn->driver +
                  "\", which no plug-in found reads (" + WhatWasFound(catalogue) + ")");
    return kExitUsage;
  }
  source.text = Attribute("DSN", dsn->name) + extra;
  return -1;
}

// odbc://[USER[:PASSWORD]@]NAME[?KEY=VALUE&...]: a data source, with the
// user, password and settings added to its connection string.
int ByOdbcUrl(const ConnectionUrl& url, const runner::PluginCatalogue& catalogue, Console& console,
              Source& source) {
  const std::string usage = " (odbc://[USER[:PASSWORD]@]DSN[?KEY=VALUE&...])";
  if (url.host.empty() || url.hostIsIpv6) {
    console.Error("an odbc URL names a data source of odbc.ini as its host" + usage);
    return kExitUsage;
  }
  if (url.port != 0 || !(url.path.empty() || url.path == "/")) {
    console.Error("an odbc URL has no port and no path" + usage);
    return kExitUsage;
  }
  std::string extra;
  if (url.user && !url.user->empty()) extra += ";" + Attribute("UID", *url.user);
  if (url.password) extra += ";" + Attribute("PWD", *url.password);
  for (const ConnectionUrlParameter& parameter : url.parameters) {
    // A key is written into the connection string as it is: one holding a
    // ';' or '=' would add settings of its own (a second DSN=), braces or
    // blanks would change how the driver manager splits the string.
    const bool plain = !parameter.key.empty() && std::none_of(parameter.key.begin(), parameter.key.end(), [](char ch) {
      const auto byte = static_cast<unsigned char>(ch);
      return byte <= ' ' || byte == 0x7f || ch == ';' || ch == '=' || ch == '{' || ch == '}';
    });
    if (!plain) {
      console.Error("an odbc URL's parameter \"" + parameter.key +
                    "\" is not a setting's name (no ';', '=', braces, blanks or control characters)" + usage);
      return kExitUsage;
    }
    if (EqualsIgnoringAsciiCase(parameter.key, "DSN") || EqualsIgnoringAsciiCase(parameter.key, "Driver")) {
      console.Error("an odbc URL names its data source as its host, not as ?" + parameter.key + "=" + usage);
      return kExitUsage;
    }
    if (IsPasswordKey(parameter.key)) console.AddSecret(parameter.value);
    extra += ";" + Attribute(parameter.key, parameter.value);
  }
  return ByDataSource(url.host, extra, catalogue, console, source);
}

// A URL: read once here, then handed to the plug-in of its scheme.
int ByUrl(const std::string& text, const runner::PluginCatalogue& catalogue, Console& console, Source& source) {
  if (!UrlScheme(text)) {
    console.Error("\"" + text + "\" is not a URL: a URL starts with its scheme; known: " + KnownSchemes(catalogue) +
                  " (see --help)");
    return kExitUsage;
  }
  const ConnectionUrlResult parsed = ParseConnectionUrl(text);
  if (!parsed.url) {
    console.Error("the URL does not parse: " + parsed.error);
    console.Raw(ShowUrlFault(text, parsed.errorAt) + "\n");
    return kExitUsage;
  }
  const ConnectionUrl& url = *parsed.url;
  if (url.password && !url.password->empty()) console.AddSecret(*url.password);
  if (const std::string* password = url.Parameter("password"); password != nullptr && !password->empty())
    console.AddSecret(*password);
  if (url.scheme == kOdbcScheme) return ByOdbcUrl(url, catalogue, console, source);
  source.plugin = catalogue.FindByUrlScheme(url.scheme);
  if (source.plugin == nullptr) {
    console.Error("no plug-in found reads " + url.scheme + ": URLs; known: " + KnownSchemes(catalogue) + " (" +
                  WhatWasFound(catalogue) + ")");
    return kExitUsage;
  }
  std::string error;
  const QmPluginApi* table = catalogue.Table(*source.plugin, &error);
  if (table == nullptr) {
    console.Error(NotLoaded(*source.plugin, error));
    return kExitFailure;
  }
  const QmUrlSource served = table->SourceFromUrl(url);
  if (!served.error.empty()) {
    console.Error("the " + url.scheme + " URL cannot be used: " + platform::Utf16ToUtf8(served.error));
    return kExitUsage;
  }
  if (!served.filePath.empty()) {
    source.text = served.filePath;
    source.isPath = true;
    return -1;
  }
  source.text = platform::Utf16ToUtf8(served.connectionString);
  const std::optional<std::string> driver = FindAttribute(ParseConnectionString(source.text), {"Driver"});
  if (driver && !DriverInstalled(*driver, catalogue, console)) return kExitConnectFailed;
  return -1;
}

int ChooseSource(const Options& options, const runner::PluginCatalogue& catalogue, Console& console,
                 Source& source) {
  auto rememberPasswords = [&](const std::vector<Utf8ConnectionAttribute>& attributes) {
    for (const Utf8ConnectionAttribute& attribute : attributes)
      if (attribute.assigned && IsPasswordKey(attribute.key)) console.AddSecret(attribute.value);
  };
  source = Source();
  if (!options.url.empty()) return ByUrl(options.url, catalogue, console, source);
  if (!options.dsn.empty()) return ByDataSource(options.dsn, "", catalogue, console, source);
  if (options.shortcut != nullptr) {
    source.plugin = catalogue.FindByName(options.shortcut->plugin);
    source.text = options.shortcutValue;
    source.isPath = options.shortcut->isPath;
    if (!source.isPath) rememberPasswords(ParseConnectionString(source.text));
    if (source.plugin == nullptr) {
      console.Error("the plug-in " + options.shortcut->plugin + " of --" + options.shortcut->option + " is gone");
      return kExitFailure;
    }
    return -1;
  }
  if (options.connectGiven) {
    const std::vector<Utf8ConnectionAttribute> attributes = ParseConnectionString(options.connectString);
    rememberPasswords(attributes);
    source.text = options.connectString;
    if (!options.plugin.empty()) {
      source.plugin = catalogue.FindByName(options.plugin);
      if (source.plugin == nullptr) {
        console.Error("no plug-in named \"" + options.plugin + "\": " + WhatWasFound(catalogue));
        return kExitFailure;
      }
      return -1;
    }
    if (options.generic) {
      source.plugin = catalogue.FindFallback();
      if (source.plugin == nullptr) {
        console.Error("--generic: no plug-in that serves any ODBC driver was found (" + WhatWasFound(catalogue) + ")");
        return kExitFailure;
      }
    } else if (const int exitCode = ByDriver(attributes, catalogue, console, source.plugin); exitCode >= 0) {
      return exitCode;
    }
    const std::optional<std::string> driver = FindAttribute(attributes, {"Driver"});
    if (driver && !DriverInstalled(*driver, catalogue, console)) return kExitConnectFailed;
    return -1;
  }
  source.sample = true;
  source.isPath = true;
  source.plugin = catalogue.FindWithSample();
  if (source.plugin == nullptr) {
    console.Error("no database named, and no plug-in with a sample database to import instead (" +
                  WhatWasFound(catalogue) + "); name a database, see --help");
    return kExitFailure;
  }
  return -1;
}

}  // namespace

int ResolveSource(const Options& options, const runner::PluginCatalogue& catalogue, Console& console,
                  Source& source) {
  if (const int exitCode = ChooseSource(options, catalogue, console, source); exitCode >= 0) return exitCode;
  // Chosen by what the plug-in's description says; its table is needed
  // from here on.
  std::string error;
  if (source.plugin != nullptr && catalogue.Table(*source.plugin, &error) == nullptr) {
    console.Error(NotLoaded(*source.plugin, error));
    return kExitFailure;
  }
  return -1;
}

QmConnectOptions ConnectOptionsFor(const Source& source, int timeoutSeconds) {
  QmConnectOptions options;
  // A path reaches the plug-in as the bytes it is, and as a path.
  if (source.isPath) options.filePath = source.text;
  options.timeoutSeconds = timeoutSeconds;
  return options;
}

QmSourceFiles SourceFiles(const Source& source, const runner::PluginCatalogue& catalogue,
                          const std::string* connectionString) {
  if (source.sample || source.plugin == nullptr) return {};
  QmConnectOptions options;
  std::string text;
  if (connectionString != nullptr) {
    text = *connectionString;
  } else if (source.isPath) {
    options.filePath = source.text;
  } else {
    text = source.text;
  }
  const std::u16string wide = platform::Utf8ToUtf16(text);
  std::string error;
  const QmPluginApi* chosen = catalogue.Table(*source.plugin, &error);
  if (chosen == nullptr) {
    QmSourceFiles unusable;
    unusable.unusable = platform::Utf8ToUtf16(NotLoaded(*source.plugin, error));
    return unusable;
  }
  QmSourceFiles files = chosen->InputFiles(wide, options);
  if (!options.filePath.empty()) return files;
  const std::optional<std::string> driver = FindAttribute(ParseConnectionString(text), {"Driver"});
  if (!driver) return files;
  const runner::FoundPlugin* served = catalogue.FindByDriver(*driver);
  if (served == nullptr || served == source.plugin) return files;
  // One that cannot be loaded would have been refused had it been loaded
  // at start: it names no files.
  const QmPluginApi* table = catalogue.Table(*served);
  if (table == nullptr) return files;
  for (QmInputFile& file : table->InputFiles(wide, options).files) files.files.push_back(std::move(file));
  return files;
}

}  // namespace app
