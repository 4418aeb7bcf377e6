#include <writers/JsonReader.h>

#include <platform/Utf.h>
#include <tillerhold/GenericModel.h>
#include <tillerhold/ModelVocabulary.h>

#include <nlohmann/json.hpp>
#include <simdjson.h>

#include <algorithm>
#include <charconv>
#include <istream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace writers {

namespace {

// Ordered: properties come back in the order the file gives them.
using Json = nlohmann::ordered_json;

// The vocabulary's numbers by name (object types or property ids), built
// once: the names are static and the numbers small.
// The names are static, so the keys may view them.
using Numbers = std::unordered_map<std::string_view, int>;

Numbers Vocabulary(const char* (*nameOf)(int)) {
  Numbers numbers;
  for (int number = 0; number < 4096; ++number)
    if (const char* name = nameOf(number)) numbers.emplace(name, number);
  return numbers;
}

const Numbers& TypeNumbers() {
  static const Numbers numbers = Vocabulary(model::ObjectTypeName);
  return numbers;
}

const Numbers& PropertyNumbers() {
  static const Numbers numbers = Vocabulary(model::PropertyName);
  return numbers;
}

std::string ObjectLabel(long long fileId) { return "object " + std::to_string(fileId); }

// A name of the vocabulary, or "<prefix><N>" for a number it does not know;
// 0 for neither.
int FindNumber(const Numbers& vocabulary, std::string_view name, std::string_view prefix) {
  const auto found = vocabulary.find(name);
  if (found != vocabulary.end()) return found->second;
  if (name.size() > prefix.size() && name.substr(0, prefix.size()) == prefix) {
    int number = 0;
    const char* first = name.data() + prefix.size();
    const char* last = name.data() + name.size();
    const auto [end, ec] = std::from_chars(first, last, number);
    if (ec == std::errc() && end == last && number > 0) return number;
  }
  return 0;
}

int NumberOf(const Numbers& vocabulary, const std::string& name, const char* prefix, const std::string& where) {
  if (const int number = FindNumber(vocabulary, name, prefix)) return number;
  const std::string start(prefix);
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

// The whole file read checked, object by object, with the message for the
// first thing found wrong.
void ReadThoroughly(const std::string& text, GenericModel& model) {
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
  // The top object is always 1: a reference to it follows it too.
  bool renumbered = entries.front().fileId != 1;
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
      std::vector<int> ids = property->GetObjectIdVectorValue();
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


// ---- The quick reading.
//
// A saved model is read many times (every diff and plan reads two), and
// building a document tree of every value took most of a plan's time. The
// quick reading parses the file with a validating parser into a compact
// tape, checks everything the thorough reading checks before it makes the
// first object, and then builds the model straight from the tape. Whatever
// it finds wrong, or anything it does not take as plainly as the thorough
// reading (a number beyond 64-bit signed integers, a duplicated key among
// an object's own members), leaves the model untouched and the thorough
// reading reads the file again and says what is wrong.

namespace dom = simdjson::dom;

// One object of the file, checked.
struct QuickEntry {
  long long fileId;             // "id" as the file gives it
  long long parentFileId;       // its parent's, 0 for the top object
  int type;                     // object type; 0 for the top object
  dom::object properties;       // its "properties"; unset when it has none
  bool hasProperties;           // whether properties is set
};

bool IsIdNumber(dom::element value) { return value.type() == dom::element_type::INT64; }

// Whether the value is one a property may hold: text, an integer, a list of
// object ids or null.
bool PlainValue(dom::element value) {
  switch (value.type()) {
    case dom::element_type::STRING:
    case dom::element_type::INT64:
    case dom::element_type::NULL_VALUE:
      return true;
    case dom::element_type::ARRAY:
      for (dom::element id : dom::array(value)) {
        if (!IsIdNumber(id)) return false;
        const std::int64_t number = std::int64_t(id);
        if (number <= 0 || number > INT32_MAX) return false;
      }
      return true;
    default:
      return false;
  }
}

// The object's own members; false when one of those the reader looks at
// appears twice or has the wrong kind of value.
bool Members(dom::element node, long long& fileId, dom::element& type, dom::array& children, bool& hasChildren,
             dom::object& properties, bool& hasProperties) {
  if (node.type() != dom::element_type::OBJECT) return false;
  bool hasId = false;
  bool hasType = false;
  hasChildren = false;
  hasProperties = false;
  for (dom::key_value_pair member : dom::object(node)) {
    if (member.key == "id") {
      if (hasId || !IsIdNumber(member.value)) return false;
      fileId = std::int64_t(member.value);
      if (fileId <= 0) return false;
      hasId = true;
    } else if (member.key == "type") {
      if (hasType || member.value.type() != dom::element_type::STRING) return false;
      type = member.value;
      hasType = true;
    } else if (member.key == "children") {
      if (hasChildren || member.value.type() != dom::element_type::ARRAY) return false;
      children = dom::array(member.value);
      hasChildren = true;
    } else if (member.key == "properties") {
      if (hasProperties || member.value.type() != dom::element_type::OBJECT) return false;
      properties = dom::object(member.value);
      hasProperties = true;
    }
  }
  return hasId && hasType;
}

bool ReadQuickly(std::string& text, GenericModel& model) {
  // The parser reads a little past the end of its input.
  if (text.capacity() - text.size() < simdjson::SIMDJSON_PADDING) text.reserve(text.size() + simdjson::SIMDJSON_PADDING);
  dom::parser parser;
  dom::element top;
  if (parser.parse(text.data(), text.size(), false).get(top) != simdjson::SUCCESS) return false;

  std::vector<QuickEntry> entries;
  std::vector<std::pair<dom::element, long long>> pending = {{top, 0}};  // object, its parent's file id
  const Numbers& typeNumbers = TypeNumbers();
  const Numbers& propertyNumbers = PropertyNumbers();
  while (!pending.empty()) {
    const auto [node, parentFileId] = pending.back();
    pending.pop_back();
    QuickEntry entry{0, parentFileId, 0, {}, false};
    dom::element type;
    dom::array children;
    bool hasChildren = false;
    if (!Members(node, entry.fileId, type, children, hasChildren, entry.properties, entry.hasProperties)) return false;
    const std::string_view typeName(type);
    if (parentFileId == 0) {
      if (typeName != model::ObjectTypeName(model::Model)) return false;
    } else if ((entry.type = FindNumber(typeNumbers, typeName, "type")) == 0) {
      return false;
    }
    if (entry.hasProperties) {
      for (dom::key_value_pair member : entry.properties) {
        if (FindNumber(propertyNumbers, member.key, "property") == 0 || !PlainValue(member.value)) return false;
      }
    }
    if (hasChildren) {
      const std::size_t first = pending.size();
      for (dom::element child : children) pending.emplace_back(child, entry.fileId);
      std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(first), pending.end());
    }
    entries.push_back(entry);
  }

  // Ids in the file's order, each object after its parent, no id twice and
  // every reference to an object of the file: then nothing below can fail
  // but an allocation.
  std::sort(entries.begin() + 1, entries.end(),
            [](const QuickEntry& a, const QuickEntry& b) { return a.fileId < b.fileId; });
  std::unordered_map<long long, int> newIds;  // file id -> model id
  newIds.reserve(entries.size());
  bool renumbered = false;  // whether some object's model id is not its file id
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const QuickEntry& entry = entries[i];
    const int newId = static_cast<int>(i) + 1;
    if (i > 0 && newIds.find(entry.parentFileId) == newIds.end()) return false;
    if (!newIds.emplace(entry.fileId, newId).second) return false;
    renumbered = renumbered || newId != entry.fileId;
  }
  for (const QuickEntry& entry : entries) {
    if (!entry.hasProperties) continue;
    for (dom::key_value_pair member : entry.properties) {
      if (member.value.type() != dom::element_type::ARRAY) continue;
      for (dom::element id : dom::array(member.value))
        if (newIds.find(std::int64_t(id)) == newIds.end()) return false;
    }
  }

  for (const QuickEntry& entry : entries) {
    CMOObject* object = entry.parentFileId == 0 ? model.GetCMOObject()
                                                : &model.CreateObject(entry.type, newIds.find(entry.parentFileId)->second);
    if (!entry.hasProperties) continue;
    for (dom::key_value_pair member : entry.properties) {
      auto property = std::make_unique<CMOProperty>(FindNumber(propertyNumbers, member.key, "property"));
      switch (member.value.type()) {
        case dom::element_type::STRING:
          property->SetWStringValue(platform::Utf8ToUtf16(std::string_view(member.value)));
          break;
        case dom::element_type::INT64:
          property->SetIntegerValue(std::int64_t(member.value));
          break;
        case dom::element_type::ARRAY: {
          const dom::array list(member.value);
          std::vector<int> ids;
          ids.reserve(list.size());
          for (dom::element id : list) {
            const std::int64_t target = std::int64_t(id);
            ids.push_back(renumbered ? newIds.find(target)->second : static_cast<int>(target));
          }
          property->SetObjectIdVectorValue(std::move(ids));
          break;
        }
        default:
          break;
      }
      object->SetProperty(property.release());
    }
  }
  return true;
}

}  // namespace

void JsonReader::Read(std::istream& in, GenericModel& model) const {
  if (model.GetObjectCount() != 1) throw std::invalid_argument("JsonReader::Read: the model must hold only its root");
  // Read whole, in large pieces: a stream read a character at a time took
  // much of the time of a large model.
  std::string text;
  char piece[1 << 16];
  while (in.read(piece, sizeof piece) || in.gcount() > 0) text.append(piece, static_cast<std::size_t>(in.gcount()));
  if (in.bad()) throw ReadError("the model could not be read to its end");
  if (!ReadQuickly(text, model)) ReadThoroughly(text, model);
}

}  // namespace writers
