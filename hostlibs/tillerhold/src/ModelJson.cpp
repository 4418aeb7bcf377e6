#include <tillerhold/ModelJson.h>
#include <tillerhold/ModelVocabulary.h>

#include <platform/Utf.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <ostream>
#include <string_view>
#include <vector>

namespace model {

namespace {

// Writes the model depth-first with an explicit stack. The text goes into
// buf; with a stream it is handed on in blocks as it grows.
class JsonWriter {
 public:
  JsonWriter(std::string& buf, std::ostream* out, int indent) : m_buf(buf), m_out(out), m_indent(indent) {}

  void Write(const GenericModel& model) {
    struct Frame {
      const CMOObject* object;  // an object whose children are being written
      std::size_t next;         // index of its next child to write
      int level;                // nesting level of its opening brace
    };
    std::vector<Frame> open;
    const CMOObject* root = model.GetCMOObject();
    if (OpenObject(*root, 0)) open.push_back({root, 0, 0});
    while (!open.empty()) {
      Frame& top = open.back();
      const std::vector<int>& children = top.object->GetChildIds();
      if (top.next < children.size()) {
        if (top.next > 0) m_buf += ',';
        NewLine(top.level + 2);
        const CMOObject* child = model.GetCMOObject(children[top.next]);
        ++top.next;
        const int level = top.level + 2;  // top may move when the stack grows
        if (child == nullptr) {
          m_buf += "null";  // cannot happen: children always exist
        } else if (OpenObject(*child, level)) {
          open.push_back({child, 0, level});
        }
      } else {
        NewLine(top.level + 1);
        m_buf += ']';
        NewLine(top.level);
        m_buf += '}';
        open.pop_back();
      }
      Spill();
    }
    if (m_out != nullptr) {
      m_out->write(m_buf.data(), static_cast<std::streamsize>(m_buf.size()));
      m_buf.clear();
    }
  }

 private:
  // Writes the object up to its children. Returns true when it has
  // children, left open for the caller; otherwise the object is complete.
  bool OpenObject(const CMOObject& object, int level) {
    m_buf += '{';
    NewLine(level + 1);
    Key("id");
    m_buf += std::to_string(object.GetObjectId());
    m_buf += ',';
    NewLine(level + 1);
    Key("type");
    m_buf += '"';
    if (const char* name = ObjectTypeName(object.GetObjectType())) {
      m_buf += name;
    } else {
      m_buf += "type";
      m_buf += std::to_string(object.GetObjectType());
    }
    m_buf += "\",";
    NewLine(level + 1);
    Key("properties");
    WriteProperties(object, level + 1);
    m_buf += ',';
    NewLine(level + 1);
    Key("children");
    m_buf += '[';
    if (!object.GetChildIds().empty()) return true;
    m_buf += ']';
    NewLine(level);
    m_buf += '}';
    return false;
  }

  void WriteProperties(const CMOObject& object, int level) {
    const auto& properties = object.GetProperties();
    if (properties.empty()) {
      m_buf += "{}";
      return;
    }
    m_buf += '{';
    bool first = true;
    for (const auto& property : properties) {
      if (!first) m_buf += ',';
      first = false;
      NewLine(level + 1);
      m_buf += '"';
      if (const char* name = PropertyName(property->GetPropertyId())) {
        m_buf += name;
      } else {
        m_buf += "property";
        m_buf += std::to_string(property->GetPropertyId());
      }
      m_buf += '"';
      m_buf += m_indent >= 0 ? ": " : ":";
      WriteValue(*property, level + 1);
    }
    NewLine(level);
    m_buf += '}';
  }

  void WriteValue(const CMOProperty& property, int level) {
    switch (property.GetValueKind()) {
      case CMOProperty::ValueKind::WString:
        WriteString(platform::Utf16ToUtf8(property.WStringRef()));
        return;
      case CMOProperty::ValueKind::Integer:
        m_buf += std::to_string(property.GetIntegerValue());
        return;
      case CMOProperty::ValueKind::ObjectIdVector: {
        const std::vector<int>& ids = property.ObjectIdsRef();
        if (ids.empty()) {
          m_buf += "[]";
          return;
        }
        m_buf += '[';
        for (std::size_t i = 0; i < ids.size(); ++i) {
          if (i > 0) m_buf += ',';
          NewLine(level + 1);
          m_buf += std::to_string(ids[i]);
        }
        NewLine(level);
        m_buf += ']';
        return;
      }
      case CMOProperty::ValueKind::None:
        break;
    }
    m_buf += "null";
  }

  // Most names need no escaping and are copied as they are; the rest are
  // escaped by the JSON library. The converter never yields invalid UTF-8,
  // so dump cannot throw.
  void WriteString(std::string&& utf8) {
    const bool plain = std::none_of(utf8.begin(), utf8.end(), [](char c) {
      return c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20;
    });
    if (plain) {
      m_buf += '"';
      m_buf += utf8;
      m_buf += '"';
    } else {
      m_buf += nlohmann::json(std::move(utf8)).dump();
    }
  }

  void Key(std::string_view name) {
    m_buf += '"';
    m_buf += name;
    m_buf += m_indent >= 0 ? "\": " : "\":";
  }

  void NewLine(int level) {
    if (m_indent < 0) return;
    m_buf += '\n';
    m_buf.append(static_cast<std::size_t>(m_indent) * static_cast<std::size_t>(level), ' ');
  }

  // Hands a full block to the stream, so that a large model is not held
  // twice in memory.
  void Spill() {
    if (m_out == nullptr || m_buf.size() < kBlock) return;
    m_out->write(m_buf.data(), static_cast<std::streamsize>(m_buf.size()));
    m_buf.clear();
  }

  static constexpr std::size_t kBlock = 1 << 16;

  std::string& m_buf;   // text not yet handed on (all of it without a stream)
  std::ostream* m_out;  // destination, or null to keep everything in m_buf
  int m_indent;         // blanks per level; negative for compact output
};

}  // namespace

std::string WriteJson(const GenericModel& model, int indent) {
  std::string text;
  JsonWriter(text, nullptr, indent).Write(model);
  return text;
}

void WriteJson(const GenericModel& model, std::ostream& out, int indent) {
  std::string buf;
  buf.reserve(2 * (1 << 16));
  JsonWriter(buf, &out, indent).Write(model);
}

}  // namespace model
