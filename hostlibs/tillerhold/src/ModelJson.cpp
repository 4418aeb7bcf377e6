#include <tillerhold/ModelJson.h>
#include <tillerhold/ModelVocabulary.h>

#include <platform/Utf.h>

#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace model {

namespace {

// The text being written. Appends check the room left against a pointer
// and copy without the per-character bookkeeping of std::string, which was
// most of the writer's time on a large model.
class Buffer {
 public:
  Buffer() { Grow(kInitial); }
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;

  std::size_t size() const { return static_cast<std::size_t>(m_end - m_data.get()); }
  const char* data() const { return m_data.get(); }
  void clear() { m_end = m_data.get(); }

  // Room for n more characters; write them at the pointer returned, then
  // Commit the number written.
  char* Room(std::size_t n) {
    if (static_cast<std::size_t>(m_limit - m_end) < n) Grow(n);
    return m_end;
  }
  void Commit(char* end) { m_end = end; }

  Buffer& operator+=(char c) {
    *Room(1) = c;
    ++m_end;
    return *this;
  }
  Buffer& operator+=(std::string_view text) {
    append(text.data(), text.size());
    return *this;
  }
  void append(const char* text, std::size_t n) {
    char* at = Room(n);
    std::memcpy(at, text, n);
    m_end = at + n;
  }

 private:
  static constexpr std::size_t kInitial = 1 << 17;

  void Grow(std::size_t more) {
    const std::size_t used = m_data ? size() : 0;
    const std::size_t capacity = m_data ? static_cast<std::size_t>(m_limit - m_data.get()) : 0;
    std::size_t wanted = capacity < kInitial ? kInitial : capacity * 2;
    if (wanted < used + more) wanted = used + more;
    auto grown = std::make_unique_for_overwrite<char[]>(wanted);
    if (used > 0) std::memcpy(grown.get(), m_data.get(), used);
    m_data = std::move(grown);
    m_end = m_data.get() + used;
    m_limit = m_data.get() + wanted;
  }

  std::unique_ptr<char[]> m_data;
  char* m_end = nullptr;    // end of the text
  char* m_limit = nullptr;  // end of the storage
};

// Writes the model depth-first with an explicit stack. The text goes into
// buf; with a stream it is handed on in blocks as it grows.
class JsonWriter {
 public:
  JsonWriter(Buffer& buf, std::ostream* out, int indent) : m_buf(buf), m_out(out), m_indent(indent) {
    if (m_indent >= 0) m_newline.assign(1, '\n');
  }

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
        std::string_view next = Texts(top.level).next;
        if (top.next == 0) next.remove_prefix(1);
        m_buf += next;
        const CMOObject* child = model.GetCMOObject(children[top.next]);
        ++top.next;
        const int level = top.level + 2;  // top may move when the stack grows
        if (child == nullptr) {
          m_buf += "null";  // cannot happen: children always exist
        } else if (OpenObject(*child, level)) {
          open.push_back({child, 0, level});
        }
      } else {
        m_buf += Texts(top.level).closeParent;
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
  // What is written around an object's values at one nesting level (that
  // of its opening brace), made once per level below kCachedLevels: a large
  // model writes the same few dozen texts for every object. A text that
  // starts with "," is written without it where it comes first.
  struct LevelTexts {
    std::string open;          // {, line, "id":
    std::string noProperties;  // {}, ",", line, "children": [
    std::string children;      // after the last property: line, }, ",", line, "children": [
    std::string close;         // ending an object without children: ], line, }
    std::string next;          // before a child: ",", line
    std::string closeParent;   // after the last child: line, ], line, }
    std::vector<std::string> types;       // by object type: ",", line, "type": "table",, line, "properties":
    std::vector<std::string> properties;  // by property id: ",", line, "name":
  };

  LevelTexts& Texts(int level) {
    if (level < kCachedLevels) {
      const auto at = static_cast<std::size_t>(level);
      if (m_levels.size() <= at) m_levels.resize(at + 1);
      if (m_levels[at].open.empty()) MakeTexts(m_levels[at], level);
      return m_levels[at];
    }
    if (m_deepLevel != level) {
      m_deep = LevelTexts();
      MakeTexts(m_deep, level);
      m_deepLevel = level;
    }
    return m_deep;
  }

  void MakeTexts(LevelTexts& texts, int level) {
    const std::string inner = Line(level + 1);
    const std::string outer = Line(level);
    const std::string children = Join({",", inner, Quoted("children"), "["});
    texts.open = Join({"{", inner, Quoted("id")});
    texts.noProperties = Join({"{}", children});
    texts.children = Join({inner, "}", children});
    texts.close = Join({"]", outer, "}"});
    texts.next = Join({",", Line(level + 2)});
    texts.closeParent = Join({inner, "]", outer, "}"});
  }

  static std::string Join(std::initializer_list<std::string_view> parts) {
    std::string text;
    for (std::string_view part : parts) text.append(part.data(), part.size());
    return text;
  }

  // A line break and the indentation of the level; nothing when compact.
  std::string Line(int level) const {
    std::string line;
    if (m_indent >= 0) line.assign(1 + static_cast<std::size_t>(m_indent) * static_cast<std::size_t>(level), ' ');
    if (!line.empty()) line[0] = '\n';
    return line;
  }

  // "name": with the blank when indenting.
  std::string Quoted(std::string_view name) const {
    return Join({"\"", name, m_indent >= 0 ? "\": " : "\":"});
  }

  // Writes the object up to its children. Returns true when it has
  // children, left open for the caller; otherwise the object is complete.
  bool OpenObject(const CMOObject& object, int level) {
    // Only this level's texts are asked for until the object is written up
    // to its children, so the reference stays valid.
    LevelTexts& texts = Texts(level);
    m_buf += texts.open;
    Number(object.GetObjectId());
    const int type = object.GetObjectType();
    m_buf += Named(texts.types,
                   type, [&](std::string& line) {
                     const char* name = ObjectTypeName(type);
                     const std::string numbered = name != nullptr ? std::string() : "type" + std::to_string(type);
                     line = Join({",", Line(level + 1), m_indent >= 0 ? "\"type\": \"" : "\"type\":\"",
                                  name != nullptr ? std::string_view(name) : std::string_view(numbered), "\",",
                                  Line(level + 1), Quoted("properties")});
                   });
    const auto& properties = object.GetProperties();
    if (properties.empty()) {
      m_buf += texts.noProperties;
    } else {
      m_buf += '{';
      WriteProperties(properties, texts, level);
      m_buf += texts.children;
    }
    if (!object.GetChildIds().empty()) return true;
    m_buf += texts.close;
    return false;
  }

  // The properties of an object at the level (texts are the level's),
  // between its braces.
  void WriteProperties(const std::vector<std::unique_ptr<CMOProperty>>& properties, LevelTexts& texts, int level) {
    bool first = true;
    for (const auto& property : properties) {
      const int id = property->GetPropertyId();
      std::string_view lead = Named(texts.properties, id, [&](std::string& key) {
        const char* name = PropertyName(id);
        const std::string numbered = name != nullptr ? std::string() : "property" + std::to_string(id);
        key = Join({",", Line(level + 2), Quoted(name != nullptr ? std::string_view(name) : std::string_view(numbered))});
      });
      if (first) lead.remove_prefix(1);
      first = false;
      m_buf += lead;
      WriteValue(*property, level + 2);
    }
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
        const std::span<const int> ids = property.ObjectIdsRef();
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
  // else as UTF-8. Plain ASCII, most of any catalogue, is copied four units
  // at a time; a block holding anything else is taken unit by unit up to
  // and including that unit.
  void WriteString(std::u16string_view text) {
    const std::size_t n = text.size();
    const char16_t* units = text.data();
    // Plain ASCII gives one character per unit; the rest is written by the
    // slow path below as it comes.
    char* out = m_buf.Room(n + 2);
    *out++ = '"';
    std::size_t i = 0;
    while (i < n) {
      if constexpr (std::endian::native == std::endian::little) {
        for (; n - i >= 4; i += 4, out += 4) {
          std::uint64_t block;
          std::memcpy(&block, units + i, sizeof block);
          if (!PlainBlock(block)) break;
          const std::uint32_t narrow = NarrowBlock(block);
          std::memcpy(out, &narrow, sizeof narrow);
        }
      }
      const std::size_t stop = n - i < 4 ? n : i + 4;
      while (i < stop) {
        const char16_t unit = units[i];
        if (unit < 0x80 && unit >= 0x20 && unit != u'"' && unit != u'\\') {
          *out++ = static_cast<char>(unit);
          ++i;
          continue;
        }
        m_buf.Commit(out);
        i = WriteSpecial(text, i);
        out = m_buf.Room(n - i + 1);
        break;
      }
    }
    *out++ = '"';
    m_buf.Commit(out);
  }

  // Whether all four UTF-16 units of a block (as loaded on a little-endian
  // machine) are printable ASCII other than '"' and '\\'.
  static bool PlainBlock(std::uint64_t block) {
    constexpr std::uint64_t kLanes = 0x0001000100010001u;  // 1 in each 16-bit unit
    constexpr std::uint64_t kHigh = 0x0080 * kLanes;       // bit 7 of each unit
    if ((block & (0xFF80 * kLanes)) != 0) return false;    // a unit of 0x80 or more
    // Every unit is below 0x80 from here, so these sums never carry into
    // the next unit: bit 7 is set for a unit of 0x20 or more, and for one
    // that differs from '"' (from '\\').
    const std::uint64_t printable = block + (0x80 - 0x20) * kLanes;
    const std::uint64_t notQuote = (block ^ (0x22 * kLanes)) + 0x7F * kLanes;
    const std::uint64_t notBackslash = (block ^ (0x5C * kLanes)) + 0x7F * kLanes;
    return (printable & notQuote & notBackslash & kHigh) == kHigh;
  }

  // The four units of a plain block as four bytes, in order.
  static std::uint32_t NarrowBlock(std::uint64_t block) {
    block = (block | (block >> 8)) & 0x0000FFFF0000FFFFu;
    return static_cast<std::uint32_t>(block | (block >> 16));
  }

  // Writes the unit at i, which is not plain ASCII: its escape, or the run
  // of non-ASCII units it starts as UTF-8 (a surrogate pair is never
  // split). Returns the index after what was written.
  std::size_t WriteSpecial(std::u16string_view text, std::size_t i) {
    const char16_t unit = text[i];
    if (unit >= 0x80) {
      std::size_t end = i + 1;
      while (end < text.size() && text[end] >= 0x80) ++end;
      m_scratch.clear();
      platform::AppendUtf16AsUtf8(m_scratch, text.substr(i, end - i));
      m_buf.append(m_scratch.data(), m_scratch.size());
      return end;
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
        const char escaped[6] = {'\\', 'u', '0', '0', kHex[unit >> 4], kHex[unit & 0xF]};
        m_buf.append(escaped, sizeof escaped);
      }
    }
    return i + 1;
  }

  // The text for a vocabulary number (a property's key, an object's type
  // line), made once per number: the same few dozen are written for every
  // object of a large model.
  template <typename Make>
  std::string_view Named(std::vector<std::string>& made, int number, Make make) {
    if (number < 0 || number >= kMadeNumbers) {
      make(m_scratch);
      return m_scratch;
    }
    const auto at = static_cast<std::size_t>(number);
    if (made.size() <= at) made.resize(at + 1);
    if (made[at].empty()) make(made[at]);
    return made[at];
  }

  void Number(std::int64_t value) {
    char* at = m_buf.Room(24);
    m_buf.Commit(std::to_chars(at, at + 24, value).ptr);
  }

  // A line feed and the indentation, copied from a line kept for the
  // deepest level so far.
  void NewLine(int level) {
    if (m_indent < 0) return;
    const std::size_t length = 1 + static_cast<std::size_t>(m_indent) * static_cast<std::size_t>(level);
    if (m_newline.size() < length) m_newline.resize(length, ' ');
    m_buf.append(m_newline.data(), length);
  }

  // Hands a full block to the stream, so that a large model is not held
  // twice in memory.
  void Spill() {
    if (m_out == nullptr || m_buf.size() < kBlock) return;
    m_out->write(m_buf.data(), static_cast<std::streamsize>(m_buf.size()));
    m_buf.clear();
  }

  static constexpr std::size_t kBlock = 1 << 16;

  Buffer& m_buf;           // text not yet handed on (all of it without a stream)
  std::ostream* m_out;     // destination, or null to keep everything in m_buf
  int m_indent;            // blanks per level; negative for compact output
  std::string m_newline;   // a line feed and blanks for the deepest level so far
  std::string m_scratch;   // UTF-8 of a run of non-ASCII text; a text Named does not keep
  static constexpr int kMadeNumbers = 4096;
  static constexpr int kCachedLevels = 64;
  std::vector<LevelTexts> m_levels;  // by level below kCachedLevels, made as levels are reached
  LevelTexts m_deep;                 // the texts of one deeper level, remade when another is asked for
  int m_deepLevel = -1;              // the level of m_deep; -1 before any
};

}  // namespace

std::string WriteJson(const GenericModel& model, int indent) {
  Buffer buf;
  JsonWriter(buf, nullptr, indent).Write(model);
  return std::string(buf.data(), buf.size());
}

void WriteJson(const GenericModel& model, std::ostream& out, int indent) {
  Buffer buf;
  JsonWriter(buf, &out, indent).Write(model);
}

}  // namespace model
