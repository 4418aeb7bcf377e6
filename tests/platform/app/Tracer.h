// A static object that reports its construction and destruction, so a test
// can see where InitInstance and ExitInstance fall among them.
#pragma once

#include "Recorder.h"

#include <string>

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
