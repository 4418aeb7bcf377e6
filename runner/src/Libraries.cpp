#include <runner/Libraries.h>

#include <gatehouse/InterfaceProvider.h>

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <string_view>

namespace runner {

namespace {

std::string ExecutableDirectory() {
  std::vector<char> buffer(4096);
  const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (length <= 0) return ".";
  std::string path(buffer.data(), static_cast<std::size_t>(length));
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
}

}  // namespace

std::string LibraryDirectory() {
  const char* overridden = std::getenv("QM_LIB_DIR");
  if (overridden != nullptr && *overridden != '\0') return overridden;
  const std::string directory = ExecutableDirectory() + "/" QM_LIBDIR_FROM_BINDIR;
  // Resolved, so that messages name the folder plainly.
  char resolved[PATH_MAX];
  return ::realpath(directory.c_str(), resolved) != nullptr ? std::string(resolved) : directory;
}

std::vector<std::string> PluginDirectories(const std::string& libraryDirectory) {
  std::vector<std::string> directories = {libraryDirectory + "/plugins"};
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

bool LoadedLibrary::Open(const std::string& path, std::string& error) {
  Close();
  // Opened by the file a link names: the libraries find what they need
  // relative to themselves ($ORIGIN), and for a library reached through a
  // link (a plug-in folder of links) that must be the folder of the file.
  std::error_code ignored;
  const std::filesystem::path real = std::filesystem::canonical(path, ignored);
  m_handle = ::dlopen(real.empty() ? path.c_str() : real.c_str(), RTLD_NOW | RTLD_LOCAL);
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

std::string ModulePath(const std::string& directory) { return directory + "/" QM_MODULE_FILE; }

bool ImportModule::Open(const std::string& directory, std::string& error) {
  Close();
  const std::string path = ModulePath(directory);
  std::string reason;
  if (!m_library.Open(path, reason)) {
    error = "the import module could not be loaded: " + reason;
    return false;
  }
  m_api = InterfaceProvider::Instance()->GetSchemaImportApi();
  m_session = InterfaceProvider::Instance()->GetSchemaImportSessionState();
  if (m_api == nullptr || m_session == nullptr) {
    error = path + " registered no import interface";
    Close();
    return false;
  }
  return true;
}

void ImportModule::Close() {
  m_api = nullptr;
  m_session = nullptr;
  m_library.Close();
}

void KeepOdbcDriverManagerLoaded() {
  // RTLD_NOLOAD: only a library already in the process; RTLD_NODELETE: it
  // stays when the last dlclose that would unload it comes. The extra
  // reference this takes is never dropped on purpose.
  ::dlopen("libodbc.so.2", RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

}  // namespace runner
