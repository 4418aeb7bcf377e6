#include "Libraries.h"

#include <schemaimport/PluginApi.h>

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace app {

namespace {

std::string ExecutableDirectory() {
  std::vector<char> buffer(4096);
  const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (length <= 0) return ".";
  std::string path(buffer.data(), static_cast<std::size_t>(length));
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
}

// The plug-in's name for people: "sqlite" -> "SQLite".
std::string DisplayName(const std::string& pluginName) {
  if (pluginName == "sqlite") return "SQLite";
  if (pluginName == "postgres") return "PostgreSQL";
  return pluginName;
}

}  // namespace

std::string LibraryDirectory() {
  const char* overridden = std::getenv("QM_LIB_DIR");
  if (overridden != nullptr && *overridden != '\0') return overridden;
  const std::string directory = ExecutableDirectory() + "/" QM_LIBDIR_FROM_BINDIR;
  // Resolved, so that messages name the directory plainly.
  char resolved[PATH_MAX];
  return ::realpath(directory.c_str(), resolved) != nullptr ? std::string(resolved) : directory;
}

std::vector<std::string> PluginDirectories(const std::string& libraryDirectory) {
  std::vector<std::string> directories = {libraryDirectory};
  const char* path = std::getenv("QM_PLUGIN_PATH");
  if (path == nullptr) return directories;
  std::string_view rest = path;
  while (!rest.empty()) {
    const std::size_t colon = rest.find(':');
    const std::string_view entry = rest.substr(0, colon);
    if (!entry.empty()) directories.emplace_back(entry);
    rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
  }
  return directories;
}

bool IsPluginName(std::string_view name) {
  if (name.empty()) return false;
  for (const char ch : name) {
    const bool allowed = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') ||
                         ch == '_' || ch == '-';
    if (!allowed) return false;
  }
  return true;
}

std::string PluginFileName(const std::string& pluginName) { return "libqm_" + pluginName + ".so"; }

bool LoadedLibrary::Open(const std::string& path, std::string& error) {
  Close();
  m_handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (m_handle == nullptr) {
    const char* reason = ::dlerror();
    error = reason != nullptr ? reason : "unknown reason";
    return false;
  }
  return true;
}

void LoadedLibrary::Close() {
  if (m_handle == nullptr) return;
  ::dlclose(m_handle);
  m_handle = nullptr;
}

void* LoadedLibrary::Symbol(const char* name) const {
  return m_handle == nullptr ? nullptr : ::dlsym(m_handle, name);
}

void KeepOdbcDriverManagerLoaded() {
  // RTLD_NOLOAD: only a library already in the process; RTLD_NODELETE: it
  // stays when the last dlclose that would unload it comes. The extra
  // reference this takes is never dropped on purpose.
  ::dlopen("libodbc.so.2", RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

const QmPluginApi* LoadPlugin(LoadedLibrary& library, const std::vector<std::string>& directories,
                              const std::string& pluginName, std::string& error) {
  std::string path;
  for (const std::string& directory : directories) {
    struct stat info {};
    const std::string candidate = directory + "/" + PluginFileName(pluginName);
    if (::stat(candidate.c_str(), &info) == 0) {
      path = candidate;
      break;
    }
  }
  if (path.empty()) {
    std::string where;
    for (std::size_t i = 0; i < directories.size(); ++i) {
      if (i > 0) where += i + 1 == directories.size() ? " or " : ", ";
      where += directories[i];
    }
    error = "the " + DisplayName(pluginName) + " plug-in is not available: " + PluginFileName(pluginName) +
            " is not in " + where;
    return nullptr;
  }
  std::string reason;
  if (!library.Open(path, reason)) {
    error = "the " + DisplayName(pluginName) + " plug-in could not be loaded: " + reason;
    return nullptr;
  }
  auto entry = reinterpret_cast<QmGetPluginApiFn>(library.Symbol(QM_PLUGIN_ENTRY_NAME));
  const QmPluginApi* api = entry != nullptr ? entry() : nullptr;
  if (api == nullptr) {
    error = path + " is not a plug-in: it exports no " QM_PLUGIN_ENTRY_NAME;
  } else if (api->abiVersion != QmPluginApi::kAbiVersion) {
    error = path + " was built for plug-in interface version " + std::to_string(api->abiVersion) +
            ", this host uses version " + std::to_string(QmPluginApi::kAbiVersion);
    api = nullptr;
  } else if (api->Configure == nullptr || api->LastConnectError == nullptr || api->FailedStatements == nullptr ||
             api->SetConnectOptions == nullptr) {
    error = path + " has an incomplete plug-in table";
    api = nullptr;
  }
  if (api == nullptr) library.Close();
  return api;
}

}  // namespace app
