#include "host/SchemaImportApi.h"
#include "host/ScopeExit.h"

#include <gatehouse/InterfaceProvider.h>
#include <schemaimport/ImportToolsProvider.h>
#include <schemaimport/ModelWriting.h>
#include <schemaimport/SchemaImport.h>
#include <schemaimport/SchemaSourceConnectorI.h>
#include <schemaimport/SchemaSourceReaderI.h>
#include <tillerhold/GenericModel.h>
#include <tillerhold/ModelVocabulary.h>

#include <string>

// The Windows names the module is written against, privately.
using namespace platform::win;

namespace {

constexpr DWORD kLateWindowWaitMs = 5000;

ISchemaImportSessionState* Session() { return InterfaceProvider::Instance()->GetSchemaImportSessionState(); }

}  // namespace

void SchemaImportApi::ReverseEngineerFromDB(GenericModel* model) {
  model->PurgeActivityLog();
  model->SetUndoTracingOff();
  model->BeginActivity(u"Reverse Engineer From DB");
  // From here on every way out, an exception included, closes the bracket:
  // the explorer hears the end, the activity ends, undo tracing comes back.
  // Guards run in reverse order of their making.
  ScopeExit undoTracingOn([model](bool) { model->SetUndoTracingOn(); });
  ScopeExit endActivity([model](bool) { model->EndActivity(); });

  ISchemaImportSessionState* session = Session();
  session->Reset();
  session->SetModel(model);

  if (IObjectExplorerInterface* explorer = InterfaceProvider::Instance()->GetObjectExplorerInterface())
    explorer->OnImportStarting();
  ScopeExit importFinished([](bool) {
    if (IObjectExplorerInterface* explorer = InterfaceProvider::Instance()->GetObjectExplorerInterface())
      explorer->OnImportFinished();
  });

  BuildSchemaFromSQLDB();
}

bool RunSchemaImport(SchemaImportRequest& request) {
  ISchemaImportSessionState* session = Session();
  SchemaSourceConnectorI* connector = ImportToolsProvider::Instance()->GetConnector(request.modelType);
  SchemaSourceReaderI* reader = ImportToolsProvider::Instance()->GetReader(request.modelType);
  // What the reader recorded as failed belongs to its previous import; a
  // run that does not get as far as reading must not report it again.
  if (reader != nullptr) reader->ClearFailedStatements();

  // An exception from here on marks the run failed; what is open is closed
  // and, when the connect step had succeeded, the end is posted to a window
  // already set, before the exception goes on to the caller.
  bool connected = false;  // the connect step succeeded
  ScopeExit end([&](bool failed) {
    if (!failed) return;
    session->SetStatus(ImportStatusFailed);
    // A connect step that threw may have opened the connection first.
    if (connector != nullptr && connector->GetConnectionHandle() != nullptr) connector->Disconnect();
    if (!connected) return;
    if (HWND window = session->GetNotifyWindow()) PostMessageW(window, WM_IMPORT_FINISHED, 0, 0);
  });

  // The connector's diagnostic is this connect step's alone.
  if (connector != nullptr) connector->ClearLastDiagnostic();
  if (connector == nullptr || !connector->EstablishConnection()) {
    session->SetStatus(ImportStatusConnectFailed);
    return false;
  }
  connected = true;
  session->SetStatus(ImportStatusConnected);

  CMOObject* root = request.model->GetCMOObject();
  SetTextProperty(*root, model::ServerName, connector->GetServerName());
  SetTextProperty(*root, model::DatabaseName, connector->GetDatabaseName());

  if (reader != nullptr) {
    reader->SetConnection(connector);
    reader->SetModel(request.model);
    reader->InitCache();
    reader->GetAvailableObjects();
    reader->ReadObjects();
  }

  connector->Disconnect();

  HWND window = session->GetNotifyWindow();
  if (window == nullptr) {
    // The host may set its window only after the run began; wait once.
    Sleep(kLateWindowWaitMs);
    window = session->GetNotifyWindow();
    if (window == nullptr) return true;
  }
  PostMessageW(window, WM_IMPORT_FINISHED, 0, 0);
  return true;
}

extern "C" QM_SCHEMAIMPORT_API bool BuildSchemaFromSQLDB() {
  GenericModel* model = Session()->GetModel();
  if (model == nullptr) return false;

  static SchemaImportRequest request;
  request.model = model;
  request.modelType = static_cast<int>(model->GetModelType());
  // After every run, failed, refused or broken off by an exception: the
  // caches, the schema lookup and the scratch store belong to this run
  // only. Kept, the lookup would hand the next import this model's ids.
  ScopeExit endRun([](bool) { request.model = nullptr; });
  ScopeExit resetCaches([](bool) {
    if (SchemaSourceReaderI* reader = ImportToolsProvider::Instance()->GetReader(request.modelType))
      reader->ResetCache();
  });

  return RunSchemaImport(request);
}
