// What a host needs to run an import and follow it: the session statuses,
// the window messages the import posts, and the exported entry function.
#pragma once

#include <platform/Win32.h>
#include <schemaimport/Export.h>

// Session status written by the import driver.
enum ImportStatus : int {
  ImportStatusIdle = 0,           // after the session reset at the start of a run
  ImportStatusConnected = 1,      // the connector connected; stays 1 after a normal run
  ImportStatusConnectFailed = 2,  // no connector for the model type, or it failed to connect
  // The run was broken off by an exception (from a connector, the reader or
  // a row action), which went on to the caller of ReverseEngineerFromDB or
  // BuildSchemaFromSQLDB. The connection is closed, the caches are emptied;
  // the model holds what was created before the exception.
  ImportStatusFailed = 3,
};

// Posted to the session's window. wParam: an object type; lParam: 0 when
// the type starts, the number of records counted for it when it is done.
constexpr platform::win::UINT WM_IMPORT_PROGRESS = 0x0400 + 10;  // WM_USER + 10, 1034
// Posted once when a run that connected is over; wParam and lParam are 0.
// A run broken off by an exception posts it only to a window already set
// (it does not wait for a late one).
constexpr platform::win::UINT WM_IMPORT_FINISHED = 0x0400 + 11;  // WM_USER + 11, 1035

// Runs one import for the model the session holds and returns whether the
// connector connected; false at once when the session holds no model (the
// status is then left as it was). An exception from a connector, the reader
// or a row action ends the run with status ImportStatusFailed and reaches
// the caller once the connection is closed and the caches are emptied.
extern "C" QM_SCHEMAIMPORT_API bool BuildSchemaFromSQLDB();
