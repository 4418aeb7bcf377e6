#include <compare/DiffOutput.h>

#include <writers/ObjectTypeWords.h>
#include <writers/VisibleText.h>

#include <platform/Utf.h>
#include <tillerhold/ModelVocabulary.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <ostream>
#include <string>
#include <string_view>
#include <unordered_map>

namespace compare {

namespace {

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

// A text longer than this, or of several lines, is shown on lines of its
// own below its property's name.
constexpr std::size_t kInlineText = 100;
// Unchanged lines shown around each change of a line diff.
constexpr std::size_t kContext = 2;
// Above this many lines inserted and deleted, a line diff shows the
// differing middle as removed and added whole (the diff's time and memory
// grow with the square of it).
constexpr std::size_t kMostEdits = 2000;

bool IsBlock(const PropertyValue& value) {
  return value.kind == PropertyValue::Kind::Text &&
         (value.text.size() > kInlineText || value.text.find(u'\n') != std::u16string::npos);
}

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

// One value on one line: flags as yes and no, the vocabulary's words bare,
// other texts quoted.
std::string ValueText(int objectType, int propertyId, const PropertyValue& value, const ObjectPath& owner) {
  switch (value.kind) {
    case PropertyValue::Kind::Absent: return "(absent)";
    case PropertyValue::Kind::NoValue: return "(no value)";
    case PropertyValue::Kind::Integer:
      if (model::IsFlag(propertyId) && (value.integer == 0 || value.integer == 1)) return value.integer ? "yes" : "no";
      return std::to_string(value.integer);
    case PropertyValue::Kind::References: return ReferencesText(value.targets, owner);
    case PropertyValue::Kind::Text:
      if (model::IsEnumLike(propertyId) && !value.text.empty() &&
          model::IsAllowedValue(objectType, propertyId, std::u16string_view(value.text)))
        return VisibleText(value.text);
      return QuotedVisibleName(value.text);
  }
  return {};
}

std::vector<std::u16string_view> Lines(std::u16string_view text) {
  std::vector<std::u16string_view> lines;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = text.find(u'\n', start);
    if (end == std::u16string_view::npos) {
      lines.push_back(text.substr(start));
      return lines;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
}

enum class Edit { Same, Removed, Added };

// The shortest edit script from `a` to `b` (Myers' O((N+M)D) algorithm),
// as one edit per line of either; the differing middle as removed and
// added whole when it needs more than kMostEdits edits.
std::vector<Edit> LineEdits(const std::vector<std::u16string_view>& a, const std::vector<std::u16string_view>& b) {
  std::size_t prefix = 0;
  while (prefix < a.size() && prefix < b.size() && a[prefix] == b[prefix]) ++prefix;
  std::size_t suffix = 0;
  while (suffix < a.size() - prefix && suffix < b.size() - prefix &&
         a[a.size() - 1 - suffix] == b[b.size() - 1 - suffix])
    ++suffix;
  // Lines as numbers: the middles compared by number.
  std::unordered_map<std::u16string_view, int> numbers;
  auto number = [&](std::u16string_view line) { return numbers.emplace(line, static_cast<int>(numbers.size())).first->second; };
  std::vector<int> x;
  std::vector<int> y;
  for (std::size_t i = prefix; i < a.size() - suffix; ++i) x.push_back(number(a[i]));
  for (std::size_t i = prefix; i < b.size() - suffix; ++i) y.push_back(number(b[i]));

  const long n = static_cast<long>(x.size());
  const long m = static_cast<long>(y.size());
  std::vector<Edit> middle;
  const long most = std::min<long>(n + m, static_cast<long>(kMostEdits));
  std::vector<long> v(static_cast<std::size_t>(2 * most + 3), 0);
  const long offset = most + 1;
  std::vector<std::vector<long>> trace;  // trace[d][k + d]: the furthest x on diagonal k after d edits
  bool found = n + m == 0;
  for (long d = 0; d <= most && !found; ++d) {
    std::vector<long> row(static_cast<std::size_t>(2 * d + 1));
    for (long k = -d; k <= d; k += 2) {
      long i = (k == -d || (k != d && v[static_cast<std::size_t>(offset + k - 1)] < v[static_cast<std::size_t>(offset + k + 1)]))
                   ? v[static_cast<std::size_t>(offset + k + 1)]
                   : v[static_cast<std::size_t>(offset + k - 1)] + 1;
      long j = i - k;
      while (i < n && j < m && x[static_cast<std::size_t>(i)] == y[static_cast<std::size_t>(j)]) ++i, ++j;
      v[static_cast<std::size_t>(offset + k)] = i;
      row[static_cast<std::size_t>(k + d)] = i;
      if (i >= n && j >= m) found = true;
    }
    trace.push_back(std::move(row));
  }
  if (!found) {
    middle.assign(static_cast<std::size_t>(n), Edit::Removed);
    middle.insert(middle.end(), static_cast<std::size_t>(m), Edit::Added);
  } else if (n + m > 0) {
    long i = n;
    long j = m;
    for (long d = static_cast<long>(trace.size()) - 1; d >= 0; --d) {
      const long k = i - j;
      long previousI = 0;
      long previousJ = 0;
      if (d > 0) {
        const std::vector<long>& previous = trace[static_cast<std::size_t>(d - 1)];
        auto at = [&](long kk) { return previous[static_cast<std::size_t>(kk + d - 1)]; };
        const long previousK = (k == -d || (k != d && at(k - 1) < at(k + 1))) ? k + 1 : k - 1;
        previousI = at(previousK);
        previousJ = previousI - previousK;
      }
      while (i > previousI && j > previousJ) {
        middle.push_back(Edit::Same);
        --i, --j;
      }
      if (d == 0) break;
      if (i == previousI) {
        middle.push_back(Edit::Added);
        --j;
      } else {
        middle.push_back(Edit::Removed);
        --i;
      }
    }
    std::reverse(middle.begin(), middle.end());
  }
  std::vector<Edit> edits(prefix, Edit::Same);
  edits.insert(edits.end(), middle.begin(), middle.end());
  edits.insert(edits.end(), suffix, Edit::Same);
  return edits;
}

constexpr std::string_view kBlockIndent = "        ";

// One line of a block: its mark ("- ", "+ " or "  ") and the line, shown
// visibly; an empty line without the blanks after its mark.
void BlockLine(std::ostream& out, std::string_view mark, std::u16string_view line) {
  std::string text = std::string(kBlockIndent) + std::string(mark) + VisibleText(line);
  while (!text.empty() && text.back() == ' ') text.pop_back();
  out << text << '\n';
}

// The old and new text line by line, each line escaped on its own: every
// change with kContext unchanged lines around it, the other unchanged
// lines counted.
void WriteLineDiff(std::u16string_view before, std::u16string_view after, std::ostream& out) {
  const std::vector<std::u16string_view> a = Lines(before);
  const std::vector<std::u16string_view> b = Lines(after);
  const std::vector<Edit> edits = LineEdits(a, b);
  // Whether the edit at each place is within kContext of a change.
  std::vector<bool> shown(edits.size(), false);
  for (std::size_t e = 0; e < edits.size(); ++e) {
    if (edits[e] == Edit::Same) continue;
    const std::size_t from = e >= kContext ? e - kContext : 0;
    const std::size_t to = std::min(edits.size(), e + kContext + 1);
    for (std::size_t s = from; s < to; ++s) shown[s] = true;
  }
  std::size_t i = 0;
  std::size_t j = 0;
  std::size_t hidden = 0;
  auto flush = [&]() {
    if (hidden == 0) return;
    out << kBlockIndent << "\u2026 " << hidden << (hidden == 1 ? " line" : " lines") << " the same\n";
    hidden = 0;
  };
  for (std::size_t e = 0; e < edits.size(); ++e) {
    switch (edits[e]) {
      case Edit::Same:
        if (shown[e]) {
          flush();
          BlockLine(out, "  ", a[i]);
        } else {
          ++hidden;
        }
        ++i, ++j;
        break;
      case Edit::Removed:
        flush();
        BlockLine(out, "- ", a[i++]);
        break;
      case Edit::Added:
        flush();
        BlockLine(out, "+ ", b[j++]);
        break;
    }
  }
  flush();
}

// One property of the object: "name: value" for an added or removed
// object, "name: old → new" for a changed one; a long text on lines of its
// own.
void WriteProperty(const ObjectDifference& object, const PropertyDifference& change, std::ostream& out) {
  const std::string label = "    " + PropertyLabel(change.propertyId) + ":";
  const PropertyValue& a = change.before;
  const PropertyValue& b = change.after;
  if (object.change != ObjectDifference::Change::Changed) {
    const PropertyValue& value = object.change == ObjectDifference::Change::Added ? b : a;
    if (!IsBlock(value)) {
      out << label << ' ' << ValueText(object.type, change.propertyId, value, object.path) << '\n';
      return;
    }
    out << label << '\n';
    for (std::u16string_view line : Lines(value.text)) BlockLine(out, "  ", line);
    return;
  }
  if (!IsBlock(a) && !IsBlock(b)) {
    out << label << ' ' << ValueText(object.type, change.propertyId, a, object.path) << " \u2192 "
        << ValueText(object.type, change.propertyId, b, object.path) << '\n';
    return;
  }
  out << label << '\n';
  if (a.kind == PropertyValue::Kind::Text && b.kind == PropertyValue::Kind::Text) {
    WriteLineDiff(a.text, b.text, out);
    return;
  }
  // A long text against no text (or another kind of value).
  for (const auto& [mark, value] : {std::pair{"- ", &a}, std::pair{"+ ", &b}}) {
    if (value->kind != PropertyValue::Kind::Text) {
      out << kBlockIndent << mark << ValueText(object.type, change.propertyId, *value, object.path) << '\n';
      continue;
    }
    for (std::u16string_view line : Lines(value->text)) BlockLine(out, mark, line);
  }
}

std::string DescendantsText(const std::map<int, long long>& descendants) {
  std::string text;
  for (const auto& [type, count] : descendants) {
    text += text.empty() ? "  (" : ", ";
    text += std::to_string(count) + " " + writers::ObjectTypeWords(type, count != 1);
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
  long long Total() const { return added + removed + changed; }
};

// What both forms list and count: every object but those whose every
// difference is restated.
Counts CountChanges(const ModelDifference& difference) {
  Counts counts;
  for (const ObjectDifference& object : difference.objects) {
    if (object.RestatedOnly()) continue;
    if (object.change == ObjectDifference::Change::Added) ++counts.added;
    if (object.change == ObjectDifference::Change::Removed) ++counts.removed;
    if (object.change == ObjectDifference::Change::Changed) ++counts.changed;
  }
  return counts;
}

}  // namespace

void WriteDifferenceText(const ModelDifference& difference, std::ostream& out, const DiffTextOptions& options) {
  const Counts counts = CountChanges(difference);
  if (counts.Total() == 0) {
    if (!options.summaryOnly) out << "no differences\n";
    return;
  }
  if (!options.summaryOnly) {
    for (const ObjectDifference& object : difference.objects) {
      if (object.RestatedOnly()) continue;
      const char* mark = object.change == ObjectDifference::Change::Added     ? "+ "
                         : object.change == ObjectDifference::Change::Removed ? "- "
                                                                              : "~ ";
      out << mark << writers::ObjectTypeWords(object.type, false) << ' ' << PathText(object.path);
      if (object.change != ObjectDifference::Change::Changed) out << DescendantsText(object.descendants);
      out << '\n';
      for (const PropertyDifference& change : object.properties) {
        // The name is the path's last step.
        if (change.restated || (object.change != ObjectDifference::Change::Changed && change.propertyId == model::Name))
          continue;
        WriteProperty(object, change, out);
      }
    }
  }
  const long long total = counts.Total();
  out << total << (total == 1 ? " object differs: " : " objects differ: ") << counts.added << " added, "
      << counts.removed << " removed, " << counts.changed << " changed\n";
}

void WriteDifferenceJson(const ModelDifference& difference, std::ostream& out, bool countsOnly) {
  const Counts counts = CountChanges(difference);
  Json document = {{"equal", counts.Total() == 0},
                   {"added", counts.added},
                   {"removed", counts.removed},
                   {"changed", counts.changed}};
  if (!countsOnly) {
    Json objects = Json::array();
    for (const ObjectDifference& object : difference.objects) {
      if (object.RestatedOnly()) continue;
      Json entry = {{"change", ChangeWord(object.change)}, {"type", TypeName(object.type)}, {"path", PathJson(object.path)}};
      Json properties = Json::object();
      for (const PropertyDifference& change : object.properties) {
        Json pair = Json::object();
        if (change.before.kind != PropertyValue::Kind::Absent) pair["old"] = ValueJson(change.before);
        if (change.after.kind != PropertyValue::Kind::Absent) pair["new"] = ValueJson(change.after);
        if (change.restated) pair["restated"] = true;
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
    document["objects"] = std::move(objects);
  }
  out << document.dump(2) << '\n';
}

}  // namespace compare
