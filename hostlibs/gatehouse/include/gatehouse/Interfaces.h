// The host interfaces through which the application and the schema-import
// module meet. The module implements ISchemaImport and
// ISchemaImportSessionState; the host implements IObjectExplorerInterface.
#pragma once

#include <platform/Win32.h>

#include <vector>

class GenericModel;

// The state a host and a running import share. Every operation may be
// called while an import runs on another thread, except the integer-list
// copies, which one thread at a time may make.
class ISchemaImportSessionState {
 public:
  virtual ~ISchemaImportSessionState() = default;
  virtual void Reset() = 0;
  virtual void SetModel(GenericModel* model) = 0;
  virtual GenericModel* GetModel() = 0;
  virtual void SetNotifyWindow(platform::win::HWND window) = 0;
  virtual platform::win::HWND GetNotifyWindow() = 0;
  virtual int GetStatus() = 0;
  virtual void SetStatus(int status) = 0;
  virtual void RaiseFlag() = 0;
  virtual bool IsFlagRaised() = 0;
  virtual void SetIntegerList(const std::vector<int>& list) = 0;
  virtual void GetIntegerList(std::vector<int>& list) = 0;
};

// The import entry point the module registers.
class ISchemaImport {
 public:
  virtual ~ISchemaImport() = default;
  // Lets the module show its import options; a module may do nothing here.
  virtual void ShowImportOptions() = 0;
  // Runs one whole import into the model, synchronously.
  virtual void ReverseEngineerFromDB(GenericModel* model) = 0;
};

// The host's object explorer, told when an import starts and ends.
class IObjectExplorerInterface {
 public:
  virtual void OnImportStarting() = 0;
  virtual void OnImportFinished() = 0;
  virtual ~IObjectExplorerInterface() = default;
};
