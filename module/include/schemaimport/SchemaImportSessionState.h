// SchemaImportSessionState: the one object through which the host and a
// running import share state: the model being filled, the host window that
// receives the import's posted messages, the import's status, a flag and a
// list of integers. The module creates one at load time and registers it
// with InterfaceProvider, which owns it from then on; the host reaches it
// only through ISchemaImportSessionState. It is exported so that tests and
// the module's application object can create one.
//
// Thread safety: the model, window handle, flag and status are each read
// and written whole with atomic loads and stores, so the host may set the
// window or raise the flag while an import runs on another thread; no
// ordering between the fields is promised. The integer list is not
// guarded: one thread at a time may copy it in or out.
#pragma once

#include <gatehouse/Interfaces.h>
#include <schemaimport/Export.h>

#include <atomic>
#include <vector>

class QM_SCHEMAIMPORT_API SchemaImportSessionState : public ISchemaImportSessionState {
 public:
  // No model, no window, flag down, empty list, status 0 (idle).
  SchemaImportSessionState() = default;
  ~SchemaImportSessionState() override;
  SchemaImportSessionState(const SchemaImportSessionState&) = delete;
  SchemaImportSessionState& operator=(const SchemaImportSessionState&) = delete;

  // Back to the state after construction; the list keeps its capacity.
  void Reset() override;
  void SetModel(GenericModel* model) override;
  // The model of the current import, or null.
  GenericModel* GetModel() override;
  void SetNotifyWindow(platform::win::HWND window) override;
  // The host window for posted messages, or null when none is set.
  platform::win::HWND GetNotifyWindow() override;
  int GetStatus() override;
  void SetStatus(int status) override;
  // Sets the flag; only Reset lowers it.
  void RaiseFlag() override;
  bool IsFlagRaised() override;
  // The session's list becomes a copy of the argument; passing the
  // session's own list changes nothing.
  void SetIntegerList(const std::vector<int>& list) override;
  // The argument becomes a copy of the session's list; passing the
  // session's own list changes nothing.
  void GetIntegerList(std::vector<int>& list) override;

 private:
  std::atomic<GenericModel*> m_model{nullptr};  // model the current import fills; not owned
  std::atomic<platform::win::HWND> m_notifyWindow{nullptr};    // host window for posted messages; not owned
  std::atomic<bool> m_flag{false};              // raised by RaiseFlag, lowered by Reset only
  std::vector<int> m_integerList;               // kept for the host; copied in and out whole
  std::atomic<int> m_status{0};                 // ImportStatus value (see SchemaImport.h)
};
