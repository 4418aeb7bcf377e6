// What the MariaDB plug-in makes of a URL: mariadb:// and mysql://, as the
// MariaDB and MySQL clients' users write them.
//
//   mariadb://me:secret@db:3306/shop?sslverify=1
//   mariadb://me@localhost/shop?socket=/run/mysqld/mysqld.sock
//
// User, password, host, port and database become the driver's UID, PWD,
// SERVER, PORT and DATABASE; a host that is a folder path, or ?socket=,
// becomes SOCKET. Parameters the driver takes (SSL settings, CHARSET is
// the connector's own) pass as its keys; ?use_mycnf=1 has the driver read
// the client's option files (~/.my.cnf, [client] and [odbc] groups) for
// what the URL leaves out.
#pragma once

#include <schemaimport/PluginApi.h>

namespace qm::mariadb {

// The schemes served, null-terminated.
extern const char* const kUrlSchemes[];

// The connection string for a mariadb:// or mysql:// URL, or why it cannot
// be read (a parameter the driver does not take).
QmUrlSource SourceFromUrl(const ConnectionUrl& url);

}  // namespace qm::mariadb
