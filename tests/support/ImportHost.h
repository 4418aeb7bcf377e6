// The tests' host, on runner/ as quillmere-import: loads a plug-in, runs
// one import as it does (on a worker), and reads models back.
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

// A plug-in loaded as the host does; failing to load fails the test.
class LoadedPlugin {
 public:
  explicit LoadedPlugin(const char* path);
  LoadedPlugin(const LoadedPlugin&) = delete;
  LoadedPlugin& operator=(const LoadedPlugin&) = delete;

  bool Loaded() const { return m_api != nullptr; }
  const QmPluginApi& Api() const;  // throws when not loaded
  // dlclose now; true when the library is gone from the process.
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

// Configures the plug-in and imports. A run past the limit is asked to
// stop and fails the test; one that does not stop aborts the process.
ImportOutcome RunImport(const QmPluginApi& api, GenericModel& model, std::string_view source,
                        std::string_view scope = {}, const QmConnectOptions& options = {},
                        std::chrono::seconds limit = std::chrono::seconds(180));

// Success when the import connected and no statement failed.
::testing::AssertionResult ReadInFull(const ImportOutcome& outcome);
// Checks an import whose connect failed: nothing reported, posted or read.
void ExpectConnectFailed(const ImportOutcome& outcome, const GenericModel& model);

// The last progress count per type; a first count other than 0 fails.
std::map<int, long long> ProgressCounts(const ImportOutcome& outcome);

// Reading the model: text in UTF-8, "" or no ids when absent.
std::vector<CMOObject*> Children(GenericModel& model, const CMOObject& parent, int type);
CMOObject* Child(GenericModel& model, const CMOObject& parent, int type, std::string_view name);
std::vector<CMOObject*> AllOfType(GenericModel& model, int type);
std::string Text(const CMOObject& object, int propertyId);
std::vector<int> Ids(const CMOObject& object, int propertyId);
std::string Name(const CMOObject& object);
std::vector<std::string> Names(const std::vector<CMOObject*>& objects);
// "a,b,c": the names of the objects with these ids ("#id" for a missing one).
std::string NameList(const GenericModel& model, const std::vector<int>& ids);
// Any property as text (ids as NameList); "<absent>" when there is none.
std::string Value(const GenericModel& model, const CMOObject& object, int propertyId);

// "-" for no text or no integer; "?" for no parent.
std::string Dash(const std::string& text);
std::string NumberOf(const CMOObject& object, int propertyId);
std::string ParentName(const GenericModel& model, const CMOObject& object);

// Faults of the parent and child lists and id properties; empty when sound.
std::vector<std::string> StructuralFaults(const GenericModel& model);

// The lines in one list and not the other; empty when both hold the same.
std::string LineDifference(const std::vector<std::string>& expected, const std::vector<std::string>& actual);

std::vector<std::string> OfKinds(const std::vector<std::string>& lines, const std::set<std::string>& kinds);
std::string Identifier(std::string text);  // '-' becomes '_', for database names

// The fields joined with " | ", line breaks, tabs and backslashes escaped.
std::string Line(std::initializer_list<std::string> fields);

// Reads the host's JSON into a model holding only its root; no model fails.
void ReadModelJson(const std::string& text, GenericModel& model);

}  // namespace qm::test
