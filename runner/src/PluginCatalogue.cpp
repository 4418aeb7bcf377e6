#include <runner/PluginCatalogue.h>

#include <schemaimport/ConnectionString.h>

#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
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

// A file mapped for reading, unmapped when the object goes.
class MappedFile {
 public:
  explicit MappedFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && info.st_size > 0) {
      void* data = ::mmap(nullptr, static_cast<std::size_t>(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
      if (data != MAP_FAILED) {
        m_data = static_cast<const unsigned char*>(data);
        m_size = static_cast<std::size_t>(info.st_size);
      }
    }
    ::close(fd);
  }
  ~MappedFile() {
    if (m_data != nullptr) ::munmap(const_cast<unsigned char*>(m_data), m_size);
  }
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  // The count objects of type T at offset, or null when they do not fit or
  // the offset is not aligned for T.
  template <typename T>
  const T* At(std::size_t offset, std::size_t count = 1) const {
    if (m_data == nullptr || offset > m_size || count > (m_size - offset) / sizeof(T) || offset % alignof(T) != 0)
      return nullptr;
    return reinterpret_cast<const T*>(m_data + offset);
  }

 private:
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
  if (api.Configure == nullptr || api.SetConnectOptions == nullptr || api.LastConnectError == nullptr ||
      api.FailedStatements == nullptr || api.InputFiles == nullptr)
    return "its table lacks an operation";
  return {};
}

}  // namespace

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

bool ServesDriver(const QmPluginApi& api, std::string_view driver) {
  const std::string trimmed = TrimBlanks(driver);
  if (trimmed.empty()) return false;
  const std::size_t slash = trimmed.rfind('/');
  const std::string_view file = slash == std::string::npos ? std::string_view() : std::string_view(trimmed).substr(slash + 1);
  for (const char* const* served = api.drivers; *served != nullptr; ++served) {
    if (EqualsIgnoringAsciiCase(trimmed, *served)) return true;
    if (!file.empty() && EqualsIgnoringAsciiCase(file, *served)) return true;
  }
  return false;
}

void PluginCatalogue::Discover(const std::vector<std::string>& directories) {
  std::set<std::pair<dev_t, ino_t>> seen;
  for (const std::string& directory : directories) {
    m_directories.push_back(directory);
    std::error_code error;
    std::vector<std::string> names;
    for (fs::directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) {
      const std::string name = it->path().filename().string();
      if (IsPluginFileName(name)) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
      const std::string path = directory + "/" + name;
      struct stat info {};
      if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
      if (!seen.insert({info.st_dev, info.st_ino}).second) continue;
      Load(path);
    }
  }
}

const FoundPlugin* PluginCatalogue::Load(const std::string& path) {
  if (SurelyLacksSymbol(path, QM_PLUGIN_ENTRY_NAME)) {
    m_refused.push_back({path, "not a plug-in: it exports no " QM_PLUGIN_ENTRY_NAME " (not loaded)"});
    return nullptr;
  }
  auto library = std::make_unique<LoadedLibrary>();
  std::string reason;
  if (!library->Open(path, reason)) {
    m_refused.push_back({path, "it could not be loaded: " + reason});
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
      m_plugins.push_back({path, api});
      return &m_plugins.back();
    }
  }
  m_refused.push_back({path, reason});
  return nullptr;
}

const FoundPlugin* PluginCatalogue::FindByName(std::string_view name) const {
  for (const FoundPlugin& plugin : m_plugins)
    if (name == plugin.api->name) return &plugin;
  return nullptr;
}

const FoundPlugin* PluginCatalogue::FindByDriver(std::string_view driver) const {
  for (const FoundPlugin& plugin : m_plugins)
    if (ServesDriver(*plugin.api, driver)) return &plugin;
  return nullptr;
}

const FoundPlugin* PluginCatalogue::FindFallback() const {
  for (const FoundPlugin& plugin : m_plugins)
    if (plugin.api->fallback) return &plugin;
  return nullptr;
}

const FoundPlugin* PluginCatalogue::FindForDriver(std::string_view driver) const {
  if (const FoundPlugin* plugin = FindByDriver(driver)) return plugin;
  return TrimBlanks(driver).empty() ? nullptr : FindFallback();
}

const FoundPlugin* PluginCatalogue::FindByUrlScheme(std::string_view scheme) const {
  for (const FoundPlugin& plugin : m_plugins) {
    if (plugin.api->urlSchemes == nullptr) continue;
    for (const char* const* served = plugin.api->urlSchemes; *served != nullptr; ++served)
      if (EqualsIgnoringAsciiCase(std::string_view(*served), scheme)) return &plugin;
  }
  return nullptr;
}

std::vector<std::string> PluginCatalogue::UrlSchemes() const {
  std::vector<std::string> schemes;
  for (const FoundPlugin& plugin : m_plugins) {
    if (plugin.api->urlSchemes == nullptr) continue;
    for (const char* const* served = plugin.api->urlSchemes; *served != nullptr; ++served)
      if (std::find(schemes.begin(), schemes.end(), *served) == schemes.end()) schemes.emplace_back(*served);
  }
  return schemes;
}

const FoundPlugin* PluginCatalogue::FindByShortcut(std::string_view option) const {
  for (const FoundPlugin& plugin : m_plugins)
    if (plugin.api->shortcut.option != nullptr && option == plugin.api->shortcut.option) return &plugin;
  return nullptr;
}

const FoundPlugin* PluginCatalogue::FindWithSample() const {
  for (const FoundPlugin& plugin : m_plugins)
    if (plugin.api->WriteSample != nullptr) return &plugin;
  return nullptr;
}

void PluginCatalogue::Close() {
  m_plugins.clear();
  while (!m_libraries.empty()) m_libraries.pop_back();
}

}  // namespace runner
