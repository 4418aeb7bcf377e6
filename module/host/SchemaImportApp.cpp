// The module's application object: loading the library registers the
// session state and the import entry point with the host; unloading has the
// registry delete them, before the module's statics go.
#include "host/SchemaImportApi.h"
#include <schemaimport/SchemaImportSessionState.h>

#include <gatehouse/InterfaceProvider.h>
#include <platform/CWinApp.h>

// The Windows names the module is written against, privately.
using namespace platform::win;

namespace {

class CSchemaImportApp : public CWinApp {
 public:
  CSchemaImportApp() : CWinApp(nullptr) {}

  BOOL InitInstance() override {
    CWinApp::InitInstance();
    InterfaceProvider::Instance()->RegisterSchemaImportSessionState(new SchemaImportSessionState());
    InterfaceProvider::Instance()->RegisterSchemaImportApi(new SchemaImportApi());
    return TRUE;
  }

  int ExitInstance() override {
    InterfaceProvider::Instance()->DeleteSchemaImportSessionState();
    InterfaceProvider::Instance()->DeleteSchemaImportApi();
    return CWinApp::ExitInstance();
  }
};

}  // namespace

QM_IMPLEMENT_APP(CSchemaImportApp, theApp)
