#include <platform/CWinApp.h>

namespace platform::detail {

AppStartup::AppStartup(CWinApp& app, bool& running) {
  running = true;
  if (!app.InitInstance()) AppShutdown(app, running);
}

void AppShutdown(CWinApp& app, bool& running) {
  if (!running) return;
  running = false;
  app.ExitInstance();
}

}  // namespace platform::detail
