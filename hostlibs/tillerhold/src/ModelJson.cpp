#include <tillerhold/ModelJson.h>
#include <tillerhold/ModelVocabulary.h>

#include <platform/Utf.h>

#include <charconv>
#include <cstdint>
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
    Number(object.GetObjectId());
    m_buf += ',';
    NewLine(level + 1);
    Key("type");
    m_buf += '"';
    if (const char* name = ObjectTypeName(object.GetObjectType())) {
      m_buf += name;
    } else {
      m_buf += "type";
      Number(object.GetObjectType());
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
        Number(property->GetPropertyId());
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
        WriteString(property.WStringRef());
        return;
      case CMOProperty::ValueKind::Integer:
        Number(property.GetIntegerValue());
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
          Number(ids[i]);
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

  // The text as a JSON string, escaped as the JSON library escapes: the
  // two-character forms, other control characters as \u00xx, everything
  // else as UTF-8. Runs of plain ASCII, most of any catalogue, are copied
  // in one go.
  void WriteString(std::u16string_view text) {
    m_buf += '"';
    std::size_t i = 0;
    while (i < text.size()) {
      std::size_t plain = i;
      while (plain < text.size() && text[plain] < 0x80 && text[plain] >= 0x20 && text[plain] != u'"' &&
             text[plain] != u'\\')
        ++plain;
      if (plain > i) {
        const std::size_t at = m_buf.size();
        m_buf.resize(at + (plain - i));
        for (std::size_t k = i; k < plain; ++k) m_buf[at + (k - i)] = static_cast<char>(text[k]);
        i = plain;
        continue;
      }
      const char16_t unit = text[i];
      if (unit >= 0x80) {
        // Up to the next ASCII unit: a surrogate pair is never split.
        std::size_t end = i + 1;
        while (end < text.size() && text[end] >= 0x80) ++end;
        platform::AppendUtf16AsUtf8(m_buf, text.substr(i, end - i));
        i = end;
        continue;
      }
      switch (unit) {
        case u'"': m_buf += "\\\""; break;
        case u'\\': m_buf += "\\\\"; break;
        case u'\b': m_buf += "\\b"; break;
        case u'\f': m_buf += "\\f"; break;
        case u'\n': m_buf += "\\n"; break;
        case u'\r': m_buf += "\\r"; break;
        case u'\t': m_buf += "\\t"; break;
        default: {
          static constexpr char kHex[] = "0123456789abcdef";
          m_buf += "\\u00";
          m_buf += kHex[unit >> 4];
          m_buf += kHex[unit & 0xF];
        }
      }
      ++i;
    }
    m_buf += '"';
  }

  void Number(std::int64_t value) {
    char digits[24];
    m_buf.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
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
