// The module's import entry point, registered with the host at load.
#pragma once

#include <gatehouse/Interfaces.h>

class GenericModel;

class SchemaImportApi : public ISchemaImport {
 public:
  ~SchemaImportApi() override = default;
  // The module has no import options of its own.
  void ShowImportOptions() override {}
  // Runs one whole import into the model, bracketed by a model activity
  // with undo tracing off, and tells the object explorer before and after.
  // Reports nothing itself: the host reads the session status and waits for
  // WM_IMPORT_FINISHED. An exception from the run (status
  // ImportStatusFailed) reaches the caller after the bracket is closed and
  // the explorer told. The model must not be null.
  void ReverseEngineerFromDB(GenericModel* model) override;
};

// The one request record of the module: what the current run imports into.
struct SchemaImportRequest {
  int modelType = 0;              // the model's type, the registry key
  GenericModel* model = nullptr;  // not owned; null between runs
};

// Runs the import the request describes; true when the connector connected.
// Empties the reader's failed statements first. An exception on the way
// sets ImportStatusFailed, closes an open connection and posts the end to a
// window already set (when the connect step had succeeded), then goes on.
bool RunSchemaImport(SchemaImportRequest& request);
