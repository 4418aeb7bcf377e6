// CWinApp: the application object of a shared library. InitInstance runs
// when the library is loaded; ExitInstance runs when it is unloaded, before
// any of its static objects (namespace-scope or function-local) are
// destroyed.
//
// A library declares its one application object with
//   QM_IMPLEMENT_APP(CMyApp, theApp)
// at namespace scope in one of its source files. Static initialisation runs
// in link order, so when InitInstance runs, the namespace-scope statics of
// that file above the macro and of files linked before it exist, but not
// those of files linked after it: state InitInstance needs belongs behind
// an Instance() function (constructed on first use) or above the macro.
#pragma once

#include <cstdlib>

class CWinApp {
 public:
  explicit CWinApp(const char16_t* appName = nullptr) : m_pszAppName(appName) {}
  virtual ~CWinApp() = default;
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  // Called once at load; returns a BOOL. Returning FALSE (0) makes the
  // loader call ExitInstance at once; the library stays loaded but inert.
  virtual int InitInstance() { return 1; }
  // Called once at unload, only when InitInstance ran. Returns an exit code.
  virtual int ExitInstance() { return 0; }

  const char16_t* m_pszAppName;
};

namespace platform::detail {
// Runs InitInstance when constructed and sets running; defined right after
// the application object, so the object is complete by then. A FALSE result
// runs ExitInstance at once.
struct AppStartup {
  AppStartup(CWinApp& app, bool& running);
};
// Runs ExitInstance once, if running, and clears running. The flag lives
// outside the object: the last call comes from the ELF destructor, which at
// process exit runs after the object itself has been destroyed.
void AppShutdown(CWinApp& app, bool& running);
}  // namespace platform::detail

// Unload runs ExitInstance from an ELF destructor of the library that expands
// the macro: dlclose runs it before that library's static destructors. At
// process exit without an unload, the atexit registration (made from the
// library itself, so it belongs to it) runs it before the statics
// constructed ahead of it: those above the macro and in files linked before
// it; statics constructed later, including function-local ones first used
// after load, are gone by then. Whichever comes first wins; the running
// flag is trivially destructible, so it stays valid until the library is
// unmapped.
//
// The object is hidden: every library names its object theApp, and a
// visible one would let the first library loaded with RTLD_GLOBAL (or an
// executable exporting the name) capture every later library's theApp, so
// a later library would construct, initialise and destroy the other's
// object instead of its own. Other files of the same library can still
// declare it extern.
#define QM_IMPLEMENT_APP(AppClass, appObject)                                          \
  __attribute__((visibility("hidden"))) AppClass appObject;                            \
  static bool appObject##_afxRunning = false;                                          \
  static void appObject##_afxShutdown() {                                              \
    ::platform::detail::AppShutdown(appObject, appObject##_afxRunning);                \
  }                                                                                    \
  static ::platform::detail::AppStartup appObject##_afxStartup(appObject, appObject##_afxRunning); \
  [[maybe_unused]] static const int appObject##_afxAtExit = std::atexit(&appObject##_afxShutdown);      \
  __attribute__((destructor)) static void appObject##_afxUnload() { appObject##_afxShutdown(); }
