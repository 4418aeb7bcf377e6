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

// The ODBC data sources unixODBC has (user's, then system's), each with its
// driver and the plug-in that reads it, and where they are configured.
std::string DescribeDataSources(const runner::PluginCatalogue& catalogue);

// The ODBC drivers unixODBC has, each with its library and the plug-in
// that reads it, and where they are configured.
std::string DescribeDrivers(const runner::PluginCatalogue& catalogue);

}  // namespace app
