// ODBC steps the module and the database plug-ins share. Handles are passed
// untyped (an SQLHANDLE as void*, a handle type as its SQL_HANDLE_* value),
// so that no ODBC header comes in with this one.
//
// Both are safe to call from any thread, on handles that thread may use.
#pragma once

#include <schemaimport/Export.h>
#include <schemaimport/OdbcDiagnostic.h>

#include <string>
#include <vector>

// The first diagnostic record of the handle: SQLSTATE, native error and the
// whole message, however long, with trailing blanks and line breaks
// removed; its origin is the driver. When there is none to read (a null
// handle, or nothing recorded), the module's words name the failed call, so
// that a failure always says why: "<failedCall> failed without a diagnostic
// record", or "<failedCall> failed: invalid handle" when returnCode (the
// failed call's SQLRETURN) is SQL_INVALID_HANDLE; no SQLSTATE.
QM_SCHEMAIMPORT_API OdbcDiagnostic ReadOdbcDiagnostic(short handleType, void* handle, const char16_t* failedCall,
                                                      short returnCode = 0);

// Runs the statement on a new statement handle of the connection (an
// SQLHDBC) and fetches all its rows, so that an error raised only when a
// row is computed counts too. When firstColumn is given, the first column's
// values are appended to it, NULLs left out: wide text as UTF-16, narrow
// text (an ANSI driver's character columns) as bytes of the thread's code
// page, as the fetch reads them; whole, however long. Returns an empty
// diagnostic when the statement ran, otherwise the driver's reason. The
// statement handle is freed either way.
QM_SCHEMAIMPORT_API OdbcDiagnostic ExecuteOnConnection(void* connection, const std::u16string& statement,
                                                       std::vector<std::u16string>* firstColumn = nullptr);
