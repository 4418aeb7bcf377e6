// Linked before TestApp.cpp: its namespace-scope static exists by the time
// InitInstance runs. Also reaches the application object from another file.
#include "TestApp.h"

static Tracer g_earlyFileStatic("early-file-static");

// The address of this module's application object, to tell modules apart.
extern "C" CWinApp* qm_test_app_object() { return &theApp; }
