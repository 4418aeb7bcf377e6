#include "PluginList.h"

#include <writers/VisibleText.h>

#include <algorithm>

namespace app {

using writers::VisibleText;

std::string DescribePlugins(const runner::PluginCatalogue& catalogue, const std::set<std::string>& offeredShortcuts) {
  std::size_t width = 0;
  for (const runner::FoundPlugin& plugin : catalogue.Plugins())
    width = std::max(width, std::string_view(plugin.api->name).size());
  const std::string indent(width + 2, ' ');

  std::string text;
  for (const runner::FoundPlugin& plugin : catalogue.Plugins()) {
    const QmPluginApi& api = *plugin.api;
    text += std::string(api.name) + std::string(width + 2 - std::string_view(api.name).size(), ' ') +
            VisibleText(api.description) + "\n";
    std::string drivers;
    for (const char* const* served = api.drivers; *served != nullptr; ++served)
      drivers += (drivers.empty() ? "" : ", ") + VisibleText(*served);
    if (api.fallback) drivers += (drivers.empty() ? "" : ", ") + std::string("any other (no plug-in lists it)");
    text += indent + "drivers: " + (drivers.empty() ? std::string("none (choose it with --plugin)") : drivers) + "\n";
    if (api.shortcut.option != nullptr) {
      const std::string option = "--" + std::string(api.shortcut.option);
      text += indent + "option:  " +
              (offeredShortcuts.count(api.shortcut.option) > 0
                   ? option + " " + VisibleText(api.shortcut.argument)
                   : option + " (not offered: the name is taken by another option)") +
              "\n";
    }
    if (api.WriteSample != nullptr) text += indent + "sample:  yes (imported when no database is named)\n";
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
  text += " (the library folder, then QM_PLUGIN_PATH)\n";
  return text;
}

}  // namespace app
