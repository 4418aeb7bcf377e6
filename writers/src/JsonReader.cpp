#include <writers/JsonReader.h>

#include <platform/Utf.h>
#include <tillerhold/GenericModel.h>
#include <tillerhold/ModelVocabulary.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>
#include <istream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

namespace writers {

namespace {

// Ordered: properties come back in the order the file gives them.
using Json = nlohmann::ordered_json;

// The vocabulary's numbers by name (object types or property ids), built
// once: the names are static and the numbers small.
std::unordered_map<std::string, int> Vocabulary(const char* (*nameOf)(int)) {
  std::unordered_map<std::string, int> numbers;
  for (int number = 0; number < 4096; ++number)
    if (const char* name = nameOf(number)) numbers.emplace(name, number);
  return numbers;
}

const std::unordered_map<std::string, int>& TypeNumbers() {
  static const std::unordered_map<std::string, int> numbers = Vocabulary(model::ObjectTypeName);
  return numbers;
}

const std::unordered_map<std::string, int>& PropertyNumbers() {
  static const std::unordered_map<std::string, int> numbers = Vocabulary(model::PropertyName);
  return numbers;
}

std::string ObjectLabel(long long fileId) { return "object " + std::to_string(fileId); }

// A name of the vocabulary, or "<prefix><N>" for a number it does not know.
int NumberOf(const std::unordered_map<std::string, int>& vocabulary, const std::string& name, const char* prefix,
             const std::string& where) {
  const auto found = vocabulary.find(name);
  if (found != vocabulary.end()) return found->second;
  const std::string start(prefix);
  if (name.size() > start.size() && name.compare(0, start.size(), start) == 0) {
    int number = 0;
    const char* first = name.data() + start.size();
    const char* last = name.data() + name.size();
    const auto [end, ec] = std::from_chars(first, last, number);
    if (ec == std::errc() && end == last && number > 0) return number;
  }
  throw ReadError(where + ": unknown " + (start == "type" ? "object type" : "property") + " \"" + name + "\"");
}

// One object of the file, before it is made.
struct Entry {
  const Json* node;        // its JSON object; the document's
  long long fileId;        // "id" as the file gives it
  long long parentFileId;  // its parent's, 0 for the top object
};

long long IdOf(const Json& node, const std::string& where) {
  if (!node.is_object()) throw ReadError(where + " is not a JSON object");
  const auto id = node.find("id");
  if (id == node.end() || !id->is_number_integer()) throw ReadError(where + " has no integer \"id\"");
  const long long value = id->get<long long>();
  if (value <= 0) throw ReadError(where + " has the id " + std::to_string(value) + "; ids start at 1");
  return value;
}

// Every object of the document with its parent, walked with a stack: the
// writer nests without limit, and so may the file.
std::vector<Entry> Entries(const Json& top) {
  std::vector<Entry> entries;
  std::vector<Entry> pending = {{&top, IdOf(top, "the top object"), 0}};
  while (!pending.empty()) {
    const Entry entry = pending.back();
    pending.pop_back();
    entries.push_back(entry);
    const auto children = entry.node->find("children");
    if (children == entry.node->end()) continue;
    if (!children->is_array()) throw ReadError(ObjectLabel(entry.fileId) + ": \"children\" is not an array");
    for (auto child = children->rbegin(); child != children->rend(); ++child)
      pending.push_back({&*child, IdOf(*child, "a child of " + ObjectLabel(entry.fileId)), entry.fileId});
  }
  return entries;
}

CMOProperty* ReadProperty(int propertyId, const Json& value, const std::string& where) {
  auto property = std::make_unique<CMOProperty>(propertyId);
  if (value.is_string()) {
    property->SetWStringValue(platform::Utf8ToUtf16(value.get_ref<const std::string&>()));
  } else if (value.is_number_integer()) {
    property->SetIntegerValue(value.get<std::int64_t>());
  } else if (value.is_array()) {
    std::vector<int> ids;
    ids.reserve(value.size());
    for (const Json& id : value) {
      if (!id.is_number_integer() || id.get<long long>() <= 0 || id.get<long long>() > INT32_MAX)
        throw ReadError(where + " holds " + id.dump() + " among its object ids");
      ids.push_back(id.get<int>());
    }
    property->SetObjectIdVectorValue(std::move(ids));
  } else if (!value.is_null()) {
    throw ReadError(where + " is " + std::string(value.type_name()) +
                    "; a property is a text, an integer, a list of object ids or null");
  }
  return property.release();
}

// "parse error at line 3, column 5: ..." without the library's tag.
std::string ParseMessage(const std::exception& error) {
  std::string text = error.what();
  if (!text.empty() && text.front() == '[') {
    const std::size_t end = text.find("] ");
    if (end != std::string::npos) text.erase(0, end + 2);
  }
  return text;
}

}  // namespace

void JsonReader::Read(std::istream& in, GenericModel& model) const {
  if (model.GetObjectCount() != 1) throw std::invalid_argument("JsonReader::Read: the model must hold only its root");
  // Read whole, then parsed: the parser reads a stream a character at a
  // time through its buffer, which took most of the time of a large model.
  std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) throw ReadError("the model could not be read to its end");
  Json document;
  try {
    document = Json::parse(text);
  } catch (const Json::exception& error) {
    throw ReadError(ParseMessage(error));
  }
  std::vector<Entry> entries = Entries(document);
  const auto type = document.find("type");
  if (type == document.end() || !type->is_string() || *type != model::ObjectTypeName(model::Model))
    throw ReadError("the top object is " + (type == document.end() ? std::string("without a type") : type->dump()) +
                    ", not a model");

  // Ids in the file's order: each object is made after its parent, and a
  // model saved by the writer gets its own ids back.
  std::sort(entries.begin() + 1, entries.end(),
            [](const Entry& a, const Entry& b) { return a.fileId < b.fileId; });
  std::unordered_map<long long, int> newIds;  // file id -> model id
  newIds.reserve(entries.size());
  newIds.emplace(entries.front().fileId, 1);
  std::vector<long long> fileIds = {0, entries.front().fileId};  // model id -> file id
  bool renumbered = false;
  for (const Entry& entry : entries) {
    const std::string where = ObjectLabel(entry.fileId);
    CMOObject* object = nullptr;
    if (entry.parentFileId == 0) {
      object = model.GetCMOObject();
    } else {
      const auto typeName = entry.node->find("type");
      if (typeName == entry.node->end() || !typeName->is_string()) throw ReadError(where + " has no \"type\" text");
      const int objectType = NumberOf(TypeNumbers(), typeName->get_ref<const std::string&>(), "type", where);
      const auto parent = newIds.find(entry.parentFileId);
      if (parent == newIds.end())
        throw ReadError(where + " comes before its parent " + ObjectLabel(entry.parentFileId) + " in id order");
      object = &model.CreateObject(objectType, parent->second);
      if (!newIds.emplace(entry.fileId, object->GetObjectId()).second)
        throw ReadError("two objects have the id " + std::to_string(entry.fileId));
      fileIds.push_back(entry.fileId);
      renumbered = renumbered || object->GetObjectId() != entry.fileId;
    }
    const auto properties = entry.node->find("properties");
    if (properties == entry.node->end()) continue;
    if (!properties->is_object()) throw ReadError(where + ": \"properties\" is not a JSON object");
    for (const auto& [name, value] : properties->items()) {
      const std::string property = where + "'s property \"" + name + "\"";
      object->SetProperty(ReadProperty(NumberOf(PropertyNumbers(), name, "property", where), value, property));
    }
  }

  // References name objects of the file, by its ids.
  for (int id = 1; id <= model.GetObjectCount(); ++id) {
    for (const auto& property : model.GetCMOObject(id)->GetProperties()) {
      if (property->GetValueKind() != CMOProperty::ValueKind::ObjectIdVector) continue;
      std::vector<int> ids = property->ObjectIdsRef();
      for (int& target : ids) {
        const auto found = newIds.find(target);
        if (found == newIds.end()) {
          const char* name = model::PropertyName(property->GetPropertyId());
          throw ReadError(ObjectLabel(fileIds[static_cast<std::size_t>(id)]) + "'s property \"" +
                          (name != nullptr ? name : "property" + std::to_string(property->GetPropertyId())) +
                          "\" names object " + std::to_string(target) + ", which the file does not hold");
        }
        target = found->second;
      }
      if (renumbered) property->SetObjectIdVectorValue(std::move(ids));
    }
  }
}

}  // namespace writers
