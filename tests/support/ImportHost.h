// The tests' host, on the host library quillmere-import is built on
// (runner/): loads a database plug-in as quillmere-import does (its table
// checked), runs one import the way it does (runner::RunImport: a worker
// thread, a host window, an object explorer handing the window over), and
// reads models back: walked in memory, compared as lines, or read from the
// JSON the host writes.
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

// A plug-in library loaded and checked as the host does
// (runner::PluginCatalogue::Load), unloaded when the object goes. Loading
// failures fail the calling test.
class LoadedPlugin {
 public:
  explicit LoadedPlugin(const char* path);
  ~LoadedPlugin() = default;
  LoadedPlugin(const LoadedPlugin&) = delete;
  LoadedPlugin& operator=(const LoadedPlugin&) = delete;

  bool Loaded() const { return m_api != nullptr; }
  // The plug-in's table; throws, failing the calling test with the
  // library's path, when it did not load or was unloaded.
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

// Configures the plug-in with source and scope (UTF-8) and the connect
// options (the defaults unless given), and runs
// ReverseEngineerFromDB into the model. A run that does not end within the
// limit is asked to stop and fails the test; one that does not stop either
// aborts the process: a hung import cannot be left behind. An exception
// from the import is thrown on to the caller after the host has taken its
// explorer and window away again.
ImportOutcome RunImport(const QmPluginApi& api, GenericModel& model, std::string_view source,
                        std::string_view scope = {}, std::chrono::seconds limit = std::chrono::seconds(180),
                        const QmConnectOptions& options = {});
// The same with the connect options first (a notice callback, a timeout).
ImportOutcome RunImport(const QmPluginApi& api, GenericModel& model, std::string_view source, std::string_view scope,
                        const QmConnectOptions& options, std::chrono::seconds limit = std::chrono::seconds(180));

// Success when the import connected and no statement failed; otherwise
// the connect error, or every failed statement with the driver's reason.
::testing::AssertionResult ReadInFull(const ImportOutcome& outcome);
// Checks an import whose connect failed: the status says so, the driver's
// reason is there, no statement is reported, nothing was posted to the
// host and the model holds its root only.
void ExpectConnectFailed(const ImportOutcome& outcome, const GenericModel& model);

// What the progress messages said last for each object type (type ->
// count). A type whose first message is not the start of its reading
// (count 0) fails the calling test.
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

// What is wrong with the model's structure: an object whose parent is
// missing or does not list it, a child list naming a missing object or
// another's child, an id property naming no object. Empty when sound.
std::vector<std::string> StructuralFaults(const GenericModel& model);

// The lines in one list and not in the other, for a readable failure;
// empty when both hold the same lines as often.
std::string LineDifference(const std::vector<std::string>& expected, const std::vector<std::string>& actual);

// The lines whose first word (the kind of object a line describes) is one
// of kinds, in their order.
std::vector<std::string> OfKinds(const std::vector<std::string>& lines, const std::set<std::string>& kinds);
// The text as a test's or a test database's name: '-' becomes '_'.
std::string Identifier(std::string text);

// The fields joined with " | ", with line breaks, tabs and backslashes
// written as escapes so that the line stays one line.
std::string Line(std::initializer_list<std::string> fields);

// Reads the JSON the host writes into a model that holds only its root
// (the json format's reader, writers/JsonReader.h): the same ids, types
// and properties. Text that is no such model fails the calling test.
void ReadModelJson(const std::string& text, GenericModel& model);

}  // namespace qm::test
