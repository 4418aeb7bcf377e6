#include <compare/DiffOutput.h>

#include <writers/ObjectTypeWords.h>
#include <writers/VisibleText.h>

#include <platform/Utf.h>
#include <tillerhold/ModelVocabulary.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <ostream>
#include <string>

namespace compare {

namespace {

using writers::ObjectTypeWords;
using writers::QuotedVisibleName;
using writers::VisibleName;
using writers::VisibleText;

// ---- For people.

std::string StepText(const PathStep& step) {
  if (!step.named) return VisibleText(step.key);
  const std::u16string_view key(step.key);
  return VisibleName(key.substr(0, step.nameLength)) + VisibleText(key.substr(step.nameLength));
}

// The path's steps from `from` on, joined by dots.
std::string PathText(const ObjectPath& path, std::size_t from = 0) {
  std::string text;
  for (std::size_t i = from; i < path.size(); ++i) {
    if (!text.empty()) text += '.';
    text += StepText(path[i]);
  }
  return text;
}

std::string PropertyLabel(int propertyId) {
  const char* name = model::PropertyName(propertyId);
  return name != nullptr ? name : "property" + std::to_string(propertyId);
}

bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }

// The part [start, end) of the text, quoted, with "…" where it is cut; the
// ends are moved so that no character is cut in two.
std::string Excerpt(const std::u16string& text, std::size_t start, std::size_t end) {
  end = std::min(end, text.size());
  start = std::min(start, end);
  if (start > 0 && start < text.size() && IsLowSurrogate(text[start])) --start;
  if (end > start && end < text.size() && IsHighSurrogate(text[end - 1])) ++end;
  std::string shown = start > 0 ? "\u2026" : "";
  shown += QuotedVisibleName(std::u16string_view(text).substr(start, end - start));
  if (end < text.size()) shown += "\u2026";
  return shown;
}

// Texts longer than this are shown around their first difference.
constexpr std::size_t kWholeText = 100;
constexpr std::size_t kContext = 30;
constexpr std::size_t kExcerpt = 160;

std::string ReferencesText(const std::vector<ObjectPath>& targets, const ObjectPath& owner) {
  std::string text = "(";
  for (std::size_t i = 0; i < targets.size(); ++i) {
    if (i > 0) text += ", ";
    const ObjectPath& target = targets[i];
    // Without the steps the target shares with the object that refers to
    // it: a key's columns by their names, a table of the same schema by its.
    std::size_t shared = 0;
    while (shared + 1 < target.size() && shared < owner.size() && target[shared] == owner[shared]) ++shared;
    text += PathText(target, shared);
  }
  return text + ")";
}

std::string ValueText(const PropertyValue& value, const ObjectPath& owner) {
  switch (value.kind) {
    case PropertyValue::Kind::Absent: return "(absent)";
    case PropertyValue::Kind::NoValue: return "(no value)";
    case PropertyValue::Kind::Integer: return std::to_string(value.integer);
    case PropertyValue::Kind::References: return ReferencesText(value.targets, owner);
    case PropertyValue::Kind::Text:
      if (value.text.size() <= kWholeText) return QuotedVisibleName(value.text);
      return Excerpt(value.text, 0, kExcerpt) + " (" + std::to_string(value.text.size()) + " characters)";
  }
  return {};
}

// "name: old → new"; two long texts are shown from a little before their
// first difference.
std::string ChangeText(const PropertyDifference& change, const ObjectPath& owner) {
  const std::string label = PropertyLabel(change.propertyId) + ": ";
  const PropertyValue& a = change.before;
  const PropertyValue& b = change.after;
  if (a.kind != PropertyValue::Kind::Text || b.kind != PropertyValue::Kind::Text ||
      (a.text.size() <= kWholeText && b.text.size() <= kWholeText))
    return label + ValueText(a, owner) + " \u2192 " + ValueText(b, owner);
  std::size_t prefix = 0;
  while (prefix < a.text.size() && prefix < b.text.size() && a.text[prefix] == b.text[prefix]) ++prefix;
  std::size_t suffix = 0;
  while (suffix < a.text.size() - prefix && suffix < b.text.size() - prefix &&
         a.text[a.text.size() - 1 - suffix] == b.text[b.text.size() - 1 - suffix])
    ++suffix;
  const std::size_t start = prefix > kContext ? prefix - kContext : 0;
  auto end = [&](const std::u16string& text) {
    const std::size_t differs = std::max(text.size() - suffix, prefix + 1);
    return std::min(differs + kContext, start + kExcerpt);
  };
  return label + Excerpt(a.text, start, end(a.text)) + " \u2192 " + Excerpt(b.text, start, end(b.text)) + " (" +
         std::to_string(a.text.size()) + " \u2192 " + std::to_string(b.text.size()) + " characters)";
}

std::string DescendantsText(const std::map<int, long long>& descendants) {
  std::string text;
  for (const auto& [type, count] : descendants) {
    text += text.empty() ? "  (" : ", ";
    text += std::to_string(count) + " " + ObjectTypeWords(type, count != 1);
  }
  return text.empty() ? text : text + ")";
}

// ---- For programs.

using Json = nlohmann::ordered_json;

std::string TypeName(int type) {
  const char* name = model::ObjectTypeName(type);
  return name != nullptr ? name : "type" + std::to_string(type);
}

Json PathJson(const ObjectPath& path) {
  Json steps = Json::array();
  for (const PathStep& step : path) steps.push_back({{"type", TypeName(step.type)}, {"key", platform::Utf16ToUtf8(step.key)}});
  return steps;
}

Json ValueJson(const PropertyValue& value) {
  switch (value.kind) {
    case PropertyValue::Kind::Absent:
    case PropertyValue::Kind::NoValue: return nullptr;
    case PropertyValue::Kind::Text: return platform::Utf16ToUtf8(value.text);
    case PropertyValue::Kind::Integer: return value.integer;
    case PropertyValue::Kind::References: {
      Json targets = Json::array();
      for (const ObjectPath& target : value.targets) targets.push_back(PathJson(target));
      return targets;
    }
  }
  return nullptr;
}

const char* ChangeWord(ObjectDifference::Change change) {
  switch (change) {
    case ObjectDifference::Change::Added: return "added";
    case ObjectDifference::Change::Removed: return "removed";
    case ObjectDifference::Change::Changed: return "changed";
  }
  return "changed";
}

struct Counts {
  long long added = 0;
  long long removed = 0;
  long long changed = 0;
};

Counts CountChanges(const ModelDifference& difference) {
  Counts counts;
  for (const ObjectDifference& object : difference.objects) {
    if (object.change == ObjectDifference::Change::Added) ++counts.added;
    if (object.change == ObjectDifference::Change::Removed) ++counts.removed;
    if (object.change == ObjectDifference::Change::Changed) ++counts.changed;
  }
  return counts;
}

}  // namespace

void WriteDifferenceText(const ModelDifference& difference, std::ostream& out) {
  if (difference.Empty()) {
    out << "no differences\n";
    return;
  }
  for (const ObjectDifference& object : difference.objects) {
    const char* mark = object.change == ObjectDifference::Change::Added     ? "+ "
                       : object.change == ObjectDifference::Change::Removed ? "- "
                                                                            : "~ ";
    out << mark << ObjectTypeWords(object.type, false) << ' ' << PathText(object.path);
    if (object.change != ObjectDifference::Change::Changed) {
      out << DescendantsText(object.descendants) << '\n';
      continue;
    }
    out << '\n';
    for (const PropertyDifference& change : object.properties) out << "    " << ChangeText(change, object.path) << '\n';
  }
  const Counts counts = CountChanges(difference);
  const std::size_t total = difference.objects.size();
  out << total << (total == 1 ? " object differs: " : " objects differ: ") << counts.added << " added, "
      << counts.removed << " removed, " << counts.changed << " changed\n";
}

void WriteDifferenceJson(const ModelDifference& difference, std::ostream& out) {
  const Counts counts = CountChanges(difference);
  Json document = {{"equal", difference.Empty()},
                   {"added", counts.added},
                   {"removed", counts.removed},
                   {"changed", counts.changed},
                   {"objects", Json::array()}};
  Json& objects = document["objects"];
  for (const ObjectDifference& object : difference.objects) {
    Json entry = {{"change", ChangeWord(object.change)}, {"type", TypeName(object.type)}, {"path", PathJson(object.path)}};
    Json properties = Json::object();
    for (const PropertyDifference& change : object.properties) {
      Json pair = Json::object();
      if (change.before.kind != PropertyValue::Kind::Absent) pair["old"] = ValueJson(change.before);
      if (change.after.kind != PropertyValue::Kind::Absent) pair["new"] = ValueJson(change.after);
      properties[PropertyLabel(change.propertyId)] = std::move(pair);
    }
    entry["properties"] = std::move(properties);
    if (object.change != ObjectDifference::Change::Changed) {
      Json descendants = Json::object();
      for (const auto& [type, count] : object.descendants) descendants[TypeName(type)] = count;
      entry["descendants"] = std::move(descendants);
    }
    objects.push_back(std::move(entry));
  }
  out << document.dump(2) << '\n';
}

}  // namespace compare
