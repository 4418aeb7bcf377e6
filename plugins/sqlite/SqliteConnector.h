// SqliteConnector: opens an SQLite database through the SQLite3 ODBC driver.
//
// What the host configures (the base keeps it):
//   source  (Configure) the path of the database file, or an ODBC
//           connection string (recognised by a Driver or DSN attribute). A
//           connection string may name databases to attach for the import,
//           each as an attribute Attach=name=path (brace-quote the value
//           when the path holds ';': Attach={aux=/a;b.db}, with '}'
//           doubled); the driver ignores the attribute.
//   path    (SetConnectOptions, filePath) the path of the database file as
//           the file system spells it, any bytes: a path, never read as a
//           connection string. It takes the place of the source.
//   scope   the databases to import, comma-separated (main, temp, attached
//           names; letter case as SQLite compares names); empty: all.
//   timeout (SetConnectOptions) how long a lock held by another process is
//           waited for, in seconds: the driver's busy timeout (its Timeout
//           attribute, in milliseconds), unless a connection string sets
//           Timeout itself.
//
// The import never creates or changes a file. A path is checked before the
// driver sees it: a path that does not exist, is not a regular file or
// cannot be read is refused with a reason. A connection string's Database
// is read as SQLite reads it (a "file:" URI by SQLite's rules, ":memory:",
// or a path) and refused when it names no database; the file it names (or
// a DSN's Database names) is checked like a path, and so is every attached
// path. Every file reaches the driver as a percent-encoded SQLite URI
// (read-only unless a URI sets its own mode), since unixODBC narrows a wide
// connection string to single bytes for this ANSI driver, and always with
// NoCreat=1. After connecting, one statement reads each database's
// catalogue, so that a file that is not an SQLite database, a database
// locked by another process or one SQLite cannot read without writing fails
// here, with a reason that says so, rather than at the first catalogue
// statement. The waits of the whole connect step add up to the timeout.
//
// The plug-in keeps one connector for the process. Configure on the host's
// thread before an import; the import then uses it on its own thread.
#pragma once

#include <schemaimport/ConnectionString.h>
#include <schemaimport/SchemaSourceConnectorI.h>

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace qm::sqlite {

class SqliteConnector : public SchemaSourceConnectorI {
 public:
  SqliteConnector() = default;

  // Checks the configuration, connects, attaches the requested databases,
  // reads every catalogue once and checks that the scope's databases exist.
  // True with an open connection whose server and database names are the
  // database file's absolute path (as PathText gives it) or, for a
  // database in memory, what the driver reports. False with no connection
  // left open and the reason in LastConnectError: the driver's diagnostic,
  // or the plug-in's refusal (a message naming the path or name).
  bool EstablishConnection() override;

  // Whether a configured source text is used as an ODBC connection string.
  static bool LooksLikeConnectionString(std::u16string_view source);

 private:
  struct Attachment {
    std::u16string name;  // schema name to attach under
    std::string path;     // database file (bytes)
  };

  // The connection string for the user's one, with its database named as
  // the driver must get it; false (refused) when it names none usable.
  bool PrepareConnectionString(const std::u16string& source, std::u16string& text,
                               std::vector<Attachment>& attachments);
  // What a probing statement reads, for its failure's reason.
  struct Checked {
    std::string file;             // the database file it reads (bytes); empty: none in particular
    std::u16string context;       // appended to a driver's message in parentheses; may be empty
    std::u16string refusalPrefix; // put before the plug-in's own explanation
  };
  // Runs the statement on the open connection and collects the first
  // column of its rows; on failure closes the connection, keeps the reason
  // (explained when SQLite waited for a lock or needed to write) and
  // returns false.
  bool RunChecked(const std::u16string& statement, const Checked& checked,
                  std::vector<std::u16string>* firstColumn = nullptr);
  // Lets the next lock wait last until the deadline of the connect step.
  void LimitLockWait();

  // During EstablishConnection only:
  std::string m_file;                                // the main database file (bytes); empty when in memory
  long long m_busyMilliseconds = 0;                  // the driver's busy timeout
  std::chrono::steady_clock::time_point m_deadline;  // when the connect step's waiting must end
};

}  // namespace qm::sqlite
