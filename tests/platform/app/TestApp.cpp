// A test application module, recording its lifecycle.
#include "TestApp.h"

static Tracer g_sameFileStatic("same-file-static");

QM_IMPLEMENT_APP(QM_TEST_APP_CLASS, theApp)

// Constructs a function-local static on first call, i.e. after load.
extern "C" void qm_test_app_touch_local_static() {
  static Tracer localStatic("local-static");
}
