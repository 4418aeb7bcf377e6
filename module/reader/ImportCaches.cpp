// The bracket of an import's caches and the progress the reader posts.
#include <schemaimport/SchemaSourceReaderI.h>

#include <gatehouse/InterfaceProvider.h>
#include <schemaimport/ImportCacheDB.h>
#include <schemaimport/ImportedKeysCache.h>
#include <schemaimport/ImportedObjectCaches.h>
#include <schemaimport/ObjectIdLookup.h>
#include <schemaimport/SchemaImport.h>

// The Windows names the module is written against, privately.
using namespace platform::win;

namespace {

HWND NotifyWindow() {
  ISchemaImportSessionState* session = InterfaceProvider::Instance()->GetSchemaImportSessionState();
  return session != nullptr ? session->GetNotifyWindow() : nullptr;
}

}  // namespace

void SchemaSourceReaderI::InitCache() {
  ImportedKeysCache::Instance()->Reset();
  ImportedObjectCache::Instance()->Reset();
  ImportedIndexCache::Instance()->Reset();
  SchemaLookup::Instance()->Init(m_model);
  ImportCacheDB::Instance()->Create();
  m_objectCounts.clear();
  ClearFailedStatements();
}

void SchemaSourceReaderI::ResetCache() {
  ImportedKeysCache::Instance()->Reset();
  ImportedObjectCache::Instance()->Reset();
  ImportedIndexCache::Instance()->Reset();
  SchemaLookup::Instance()->Reset();
  ImportCacheDB::Instance()->Close();
  m_objectCounts.clear();
}

int SchemaSourceReaderI::StatementObjectType(int statementId) const {
  const auto it = m_statementObjectTypes.find(statementId);
  return it == m_statementObjectTypes.end() ? 0 : it->second;
}

void SchemaSourceReaderI::NotifyImporting(int statementId) {
  const HWND window = NotifyWindow();
  const int objectType = StatementObjectType(statementId);
  if (objectType == 0) return;
  PostMessageW(window, WM_IMPORT_PROGRESS, static_cast<WPARAM>(static_cast<LPARAM>(objectType)), 0);
}

void SchemaSourceReaderI::NotifyImported(int statementId) {
  const HWND window = NotifyWindow();
  const int objectType = StatementObjectType(statementId);
  if (objectType == 0) return;
  const auto count = m_objectCounts.find(objectType);
  const LPARAM records = count == m_objectCounts.end() ? 0 : count->second;
  PostMessageW(window, WM_IMPORT_PROGRESS, static_cast<WPARAM>(static_cast<LPARAM>(objectType)), records);
}
