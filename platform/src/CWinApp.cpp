#include <platform/CWinApp.h>

namespace platform::detail {

AppStartup::AppStartup(CWinApp& app) {
  app.m_afxRunning = true;
  if (!app.InitInstance()) AppShutdown(app);
}

void AppShutdown(CWinApp& app) {
  if (!app.m_afxRunning) return;
  app.m_afxRunning = false;
  app.ExitInstance();
}

}  // namespace platform::detail
