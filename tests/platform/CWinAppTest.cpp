// CWinApp lifecycle in a module loaded and unloaded with dlopen/dlclose.
// (Loading the module again is ModuleLifecycleTest's to check.)
#include "Recorder.h"

#include <platform/CWinApp.h>
#include <platform/Types.h>

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

// The host's Windows names, as the module's own sources use them.
using namespace platform::win;

namespace {

using Events = std::vector<std::string>;

void* Load(const char* path, int mode = RTLD_NOW | RTLD_LOCAL) {
  void* handle = dlopen(path, mode);
  EXPECT_NE(handle, nullptr) << dlerror();
  return handle;
}

// Closes the module and checks that it really left the process, so its
// static destructors have run.
void Unload(void* handle, const char* path) {
  ASSERT_EQ(dlclose(handle), 0) << dlerror();
  void* still = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
  EXPECT_EQ(still, nullptr) << path << " is still loaded after dlclose";
  if (still != nullptr) dlclose(still);
}

template <typename Fn>
Fn Symbol(void* handle, const char* name) {
  void* sym = dlsym(handle, name);
  EXPECT_NE(sym, nullptr) << dlerror();
  return reinterpret_cast<Fn>(sym);
}

class CWinAppLifecycle : public testing::Test {
 protected:
  void SetUp() override { qmtest::TakeRecords(); }
  void TearDown() override { qmtest::SetInitResult(TRUE); }
};

// InitInstance on load, after the module's statics are made; ExitInstance
// on unload, before they die, or at once when InitInstance fails (and not
// again at unload).
TEST_F(CWinAppLifecycle, InitOnLoadAfterStaticsAndExitOnUnloadOrFailedInitBeforeStaticsDie) {
  const Events made = {"A:early-file-static:ctor", "A:same-file-static:ctor", "A:app:ctor", "A:InitInstance"};
  const Events statics = {"A:app:dtor", "A:same-file-static:dtor", "A:early-file-static:dtor"};
  for (const bool initSucceeds : {true, false}) {
    SCOPED_TRACE(initSucceeds ? "InitInstance succeeds" : "InitInstance fails");
    qmtest::SetInitResult(initSucceeds ? TRUE : FALSE);
    void* handle = Load(QM_TEST_APP_PATH);
    ASSERT_NE(handle, nullptr);
    Events loaded = made;
    if (!initSucceeds) loaded.push_back("A:ExitInstance");
    EXPECT_EQ(qmtest::TakeRecords(), loaded);
    Events unloaded = initSucceeds ? Events{"A:ExitInstance"} : Events{};
    if (initSucceeds) {
      // A function-local static first used after load: its destructor is
      // registered later than anything above.
      Symbol<void (*)()>(handle, "qm_test_app_touch_local_static")();
      EXPECT_EQ(qmtest::TakeRecords(), Events{"A:local-static:ctor"});
      unloaded.push_back("A:local-static:dtor");
    }
    unloaded.insert(unloaded.end(), statics.begin(), statics.end());
    Unload(handle, QM_TEST_APP_PATH);
    EXPECT_EQ(qmtest::TakeRecords(), unloaded);
  }
}

// A host that never unloads the module: ExitInstance still runs once at
// process exit, before the module's namespace-scope statics are destroyed.
TEST_F(CWinAppLifecycle, ExitWithoutUnloadRunsExitInstanceOnceBeforeStatics) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        qmtest::SetEcho(true);
        if (dlopen(QM_TEST_APP_PATH, RTLD_NOW | RTLD_LOCAL) == nullptr) std::_Exit(3);
        std::exit(0);
      },
      testing::ExitedWithCode(0),
      "A:InitInstance\nA:ExitInstance\nA:app:dtor\nA:same-file-static:dtor\nA:early-file-static:dtor\n$");
}

}  // namespace
