#include "ImportHost.h"

#include <gatehouse/InterfaceProvider.h>
#include <schemaimport/SchemaImport.h>
#include <tillerhold/CMOProperty.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <dlfcn.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <future>
#include <iostream>
#include <map>
#include <optional>

namespace qm::test {

LoadedPlugin::LoadedPlugin(const char* path) : m_path(path) {
  m_handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (m_handle == nullptr) {
    ADD_FAILURE() << "cannot load " << path << ": " << dlerror();
    return;
  }
  auto entry = reinterpret_cast<QmGetPluginApiFn>(dlsym(m_handle, QM_PLUGIN_ENTRY_NAME));
  if (entry == nullptr) {
    ADD_FAILURE() << path << " exports no " << QM_PLUGIN_ENTRY_NAME;
    return;
  }
  m_api = entry();
}

LoadedPlugin::~LoadedPlugin() { Unload(); }

bool LoadedPlugin::Unload() {
  m_api = nullptr;
  if (m_handle != nullptr) dlclose(m_handle);
  m_handle = nullptr;
  return dlopen(m_path.c_str(), RTLD_NOW | RTLD_NOLOAD) == nullptr;
}

namespace {

// Hands the session the host window when the import starts, as the
// command-line host's object explorer does.
class WindowExplorer : public IObjectExplorerInterface {
 public:
  explicit WindowExplorer(HWND window) : m_window(window) {}
  void OnImportStarting() override {
    if (ISchemaImportSessionState* session = InterfaceProvider::Instance()->GetSchemaImportSessionState())
      session->SetNotifyWindow(m_window);
  }
  void OnImportFinished() override {}

 private:
  HWND m_window;  // the test's window; not owned
};

}  // namespace

ImportOutcome RunImport(const QmPluginApi& api, GenericModel& model, std::string_view source, std::string_view scope,
                        std::chrono::seconds limit, const QmConnectOptions& options) {
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
  HWND window = platform::CreateMessageWindow();
  WindowExplorer explorer(window);
  provider->SetObjectExplorerInterface(&explorer);
  std::future<void> run = std::async(std::launch::async, [&] { import->ReverseEngineerFromDB(&model); });
  if (run.wait_for(limit) != std::future_status::ready) {
    ADD_FAILURE() << "the import did not end within " << limit.count() << " s";
    std::cerr << "the import hangs; aborting the test process\n";
    std::abort();
  }
  // An exception from the import goes on to the test, but only once the
  // explorer (on this stack) is no longer registered and the window is gone.
  std::exception_ptr thrown;
  try {
    run.get();
  } catch (...) {
    thrown = std::current_exception();
  }
  provider->SetObjectExplorerInterface(nullptr);
  outcome.status = session->GetStatus();
  while (std::optional<MSG> message = platform::PeekMessage(window)) outcome.messages.push_back(*message);
  platform::DestroyMessageWindow(window);
  if (thrown) std::rethrow_exception(thrown);
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
      return NameList(model, property->ObjectIdsRef());
    case CMOProperty::ValueKind::None:
      break;
  }
  return "<none>";
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

namespace {

// The vocabulary's numbers by name: object types, or property ids.
std::map<std::string, int> Vocabulary(const char* (*nameOf)(int)) {
  std::map<std::string, int> numbers;
  for (int number = 0; number < 4096; ++number)
    if (const char* name = nameOf(number)) numbers.emplace(name, number);
  return numbers;
}

int NumberOf(const std::map<std::string, int>& vocabulary, const std::string& name, const char* prefix) {
  const auto found = vocabulary.find(name);
  if (found != vocabulary.end()) return found->second;
  if (name.rfind(prefix, 0) == 0) return std::atoi(name.c_str() + std::char_traits<char>::length(prefix));
  ADD_FAILURE() << "unknown name in the model's JSON: " << name;
  return -1;
}

}  // namespace

void ReadModelJson(const std::string& text, GenericModel& model) {
  static const std::map<std::string, int> kTypes = Vocabulary(model::ObjectTypeName);
  static const std::map<std::string, int> kProperties = Vocabulary(model::PropertyName);
  std::map<int, std::pair<const nlohmann::json*, int>> objects;  // id -> (its JSON, parent id)
  nlohmann::json root;
  try {
    root = nlohmann::json::parse(text);
    // Walked with a stack: the writer nests without limit, so does this.
    std::vector<std::pair<const nlohmann::json*, int>> pending = {{&root, 0}};
    while (!pending.empty()) {
      const auto [node, parent] = pending.back();
      pending.pop_back();
      objects[node->at("id").get<int>()] = {node, parent};
      if (node->contains("children"))
        for (const nlohmann::json& child : node->at("children")) pending.push_back({&child, node->at("id").get<int>()});
    }
  } catch (const nlohmann::json::exception& e) {
    ADD_FAILURE() << "not a model: " << e.what() << "\n" << text.substr(0, 1000);
    return;
  }
  // Ids are given out in creation order, parents first: creating the
  // objects in id order gives each its id again.
  for (const auto& [id, entry] : objects) {
    const auto& [node, parent] = entry;
    CMOObject* object = parent == 0 ? model.GetCMOObject()
                                    : &model.CreateObject(NumberOf(kTypes, node->at("type").get<std::string>(), "type"), parent);
    if (object->GetObjectId() != id) {
      ADD_FAILURE() << "the model's JSON skips ids: object " << id << " became " << object->GetObjectId();
      return;
    }
    const nlohmann::json properties = node->value("properties", nlohmann::json::object());
    for (const auto& [name, value] : properties.items()) {
      auto* property = new CMOProperty(NumberOf(kProperties, name, "property"));
      if (value.is_string()) property->SetWStringValue(Utf16(value.get<std::string>()));
      if (value.is_number_integer()) property->SetIntegerValue(value.get<std::int64_t>());
      if (value.is_array()) property->SetObjectIdVectorValue(value.get<std::vector<int>>());
      object->SetProperty(property);
    }
  }
}

}  // namespace qm::test
