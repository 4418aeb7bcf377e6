// The tests' host, on runner/ as quillmere-import: loads a plug-in and
// runs one import as it does, and reads models back.
//
// Thread safety: the test's thread only; the import runs on a worker.
#pragma once

#include "OdbcTestSupport.h"

#include <platform/Win32.h>
#include <runner/PluginCatalogue.h>
#include <schemaimport/PluginApi.h>
#include <tillerhold/CMOObject.h>
#include <tillerhold/GenericModel.h>

#include <gtest/gtest.h>

#include <chrono>
#include <initializer_list>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace qm::test {

// A plug-in loaded and checked as the host does, unloaded when the object
// goes. Loading failures fail the calling test.
class LoadedPlugin {
 public:
  explicit LoadedPlugin(const char* path);
  LoadedPlugin(const LoadedPlugin&) = delete;
  LoadedPlugin& operator=(const LoadedPlugin&) = delete;

  bool Loaded() const { return m_api != nullptr; }
  // The plug-in's table; throws when it did not load or was unloaded.
  const QmPluginApi& Api() const;
  // dlclose now; true when the library is gone from the process afterwards.
  bool Unload();

 private:
  std::string m_path;                  // as given
  runner::PluginCatalogue m_catalogue; // holds the library
  const QmPluginApi* m_api = nullptr;  // the plug-in's table; null when loading failed or after Unload
};

// What a run left for the host to see.
struct ImportOutcome {
  int status = -1;                        // the session status afterwards
  std::vector<platform::win::MSG> messages;  // posted to the host window, in order
  std::vector<QmFailedStatement> failed;  // the plug-in's FailedStatements
  OdbcDiagnostic connectError;            // the plug-in's LastConnectError
  bool finishedPosted = false;            // the last message is WM_IMPORT_FINISHED
};

// Configures the plug-in (source and scope in UTF-8, connect options) and
// imports into the model. A run past the limit is asked to stop and fails
// the test; one that does not stop aborts the process. An exception from
// the import is thrown on once the host has cleaned up.
ImportOutcome RunImport(const QmPluginApi& api, GenericModel& model, std::string_view source,
                        std::string_view scope = {}, std::chrono::seconds limit = std::chrono::seconds(180),
                        const QmConnectOptions& options = {});
ImportOutcome RunImport(const QmPluginApi& api, GenericModel& model, std::string_view source, std::string_view scope,
                        const QmConnectOptions& options, std::chrono::seconds limit = std::chrono::seconds(180));

// Success when the import connected and no statement failed.
::testing::AssertionResult ReadInFull(const ImportOutcome& outcome);
// Checks an import whose connect failed: status, reason, nothing reported
// or posted, only the root in the model.
void ExpectConnectFailed(const ImportOutcome& outcome, const GenericModel& model);

// The last progress count per object type; a type whose first message is
// not a count of 0 fails the calling test.
std::map<int, long long> ProgressCounts(const ImportOutcome& outcome);

// Reading the model. Text is UTF-8 ("" when absent), ids empty when absent.
std::vector<CMOObject*> Children(GenericModel& model, const CMOObject& parent, int type);
// The child of that type with that name, or null.
CMOObject* Child(GenericModel& model, const CMOObject& parent, int type, std::string_view name);
// Every object of the type anywhere in the model, in id order.
std::vector<CMOObject*> AllOfType(GenericModel& model, int type);
std::string Text(const CMOObject& object, int propertyId);
std::vector<int> Ids(const CMOObject& object, int propertyId);
std::string Name(const CMOObject& object);
// The names of the objects, in order.
std::vector<std::string> Names(const std::vector<CMOObject*>& objects);
// "a,b,c": the names of the objects with these ids ("#id" for a missing one).
std::string NameList(const GenericModel& model, const std::vector<int>& ids);
// Any property as text: a text itself, an integer in decimal, ids as their
// NameList; "<absent>" when the object has no such property.
std::string Value(const GenericModel& model, const CMOObject& object, int propertyId);

// The text, or "-" when empty; an integer property in decimal, or "-" when
// absent; the name of the object's parent, or "?".
std::string Dash(const std::string& text);
std::string NumberOf(const CMOObject& object, int propertyId);
std::string ParentName(const GenericModel& model, const CMOObject& object);

// What is wrong with the model's parent and child lists and id
// properties; empty when sound.
std::vector<std::string> StructuralFaults(const GenericModel& model);

// The lines in one list and not the other; empty when both hold the same.
std::string LineDifference(const std::vector<std::string>& expected, const std::vector<std::string>& actual);

// The lines whose first word is one of kinds.
std::vector<std::string> OfKinds(const std::vector<std::string>& lines, const std::set<std::string>& kinds);
// The text as a test's or a test database's name: '-' becomes '_'.
std::string Identifier(std::string text);

// The fields joined with " | ", line breaks, tabs and backslashes escaped.
std::string Line(std::initializer_list<std::string> fields);

// Reads the host's JSON into a model that holds only its root; text that is
// no model fails the calling test.
void ReadModelJson(const std::string& text, GenericModel& model);

}  // namespace qm::test
