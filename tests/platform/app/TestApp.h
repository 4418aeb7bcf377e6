// The test application class and a static that reports its construction and
// destruction, to see where InitInstance and ExitInstance fall among them.
#pragma once

#include "Recorder.h"

#include <platform/CWinApp.h>

#include <string>

class QM_TEST_APP_CLASS : public CWinApp {
 public:
  QM_TEST_APP_CLASS() { qmtest::Record(QM_TEST_APP_TAG ":app:ctor"); }
  ~QM_TEST_APP_CLASS() override { qmtest::Record(QM_TEST_APP_TAG ":app:dtor"); }

  int InitInstance() override {
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

namespace {  // internal to each module: two modules never share its code

class Tracer {
 public:
  explicit Tracer(const char* name) : m_name(std::string(QM_TEST_APP_TAG ":") + name) {
    qmtest::Record(m_name + ":ctor");
  }
  ~Tracer() { qmtest::Record(m_name + ":dtor"); }
  Tracer(const Tracer&) = delete;
  Tracer& operator=(const Tracer&) = delete;

 private:
  std::string m_name;
};

}  // namespace
