// quillmere-import --list-plugins: what the host found in its plug-in
// folders, as a person reads it.
#pragma once

#include <runner/PluginCatalogue.h>

#include <set>
#include <string>

namespace app {

// One block per plug-in found (name, description, drivers, the option it
// adds when the host offers it, whether it brings a sample, its file),
// then each library refused with the reason, and the folders looked in.
// Texts from the libraries are shown with invisible characters escaped.
// offeredShortcuts: the shortcut options the command line has (Options).
std::string DescribePlugins(const runner::PluginCatalogue& catalogue, const std::set<std::string>& offeredShortcuts);

}  // namespace app
