#include "host/SchemaImportApi.h"

#include <gatehouse/InterfaceProvider.h>
#include <schemaimport/ImportToolsProvider.h>
#include <schemaimport/ModelWriting.h>
#include <schemaimport/SchemaImport.h>
#include <schemaimport/SchemaSourceConnectorI.h>
#include <schemaimport/SchemaSourceReaderI.h>
#include <tillerhold/GenericModel.h>
#include <tillerhold/ModelVocabulary.h>

#include <string>

namespace {

constexpr DWORD kLateWindowWaitMs = 5000;

ISchemaImportSessionState* Session() { return InterfaceProvider::Instance()->GetSchemaImportSessionState(); }

}  // namespace

void SchemaImportApi::ReverseEngineerFromDB(GenericModel* model) {
  model->PurgeActivityLog();
  model->SetUndoTracingOff();
  model->BeginActivity(u"Reverse Engineer From DB");

  ISchemaImportSessionState* session = Session();
  session->Reset();
  session->SetModel(model);

  if (IObjectExplorerInterface* explorer = InterfaceProvider::Instance()->GetObjectExplorerInterface())
    explorer->OnImportStarting();

  BuildSchemaFromSQLDB();

  if (IObjectExplorerInterface* explorer = InterfaceProvider::Instance()->GetObjectExplorerInterface())
    explorer->OnImportFinished();

  model->EndActivity();
  model->SetUndoTracingOn();
}

bool RunSchemaImport(SchemaImportRequest& request) {
  ISchemaImportSessionState* session = Session();
  SchemaSourceConnectorI* connector = ImportToolsProvider::Instance()->GetConnector(request.modelType);
  if (connector == nullptr || !connector->EstablishConnection()) {
    session->SetStatus(ImportStatusConnectFailed);
    return false;
  }
  session->SetStatus(ImportStatusConnected);

  CMOObject* root = request.model->GetCMOObject();
  SetTextProperty(*root, model::ServerName, connector->GetServerName());
  SetTextProperty(*root, model::DatabaseName, connector->GetDatabaseName());

  if (SchemaSourceReaderI* reader = ImportToolsProvider::Instance()->GetReader(request.modelType)) {
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

  const bool connected = RunSchemaImport(request);

  if (SchemaSourceReaderI* reader = ImportToolsProvider::Instance()->GetReader(request.modelType))
    reader->ResetCache();

  request.model = nullptr;
  return connected;
}
