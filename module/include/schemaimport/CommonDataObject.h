// CommonDataObject: one result row of a catalogue statement, as the fetch
// loop hands it to a row action: result column name -> value.
//
// Values are VT_I4 (integer columns) or VT_BSTR (text columns); a column that
// was NULL, binary, floating or of a type the fetch does not convert has no
// entry at all, so a row action sees a missing name rather than an empty
// value. The reader reuses one record for every row: a row action must copy
// what it wants to keep beyond its ProcessRow call.
//
// Not thread-safe, lookups included (they keep a memo); a record belongs to
// the thread that fills it.
#pragma once

#include <platform/COleVariant.h>
#include <platform/CString.h>
#include <schemaimport/Export.h>

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class QM_SCHEMAIMPORT_API CommonDataObject {
 public:
  // Keys compare by UTF-16 code unit, numerically, case-sensitive; a prefix
  // orders before the longer name (std::u16string's own ordering). The
  // comparison is transparent, so a name can be looked up without a copy.
  using ValueMap = std::map<std::u16string, COleVariant, std::less<>>;
  using const_iterator = ValueMap::const_iterator;

  CommonDataObject() = default;
  // Copies are deep and independent: each holds its own strings.
  CommonDataObject(const CommonDataObject& other) : m_values(other.m_values) {}
  CommonDataObject& operator=(const CommonDataObject& other);
  CommonDataObject(CommonDataObject&& other) noexcept = default;
  CommonDataObject& operator=(CommonDataObject&& other) noexcept = default;
  ~CommonDataObject() = default;

  // Stores a copy of the value under the name unless the name is already
  // present: the first value set for a name stays, a later one is dropped.
  void Set(std::u16string name, const COleVariant& value);
  // The same, taking over a value the caller no longer needs.
  void Set(const std::u16string& name, COleVariant&& value);

  // A copy of the value under the name; VT_EMPTY when the name is absent.
  COleVariant Get(std::u16string name) const;
  // The text of a VT_BSTR value, up to its first NUL. Empty when the name is
  // absent or its value is not text; integers are not turned into text.
  CString GetString(std::u16string name) const;
  // The value as a 32-bit integer: a VT_I4 value as it is; for a VT_BSTR
  // value the leading decimal integer of the text (optional leading blanks
  // and one sign, then digits up to the first non-digit; 0 when there are no
  // digits), keeping the low 32 bits of a longer number in two's complement,
  // as the fetch does for integer columns, so that a catalogue number
  // delivered as text reads the same as one delivered as an integer. 0 when
  // the name is absent or the value is VT_EMPTY.
  int GetInteger(std::u16string name) const;

  // The value under the name, viewed in place, or null when the name is
  // absent. Valid until the record changes (the next row); the lookup makes
  // no copy of the name or the value, for row actions that read every row.
  const COleVariant* Find(std::u16string_view name) const;
  // The text of a VT_BSTR value up to its first NUL, viewed in place as
  // Find's value is; empty when the name is absent or the value is not text.
  std::u16string_view GetText(std::u16string_view name) const;
  // GetInteger for a name the caller already has, without a copy.
  int GetNumber(std::u16string_view name) const;

  // ---- What row actions read most: the same lookups, in their terms.

  // Whether the row has a value under the name (a NULL column has none).
  bool Has(std::u16string_view name) const { return Find(name) != nullptr; }
  // GetText as a string of its own, for what a row action keeps beyond
  // the row; empty when the name is absent or the value is not text.
  std::u16string Text(std::u16string_view name) const { return std::u16string(GetText(name)); }
  // The 32 bits of GetNumber as an unsigned number: the fetch delivers an
  // integer column's low 32 bits as a signed value, so an unsigned 32-bit
  // column (a PostgreSQL oid of 2^31 or more, say) arrives negative and
  // reads back whole here.
  std::uint32_t GetUnsigned(std::u16string_view name) const { return static_cast<std::uint32_t>(GetNumber(name)); }

  // Entries in ascending key order; the pair is (name, value).
  const_iterator Iterator() const { return m_values.begin(); }
  const_iterator End() const { return m_values.end(); }
  // Number of entries.
  std::size_t Size() const { return m_values.size(); }

  // Makes the record hold exactly the given entries: names[i] with the
  // value moved from values[i] (entries beyond the shorter span are
  // ignored). The same as Reset() followed by a Set of each entry, so a
  // repeated name keeps its first value. Fast when the names come in
  // ascending order, and fastest when the record holds exactly these names
  // already, as it does row after row of one statement: then only the values
  // are replaced.
  void Replace(std::span<const std::u16string* const> names, std::span<COleVariant> values);

  // Removes every entry and releases the values; Iterator() then equals
  // End(). The entries' storage is kept for the names of the next row, so
  // that refilling the record row after row allocates nothing for names.
  void Reset();

 private:
  void ForgetLookups();

  ValueMap m_values;                         // column name -> value; each name at most once, owned copies
  std::vector<ValueMap::node_type> m_spare;  // entries emptied by Reset, values VT_EMPTY, reused by Set
  // What Find found, in the order of the lookups since the row began. A row
  // action reads the same names in the same order row after row, and rows
  // of one statement keep their entries (Replace), so the next lookup is
  // first compared with the entry the same lookup found on the previous
  // row: one comparison instead of a tree search. Emptied whenever entries
  // may go; never copied.
  mutable std::vector<const ValueMap::value_type*> m_lookups;
  mutable std::size_t m_nextLookup = 0;  // index in m_lookups of the next lookup of this row
};
