#include "PluginList.h"

#include <runner/OdbcSources.h>
#include <writers/VisibleText.h>

#include <algorithm>

namespace app {

using writers::VisibleText;

std::string DescribePlugins(const runner::PluginCatalogue& catalogue, const std::set<std::string>& offeredShortcuts) {
  std::size_t width = 0;
  for (const runner::FoundPlugin& plugin : catalogue.Plugins()) width = std::max(width, plugin.about.name.size());
  const std::string indent(width + 2, ' ');

  std::string text;
  for (const runner::FoundPlugin& plugin : catalogue.Plugins()) {
    const runner::PluginDescription& about = plugin.about;
    text += about.name + std::string(width + 2 - about.name.size(), ' ') + VisibleText(about.description) + "\n";
    std::string drivers;
    for (const std::string& served : about.drivers) drivers += (drivers.empty() ? "" : ", ") + VisibleText(served);
    if (about.fallback) drivers += (drivers.empty() ? "" : ", ") + std::string("any other (no plug-in lists it)");
    text += indent + "drivers: " + (drivers.empty() ? std::string("none (choose it with --plugin)") : drivers) + "\n";
    if (!about.shortcutOption.empty()) {
      const std::string option = "--" + about.shortcutOption;
      text += indent + "option:  " +
              (offeredShortcuts.count(about.shortcutOption) > 0
                   ? option + " " + VisibleText(about.shortcutArgument)
                   : option + " (not offered: the name is taken by another option)") +
              "\n";
    }
    if (!about.urlSchemes.empty()) {
      std::string schemes;
      for (const std::string& scheme : about.urlSchemes) schemes += (schemes.empty() ? "" : ", ") + VisibleText(scheme) + "://";
      text += indent + "urls:    " + schemes + "\n";
    }
    if (about.hasSample) text += indent + "sample:  yes (imported when no database is named)\n";
    text += indent + "file:    " + VisibleText(plugin.path) + "\n";
  }
  if (catalogue.Plugins().empty()) text += "No plug-in found.\n";
  if (!catalogue.Refused().empty()) {
    text += "\nRefused:\n";
    for (const runner::RefusedLibrary& refused : catalogue.Refused())
      text += "  " + VisibleText(refused.path) + ": " + VisibleText(refused.reason) + "\n";
  }
  text += "\nLooked in: ";
  for (std::size_t i = 0; i < catalogue.Directories().size(); ++i)
    text += (i == 0 ? "" : ", ") + VisibleText(catalogue.Directories()[i]);
  text += " (the plug-in folder, then QM_PLUGIN_PATH)\n";
  return text;
}

namespace {

// Which plug-in reads a driver's sources: the one that lists its name (or,
// given, its library's file name), else the one that reads any driver.
std::string ReaderOf(const runner::PluginCatalogue& catalogue, const std::string& driver,
                     const std::string& library = {}) {
  const runner::FoundPlugin* plugin = catalogue.FindByDriver(driver);
  if (plugin == nullptr && !library.empty()) plugin = catalogue.FindByDriver(library.substr(library.rfind('/') + 1));
  if (plugin != nullptr) return "plug-in " + plugin->about.name;
  plugin = catalogue.FindFallback();
  return plugin != nullptr ? "plug-in " + plugin->about.name + " (reads any driver)"
                           : std::string("no plug-in reads it");
}

// Rows of cells, the columns padded to their widest cell.
std::string Table(const std::vector<std::vector<std::string>>& rows) {
  std::vector<std::size_t> widths;
  for (const std::vector<std::string>& row : rows)
    for (std::size_t i = 0; i < row.size(); ++i) {
      if (widths.size() <= i) widths.push_back(0);
      widths[i] = std::max(widths[i], row[i].size());
    }
  std::string text;
  for (const std::vector<std::string>& row : rows) {
    std::string line;
    for (std::size_t i = 0; i < row.size(); ++i)
      line += row[i] + (i + 1 < row.size() ? std::string(widths[i] - row[i].size() + 2, ' ') : "");
    text += line + "\n";
  }
  return text;
}

}  // namespace

std::string DescribeDataSources(const runner::PluginCatalogue& catalogue) {
  std::vector<std::vector<std::string>> rows;
  for (const runner::OdbcDataSource& source : runner::ListOdbcDataSources())
    rows.push_back({VisibleText(source.name), source.system ? "system" : "user", "driver " + VisibleText(source.driver),
                    ReaderOf(catalogue, source.driver)});
  std::string text = rows.empty() ? std::string("No ODBC data source.\n") : Table(rows);
  return text + "\nRead from: " + VisibleText(runner::OdbcConfigurationFiles()) +
         " (import one with --dsn NAME or odbc://NAME)\n";
}

std::string DescribeDrivers(const runner::PluginCatalogue& catalogue) {
  std::vector<std::vector<std::string>> rows;
  for (const runner::OdbcDriver& driver : runner::ListOdbcDrivers()) {
    const std::string reader = ReaderOf(catalogue, driver.name, driver.library);
    rows.push_back({VisibleText(driver.name), VisibleText(driver.library.empty() ? "(no library)" : driver.library),
                    reader});
  }
  std::string text = rows.empty() ? std::string("No ODBC driver.\n") : Table(rows);
  return text + "\nRead from: " + VisibleText(runner::OdbcConfigurationFiles()) + "\n";
}

}  // namespace app
