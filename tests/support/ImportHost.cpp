#include "ImportHost.h"

#include "ModelWords.h"

#include <gatehouse/InterfaceProvider.h>
#include <runner/ImportRunner.h>
#include <schemaimport/SchemaImport.h>
#include <tillerhold/CMOProperty.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>
#include <writers/JsonReader.h>

#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <map>
#include <sstream>
#include <stdexcept>

// The host's Windows names, as the module's own sources use them.
using namespace platform::win;

namespace qm::test {

LoadedPlugin::LoadedPlugin(const char* path) : m_path(path) {
  if (const runner::FoundPlugin* plugin = m_catalogue.Load(path)) {
    m_api = plugin->api;
    return;
  }
  for (const runner::RefusedLibrary& refused : m_catalogue.Refused())
    ADD_FAILURE() << "cannot load " << refused.path << ": " << refused.reason;
}

const QmPluginApi& LoadedPlugin::Api() const {
  if (m_api == nullptr) throw std::logic_error("the plug-in " + m_path + " is not loaded (see the failure above, if any)");
  return *m_api;
}

::testing::AssertionResult ReadInFull(const ImportOutcome& outcome) {
  if (outcome.status != ImportStatusConnected)
    return ::testing::AssertionFailure() << "status " << outcome.status << ": " << Describe(outcome.connectError);
  if (outcome.failed.empty()) return ::testing::AssertionSuccess();
  ::testing::AssertionResult result = ::testing::AssertionFailure();
  result << outcome.failed.size() << " statements failed";
  for (const QmFailedStatement& failed : outcome.failed)
    result << "\n" << Utf8(failed.name) << ": " << Describe(failed.diagnostic);
  return result;
}

void ExpectConnectFailed(const ImportOutcome& outcome, const GenericModel& model) {
  EXPECT_EQ(outcome.status, ImportStatusConnectFailed);
  EXPECT_FALSE(outcome.connectError.message.empty());
  EXPECT_TRUE(outcome.failed.empty()) << "statements reported for an import that never connected";
  EXPECT_TRUE(outcome.messages.empty()) << "progress or finish posted for an import that never connected";
  EXPECT_EQ(model.GetObjectCount(), 1);
}

std::map<int, long long> ProgressCounts(const ImportOutcome& outcome) {
  std::map<int, long long> counts;
  for (const MSG& message : outcome.messages) {
    if (message.message != WM_IMPORT_PROGRESS) continue;
    const int type = static_cast<int>(message.wParam);
    EXPECT_TRUE(counts.count(type) || message.lParam == 0) << "type " << type << " finished before it started";
    counts[type] = static_cast<long long>(message.lParam);
  }
  return counts;
}

bool LoadedPlugin::Unload() {
  m_api = nullptr;
  m_catalogue.Close();
  return dlopen(m_path.c_str(), RTLD_NOW | RTLD_NOLOAD) == nullptr;
}

namespace {

// What the host window received, in order.
class MessageRecorder : public runner::ImportDisplay {
 public:
  void Message(const MSG& message) override { messages.push_back(message); }
  std::vector<MSG> messages;
};

}  // namespace

ImportOutcome RunImport(const QmPluginApi& api, GenericModel& model, std::string_view source, std::string_view scope,
                        const QmConnectOptions& options, std::chrono::seconds limit) {
  ImportOutcome outcome;
  InterfaceProvider* provider = InterfaceProvider::Instance();
  ISchemaImport* import = provider->GetSchemaImportApi();
  ISchemaImportSessionState* session = provider->GetSchemaImportSessionState();
  if (import == nullptr || session == nullptr) {
    ADD_FAILURE() << "the module registered no import interface or session";
    return outcome;
  }
  api.Configure(Utf16(source), Utf16(scope));
  api.SetConnectOptions(options);
  MessageRecorder recorder;
  runner::RunControl control;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  control.cancelRequested = [deadline] { return std::chrono::steady_clock::now() >= deadline; };
  const runner::ImportOutcome run = runner::RunImport(*import, *session, model, recorder, control);
  if (run.abandoned) {
    ADD_FAILURE() << "the import did not end within " << limit.count() << " s, nor when asked to stop";
    std::cerr << "the import hangs; aborting the test process\n";
    std::abort();
  }
  if (run.cancelled) ADD_FAILURE() << "the import did not end within " << limit.count() << " s";
  outcome.status = run.status;
  outcome.messages = recorder.messages;
  if (run.threw) std::rethrow_exception(run.thrown);
  outcome.failed = api.FailedStatements();
  outcome.connectError = api.LastConnectError();
  outcome.finishedPosted = !outcome.messages.empty() && outcome.messages.back().message == WM_IMPORT_FINISHED;
  return outcome;
}

std::vector<CMOObject*> Children(GenericModel& model, const CMOObject& parent, int type) {
  std::vector<int> ids;
  parent.GetChildrenByType(ids, type);
  std::vector<CMOObject*> children;
  for (int id : ids)
    if (CMOObject* child = model.GetCMOObject(id)) children.push_back(child);
  return children;
}

CMOObject* Child(GenericModel& model, const CMOObject& parent, int type, std::string_view name) {
  for (CMOObject* child : Children(model, parent, type))
    if (Name(*child) == name) return child;
  return nullptr;
}

std::vector<CMOObject*> AllOfType(GenericModel& model, int type) {
  std::vector<CMOObject*> objects;
  for (int id = 1; id <= model.GetObjectCount(); ++id)
    if (CMOObject* object = model.GetCMOObject(id); object != nullptr && object->GetObjectType() == type)
      objects.push_back(object);
  return objects;
}

std::string Text(const CMOObject& object, int propertyId) {
  const CMOProperty* property = object.GetProperty(propertyId);
  return property != nullptr ? Utf8(property->WStringRef()) : std::string();
}

std::vector<int> Ids(const CMOObject& object, int propertyId) {
  const CMOProperty* property = object.GetProperty(propertyId);
  return property != nullptr ? property->GetObjectIdVectorValue() : std::vector<int>();
}

std::string Name(const CMOObject& object) { return Text(object, model::Name); }

std::vector<std::string> Names(const std::vector<CMOObject*>& objects) {
  std::vector<std::string> names;
  for (const CMOObject* object : objects) names.push_back(Name(*object));
  return names;
}

std::string NameList(const GenericModel& model, const std::vector<int>& ids) {
  std::string list;
  for (int id : ids) {
    if (!list.empty()) list += ",";
    const CMOObject* object = model.GetCMOObject(id);
    list += object != nullptr ? Name(*object) : "#" + std::to_string(id);
  }
  return list;
}

std::string Value(const GenericModel& model, const CMOObject& object, int propertyId) {
  const CMOProperty* property = object.GetProperty(propertyId);
  if (property == nullptr) return "<absent>";
  switch (property->GetValueKind()) {
    case CMOProperty::ValueKind::WString:
      return Utf8(property->WStringRef());
    case CMOProperty::ValueKind::Integer:
      return std::to_string(property->GetIntegerValue());
    case CMOProperty::ValueKind::ObjectIdVector:
      return NameList(model, property->GetObjectIdVectorValue());
    case CMOProperty::ValueKind::None:
      break;
  }
  return "<none>";
}

std::string Dash(const std::string& text) { return text.empty() ? "-" : text; }

std::string NumberOf(const CMOObject& object, int propertyId) {
  const CMOProperty* property = object.GetProperty(propertyId);
  return property != nullptr ? std::to_string(property->GetIntegerValue()) : "-";
}

std::string ParentName(const GenericModel& model, const CMOObject& object) {
  const CMOObject* parent = model.GetCMOObject(object.GetParentId());
  return parent != nullptr ? Name(*parent) : "?";
}

std::vector<std::string> StructuralFaults(const GenericModel& model) {
  std::vector<std::string> faults;
  std::map<int, int> listedBy;  // child id -> the parent whose list names it
  for (int id = 1; id <= model.GetObjectCount(); ++id) {
    const CMOObject* object = model.GetCMOObject(id);
    if (object == nullptr) {
      faults.push_back("no object " + std::to_string(id));
      continue;
    }
    for (int child : object->GetChildIds()) {
      if (model.GetCMOObject(child) == nullptr)
        faults.push_back("object " + std::to_string(id) + " lists missing child " + std::to_string(child));
      else if (!listedBy.emplace(child, id).second)
        faults.push_back("object " + std::to_string(child) + " is listed by two parents");
    }
    for (const auto& property : object->GetProperties()) {
      if (property->GetValueKind() != CMOProperty::ValueKind::ObjectIdVector) continue;
      for (int target : property->ObjectIdsRef())
        if (target == 0 || model.GetCMOObject(target) == nullptr)
          faults.push_back("object " + std::to_string(id) + " property " + std::to_string(property->GetPropertyId()) +
                           " names missing object " + std::to_string(target));
    }
  }
  for (int id = 2; id <= model.GetObjectCount(); ++id) {
    const CMOObject* object = model.GetCMOObject(id);
    if (object == nullptr) continue;
    const auto listed = listedBy.find(id);
    if (listed == listedBy.end() || listed->second != object->GetParentId())
      faults.push_back("object " + std::to_string(id) + " is not in its parent's child list");
  }
  return faults;
}

::testing::AssertionResult SoundModel(const GenericModel& model) {
  std::vector<std::string> faults = StructuralFaults(model);
  // Every enum-like text property holds a word the vocabulary allows there.
  for (int id = 1; id <= model.GetObjectCount(); ++id) {
    const CMOObject* object = model.GetCMOObject(id);
    if (object == nullptr) continue;
    for (const auto& property : object->GetProperties()) {
      const int propertyId = property->GetPropertyId();
      if (!model::IsEnumLike(propertyId)) continue;
      const char* type = model::ObjectTypeName(object->GetObjectType());
      const CMOProperty* name = object->GetProperty(model::Name);
      std::string where = std::string(type != nullptr ? type : "?") + " #" + std::to_string(id);
      if (name != nullptr) where += " \"" + Utf8(name->WStringRef()) + "\"";
      where += std::string(" ") + model::PropertyName(propertyId);
      if (property->GetValueKind() != CMOProperty::ValueKind::WString) {
        faults.push_back(where + " is not text");
      } else if (!model::IsAllowedValue(object->GetObjectType(), propertyId, property->WStringRef())) {
        faults.push_back(where + " = \"" + Utf8(property->WStringRef()) + "\"");
      }
    }
  }
  if (faults.empty()) return ::testing::AssertionSuccess();
  ::testing::AssertionResult result = ::testing::AssertionFailure();
  result << faults.size() << " faults in the model";
  for (const std::string& fault : faults) result << "\n" << fault;
  return result;
}

std::string LineDifference(const std::vector<std::string>& expected, const std::vector<std::string>& actual) {
  std::multiset<std::string> wanted(expected.begin(), expected.end());
  std::multiset<std::string> got(actual.begin(), actual.end());
  std::string text;
  for (const std::string& line : std::set<std::string>(expected.begin(), expected.end()))
    if (got.count(line) < wanted.count(line)) text += "- " + line.substr(0, 400) + "\n";
  for (const std::string& line : std::set<std::string>(actual.begin(), actual.end()))
    if (wanted.count(line) < got.count(line)) text += "+ " + line.substr(0, 400) + "\n";
  return text.empty() ? text : "(- expected only, + actual only)\n" + text;
}

std::vector<std::string> OfKinds(const std::vector<std::string>& lines, const std::set<std::string>& kinds) {
  std::vector<std::string> kept;
  for (const std::string& line : lines)
    if (kinds.count(line.substr(0, line.find(' ')))) kept.push_back(line);
  return kept;
}

std::string Identifier(std::string text) {
  std::replace(text.begin(), text.end(), '-', '_');
  return text;
}

std::string Line(std::initializer_list<std::string> fields) {
  std::string line;
  for (const std::string& field : fields) {
    if (!line.empty()) line += " | ";
    for (char ch : field) {
      if (ch == '\n') line += "\\n";
      else if (ch == '\r') line += "\\r";
      else if (ch == '\t') line += "\\t";
      else if (ch == '\\') line += "\\\\";
      else line += ch;
    }
  }
  return line;
}

void ReadModelJson(const std::string& text, GenericModel& model) {
  std::istringstream in(text);
  try {
    writers::JsonReader().Read(in, model);
  } catch (const writers::ReadError& error) {
    ADD_FAILURE() << "not a model: " << error.what() << "\n" << text.substr(0, 1000);
  }
}

}  // namespace qm::test
