#include <schemaimport/SchemaImportSessionState.h>

// The Windows names the module is written against, privately.
using namespace platform::win;

SchemaImportSessionState::~SchemaImportSessionState() = default;

void SchemaImportSessionState::Reset() {
  m_model.store(nullptr);
  m_notifyWindow.store(nullptr);
  m_flag.store(false);
  m_integerList.clear();  // keeps the capacity for the next run
  m_status.store(0);
}

void SchemaImportSessionState::SetModel(GenericModel* model) { m_model.store(model); }

GenericModel* SchemaImportSessionState::GetModel() { return m_model.load(); }

void SchemaImportSessionState::SetNotifyWindow(HWND window) { m_notifyWindow.store(window); }

HWND SchemaImportSessionState::GetNotifyWindow() { return m_notifyWindow.load(); }

int SchemaImportSessionState::GetStatus() { return m_status.load(); }

void SchemaImportSessionState::SetStatus(int status) { m_status.store(status); }

void SchemaImportSessionState::RaiseFlag() { m_flag.store(true); }

bool SchemaImportSessionState::IsFlagRaised() { return m_flag.load(); }

void SchemaImportSessionState::SetIntegerList(const std::vector<int>& list) {
  if (&list != &m_integerList) m_integerList = list;
}

void SchemaImportSessionState::GetIntegerList(std::vector<int>& list) {
  if (&list != &m_integerList) list = m_integerList;
}
