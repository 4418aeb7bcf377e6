#include <gatehouse/InterfaceProvider.h>

#include <utility>

namespace {

// Swaps the new pointer in under the lock and returns the one to delete,
// which the caller deletes after unlocking: a destructor that calls back
// into the registry must not find the mutex held.
template <typename T>
T* Replace(std::mutex& mutex, T*& slot, T* replacement) {
  std::lock_guard<std::mutex> lock(mutex);
  if (slot == replacement) return nullptr;  // registering the same object again keeps it
  return std::exchange(slot, replacement);
}

}  // namespace

InterfaceProvider* InterfaceProvider::Instance() {
  static InterfaceProvider instance;
  return &instance;
}

InterfaceProvider::~InterfaceProvider() {
  // The order of a module's unload: the session state, then the import.
  delete std::exchange(m_sessionState, nullptr);
  delete std::exchange(m_schemaImport, nullptr);
}

void InterfaceProvider::RegisterSchemaImportSessionState(ISchemaImportSessionState* state) {
  delete Replace(m_mutex, m_sessionState, state);
}

void InterfaceProvider::RegisterSchemaImportApi(ISchemaImport* api) {
  delete Replace(m_mutex, m_schemaImport, api);
}

ISchemaImportSessionState* InterfaceProvider::GetSchemaImportSessionState() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_sessionState;
}

ISchemaImport* InterfaceProvider::GetSchemaImportApi() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_schemaImport;
}

void InterfaceProvider::DeleteSchemaImportSessionState() {
  delete Replace<ISchemaImportSessionState>(m_mutex, m_sessionState, nullptr);
}

void InterfaceProvider::DeleteSchemaImportApi() {
  delete Replace<ISchemaImport>(m_mutex, m_schemaImport, nullptr);
}

IObjectExplorerInterface* InterfaceProvider::GetObjectExplorerInterface() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_explorer;
}

void InterfaceProvider::SetObjectExplorerInterface(IObjectExplorerInterface* explorer) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_explorer = explorer;
}
