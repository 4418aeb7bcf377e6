// SqliteConnector: opens an SQLite database through the SQLite3 ODBC driver.
//
// What the host configures (QmPluginApi::Configure):
//   source  the path of the database file, or an ODBC connection string
//           (recognised by a Driver or DSN attribute), passed to the
//           driver as it is. A connection string may name databases to
//           attach for the import, each as an attribute Attach=name=path
//           (brace-quote the value when the path holds ';': Attach={aux=/a;b.db},
//           with '}' doubled); the driver ignores the attribute.
//   scope   the databases to import, comma-separated (main, temp, attached
//           names; letter case as SQLite compares names); empty: all.
//
// A path is checked before the driver sees it: a path that does not exist,
// is not a regular file or cannot be read is refused with a reason, since
// the driver would create an empty database in its place. The same check
// applies to the Database attribute of a connection string (to the file an
// SQLite URI names; an in-memory database is the driver's) and to every
// attached path. A path source
// reaches the driver as a read-only SQLite URI with NoCreat=1, every byte
// outside [A-Za-z0-9-._~/] percent-encoded, so ';', '}', '?', '#', '%' and
// non-ASCII letters arrive intact (the driver reads Database up to the next
// ';' and does not accept brace-quoted values). After connecting, one
// statement reads each database's catalogue, so that a file that is not an
// SQLite database fails here, with the driver's reason, rather than at the
// first catalogue statement.
//
// The plug-in keeps one connector for the process. Configure on the host's
// thread before an import; the import then uses it on its own thread.
#pragma once

#include <schemaimport/ConnectionString.h>
#include <schemaimport/OdbcDiagnostic.h>
#include <schemaimport/SchemaSourceConnectorI.h>

#include <string>
#include <string_view>
#include <vector>

namespace qm::sqlite {

class SqliteConnector : public SchemaSourceConnectorI {
 public:
  SqliteConnector() = default;

  // Sets what the next EstablishConnection opens.
  void Configure(std::u16string source, std::u16string scope);

  // Checks the configuration, connects, attaches the requested databases,
  // reads every catalogue once and checks that the scope's databases exist.
  // True with an open connection whose server and database names are the
  // absolute database path (for a path source) or what the driver reports
  // (for a connection string). False with no connection left open and the
  // reason in LastConnectError.
  bool EstablishConnection() override;
  // The configured scope text.
  void GetREScope(CString& scope) override;

  // Why the last EstablishConnection failed: the driver's diagnostic, or
  // the plug-in's own refusal (no SQLSTATE, a message naming the path or
  // name). Empty after a successful one.
  const OdbcDiagnostic& LastConnectError() const { return m_lastError; }

  // Whether the source is used as an ODBC connection string.
  static bool LooksLikeConnectionString(std::u16string_view source);
  // The read-only SQLite URI of the path, made absolute.
  static std::u16string FileUri(const std::u16string& path);

 private:
  struct Attachment {
    std::u16string name;  // schema name to attach under
    std::u16string path;  // database file
  };

  bool Refuse(std::u16string message);
  // The reason the file cannot serve as a database, or empty.
  static std::u16string CheckDatabaseFile(const std::u16string& path);
  // Runs the statement on the open connection and collects the first
  // column of its rows; on failure closes the connection, keeps the reason
  // (with the context appended, when given) and returns false.
  bool RunOrDisconnect(const std::u16string& statement, const std::u16string& context,
                       std::vector<std::u16string>* firstColumn = nullptr);

  std::u16string m_source;     // path or connection string, as configured
  std::u16string m_scope;      // databases to import, as configured
  OdbcDiagnostic m_lastError;  // reason of the last failed EstablishConnection
};

}  // namespace qm::sqlite
