#include <runner/PluginCatalogue.h>

#include <schemaimport/ConnectionString.h>

#include <nlohmann/json.hpp>

#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <set>
#include <utility>

namespace runner {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kPrefix = "libqm_";
constexpr std::string_view kSuffix = ".so";

bool IsPluginFileName(const std::string& name) {
  return name.size() > kPrefix.size() + kSuffix.size() && name.starts_with(kPrefix) && name.ends_with(kSuffix);
}

bool IsOptionName(const char* text) {
  if (text == nullptr || *text == '\0' || *text == '-') return false;
  for (const char* ch = text; *ch != '\0'; ++ch)
    if (!((*ch >= 'a' && *ch <= 'z') || (*ch >= '0' && *ch <= '9') || *ch == '-')) return false;
  return true;
}

bool IsUrlSchemeName(const char* text) {
  if (text == nullptr || !(*text >= 'a' && *text <= 'z')) return false;
  for (const char* ch = text; *ch != '\0'; ++ch)
    if (!((*ch >= 'a' && *ch <= 'z') || (*ch >= '0' && *ch <= '9') || *ch == '+' || *ch == '-' || *ch == '.'))
      return false;
  return true;
}

// Whether what stat says of a file makes it one only this user may change:
// a regular file the user owns that no one else may write.
bool IsPrivateFile(const struct stat& info) {
  return S_ISREG(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// A regular file mapped for reading, unmapped when the object goes. It is
// opened without waiting (a FIFO or a device put at its name is not
// opened for good, only looked at) and mapped only when it is a regular
// file, as fstat says of what was opened.
class MappedFile {
 public:
  // The file at path (a symbolic link followed).
  explicit MappedFile(const std::string& path) : MappedFile(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)) {}
  // The file name in the folder open as folderFd, not followed when it is
  // a symbolic link, and only when the user alone may change it
  // (IsPrivateFile).
  MappedFile(int folderFd, const std::string& name)
      : MappedFile(::openat(folderFd, name.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC), true) {}
  ~MappedFile() {
    if (m_data != nullptr) ::munmap(const_cast<unsigned char*>(m_data), m_size);
  }
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  std::size_t Size() const { return m_size; }

  // The count objects of type T at offset, or null when they do not fit or
  // the offset is not aligned for T.
  template <typename T>
  const T* At(std::size_t offset, std::size_t count = 1) const {
    if (m_data == nullptr || offset > m_size || count > (m_size - offset) / sizeof(T) || offset % alignof(T) != 0)
      return nullptr;
    return reinterpret_cast<const T*>(m_data + offset);
  }

 private:
  // Maps the file open as fd (-1: nothing), and closes fd.
  explicit MappedFile(int fd, bool onlyPrivate = false) {
    if (fd < 0) return;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0 && (!onlyPrivate || IsPrivateFile(info))) {
      void* data = ::mmap(nullptr, static_cast<std::size_t>(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
      if (data != MAP_FAILED) {
        m_data = static_cast<const unsigned char*>(data);
        m_size = static_cast<std::size_t>(info.st_size);
      }
    }
    ::close(fd);
  }

  const unsigned char* m_data = nullptr;  // the mapping; null when the file could not be mapped
  std::size_t m_size = 0;                 // its length
};

// Whether the shared object at path surely lacks the exported dynamic
// symbol name, read from its dynamic symbol table without loading it (so
// that no code of a library that is no plug-in ever runs). False when it
// has the symbol, and when the file cannot be read this way: the loader
// decides then.
bool SurelyLacksSymbol(const std::string& path, std::string_view name) {
  const MappedFile file(path);
  const ElfW(Ehdr)* header = file.At<ElfW(Ehdr)>(0);
  if (header == nullptr || std::memcmp(header->e_ident, ELFMAG, SELFMAG) != 0 ||
      header->e_ident[EI_CLASS] != (sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32) ||
      header->e_shentsize != sizeof(ElfW(Shdr)))
    return false;
  const ElfW(Shdr)* sections = file.At<ElfW(Shdr)>(header->e_shoff, header->e_shnum);
  if (sections == nullptr) return false;
  for (std::size_t i = 0; i < header->e_shnum; ++i) {
    const ElfW(Shdr)& table = sections[i];
    if (table.sh_type != SHT_DYNSYM || table.sh_entsize != sizeof(ElfW(Sym)) || table.sh_link >= header->e_shnum)
      continue;
    const ElfW(Shdr)& names = sections[table.sh_link];
    const ElfW(Sym)* symbols = file.At<ElfW(Sym)>(table.sh_offset, table.sh_size / sizeof(ElfW(Sym)));
    const char* text = file.At<char>(names.sh_offset, names.sh_size);
    if (symbols == nullptr || text == nullptr) return false;
    for (std::size_t k = 0; k < table.sh_size / sizeof(ElfW(Sym)); ++k) {
      const ElfW(Sym)& symbol = symbols[k];
      if (symbol.st_shndx == SHN_UNDEF || symbol.st_name >= names.sh_size) continue;
      const std::size_t room = names.sh_size - symbol.st_name;
      if (name.size() < room && std::memcmp(text + symbol.st_name, name.data(), name.size()) == 0 &&
          text[symbol.st_name + name.size()] == '\0')
        return false;
    }
    return true;
  }
  return false;
}

// What is missing or malformed in the table after a good head; empty when
// nothing is.
// A Debian package's name: lower case letters, digits, '+', '-' and '.',
// beginning with a letter or digit, two characters at least.
bool IsPackageName(std::string_view text) {
  if (text.size() < 2 || text.size() > 100) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char ch = text[i];
    const bool alnum = (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9');
    if (!alnum && (i == 0 || (ch != '+' && ch != '-' && ch != '.'))) return false;
  }
  return true;
}

std::string CheckTableBody(const QmPluginApi& api) {
  if (api.name == nullptr || !IsPluginName(api.name))
    return "its table's name is not a short name (letters a-z, digits, '_' and '-')";
  if (api.description == nullptr) return "its table has no description";
  if (api.drivers == nullptr) return "its table has no list of drivers";
  if (api.shortcut.option != nullptr) {
    if (!IsOptionName(api.shortcut.option))
      return "its shortcut option is not an option name (letters a-z, digits and '-')";
    if (api.shortcut.argument == nullptr || api.shortcut.help == nullptr)
      return "its shortcut option has no argument name or no help";
    if (api.shortcut.value != QmShortcutValue::ConnectionString && api.shortcut.value != QmShortcutValue::FilePath)
      return "its shortcut option's value is of no kind this host knows";
  }
  if (api.urlSchemes != nullptr) {
    for (const char* const* scheme = api.urlSchemes; *scheme != nullptr; ++scheme)
      if (!IsUrlSchemeName(*scheme))
        return "its URL scheme is not a lower-case scheme name (letters a-z, digits, '+', '-' and '.')";
    if (api.SourceFromUrl == nullptr) return "it lists URL schemes but has no function that reads a URL";
  }
  // Both are shown to the user and the package goes into a command line
  // the user may copy: plain names only.
  if (api.sqlDialect != nullptr && api.sqlDialect[0] != '\0' && !IsPluginName(api.sqlDialect))
    return "its SQL dialect is not a short name (letters a-z, digits, '_' and '-')";
  if (api.driverPackage != nullptr && api.driverPackage[0] != '\0' && !IsPackageName(api.driverPackage))
    return "its driver's package is not a package name (letters a-z, digits, '+', '-' and '.')";
  if (api.Configure == nullptr || api.SetConnectOptions == nullptr || api.LastConnectError == nullptr ||
      api.FailedStatements == nullptr || api.InputFiles == nullptr)
    return "its table lacks an operation";
  return {};
}

// A library in a plug-in folder, and what stat said of it.
struct PluginFile {
  std::string path;
  struct stat info;
};

// The libraries Discover looks at, in its order: each folder's libqm_*.so
// by name, a file met again (the same folder listed twice, a link) once.
std::vector<PluginFile> ListPluginFiles(const std::vector<std::string>& directories) {
  std::vector<PluginFile> files;
  std::set<std::pair<dev_t, ino_t>> seen;
  for (const std::string& directory : directories) {
    std::error_code error;
    std::vector<std::string> names;
    for (fs::directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) {
      const std::string name = it->path().filename().string();
      if (IsPluginFileName(name)) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
      PluginFile file{directory + "/" + name, {}};
      if (::stat(file.path.c_str(), &file.info) != 0 || !S_ISREG(file.info.st_mode)) continue;
      if (!seen.insert({file.info.st_dev, file.info.st_ino}).second) continue;
      files.push_back(std::move(file));
    }
  }
  return files;
}

// What the index keeps of a file: replaced, rewritten, touched or renamed
// over, a file reads differently.
std::string FileKey(const struct stat& info) {
  const auto number = [](auto value) { return std::to_string(static_cast<long long>(value)); };
  return number(info.st_dev) + ":" + number(info.st_ino) + ":" + number(info.st_size) + ":" +
         number(info.st_mtim.tv_sec) + "." + number(info.st_mtim.tv_nsec) + ":" + number(info.st_ctim.tv_sec) + "." +
         number(info.st_ctim.tv_nsec);
}

// The watched files' keys; a file that is not there has an empty one.
std::vector<std::string> WatchedKeys(const std::vector<std::string>& watched) {
  std::vector<std::string> keys;
  for (const std::string& path : watched) {
    struct stat info {};
    keys.push_back(::stat(path.c_str(), &info) == 0 ? FileKey(info) : std::string());
  }
  return keys;
}

// The host the index was written by: a table this host refuses may be one
// another build accepts.
std::string IndexHost() {
  return "abi " + std::to_string(QM_PLUGIN_ABI_VERSION) + " " QM_PLUGIN_BUILD_STAMP;
}

constexpr int kIndexFormat = 1;
// A larger file is no index of ours.
constexpr std::uintmax_t kIndexMaxBytes = 1 << 20;

nlohmann::json DescriptionJson(const PluginDescription& about) {
  return {{"name", about.name},
          {"description", about.description},
          {"drivers", about.drivers},
          {"fallback", about.fallback},
          {"urlSchemes", about.urlSchemes},
          {"shortcutOption", about.shortcutOption},
          {"shortcutArgument", about.shortcutArgument},
          {"shortcutHelp", about.shortcutHelp},
          {"shortcutValue", static_cast<int>(about.shortcutValue)},
          {"modelType", about.modelType},
          {"hasSample", about.hasSample},
          {"sqlDialect", about.sqlDialect},
          {"driverPackage", about.driverPackage}};
}

// Throws nlohmann::json::exception when a field is missing or of another
// type.
PluginDescription DescriptionFromJson(const nlohmann::json& json) {
  PluginDescription about;
  about.name = json.at("name").get<std::string>();
  about.description = json.at("description").get<std::string>();
  about.drivers = json.at("drivers").get<std::vector<std::string>>();
  about.fallback = json.at("fallback").get<bool>();
  about.urlSchemes = json.at("urlSchemes").get<std::vector<std::string>>();
  about.shortcutOption = json.at("shortcutOption").get<std::string>();
  about.shortcutArgument = json.at("shortcutArgument").get<std::string>();
  about.shortcutHelp = json.at("shortcutHelp").get<std::string>();
  const int value = json.at("shortcutValue").get<int>();
  if (value != static_cast<int>(QmShortcutValue::ConnectionString) && value != static_cast<int>(QmShortcutValue::FilePath))
    throw nlohmann::json::other_error::create(501, "unknown shortcut value", &json);
  about.shortcutValue = static_cast<QmShortcutValue>(value);
  about.modelType = json.at("modelType").get<unsigned int>();
  about.hasSample = json.at("hasSample").get<bool>();
  about.sqlDialect = json.at("sqlDialect").get<std::string>();
  about.driverPackage = json.at("driverPackage").get<std::string>();
  // What the host would have refused in a table is refused here too.
  if (!IsPluginName(about.name) || (!about.shortcutOption.empty() && !IsOptionName(about.shortcutOption.c_str())))
    throw nlohmann::json::other_error::create(501, "not a description this host accepts", &json);
  for (const std::string& scheme : about.urlSchemes)
    if (!IsUrlSchemeName(scheme.c_str())) throw nlohmann::json::other_error::create(501, "bad URL scheme", &json);
  return about;
}

// The folder the index at path is kept in, open, when only this user may
// change what is in it: a folder (not a symbolic link) the user owns that
// no one else may write. Otherwise -1: an index another user could put or
// change there is neither read nor written, and the plug-ins are looked at
// as if there were none. Closes itself.
class IndexFolder {
 public:
  explicit IndexFolder(const std::string& indexPath) : m_name(fs::path(indexPath).filename().string()) {
    const std::string folder = fs::path(indexPath).parent_path().string();
    m_fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat info {};
    if (m_fd >= 0 && (::fstat(m_fd, &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid() ||
                      (info.st_mode & (S_IWGRP | S_IWOTH)) != 0)) {
      ::close(m_fd);
      m_fd = -1;
    }
  }
  ~IndexFolder() {
    if (m_fd >= 0) ::close(m_fd);
  }
  IndexFolder(const IndexFolder&) = delete;
  IndexFolder& operator=(const IndexFolder&) = delete;

  bool Private() const { return m_fd >= 0; }
  int Fd() const { return m_fd; }
  const std::string& Name() const { return m_name; }  // the index's file name in it

  // Removes the index, when the folder is private.
  void Remove() const {
    if (m_fd >= 0) ::unlinkat(m_fd, m_name.c_str(), 0);
  }

 private:
  std::string m_name;  // the index's file name
  int m_fd = -1;       // the folder, open; -1 when it is missing or not private
};

// Writes the index in full or not at all: a file beside it, renamed over
// it. Two hosts writing at once leave one whole index. The folder is made
// (for this user alone) when it is missing, and nothing is written into
// one that is not private (IndexFolder).
void WriteIndexFile(const std::string& path, const std::string& text) {
  std::error_code ignored;
  const fs::path folder = fs::path(path).parent_path();
  if (!folder.empty() && !fs::exists(fs::symlink_status(folder, ignored))) {
    fs::create_directories(folder.parent_path(), ignored);
    ::mkdir(folder.c_str(), 0700);
  }
  const IndexFolder open(path);
  if (!open.Private()) return;
  const std::string temporary = open.Name() + "." + std::to_string(::getpid()) + ".tmp";
  const int fd = ::openat(open.Fd(), temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return;
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) break;
    done += static_cast<std::size_t>(wrote);
  }
  const bool written = ::close(fd) == 0 && done == text.size();
  if (!written || ::renameat(open.Fd(), temporary.c_str(), open.Fd(), open.Name().c_str()) != 0)
    ::unlinkat(open.Fd(), temporary.c_str(), 0);
}

// The plug-ins and refusals an index describes.
struct IndexedFiles {
  std::deque<FoundPlugin> plugins;     // described, not loaded
  std::vector<RefusedLibrary> refused;
};

// What the index at path says of files, when it was written with this head
// and for exactly these files as they are now; nothing otherwise.
std::optional<IndexedFiles> ReadIndex(const std::string& path, const nlohmann::json& head,
                                      const std::vector<PluginFile>& files) {
  if (path.empty()) return std::nullopt;
  const IndexFolder folder(path);
  if (!folder.Private()) return std::nullopt;
  const MappedFile file(folder.Fd(), folder.Name());
  const char* text = file.Size() <= kIndexMaxBytes ? file.At<char>(0, file.Size()) : nullptr;
  if (text == nullptr) return std::nullopt;
  try {
    const nlohmann::json index = nlohmann::json::parse(text, text + file.Size());
    for (const auto& [key, value] : head.items())
      if (index.at(key) != value) return std::nullopt;
    const nlohmann::json& entries = index.at("files");
    if (!entries.is_array() || entries.size() != files.size()) return std::nullopt;
    IndexedFiles indexed;
    for (std::size_t i = 0; i < files.size(); ++i) {
      const nlohmann::json& entry = entries[i];
      if (entry.at("path").get<std::string>() != files[i].path || entry.at("key").get<std::string>() != FileKey(files[i].info))
        return std::nullopt;
      if (entry.contains("refused")) {
        indexed.refused.push_back({files[i].path, entry.at("refused").get<std::string>(), true});
        continue;
      }
      PluginDescription about = DescriptionFromJson(entry.at("plugin"));
      for (const FoundPlugin& before : indexed.plugins)
        if (before.about.name == about.name) return std::nullopt;
      indexed.plugins.push_back({files[i].path, std::move(about), nullptr});
    }
    return indexed;
  } catch (const nlohmann::json::exception&) {
    return std::nullopt;  // not an index this host wrote
  }
}

}  // namespace

PluginDescription Describe(const QmPluginApi& api) {
  PluginDescription about;
  about.name = api.name;
  about.description = api.description;
  for (const char* const* driver = api.drivers; *driver != nullptr; ++driver) about.drivers.emplace_back(*driver);
  about.fallback = api.fallback;
  if (api.urlSchemes != nullptr)
    for (const char* const* scheme = api.urlSchemes; *scheme != nullptr; ++scheme) about.urlSchemes.emplace_back(*scheme);
  if (api.shortcut.option != nullptr) {
    about.shortcutOption = api.shortcut.option;
    about.shortcutArgument = api.shortcut.argument;
    about.shortcutHelp = api.shortcut.help;
    about.shortcutValue = api.shortcut.value;
  }
  about.modelType = api.modelType;
  about.hasSample = api.WriteSample != nullptr;
  if (api.sqlDialect != nullptr) about.sqlDialect = api.sqlDialect;
  if (api.driverPackage != nullptr) about.driverPackage = api.driverPackage;
  return about;
}

std::string PluginIndexPath(const std::string& libraryDirectory) {
  std::string cache;
  if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg != nullptr && xdg[0] == '/') {
    cache = xdg;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
    cache = std::string(home) + "/.cache";
  } else {
    return {};
  }
  // One index per library folder (an installation, a build tree): each
  // host keeps its own and none overwrites another's.
  std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (const unsigned char ch : libraryDirectory) hash = (hash ^ ch) * 1099511628211ull;
  char name[32];
  std::snprintf(name, sizeof name, "plugins-%016llx.json", static_cast<unsigned long long>(hash));
  return cache + "/quillmere/" + name;
}

std::string CheckPluginTable(const QmPluginHead* head) {
  if (head == nullptr) return "its QmGetPluginApi returned no table";
  // Before the head had a magic number, tables began with their version.
  if (head->magic == 1 || head->magic == 2) {
    return "built for plug-in interface version " + std::to_string(head->magic) + "; this host uses version " +
           std::to_string(QM_PLUGIN_ABI_VERSION) + " (rebuild it against this SDK)";
  }
  if (head->magic != QM_PLUGIN_MAGIC) return "its QmGetPluginApi returns no plug-in table this host knows";
  if (head->abiVersion != QM_PLUGIN_ABI_VERSION) {
    return "built for plug-in interface version " + std::to_string(head->abiVersion) + "; this host uses version " +
           std::to_string(QM_PLUGIN_ABI_VERSION) + " (rebuild it against this SDK)";
  }
  const char* stamp = head->buildStamp != nullptr ? head->buildStamp : "";
  if (std::strcmp(stamp, QM_PLUGIN_BUILD_STAMP) != 0) {
    return "built as \"" + std::string(stamp) + "\", but this host is built as \"" QM_PLUGIN_BUILD_STAMP
           "\": the C++ types they share would not agree (rebuild it against this SDK with the same compiler and "
           "options)";
  }
  return CheckTableBody(*QmPluginTable(head));
}

bool IsPluginName(std::string_view text) {
  if (text.empty()) return false;
  for (const char ch : text)
    if (!((ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') || ch == '_' || ch == '-')) return false;
  return true;
}

bool ServesDriver(const std::vector<std::string>& drivers, std::string_view driver) {
  const std::string trimmed = TrimBlanks(driver);
  if (trimmed.empty()) return false;
  const std::size_t slash = trimmed.rfind('/');
  const std::string_view file = slash == std::string::npos ? std::string_view() : std::string_view(trimmed).substr(slash + 1);
  for (const std::string& served : drivers) {
    if (EqualsIgnoringAsciiCase(trimmed, served)) return true;
    if (!file.empty() && EqualsIgnoringAsciiCase(file, served)) return true;
  }
  return false;
}

bool ServesDriver(const QmPluginApi& api, std::string_view driver) {
  std::vector<std::string> drivers;
  for (const char* const* served = api.drivers; *served != nullptr; ++served) drivers.emplace_back(*served);
  return ServesDriver(drivers, driver);
}

void PluginCatalogue::Discover(const std::vector<std::string>& directories) {
  m_directories.insert(m_directories.end(), directories.begin(), directories.end());
  for (const PluginFile& file : ListPluginFiles(directories)) Load(file.path);
}

bool PluginCatalogue::DiscoverIndexed(const std::vector<std::string>& directories, const std::string& indexPath,
                                      const std::vector<std::string>& watched) {
  const std::vector<PluginFile> files = ListPluginFiles(directories);
  m_directories.insert(m_directories.end(), directories.begin(), directories.end());
  // What the index must have been written for: this host, these folders,
  // the watched files as they are now.
  const nlohmann::json head = {{"format", kIndexFormat},       {"host", IndexHost()},
                               {"directories", directories}, {"watched", watched},
                               {"watchedKeys", WatchedKeys(watched)}};
  if (std::optional<IndexedFiles> indexed = ReadIndex(indexPath, head, files)) {
    m_plugins = std::move(indexed->plugins);
    m_refused = std::move(indexed->refused);
    m_indexPath = indexPath;
    return true;
  }

  for (const PluginFile& file : files) Load(file.path);
  if (indexPath.empty()) return false;
  if (std::any_of(m_refused.begin(), m_refused.end(), [](const RefusedLibrary& r) { return !r.lasting; })) {
    IndexFolder(indexPath).Remove();
    return false;
  }
  nlohmann::json index = head;
  nlohmann::json& entries = index["files"] = nlohmann::json::array();
  std::size_t plugin = 0, refusal = 0;
  for (const PluginFile& file : files) {
    nlohmann::json& entry = entries.emplace_back(nlohmann::json{{"path", file.path}, {"key", FileKey(file.info)}});
    // Load records each file it looks at once, as a plug-in or a refusal.
    if (plugin < m_plugins.size() && m_plugins[plugin].path == file.path)
      entry["plugin"] = DescriptionJson(m_plugins[plugin++].about);
    else if (refusal < m_refused.size() && m_refused[refusal].path == file.path)
      entry["refused"] = m_refused[refusal++].reason;
    else
      return false;
  }
  WriteIndexFile(indexPath, index.dump(1) + "\n");
  return false;
}

const QmPluginApi* PluginCatalogue::Table(const FoundPlugin& plugin, std::string* error) const {
  if (plugin.api != nullptr) return plugin.api;
  const auto fail = [&](const std::string& reason) -> const QmPluginApi* {
    if (error != nullptr) *error = reason;
    if (!m_indexPath.empty()) IndexFolder(m_indexPath).Remove();
    return nullptr;
  };
  auto found = std::find_if(m_plugins.begin(), m_plugins.end(), [&](const FoundPlugin& p) { return &p == &plugin; });
  if (found == m_plugins.end()) return fail("it is not one of this catalogue's plug-ins");
  auto library = std::make_unique<LoadedLibrary>();
  std::string reason;
  if (!library->Open(plugin.path, reason)) return fail("it could not be loaded: " + reason);
  auto entry = reinterpret_cast<QmGetPluginApiFn>(library->Symbol(QM_PLUGIN_ENTRY_NAME));
  if (entry == nullptr) return fail("not a plug-in: it exports no " QM_PLUGIN_ENTRY_NAME);
  const QmPluginHead* head = entry();
  reason = CheckPluginTable(head);
  if (!reason.empty()) return fail(reason);
  const QmPluginApi* api = QmPluginTable(head);
  if (Describe(*api) != plugin.about)
    return fail("its table is not the one the plug-in index describes (" + m_indexPath + "; it is looked at again on the next run)");
  m_libraries.push_back(std::move(library));
  found->api = api;
  return api;
}

const FoundPlugin* PluginCatalogue::Load(const std::string& path) {
  if (SurelyLacksSymbol(path, QM_PLUGIN_ENTRY_NAME)) {
    m_refused.push_back({path, "not a plug-in: it exports no " QM_PLUGIN_ENTRY_NAME " (not loaded)"});
    return nullptr;
  }
  auto library = std::make_unique<LoadedLibrary>();
  std::string reason;
  if (!library->Open(path, reason)) {
    m_refused.push_back({path, "it could not be loaded: " + reason, false});
    return nullptr;
  }
  auto entry = reinterpret_cast<QmGetPluginApiFn>(library->Symbol(QM_PLUGIN_ENTRY_NAME));
  if (entry == nullptr) {
    m_refused.push_back({path, "not a plug-in: it exports no " QM_PLUGIN_ENTRY_NAME});
    return nullptr;
  }
  const QmPluginHead* head = entry();
  reason = CheckPluginTable(head);
  if (reason.empty()) {
    const QmPluginApi* api = QmPluginTable(head);
    if (const FoundPlugin* first = FindByName(api->name)) {
      // The same file under another name shares the first one's handle:
      // closing this reference leaves it loaded.
      reason = "a plug-in named \"" + std::string(api->name) + "\" was found before it (" + first->path + ")";
    } else {
      m_libraries.push_back(std::move(library));
      m_plugins.push_back({path, Describe(*api), api});
      return &m_plugins.back();
    }
  }
  m_refused.push_back({path, reason});
  return nullptr;
}

const FoundPlugin* PluginCatalogue::FindByName(std::string_view name) const {
  for (const FoundPlugin& plugin : m_plugins)
    if (name == plugin.about.name) return &plugin;
  return nullptr;
}

const FoundPlugin* PluginCatalogue::FindByDriver(std::string_view driver) const {
  for (const FoundPlugin& plugin : m_plugins)
    if (ServesDriver(plugin.about.drivers, driver)) return &plugin;
  return nullptr;
}

const FoundPlugin* PluginCatalogue::FindFallback() const {
  for (const FoundPlugin& plugin : m_plugins)
    if (plugin.about.fallback) return &plugin;
  return nullptr;
}

const FoundPlugin* PluginCatalogue::FindForDriver(std::string_view driver) const {
  if (const FoundPlugin* plugin = FindByDriver(driver)) return plugin;
  return TrimBlanks(driver).empty() ? nullptr : FindFallback();
}

const FoundPlugin* PluginCatalogue::FindByUrlScheme(std::string_view scheme) const {
  for (const FoundPlugin& plugin : m_plugins)
    for (const std::string& served : plugin.about.urlSchemes)
      if (EqualsIgnoringAsciiCase(served, scheme)) return &plugin;
  return nullptr;
}

std::vector<std::string> PluginCatalogue::UrlSchemes() const {
  std::vector<std::string> schemes;
  for (const FoundPlugin& plugin : m_plugins)
    for (const std::string& served : plugin.about.urlSchemes)
      if (std::find(schemes.begin(), schemes.end(), served) == schemes.end()) schemes.push_back(served);
  return schemes;
}

const FoundPlugin* PluginCatalogue::FindByShortcut(std::string_view option) const {
  for (const FoundPlugin& plugin : m_plugins)
    if (!plugin.about.shortcutOption.empty() && option == plugin.about.shortcutOption) return &plugin;
  return nullptr;
}

const FoundPlugin* PluginCatalogue::FindWithSample() const {
  for (const FoundPlugin& plugin : m_plugins)
    if (plugin.about.hasSample) return &plugin;
  return nullptr;
}

void PluginCatalogue::Close() {
  m_plugins.clear();
  m_refused.clear();
  m_directories.clear();
  m_indexPath.clear();
  while (!m_libraries.empty()) m_libraries.pop_back();
}

}  // namespace runner
