#include "Source.h"

#include "Console.h"
#include "ExitCodes.h"

#include <platform/Utf.h>
#include <schemaimport/ConnectionString.h>

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
  for (const runner::FoundPlugin& plugin : catalogue.Plugins()) names.emplace_back(plugin.api->name);
  return names;
}

// "found: a, b" or "none found", and where it looked.
std::string WhatWasFound(const runner::PluginCatalogue& catalogue) {
  const std::vector<std::string> names = PluginNames(catalogue);
  return (names.empty() ? std::string("none was found") : "found: " + Joined(names, ", ")) + ", in " +
         Joined(catalogue.Directories(), " and ") + "; see --list-plugins";
}

// Picks the plug-in for a --connect string by its Driver.
int ByDriver(const std::vector<Utf8ConnectionAttribute>& attributes, const runner::PluginCatalogue& catalogue,
             Console& console, const runner::FoundPlugin*& plugin) {
  const std::optional<std::string> driver = FindAttribute(attributes, {"Driver"});
  if (!driver || driver->empty()) {
    if (HasAttribute(attributes, {"DSN"})) {
      std::vector<std::string> shortcuts;
      for (const runner::FoundPlugin& found : catalogue.Plugins()) {
        if (found.api->shortcut.option != nullptr && found.api->shortcut.value == QmShortcutValue::ConnectionString)
          shortcuts.push_back("--" + std::string(found.api->shortcut.option) + " " + found.api->shortcut.argument);
      }
      console.Error("the connection string names a data source but no Driver, so the plug-in cannot be chosen; "
                    "name its Driver too, or choose the plug-in with --plugin NAME" +
                    (shortcuts.empty() ? std::string() : " or " + Joined(shortcuts, " or ")));
      return kExitUsage;
    }
    std::vector<std::string> examples;
    for (const runner::FoundPlugin& found : catalogue.Plugins())
      if (*found.api->drivers != nullptr) examples.push_back("Driver={" + std::string(*found.api->drivers) + "}");
    console.Error("the connection string names no Driver" +
                  (examples.empty() ? std::string() : " (e.g. " + Joined(examples, " or ") + ")"));
    return kExitUsage;
  }
  plugin = catalogue.FindForDriver(*driver);
  if (plugin == nullptr) {
    std::vector<std::string> drivers;
    for (const runner::FoundPlugin& found : catalogue.Plugins())
      for (const char* const* served = found.api->drivers; *served != nullptr; ++served) drivers.emplace_back(*served);
    console.Error("no plug-in reads databases of the ODBC driver \"" + *driver + "\"; known drivers: " +
                  (drivers.empty() ? std::string("none (no plug-in was found)") : Joined(drivers, ", ")));
    return kExitUsage;
  }
  return -1;
}

}  // namespace

int ResolveSource(const Options& options, const runner::PluginCatalogue& catalogue, Console& console,
                  Source& source) {
  auto rememberPasswords = [&](const std::vector<Utf8ConnectionAttribute>& attributes) {
    for (const Utf8ConnectionAttribute& attribute : attributes)
      if (attribute.assigned && IsPasswordKey(attribute.key)) console.AddSecret(attribute.value);
  };
  source = Source();
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
      return -1;
    }
    return ByDriver(attributes, catalogue, console, source.plugin);
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
  QmSourceFiles files = source.plugin->api->InputFiles(wide, options);
  if (!options.filePath.empty()) return files;
  const std::optional<std::string> driver = FindAttribute(ParseConnectionString(text), {"Driver"});
  if (!driver) return files;
  const runner::FoundPlugin* served = catalogue.FindByDriver(*driver);
  if (served == nullptr || served == source.plugin) return files;
  for (QmInputFile& file : served->api->InputFiles(wide, options).files) files.files.push_back(std::move(file));
  return files;
}

}  // namespace app
