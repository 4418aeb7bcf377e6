// The hardening tests' host: loads a database plug-in as quillmere-import
// does, runs one import the way it does (a worker thread, a host window, an
// object explorer handing the window over), and reads the model back.
//
// Thread safety: the test's thread only; the import runs on a worker.
#pragma once

#include <platform/Win32.h>
#include <schemaimport/PluginApi.h>
#include <tillerhold/CMOObject.h>
#include <tillerhold/GenericModel.h>

#include <chrono>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace qm::test::hardening {

std::string Utf8(std::u16string_view text);
std::u16string Utf16(std::string_view text);

// A plug-in library loaded with dlopen, unloaded when the object goes.
class LoadedPlugin {
 public:
  explicit LoadedPlugin(const char* path);
  ~LoadedPlugin();
  LoadedPlugin(const LoadedPlugin&) = delete;
  LoadedPlugin& operator=(const LoadedPlugin&) = delete;

  bool Loaded() const { return m_api != nullptr; }
  const QmPluginApi& Api() const { return *m_api; }

 private:
  void* m_handle = nullptr;            // dlopen handle
  const QmPluginApi* m_api = nullptr;  // the plug-in's table; null when loading failed
};

// What a run left for the host to see.
struct ImportOutcome {
  int status = -1;                        // the session status afterwards
  std::vector<MSG> messages;              // posted to the host window, in order
  std::vector<QmFailedStatement> failed;  // the plug-in's FailedStatements
  OdbcDiagnostic connectError;            // the plug-in's LastConnectError
  bool finishedPosted = false;            // the last message is WM_IMPORT_FINISHED
};

// Configures the plug-in and runs ReverseEngineerFromDB into the model. A
// run that does not end within the limit fails the test and aborts the
// process: a hung import cannot be left behind.
ImportOutcome RunImport(const QmPluginApi& api, GenericModel& model, const std::u16string& source,
                        const std::u16string& scope = {}, std::chrono::seconds limit = std::chrono::seconds(180));

// Reading the model.
std::vector<CMOObject*> Children(GenericModel& model, const CMOObject& parent, int type);
std::vector<CMOObject*> AllOfType(GenericModel& model, int type);
// A text property ("" when absent), an id list (empty when absent).
std::u16string Text(const CMOObject& object, int propertyId);
std::vector<int> Ids(const CMOObject& object, int propertyId);
std::u16string Name(const CMOObject& object);
// The names of the children of that type, in creation order.
std::vector<std::u16string> ChildNames(GenericModel& model, const CMOObject& parent, int type);

// What is wrong with the model's structure: an object whose parent is
// missing or does not list it, a child list naming a missing object or
// another's child, an id property naming no object. Empty when sound.
std::vector<std::string> StructuralFaults(const GenericModel& model);

// One line per object below the root, sorted: its type, its path of names
// from the root, and every property (ids shown as the paths they name), so
// that two imports of one database compare equal exactly when they built
// the same model, whatever ids were given out. With types given, only the
// objects of those types.
std::vector<std::string> Fingerprint(const GenericModel& model, const std::set<int>& types = {});

// The lines in one list and not in the other, for a readable failure.
std::string LineDifference(const std::vector<std::string>& expected, const std::vector<std::string>& actual);

}  // namespace qm::test::hardening
