// The small entry point a database plug-in exports for hosts. The module
// keeps no configuration: the host hands the plug-in what it knows of the
// source (a path or a connection string, and an optional scope), the plug-in
// registers its connector and reader in ImportToolsProvider when it is
// loaded, and after an import the host asks the plug-in why a connection
// failed or which statements failed.
//
// Host and plug-ins are built together, so the table carries C++ types.
#pragma once

#include <schemaimport/OdbcDiagnostic.h>

#include <functional>
#include <string>
#include <vector>

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
};

struct QmPluginApi {
  static constexpr int kAbiVersion = 2;

  int abiVersion;           // kAbiVersion of the plug-in's build
  const char* name;         // short name, e.g. "sqlite"
  unsigned int modelType;   // the model type its tools are registered under

  // Sets the source and scope for the next import. source is a path or an
  // ODBC connection string, as the plug-in documents; scope may be empty.
  // The connect options go back to their defaults.
  void (*Configure)(const std::u16string& source, const std::u16string& scope);
  // Why the last connect step failed: the driver's diagnostic, or the
  // plug-in's own refusal (e.g. a database file that does not exist).
  // Empty after a successful connect.
  OdbcDiagnostic (*LastConnectError)();
  // The statements of the last import that failed, in the order they ran.
  std::vector<QmFailedStatement> (*FailedStatements)();
  // Sets how the configured source is opened (see QmConnectOptions).
  void (*SetConnectOptions)(const QmConnectOptions& options);
};

// Every plug-in exports this function with C linkage.
using QmGetPluginApiFn = const QmPluginApi* (*)();
#define QM_PLUGIN_ENTRY_NAME "QmGetPluginApi"
