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
#include <cstddef>
#include <iterator>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class QM_SCHEMAIMPORT_API CommonDataObject {
  struct Slot;

 public:
  // One entry: (name, value).
  using Entry = std::pair<std::u16string, COleVariant>;

  // Walks the entries in ascending key order. Keys compare by UTF-16 code
  // unit, numerically, case-sensitive; a prefix orders before the longer
  // name (std::u16string's own ordering).
  class const_iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = Entry;
    using difference_type = std::ptrdiff_t;
    using pointer = const Entry*;
    using reference = const Entry&;

    const_iterator() = default;
    reference operator*() const;
    pointer operator->() const { return &**this; }
    const_iterator& operator++() {
      ++m_at;
      Skip();
      return *this;
    }
    const_iterator operator++(int) {
      const_iterator before = *this;
      ++*this;
      return before;
    }
    friend bool operator==(const const_iterator& a, const const_iterator& b) { return a.m_at == b.m_at; }

   private:
    friend class CommonDataObject;
    const_iterator(const Slot* at, const Slot* end) : m_at(at), m_end(end) { Skip(); }
    // Past the places without a value this row.
    void Skip();
    const Slot* m_at = nullptr;   // a slot holding a value, or m_end
    const Slot* m_end = nullptr;
  };

  CommonDataObject() = default;
  // Copies are deep and independent: each holds its own strings.
  CommonDataObject(const CommonDataObject& other);
  CommonDataObject& operator=(const CommonDataObject& other);
  CommonDataObject(CommonDataObject&& other) noexcept;
  CommonDataObject& operator=(CommonDataObject&& other) noexcept;
  ~CommonDataObject();

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
  const_iterator Iterator() const;
  const_iterator End() const;  // equal to Iterator() when the record is empty
  // Number of entries.
  std::size_t Size() const { return m_size; }

  // Makes the record hold exactly the given entries: names[i] with the
  // value moved from values[i] (entries beyond the shorter span are
  // ignored). The same as Reset() followed by a Set of each entry, so a
  // repeated name keeps its first value. Fast when the names come in
  // ascending order.
  void Replace(std::span<const std::u16string* const> names, std::span<COleVariant> values);

  // ---- For a reader that fills the record row after row from one result.

  // Makes the names, ascending and distinct, the record's places for the
  // rows to come, all of them without a value; returns the layout's number,
  // which changes whenever the record's places do (Set, Replace, Reset,
  // assignment), so that the reader can tell whether a row action has
  // refilled the record in between.
  std::uint64_t SetRowNames(std::span<const std::u16string* const> names);
  // The record's current layout number (see SetRowNames).
  std::uint64_t RowLayout() const { return m_layout; }
  // The record's places, in ascending name order, a place without a value
  // this row included: after SetRowNames, its names. With ReplaceRow, a row
  // action that keeps rows for later can take a row's values out of the
  // record instead of copying them, and give them back the same way.
  std::size_t Places() const { return m_slots.size(); }
  const std::u16string& PlaceName(std::size_t place) const { return m_slots[place].entry.first; }
  // One row: values[i] is the value of the i-th name given to SetRowNames,
  // VT_EMPTY for none (no entry). The values are exchanged with the
  // record's, so values holds the previous row's afterwards. Only with the
  // layout SetRowNames returned still current, and as many values as names.
  void ReplaceRow(std::span<COleVariant> values);

  // Removes every entry and releases the values; Iterator() then equals
  // End().
  void Reset();

 private:
  // A name the record has a place for, with or without a value this row.
  struct Slot {
    Entry entry;
    bool present = false;
  };

  std::size_t LowerBound(std::u16string_view name) const;
  // Index of the slot holding the name, or npos.
  std::size_t SlotOf(std::u16string_view name) const;
  void ForgetLookups();
  void Relayout();

  static constexpr std::size_t npos = static_cast<std::size_t>(-1);

  std::vector<Slot> m_slots;  // ascending names, each at most once; a value where present
  std::size_t m_size = 0;     // slots with a value
  std::uint64_t m_layout = 0; // changes whenever m_slots' names do
  // What Find found, as slot indexes (npos: no slot), in the order of the
  // lookups since the row began. A row action reads the same names in the
  // same order row after row, and rows of one result keep their slots, a
  // NULL column's included, so the next lookup is first compared with the
  // slot the same lookup found on the previous row: one comparison instead
  // of a search. Each guess is checked against the name; never copied.
  mutable std::vector<std::size_t> m_lookups;
  mutable std::size_t m_nextLookup = 0;  // index in m_lookups of the next lookup of this row
};

inline const CommonDataObject::Entry& CommonDataObject::const_iterator::operator*() const { return m_at->entry; }

inline void CommonDataObject::const_iterator::Skip() {
  while (m_at != m_end && !m_at->present) ++m_at;
}

inline CommonDataObject::const_iterator CommonDataObject::Iterator() const {
  return const_iterator(m_slots.data(), m_slots.data() + m_slots.size());
}

inline CommonDataObject::const_iterator CommonDataObject::End() const {
  const Slot* end = m_slots.data() + m_slots.size();
  return const_iterator(end, end);
}
