#include "ImportHost.h"

#include <gatehouse/InterfaceProvider.h>
#include <platform/Utf.h>
#include <schemaimport/SchemaImport.h>
#include <tillerhold/CMOProperty.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>
#include <future>
#include <iostream>
#include <map>
#include <set>

namespace qm::test::hardening {

std::string Utf8(std::u16string_view text) { return platform::Utf16ToUtf8(text); }

std::u16string Utf16(std::string_view text) { return platform::Utf8ToUtf16(text); }

LoadedPlugin::LoadedPlugin(const char* path) {
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

LoadedPlugin::~LoadedPlugin() {
  m_api = nullptr;
  if (m_handle != nullptr) dlclose(m_handle);
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

ImportOutcome RunImport(const QmPluginApi& api, GenericModel& model, const std::u16string& source,
                        const std::u16string& scope, std::chrono::seconds limit) {
  ImportOutcome outcome;
  InterfaceProvider* provider = InterfaceProvider::Instance();
  ISchemaImport* import = provider->GetSchemaImportApi();
  ISchemaImportSessionState* session = provider->GetSchemaImportSessionState();
  if (import == nullptr || session == nullptr) {
    ADD_FAILURE() << "the module registered no import interface or session";
    return outcome;
  }
  api.Configure(source, scope);
  HWND window = platform::CreateMessageWindow();
  WindowExplorer explorer(window);
  provider->SetObjectExplorerInterface(&explorer);
  std::future<void> run = std::async(std::launch::async, [&] { import->ReverseEngineerFromDB(&model); });
  if (run.wait_for(limit) != std::future_status::ready) {
    ADD_FAILURE() << "the import did not end within " << limit.count() << " s";
    std::cerr << "the import hangs; aborting the test process\n";
    std::abort();
  }
  run.get();
  provider->SetObjectExplorerInterface(nullptr);
  outcome.status = session->GetStatus();
  while (std::optional<MSG> message = platform::PeekMessage(window)) outcome.messages.push_back(*message);
  platform::DestroyMessageWindow(window);
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

std::vector<CMOObject*> AllOfType(GenericModel& model, int type) {
  std::vector<CMOObject*> objects;
  for (int id = 1; id <= model.GetObjectCount(); ++id)
    if (CMOObject* object = model.GetCMOObject(id); object != nullptr && object->GetObjectType() == type)
      objects.push_back(object);
  return objects;
}

std::u16string Text(const CMOObject& object, int propertyId) {
  const CMOProperty* property = object.GetProperty(propertyId);
  return property != nullptr ? property->GetWStringValue() : std::u16string();
}

std::vector<int> Ids(const CMOObject& object, int propertyId) {
  const CMOProperty* property = object.GetProperty(propertyId);
  return property != nullptr ? property->GetObjectIdVectorValue() : std::vector<int>();
}

std::u16string Name(const CMOObject& object) { return Text(object, model::Name); }

std::vector<std::u16string> ChildNames(GenericModel& model, const CMOObject& parent, int type) {
  std::vector<std::u16string> names;
  for (const CMOObject* child : Children(model, parent, type)) names.push_back(Name(*child));
  return names;
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

namespace {

// Text with the characters that would break a line shown as escapes.
std::string Printable(std::u16string_view text) {
  std::string out;
  for (unsigned char ch : Utf8(text)) {
    if (ch == '\\') {
      out += "\\\\";
    } else if (ch < 0x20 || ch == 0x7F) {
      static const char kHex[] = "0123456789abcdef";
      out += "\\x";
      out += kHex[ch >> 4];
      out += kHex[ch & 15];
    } else {
      out += static_cast<char>(ch);
    }
  }
  return out;
}

std::string PathOf(const GenericModel& model, int id) {
  std::string path;
  for (const CMOObject* object = model.GetCMOObject(id); object != nullptr && object->GetObjectId() != 1;
       object = model.GetCMOObject(object->GetParentId())) {
    const char* type = model::ObjectTypeName(object->GetObjectType());
    const CMOProperty* name = object->GetProperty(model::Name);
    path = std::string(type != nullptr ? type : "?") + "[" + (name != nullptr ? Printable(name->WStringRef()) : "") +
           "]" + (path.empty() ? "" : "/" + path);
  }
  return path;
}

}  // namespace

std::vector<std::string> Fingerprint(const GenericModel& model, const std::set<int>& types) {
  std::vector<std::string> lines;
  for (int id = 2; id <= model.GetObjectCount(); ++id) {
    const CMOObject* object = model.GetCMOObject(id);
    if (object == nullptr || (!types.empty() && types.count(object->GetObjectType()) == 0)) continue;
    std::string line = PathOf(model, id);
    for (const auto& property : object->GetProperties()) {
      const char* name = model::PropertyName(property->GetPropertyId());
      line += " " + std::string(name != nullptr ? name : std::to_string(property->GetPropertyId())) + "=";
      switch (property->GetValueKind()) {
        case CMOProperty::ValueKind::WString:
          line += "\"" + Printable(property->WStringRef()) + "\"";
          break;
        case CMOProperty::ValueKind::ObjectIdVector:
          line += "(";
          for (int target : property->ObjectIdsRef()) line += PathOf(model, target) + ";";
          line += ")";
          break;
        case CMOProperty::ValueKind::Integer:
          line += std::to_string(property->GetIntegerValue());
          break;
        case CMOProperty::ValueKind::None:
          line += "none";
          break;
      }
    }
    lines.push_back(std::move(line));
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

std::string LineDifference(const std::vector<std::string>& expected, const std::vector<std::string>& actual) {
  std::multiset<std::string> wanted(expected.begin(), expected.end());
  std::multiset<std::string> got(actual.begin(), actual.end());
  std::string text;
  for (const std::string& line : std::set<std::string>(expected.begin(), expected.end()))
    if (got.count(line) < wanted.count(line)) text += "- " + line.substr(0, 400) + "\n";
  for (const std::string& line : std::set<std::string>(actual.begin(), actual.end()))
    if (wanted.count(line) < got.count(line)) text += "+ " + line.substr(0, 400) + "\n";
  return text;
}

}  // namespace qm::test::hardening
