// The test application class. Declared at namespace scope under a
// per-module name (QM_TEST_APP_CLASS), as an application's class would be.
#pragma once

#include "Recorder.h"

#include <platform/CWinApp.h>

class QM_TEST_APP_CLASS : public CWinApp {
 public:
  QM_TEST_APP_CLASS() { qmtest::Record(QM_TEST_APP_TAG ":app:ctor"); }
  ~QM_TEST_APP_CLASS() override { qmtest::Record(QM_TEST_APP_TAG ":app:dtor"); }

  int InitInstance() override {  // a BOOL
    qmtest::Record(QM_TEST_APP_TAG ":InitInstance");
    return qmtest::InitResult();
  }
  int ExitInstance() override {
    qmtest::Record(QM_TEST_APP_TAG ":ExitInstance");
    return 0;
  }
};

// Defined by QM_IMPLEMENT_APP in TestApp.cpp.
extern QM_TEST_APP_CLASS theApp;
