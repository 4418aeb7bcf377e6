// The plug-in table: what a database plug-in tells hosts about itself, and
// the small set of operations through which a host configures it. The
// module keeps no configuration: the host hands the plug-in what it knows of
// the source (a path or a connection string, and an optional scope), the
// plug-in registers its connector and reader in ImportToolsProvider, and
// after an import the host asks the plug-in why a connection failed or which
// statements failed.
//
// Every plug-in exports one function with C linkage, QmGetPluginApi, which
// returns the head of its table. A plug-in writes its table with QM_PLUGIN
// (PluginTools.h), never by hand.
//
// Why a head of C types. Host and plug-in hand each other standard
// containers (std::u16string, std::vector, std::function), whose layout and
// behaviour depend on how each side was compiled: the standard library and
// its ABI, debug containers, sanitizer instrumentation. So the table starts
// with a head of C types only, laid out the same by every compiler on the
// platform, which the host reads before anything else: a fixed magic
// number, the interface version and the build stamp, a text the SDK's
// headers compute while the plug-in compiles. A host refuses a plug-in whose
// head differs from its own, naming both stamps, and touches the rest of the
// table (C++ types) only after that check.
//
// Versions. Adding a field to the table is a new QM_PLUGIN_ABI_VERSION and
// nothing more: fields are only ever added at the end, and a host refuses
// any other version. Version 2 tables began with the version itself, where
// version 3 has the magic number, so a host can still say which version an
// older plug-in was built for. Version 4 added `fallback`, the URL schemes
// a plug-in serves and its function from a URL to a source; version 5 the
// SQL dialect of its models and the package that provides its driver;
// version 6 the connect options' withPrivileges; version 7 no field, but the
// model's properties changed shape (16 bytes, no vtable), so a plug-in built
// before would make and read properties the host no longer has; version 8
// no field, but the record a row action reads and the keys cache changed
// layout, and a plug-in reads both through inline calls.
#pragma once

#include <schemaimport/ConnectionUrl.h>
#include <schemaimport/OdbcDiagnostic.h>
#include <schemaimport/SdkVersion.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <type_traits>
#include <vector>

// ---- The head.

#define QM_PLUGIN_MAGIC 0x4C504D51u  // "QMPL" in memory on a little-endian machine
#define QM_PLUGIN_ABI_VERSION 8u

#define QM_PLUGIN_STRINGIFY_(x) #x
#define QM_PLUGIN_STRINGIFY(x) QM_PLUGIN_STRINGIFY_(x)

// The compiler and its major version: the C++ ABI of newer language
// features may differ between compilers and between major versions.
#if defined(__clang__)
#define QM_PLUGIN_STAMP_COMPILER "clang-" QM_PLUGIN_STRINGIFY(__clang_major__)
#elif defined(__GNUC__)
#define QM_PLUGIN_STAMP_COMPILER "gcc-" QM_PLUGIN_STRINGIFY(__GNUC__)
#else
#define QM_PLUGIN_STAMP_COMPILER "unknown-compiler"
#endif

// The standard library, and for libstdc++ its string ABI
// (_GLIBCXX_USE_CXX11_ABI changes std::string and std::list).
#if defined(_LIBCPP_VERSION)
#define QM_PLUGIN_STAMP_LIBRARY "libc++-" QM_PLUGIN_STRINGIFY(_LIBCPP_VERSION)
#elif defined(_GLIBCXX_RELEASE)
#define QM_PLUGIN_STAMP_LIBRARY \
  "libstdc++-" QM_PLUGIN_STRINGIFY(_GLIBCXX_RELEASE) " cxx11-abi-" QM_PLUGIN_STRINGIFY(_GLIBCXX_USE_CXX11_ABI)
#else
#define QM_PLUGIN_STAMP_LIBRARY "unknown-library"
#endif

// Address and thread sanitizers change what a container's memory holds and
// how it is checked; both sides must agree. (The undefined-behaviour
// sanitizer changes no layout and has no compile-time mark.)
#if defined(__SANITIZE_ADDRESS__)
#define QM_PLUGIN_STAMP_ASAN " asan"
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QM_PLUGIN_STAMP_ASAN " asan"
#endif
#endif
#ifndef QM_PLUGIN_STAMP_ASAN
#define QM_PLUGIN_STAMP_ASAN ""
#endif
#if defined(__SANITIZE_THREAD__)
#define QM_PLUGIN_STAMP_TSAN " tsan"
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define QM_PLUGIN_STAMP_TSAN " tsan"
#endif
#endif
#ifndef QM_PLUGIN_STAMP_TSAN
#define QM_PLUGIN_STAMP_TSAN ""
#endif

// Debug containers (_GLIBCXX_DEBUG, _LIBCPP_DEBUG) have another layout.
// Plain assertions (_GLIBCXX_ASSERTIONS) change no layout and are left out.
#if defined(_GLIBCXX_DEBUG) || (defined(_LIBCPP_DEBUG) && _LIBCPP_DEBUG > 0)
#define QM_PLUGIN_STAMP_DEBUG " debug-containers"
#else
#define QM_PLUGIN_STAMP_DEBUG ""
#endif

// The build stamp, e.g. "sdk-0.1 gcc-12 libstdc++-12 cxx11-abi-1 c++202002L".
#define QM_PLUGIN_BUILD_STAMP                                                                                  \
  "sdk-" QM_SDK_VERSION_TEXT " " QM_PLUGIN_STAMP_COMPILER " " QM_PLUGIN_STAMP_LIBRARY                          \
  " c++" QM_PLUGIN_STRINGIFY(__cplusplus) QM_PLUGIN_STAMP_ASAN QM_PLUGIN_STAMP_TSAN QM_PLUGIN_STAMP_DEBUG

// C types only; the same layout in every build.
struct QmPluginHead {
  std::uint32_t magic;      // QM_PLUGIN_MAGIC
  std::uint32_t abiVersion; // QM_PLUGIN_ABI_VERSION of the plug-in's build
  const char* buildStamp;   // QM_PLUGIN_BUILD_STAMP of the plug-in's build
};

// ---- Types the operations use (C++ types: read only after the head check).

struct QmFailedStatement {
  int statementId = 0;          // the reader's statement id
  std::u16string name;          // what the statement reads, e.g. u"foreign keys"
  OdbcDiagnostic diagnostic;    // the driver's reason
};

// How the host wants the configured source opened. Configure puts every
// field back to its default; a host that sets them calls SetConnectOptions
// after Configure, before the import.
struct QmConnectOptions {
  static constexpr int kDefaultTimeoutSeconds = 15;

  // The source is the database file at this path, as the file system spells
  // it (any bytes: a name need not be UTF-8), and never a connection string.
  // Empty: the source is the text given to Configure.
  std::string filePath;
  // How long to wait, in seconds, for a server to answer a connection and
  // for a lock another session holds; each wait is bounded by it.
  int timeoutSeconds = kDefaultTimeoutSeconds;
  // Called with something the user should know about the source that is not
  // a failure (e.g. an empty database file), on the thread that runs the
  // import. May be empty.
  std::function<void(const std::u16string& text)> notice;
  // Read owners and grants into the model too, where the plug-in can
  // (grant objects, and the root's PrivilegesRead); off, the model holds
  // what an import always holds.
  bool withPrivileges = false;
};

// A file a source reads: the host never writes its output over one.
struct QmInputFile {
  std::string path;  // as the file system spells it (any bytes)
  std::string what;  // for a message, UTF-8 (the path's own bytes kept): "the database shop.db"
};

// What a plug-in would open for a source, known before anything is opened.
struct QmSourceFiles {
  std::vector<QmInputFile> files;  // the files it reads (a server's source: none)
  // Why the source names nothing the plug-in could open (e.g. a connection
  // string without a database), for the host to report as a usage error
  // before connecting; empty when the source may be tried.
  std::u16string unusable;
};

// What a plug-in makes of a URL of one of its schemes: a connection string
// for Configure, or a database file; or why it cannot serve the URL.
struct QmUrlSource {
  std::u16string connectionString;  // the source for Configure; empty when filePath is set or on error
  std::string filePath;             // a database file (QmConnectOptions::filePath, bytes); empty otherwise
  std::u16string error;             // one line, e.g. "unknown parameter \"x\""; empty when the URL is served
};

// ---- Self-description (C types, the plug-in's static storage).

// What the value of a shortcut option is.
enum class QmShortcutValue : int {
  ConnectionString = 0,  // handed to Configure as the source
  FilePath = 1,          // a database file: QmConnectOptions::filePath, bytes as given
};

// A command-line option a host may offer for the plug-in (--sqlite PATH).
struct QmPluginShortcut {
  const char* option;    // option name without dashes, [a-z0-9-]; null: no shortcut
  const char* argument;  // the value's name in help texts, e.g. "PATH" or "STRING"
  const char* help;      // one line
  QmShortcutValue value; // what the value is
};

// What a plug-in writes of its own for QM_PLUGIN (PluginTools.h); the macro
// copies it into the table.
struct QmPluginDescriptor {
  const char* name;              // short name, [a-z0-9_-], e.g. "sqlite"
  const char* description;       // one line
  const char* const* drivers;    // ODBC driver names served (or the driver's library file name), null-terminated;
                                 // a host matches a connection string's Driver against them, ASCII case ignored
  QmPluginShortcut shortcut;     // optional: {nullptr} for none
  unsigned int modelType;        // the model type its tools are registered under
  // The files the plug-in would open for a source (see QmSourceFiles).
  // Pure: no connection, no state. Null: it opens no file of the host's
  // machine (a server).
  QmSourceFiles (*inputFiles)(const std::u16string& source, const QmConnectOptions& options) = nullptr;
  // Writes the plug-in's sample database to the file at path, which does
  // not exist yet (the host owns the folder and removes what is left);
  // false with a reason in error. Null: the plug-in has no sample.
  bool (*writeSample)(const std::string& path, std::string& error) = nullptr;
  // The plug-in reads a source of any ODBC driver that no plug-in lists
  // (through ODBC's own catalogue functions): a host gives it a connection
  // string whose Driver no table's drivers hold.
  bool fallback = false;
  // URL schemes served, lower case, null-terminated ({"postgresql",
  // "postgres", nullptr}); null: none. The host parses a URL
  // (ConnectionUrl.h) and hands one of these schemes' to sourceFromUrl.
  const char* const* urlSchemes = nullptr;
  // Turns a parsed URL into the source: the driver's connection string
  // with what the URL gives (user, password, host, port, database,
  // parameters the driver takes), or a file. Pure: no connection, no state.
  // Set when urlSchemes is.
  QmUrlSource (*sourceFromUrl)(const ConnectionUrl& url) = nullptr;
  // The SQL dialect the host writes the plug-in's models in (the sql
  // format, lint's fixes): "sqlite", "postgresql", "mariadb" or "standard".
  // Null or empty: standard SQL. A plug-in for another database names the
  // dialect closest to it; a host that knows no dialect of the name writes
  // standard SQL and says so.
  const char* sqlDialect = nullptr;
  // The operating system's package that installs the plug-in's ODBC driver
  // (Debian's "odbc-postgresql"), named when the driver is missing. Null or
  // empty: none to name.
  const char* driverPackage = nullptr;
};

// ---- The table.

struct QmPluginApi {
  QmPluginHead head;

  // Self-description, as in QmPluginDescriptor.
  const char* name;
  const char* description;
  const char* const* drivers;
  QmPluginShortcut shortcut;
  unsigned int modelType;

  // Sets the source and scope for the next import, and registers the
  // plug-in's tools in ImportToolsProvider on first use (they stay
  // registered while the library is loaded). source is a path or an ODBC
  // connection string, as the plug-in documents; scope may be empty. The
  // connect options go back to their defaults.
  void (*Configure)(const std::u16string& source, const std::u16string& scope);
  // Sets how the configured source is opened (see QmConnectOptions).
  void (*SetConnectOptions)(const QmConnectOptions& options);
  // Why the last connect step failed: the driver's diagnostic, or the
  // plug-in's own refusal (e.g. a database file that does not exist).
  // Empty after a successful connect.
  OdbcDiagnostic (*LastConnectError)();
  // The statements of the last import that failed, in the order they ran.
  std::vector<QmFailedStatement> (*FailedStatements)();
  // The files the plug-in would open for a source given as Configure and
  // SetConnectOptions would take it; callable before Configure, on any
  // thread. Never null.
  QmSourceFiles (*InputFiles)(const std::u16string& source, const QmConnectOptions& options);
  // Writes the plug-in's sample database (QmPluginDescriptor::writeSample);
  // null when the plug-in has none.
  bool (*WriteSample)(const std::string& path, std::string& error);
  // Serves every driver no plug-in lists (QmPluginDescriptor::fallback).
  bool fallback;
  // URL schemes served and the source for a URL
  // (QmPluginDescriptor::urlSchemes, sourceFromUrl); both null when the
  // plug-in serves no URL.
  const char* const* urlSchemes;
  QmUrlSource (*SourceFromUrl)(const ConnectionUrl& url);
  // The SQL dialect of its models and its driver's package
  // (QmPluginDescriptor::sqlDialect, driverPackage); null when not given.
  const char* sqlDialect;
  const char* driverPackage;
};

// The host reaches the table through its head, the first member.
static_assert(std::is_standard_layout_v<QmPluginApi> && offsetof(QmPluginApi, head) == 0);

// The table whose head this is; only once the head has been checked.
inline const QmPluginApi* QmPluginTable(const QmPluginHead* head) { return reinterpret_cast<const QmPluginApi*>(head); }

// Every plug-in exports this function with C linkage.
using QmGetPluginApiFn = const QmPluginHead* (*)();
#define QM_PLUGIN_ENTRY_NAME "QmGetPluginApi"
