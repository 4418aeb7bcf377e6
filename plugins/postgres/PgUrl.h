// What the PostgreSQL plug-in makes of a URL, and of a server that asks for
// a password the connection string does not hold.
//
// URLs (postgresql:// and postgres://, as psql takes them) become psqlODBC
// connection strings: user, password, host (a name, an address, or a
// Unix-socket folder), port and database become the driver's own keys,
// sslmode its SSLmode, and every other libpq parameter (options,
// application_name, sslrootcert, ...) goes to libpq through the driver's
// pqopt, but connect_timeout: psqlODBC sets it from the login timeout
// (--timeout) and refuses a second one. What the URL leaves out is left out: psqlODBC hands libpq
// only what it is given, and libpq fills the rest from PGHOST, PGPORT,
// PGUSER, PGDATABASE, PGPASSWORD and the password file (PGPASSFILE or
// ~/.pgpass, used only when no group or other user may read it), exactly as
// for psql. Measured with psqlODBC 13 and libpq 15; nothing here repeats it.
#pragma once

#include <schemaimport/OdbcDiagnostic.h>
#include <schemaimport/PluginApi.h>

#include <string>

namespace qm::postgres {

// The schemes served, null-terminated.
extern const char* const kUrlSchemes[];

// The connection string for a postgresql:// URL, or why it cannot be read
// (a parameter libpq does not know, one the driver sets itself, a host or
// port named twice).
QmUrlSource SourceFromUrl(const ConnectionUrl& url);

// Whether a failed connection failed only because the server wants a
// password and the connection string (completed) gives none: libpq's
// "no password supplied" (in English; libpq translates its messages in
// other locales, and then the diagnostic is shown as it is).
bool NeedsPassword(const OdbcDiagnostic& failure, const std::u16string& completed);

// Asks the host for the password (platform::AskForPassword) as psql does,
// "Password for user NAME: ", and on an answer appends it to completed as
// PWD. False when it cannot ask or the user cancelled; then failure says
// what to do (when nothing could be asked) and cancelled says which.
bool AskForPassword(std::u16string& completed, OdbcDiagnostic& failure, bool& cancelled);

}  // namespace qm::postgres
